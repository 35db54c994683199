#include "mainwindow/lan_session.h"

#include "lan/frame_text.h"
#include "lan/Unit_Udp.h"
#include "mainwindow/controller_texts.h"
#include "protocol/Unit_Public.h"

#include <utility>

namespace r2 {

namespace {

LanTarget TargetOf(const FoundModule& row) {
    return {row.socketIndex, MacWithoutSpaces(row.mac)};
}

} // namespace

LanSession::LanSession(TUdpSvr& udp, ParamMirror& mirror, SessionPanels panels,
                       const DeviceList& devices, SessionViews views,
                       std::function<bool()> jobRunning, QObject* parent)
    : QObject(parent), m_udp(udp), m_mirror(mirror), m_panelData(panels), m_devices(devices),
      m_output(views.output), m_panels(views.panels), m_view(views.session),
      m_jobRunning(std::move(jobRunning)), m_user(Utf8(DefaultUserName)),
      m_password(Utf8(DefaultPassword)) {
    connectEndpoint();
}

LanSession::~LanSession() = default;

void LanSession::setCredentials(const QString& user, const QString& password) {
    m_user = user;
    m_password = password;
}

bool LanSession::saveRunning() const {
    return m_sequence && m_sequence->isRunning();
}

void LanSession::connectEndpoint() {
    connect(&m_udp, &TUdpSvr::OnStatus, this, &LanSession::onStatus);
    // What the endpoint reports beyond the protocol's statuses goes to the log in red, worded
    // in the window's language.
    connect(&m_udp, &TUdpSvr::foreignParamReply, this,
            [this](const QString& senderIp, int length, const QString&) {
                m_output.AddLogLine(
                    ForeignReplyLogText(length, senderIp, m_udp.readCheck().moduleIp),
                    PaneColour::Red);
            });
    connect(&m_udp, &TUdpSvr::readConflict, this, [this](const QString&) {
        m_output.AddLogLine(ReadConflictLogText(m_udp.readCheck().moduleIp), PaneColour::Red);
    });
    connect(&m_udp, &TUdpSvr::datagramsDropped, this, [this](const QString&) {
        m_output.AddLogLine(DroppedDatagramsLogText(), PaneColour::Red);
    });
}

const FoundModule* LanSession::SelectedOrCollapse(bool hintWhenNone) {
    if (const FoundModule* row = m_devices.Selected()) {
        return row;
    }
    m_panels.SwitchLayout(LayoutSearch);
    if (hintWhenNone) {
        LogText(m_output, "lang_Hint_NoTarget", PaneColour::Red);
    }
    return nullptr;
}

void LanSession::Click() {
    const FoundModule* row = SelectedOrCollapse(false);
    if (!row) {
        return;
    }
    m_selMac = MacWithoutSpaces(row->mac);
    m_output.AddLogLine(Text("lang_ts_Read") + Utf8(" [ Mac : ") + row->mac + Utf8(" ]"),
                        PaneColour::Green);
    switch (row->flag) {
    case DevFlagNone:
        m_panels.SwitchLayout(LayoutSearch);
        LogText(m_output, "lang_Hint_VerIncompatible", PaneColour::Red);
        return;
    case DevFlagP6:
        m_selIpIndex = row->socketIndex;
        m_panelData.p6Reader.ReadModule(row->mac.toStdString(), DevFlagP6);
        m_panels.ShowPanel(PanelId::P6);
        runSequence(PlanRead(DevFlagP6, TargetOf(*row)));
        return;
    case DevFlagP7:
        runSequence(PlanRead(DevFlagP7, TargetOf(*row)));
        return;
    default:
        return;
    }
}

void LanSession::Command(DeviceMenuItem item) {
    if (item == DeviceMenuItem::FirmwareUp) {
        const FoundModule* row = m_devices.Selected();
        if (row && !row->ip.isEmpty()) {
            m_view.ShowUpgradeDialog(row->ip, MacWithoutSpaces(row->mac));
        } else {
            m_view.ShowUpgradeDialog({}, {});
        }
        return;
    }
    const FoundModule* row = SelectedOrCollapse(false);
    if (!row) {
        return;
    }
    switch (item) {
    case DeviceMenuItem::OpenWeb: {
        const QString port = FromFrameText(m_panelData.p6.edt_HTTPServerPort);
        m_view.OpenUrl(Utf8("http://") + row->ip + Utf8(":") +
                       (port.isEmpty() ? Utf8("80") : port));
        return;
    }
    case DeviceMenuItem::Restart:
        runSequence(PlanRestart(TargetOf(*row)));
        return;
    case DeviceMenuItem::Reset:
        if (row->flag == DevFlagP6 || row->flag == DevFlagP7) {
            runSequence(PlanFactoryReset(row->flag, TargetOf(*row)));
        }
        return;
    case DeviceMenuItem::CopyTheMac:
        m_output.SetClipboardText(row->mac);
        return;
    default:
        return;
    }
}

void LanSession::onStatus(int code, const QString& text) {
    switch (code) {
    case StSearchSent:
        LogText(m_output, "lang_H_lv_Dev", PaneColour::Green);
        return;
    case StCheckErr:
        m_output.AddLogLine(Text("lang_Hint_CheckErr") + text, PaneColour::Red);
        return;
    case StAck:
        LogText(m_output, "lang_Hint_ACK", PaneColour::Green);
        return;
    case StOtherErr:
        LogText(m_output, "lang_Hint_OtherErr", PaneColour::Red);
        return;
    case StPswdErr:
        LogText(m_output, "lang_Hint_PswdErr", PaneColour::Red);
        if (!m_jobRunning()) { // a job reports the module's refusal in its own row
            m_view.ShowCredentialsDialog();
        }
        return;
    case StPortInUse: {
        const QString message = QString::number(CfgPortP6) + Text("lang_Hint_UDPPortInUse");
        m_output.AddLogLine(message, PaneColour::Red);
        m_output.ShowMessage(message);
        return;
    }
    case StOtherSeries:
        m_panels.SwitchLayout(LayoutSearch);
        LogText(m_output, "lang_Hint_VerIncompatible", PaneColour::Red);
        return;
    case StUnknownLen:
        m_output.AddLogLine(Text("lang_Hint_ReceiveOther") + text, PaneColour::Red);
        return;
    default:
        return;
    }
}

void LanSession::SaveP6() {
    const FoundModule* row = SelectedOrCollapse(true);
    if (!row || row->flag != DevFlagP6 || saveRunning()) {
        return;
    }
    PlanResult planned = PlanP6Save(m_panelData.p6, m_mirror, TargetOf(*row),
                                    {m_selIpIndex, m_selMac}, row->version);
    if (!planned.plan) {
        ReportEncodeRefusal(m_output, m_panels, planned.failure);
        return;
    }
    runSequence(std::move(*planned.plan));
}

void LanSession::SaveP7() {
    const FoundModule* row = SelectedOrCollapse(true);
    if (!row || row->flag != DevFlagP7 || saveRunning()) {
        return;
    }
    PlanResult planned = PlanP7Save(m_panelData.p7, m_mirror, TargetOf(*row));
    if (!planned.plan) {
        ReportEncodeRefusal(m_output, m_panels, planned.failure);
        return;
    }
    runSequence(std::move(*planned.plan));
}

void LanSession::SaveP5() {
    // The P5 panel is written over the serial line only; over the LAN there is nothing to send.
    SelectedOrCollapse(true);
}

void LanSession::runSequence(SequencePlan plan) {
    const bool isSave = plan.mirror.has_value();
    auto* sequence = new LanSequence(m_udp, m_mirror, std::move(plan), m_user, m_password,
                                     isSave ? nullptr : this);
    connect(sequence, &LanSequence::message, this,
            [this](const QString& key) { m_output.ShowMessage(Text(key.toStdString())); });
    if (isSave) {
        m_sequence.reset(sequence);
        m_view.SetSaveRunning(true);
        connect(sequence, &LanSequence::finished, this, [this, sequence] {
            m_view.SetSaveRunning(false);
            reportVerdict(*sequence);
        });
    } else {
        connect(sequence, &LanSequence::finished, this, [this, sequence] {
            reportVerdict(*sequence);
            sequence->deleteLater();
        });
    }
    ++m_sequencesRunning;
    connect(sequence, &LanSequence::finished, this, [this] {
        --m_sequencesRunning;
        emit sequenceOver();
    });
    sequence->start();
}

// Every acknowledgement has already been logged as it came; a frame the module did not answer,
// or a save refused before anything went out, is said once more in words at the end.
void LanSession::reportVerdict(const LanSequence& sequence) {
    const SequenceVerdict& verdict = sequence.verdict();
    if (!verdict.allAcknowledged()) {
        QString refusal;
        if (const std::optional<SaveRefusal>& why = sequence.refusal()) {
            refusal = why->reason == SaveRefusal::Reason::SeveralModules
                          ? ReadConflictLogText(why->readIp)
                          : ReadOtherModuleLogText(why->readIp, why->mac, why->macIp);
        }
        m_output.AddLogLine(VerdictLogText(verdict, refusal), PaneColour::Red);
    }
    emit sequenceFinished(verdict.allAcknowledged());
}

} // namespace r2
