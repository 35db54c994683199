#include "main_controller.h"

#include "apply_plan.h"
#include "local_ips.h"
#include "log_texts.h"
#include "p5_codec.h"
#include "selection_batch.h"
#include "serial_ports.h"
#include "Unit_Baselang.h"
#include "Unit_ProFun.h"
#include "Unit_Public.h"
#include "Unit_Udp.h"

#include <QTimer>
#include <span>
#include <utility>

namespace r2 {

namespace {

QString Text(std::string_view key) {
    return QString::fromStdString(GetLangText(key));
}

QString Lit(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString HexDump(const QByteArray& frame) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(frame.constData());
    return QString::fromStdString(
        BytesToHexLine(ByteView(data, static_cast<std::size_t>(frame.size()))));
}

QString Endpoint(const QString& ip, quint16 port) {
    return ip + Lit(" : ") + QString::number(port);
}

// The hex pane's echo of one frame: its head line and the length in `colour`, then the dump.
// A LAN datagram's echo starts with an empty line, a serial frame's does not.
std::vector<ColouredLine> HexEcho(const QString& head, PaneColour colour, const QByteArray& frame,
                                  bool lan) {
    std::vector<ColouredLine> lines;
    if (lan) {
        lines.push_back({QString()});
    }
    lines.push_back({head, colour});
    lines.push_back({Lit("[ Length : ") + QString::number(frame.size()) + Lit(" ]"), colour});
    lines.push_back({HexDump(frame)});
    return lines;
}

QString SerialHead(std::string_view arrow) {
    return Lit(HexOpen) + Lit(HexPC) + Lit(arrow) + Lit(HexDevice) + Lit(HexClose);
}

QString MacWithoutSpaces(const QString& mac) {
    return QString(mac).remove(QLatin1Char(' '));
}

// The window's log names a module by its MAC without spaces.
LanTarget TargetOf(const FoundModule& row) {
    return {row.socketIndex, MacWithoutSpaces(row.mac)};
}

} // namespace

MainController::MainController(MainView& view, QObject* parent)
    : QObject(parent), m_view(view), m_udp(std::make_unique<TUdpSvr>(m_mirror)),
      m_comm(std::make_unique<TComm>()),
      m_serial(std::make_unique<SerialExchange>(*m_comm, m_mirror)),
      m_batch(std::make_unique<SelectionBatch>(*m_udp, m_mirror)), m_user(Lit(DefaultUserName)),
      m_password(Lit(DefaultPassword)) {
    connectEndpoint();
    connectSerial();
    connect(m_batch.get(), &SelectionBatch::outcome, this,
            [this](int index, const BatchOutcome& outcome) {
                m_view.ShowBatchOutcome(index, outcome);
            });
    connect(m_batch.get(), &SelectionBatch::finished, this, [this] {
        m_view.BatchFinished();
        reportIfWoundDown();
    });
}

MainController::~MainController() = default;

void MainController::setCredentials(const QString& user, const QString& password) {
    m_user = user;
    m_password = password;
}

bool MainController::saveRunning() const {
    return m_sequence && m_sequence->isRunning();
}

bool MainController::batchRunning() const {
    return m_batch->isRunning() || m_whenLanIdle;
}

bool MainController::idle() const {
    return m_sequencesRunning == 0 && !m_serial->isRunning() && !batchRunning();
}

void MainController::WindDown() {
    m_windingDown = true;
    if (m_whenLanIdle) {
        m_whenLanIdle = {};
        m_view.BatchFinished();
    }
    m_batch->stop();
    reportIfWoundDown();
}

void MainController::reportIfWoundDown() {
    if (m_windingDown && idle()) {
        m_windingDown = false;
        emit woundDown();
    }
}

void MainController::connectEndpoint() {
    TUdpSvr* udp = m_udp.get();
    connect(udp, &TUdpSvr::OnSent, this, &MainController::onSent);
    connect(udp, &TUdpSvr::OnReceived, this, &MainController::onReceived);
    connect(udp, &TUdpSvr::OnDeviceFound, this, &MainController::onDeviceFound);
    connect(udp, &TUdpSvr::OnBaseParams, this, &MainController::onBaseParams);
    connect(udp, &TUdpSvr::OnCloudParams, this, &MainController::onCloudParams);
    connect(udp, &TUdpSvr::OnHeartReg, this, &MainController::onHeartReg);
    connect(udp, &TUdpSvr::OnHttpd, this, &MainController::onHttpd);
    connect(udp, &TUdpSvr::OnStatus, this, &MainController::onStatus);
    connect(udp, &TUdpSvr::OnModbusParam, this, &MainController::onModbusParam);
    connect(udp, &TUdpSvr::OnModbusPack, this, &MainController::onModbusPack);
    // What the endpoint reports beyond the protocol's statuses goes to the log in red, worded
    // in the window's language.
    connect(udp, &TUdpSvr::foreignParamReply, this,
            [this](const QString& senderIp, int length, const QString&) {
                m_view.AddLogLine(
                    ForeignReplyLogText(length, senderIp, m_udp->readCheck().moduleIp),
                    PaneColour::Red);
            });
    connect(udp, &TUdpSvr::readConflict, this, [this](const QString&) {
        m_view.AddLogLine(ReadConflictLogText(m_udp->readCheck().moduleIp), PaneColour::Red);
    });
    connect(udp, &TUdpSvr::datagramsDropped, this, [this](const QString&) {
        m_view.AddLogLine(DroppedDatagramsLogText(), PaneColour::Red);
    });
}

void MainController::logText(std::string_view key, PaneColour colour) {
    m_view.AddLogLine(Text(key), colour);
}

// ---- Panes -------------------------------------------------------------------------------

void MainController::onSent(const QByteArray& frame, const QString& destIp, quint16 localPort,
                            quint16 destPort, const QString& localIp) {
    const QString head = Lit(HexOpen) + Endpoint(localIp, localPort) + Lit(HexToDevice) +
                         Endpoint(destIp, destPort) + Lit(HexClose);
    m_view.AddHexBlock(HexEcho(head, PaneColour::Blue, frame, true));
    logText("lang_Hint_Sending", PaneColour::Green);
}

void MainController::onReceived(const QByteArray& frame, const QString& senderIp, quint16 localPort,
                                quint16 senderPort, const QString& localIp) {
    const QString head = Lit(HexOpen) + Endpoint(localIp, localPort) + Lit(HexFromDevice) +
                         Endpoint(senderIp, senderPort) + Lit(HexClose);
    m_view.AddHexBlock(HexEcho(head, PaneColour::Green, frame, true));
}

// ---- Device list -------------------------------------------------------------------------

void MainController::Search() {
    if (batchRunning()) {
        return;
    }
    m_view.ClearPanes();
    m_view.ClearDeviceList();
    m_found.clear();
    m_shownRows = 0;
    m_udp->SearchDevices();
}

void MainController::onDeviceFound(const QString& ip, const QString& name, int socketIndex,
                                   int devFlag, const QString& version, const QString& mac) {
    if (!m_found.add(FoundModule::FromSearchReply(ip, name, socketIndex, devFlag, version, mac))) {
        return;
    }
    // A search may bring thousands of replies in one burst: rows reach the list once per
    // event-loop pass, not one repaint per reply.
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, &MainController::flushFoundRows);
    }
}

void MainController::flushFoundRows() {
    m_flushQueued = false;
    if (m_shownRows == m_found.size()) {
        return;
    }
    const std::size_t first = m_shownRows;
    m_view.AddDeviceRows(std::span(m_found.modules()).subspan(first));
    m_shownRows = m_found.size();
    for (std::size_t index = first; index < m_shownRows; ++index) {
        for (const std::size_t sharing : m_found.newlySharing(index)) {
            m_view.MarkSharedAddress(static_cast<int>(sharing));
        }
    }
    emit rowsAdded(static_cast<int>(m_shownRows));
}

const FoundModule* MainController::shownRow(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < m_shownRows ? m_found.at(index)
                                                                       : nullptr;
}

const FoundModule* MainController::selectedRowOrCollapse(bool hintWhenNone) {
    const int index = m_view.SelectedRow();
    if (const FoundModule* row = shownRow(index)) {
        return row;
    }
    m_view.SwitchLayout(LayoutSearch);
    if (hintWhenNone) {
        logText("lang_Hint_NoTarget", PaneColour::Red);
    }
    return nullptr;
}

void MainController::DeviceClicked() {
    const FoundModule* row = selectedRowOrCollapse(false);
    if (!row) {
        return;
    }
    m_selMac = MacWithoutSpaces(row->mac);
    m_view.AddLogLine(Text("lang_ts_Read") + Lit(" [ Mac : ") + row->mac + Lit(" ]"),
                      PaneColour::Green);
    switch (row->flag) {
    case DevFlagNone:
        m_view.SwitchLayout(LayoutSearch);
        logText("lang_Hint_VerIncompatible", PaneColour::Red);
        return;
    case DevFlagP6:
        m_selIpIndex = row->socketIndex;
        m_view.CollectPanel(PanelId::P6);
        m_p6Reader.ReadModule(row->mac.toStdString(), DevFlagP6);
        m_view.ShowPanel(PanelId::P6);
        runSequence(PlanRead(DevFlagP6, TargetOf(*row)));
        return;
    case DevFlagP7:
        runSequence(PlanRead(DevFlagP7, TargetOf(*row)));
        return;
    default:
        return;
    }
}

void MainController::DeviceMenuAction(const QString& itemName) {
    if (itemName.startsWith(QLatin1String("mni_Sel"))) {
        selectionMenuAction(itemName);
        return;
    }
    if (itemName == QLatin1String("mni_CopeAllMac")) {
        if (m_shownRows > 0) {
            QStringList macs;
            for (const FoundModule& row : rows()) {
                macs << row.mac;
            }
            m_view.SetClipboardText(macs.join(QLatin1String("\r\n")));
        }
        return;
    }
    if (itemName == QLatin1String("mni_FirmwareUp")) {
        const FoundModule* row = shownRow(m_view.SelectedRow());
        if (row && !row->ip.isEmpty()) {
            m_view.ShowUpgradeDialog(row->ip, MacWithoutSpaces(row->mac));
        } else {
            m_view.ShowUpgradeDialog({}, {});
        }
        return;
    }
    const FoundModule* row = selectedRowOrCollapse(false);
    if (!row) {
        return;
    }
    if (itemName == QLatin1String("mniReadTheParam")) {
        Search();
    } else if (itemName == QLatin1String("mni_OpenWeb")) {
        m_view.CollectPanel(PanelId::P6);
        const QString port = FromFrameText(m_p6.edt_HTTPServerPort);
        m_view.OpenUrl(Lit("http://") + row->ip + Lit(":") + (port.isEmpty() ? Lit("80") : port));
    } else if (itemName == QLatin1String("mni_Restart")) {
        runSequence(PlanRestart(TargetOf(*row)));
    } else if (itemName == QLatin1String("mni_Reset")) {
        if (row->flag == DevFlagP6 || row->flag == DevFlagP7) {
            runSequence(PlanFactoryReset(row->flag, TargetOf(*row)));
        }
    } else if (itemName == QLatin1String("mni_CopyTheMac")) {
        m_view.SetClipboardText(row->mac);
    }
}

// ---- Parameter replies -------------------------------------------------------------------

void MainController::onBaseParams(const TBaseParam& base, const TarrComParam& ports, int devFlag,
                                  bool fromSerial) {
    if (batchRunning() && !fromSerial) {
        return; // a module of the job answering its read: the job fills its own panel
    }
    std::optional<std::string> selectedMac;
    if (const FoundModule* row = shownRow(m_view.SelectedRow())) {
        selectedMac = row->mac.toStdString();
    }
    m_view.CollectPanel(PanelId::P6);
    m_p6Reader.SetModule(selectedMac);
    m_p6Reader.OnBaseParams(base, ports, devFlag, fromSerial);
    const BaseFillResult result = m_p6Reader.LastBaseResult();
    if (result == BaseFillResult::Dropped) {
        return;
    }
    if (result == BaseFillResult::FilledP6) {
        m_view.SwitchLayout(LayoutP6);
        m_view.ShowPanel(PanelId::P6);
    }
    m_view.AddLogLine(Text("lang_ts_Read") + Text("lang_ts_OK"), PaneColour::Green);
}

void MainController::onCloudParams(const TarrCloudParam& clouds, bool fromSerial, int devFlag) {
    refillP6([&](PanelP6Reader& r) { r.OnCloudParams(clouds, fromSerial, devFlag); });
}

void MainController::onHeartReg(const QByteArray& block85, bool fromSerial, int devFlag) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(block85.constData());
    const std::span<const std::uint8_t> block(data, static_cast<std::size_t>(block85.size()));
    refillP6([&](PanelP6Reader& r) { r.OnHeartReg(block, fromSerial, devFlag); });
}

void MainController::onHttpd(const QByteArray& url, const QByteArray& header) {
    refillP6([&](PanelP6Reader& r) { r.OnHttpd(url.toStdString(), header.toStdString()); });
}

void MainController::onModbusParam(const TModbusParam& param, int length) {
    refillP6([&](PanelP6Reader& r) { r.OnModbusParam(param, length); });
}

void MainController::onModbusPack(const TModbusPackParam& param, int length) {
    refillP6([&](PanelP6Reader& r) { r.OnModbusPack(param, length); });
}

void MainController::refillP6(const std::function<void(PanelP6Reader&)>& deliver) {
    if (batchRunning()) {
        return;
    }
    // The user may have typed since the panel was last shown: keep that, then fill over it.
    m_view.CollectPanel(PanelId::P6);
    deliver(m_p6Reader);
    if (m_p6Reader.LastReplyChanged()) {
        m_view.ShowPanel(PanelId::P6);
    }
}

// ---- Status codes ------------------------------------------------------------------------

void MainController::onStatus(int code, const QString& text) {
    switch (code) {
    case StSearchSent:
        logText("lang_H_lv_Dev", PaneColour::Green);
        return;
    case StCheckErr:
        m_view.AddLogLine(Text("lang_Hint_CheckErr") + text, PaneColour::Red);
        return;
    case StAck:
        logText("lang_Hint_ACK", PaneColour::Green);
        return;
    case StOtherErr:
        logText("lang_Hint_OtherErr", PaneColour::Red);
        return;
    case StPswdErr:
        logText("lang_Hint_PswdErr", PaneColour::Red);
        if (!batchRunning()) { // a job reports the module's refusal in its own row
            m_view.ShowCredentialsDialog();
        }
        return;
    case StPortInUse: {
        const QString message = QString::number(CfgPortP6) + Text("lang_Hint_UDPPortInUse");
        m_view.AddLogLine(message, PaneColour::Red);
        m_view.ShowMessage(message);
        return;
    }
    case StOtherSeries:
        m_view.SwitchLayout(LayoutSearch);
        logText("lang_Hint_VerIncompatible", PaneColour::Red);
        return;
    case StUnknownLen:
        m_view.AddLogLine(Text("lang_Hint_ReceiveOther") + text, PaneColour::Red);
        return;
    default:
        return;
    }
}

// ---- Saves and single commands -----------------------------------------------------------

void MainController::SaveP6() {
    const FoundModule* row = selectedRowOrCollapse(true);
    if (!row || row->flag != DevFlagP6 || saveRunning()) {
        return;
    }
    m_view.CollectPanel(PanelId::P6);
    PlanResult planned =
        PlanP6Save(m_p6, m_mirror, TargetOf(*row), {m_selIpIndex, m_selMac}, row->version);
    if (!planned.plan) {
        reportEncodeRefusal(planned.failure);
        return;
    }
    runSequence(std::move(*planned.plan));
}

void MainController::SaveP7() {
    const FoundModule* row = selectedRowOrCollapse(true);
    if (!row || row->flag != DevFlagP7 || saveRunning()) {
        return;
    }
    m_view.CollectPanel(PanelId::P7);
    PlanResult planned = PlanP7Save(m_p7, m_mirror, TargetOf(*row));
    if (!planned.plan) {
        reportEncodeRefusal(planned.failure);
        return;
    }
    runSequence(std::move(*planned.plan));
}

void MainController::SaveP5() {
    // The P5 panel is written over the serial line only; over the LAN there is nothing to send.
    selectedRowOrCollapse(true);
}

void MainController::reportEncodeRefusal(const EncodeResult& refusal) {
    m_view.AddLogLine(EncodeRefusalLogText(refusal), PaneColour::Red);
    m_view.FocusControl(QString::fromStdString(refusal.control));
}

void MainController::runSequence(SequencePlan plan) {
    const bool isSave = plan.mirror.has_value();
    auto* sequence = new LanSequence(*m_udp, m_mirror, std::move(plan), m_user, m_password,
                                     isSave ? nullptr : this);
    connect(sequence, &LanSequence::message, this, &MainController::onSequenceMessage);
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
    connect(sequence, &LanSequence::finished, this, &MainController::sequenceOver);
    sequence->start();
}

void MainController::sequenceOver() {
    if (--m_sequencesRunning == 0 && m_whenLanIdle) {
        std::exchange(m_whenLanIdle, {})();
    }
    reportIfWoundDown();
}

// Every acknowledgement has already been logged as it came; a frame the module did not answer,
// or a save refused before anything went out, is said once more in words at the end.
void MainController::reportVerdict(const LanSequence& sequence) {
    const SequenceVerdict& verdict = sequence.verdict();
    if (!verdict.allAcknowledged()) {
        QString refusal;
        if (const std::optional<SaveRefusal>& why = sequence.refusal()) {
            refusal = why->reason == SaveRefusal::Reason::SeveralModules
                          ? ReadConflictLogText(why->readIp)
                          : ReadOtherModuleLogText(why->readIp, why->mac, why->macIp);
        }
        m_view.AddLogLine(VerdictLogText(verdict, refusal), PaneColour::Red);
    }
    emit sequenceFinished(verdict.allAcknowledged());
}

void MainController::onSequenceMessage(const QString& key) {
    m_view.ShowMessage(Text(key.toStdString()));
}

// ---- Jobs over the selection -------------------------------------------------------------

void MainController::selectionMenuAction(const QString& itemName) {
    if (batchRunning()) {
        return;
    }
    if (itemName == QLatin1String("mni_SelCopyMacs")) {
        QStringList macs;
        for (const FoundModule& row : selectedTargets()) {
            macs << row.mac;
        }
        if (!macs.isEmpty()) {
            m_view.SetClipboardText(macs.join(QLatin1Char('\n')));
        }
    } else if (itemName == QLatin1String("mni_SelRestart")) {
        restartSelection();
    } else if (itemName == QLatin1String("mni_SelApplyFile")) {
        const QString path = m_view.ChooseConfigFile();
        if (!path.isEmpty()) {
            ApplyFileToSelection(path);
        }
    } else if (itemName == QLatin1String("mni_SelUpgrade")) {
        const QString path = m_view.ChooseFirmwareFile();
        if (!path.isEmpty()) {
            UpgradeSelection(path);
        }
    }
}

std::vector<FoundModule> MainController::selectedTargets() const {
    std::vector<FoundModule> targets;
    for (const int index : m_view.SelectedRows()) {
        if (const FoundModule* row = shownRow(index)) {
            targets.push_back(*row);
        }
    }
    return targets;
}

std::vector<BatchTarget> MainController::batchTargets(const std::vector<FoundModule>& rows) const {
    std::vector<BatchTarget> targets;
    for (const FoundModule& row : rows) {
        targets.push_back({row, std::nullopt});
    }
    return targets;
}

BatchSettings MainController::batchSettings() const {
    BatchSettings settings;
    settings.user = m_user;
    settings.password = m_password;
    return settings;
}

// The job reads and writes through the window's endpoint and mirror: the panel shown would no
// longer match what a save sends, so the window goes back to the search layout until a module
// is clicked again. A read or save of the window's own that is still under way (a click just
// before) goes to its end first, so that their frames and replies never interleave.
void MainController::startBatch(BatchKind kind, const std::vector<FoundModule>& targets,
                                std::function<void()> start) {
    m_view.SwitchLayout(LayoutSearch);
    m_view.ShowBatchProgress(kind, targets);
    if (m_sequencesRunning == 0) {
        start();
    } else {
        m_whenLanIdle = std::move(start);
    }
}

std::vector<FoundModule> MainController::selectionForJob() {
    if (batchRunning()) {
        return {};
    }
    std::vector<FoundModule> targets = selectedTargets();
    if (targets.empty()) {
        logText("lang_Hint_NoTarget", PaneColour::Red);
    }
    return targets;
}

void MainController::restartSelection() {
    const std::vector<FoundModule> targets = selectionForJob();
    if (targets.empty()) {
        return;
    }
    startBatch(BatchKind::Restart, targets, [this, jobTargets = batchTargets(targets)] {
        m_batch->startRestart(jobTargets, batchSettings());
    });
}

void MainController::ApplyFileToSelection(const QString& path) {
    const std::vector<FoundModule> targets = selectionForJob();
    if (targets.empty()) {
        return;
    }
    const ApplyFile file = ReadApplyFile(path, targets);
    if (!file.config) {
        m_view.AddLogLine(file.error, PaneColour::Red);
        m_view.ShowMessage(file.error);
        return;
    }
    QStringList thisComputer;
    for (const std::string& ip : ThisComputerAddresses()) {
        thisComputer << QString::fromStdString(ip);
    }
    const auto plan =
        m_view.AskApplyPlan(path, *file.config, targets, m_found.addressesTaken(), thisComputer);
    if (!plan || plan->size() != targets.size()) {
        return;
    }
    std::vector<BatchTarget> jobTargets = batchTargets(targets);
    for (std::size_t i = 0; i < jobTargets.size(); ++i) {
        const config::PlannedModule& planned = (*plan)[i];
        if (!planned.ip.empty() || !planned.name.empty()) {
            jobTargets[i].planned = planned;
        }
    }
    startBatch(BatchKind::ApplyFile, targets,
               [this, jobTargets = std::move(jobTargets), config = *file.config] {
                   m_batch->startConfig(jobTargets, config, batchSettings());
               });
}

void MainController::UpgradeSelection(const QString& imagePath) {
    const std::vector<FoundModule> targets = selectionForJob();
    if (targets.empty()) {
        return;
    }
    QList<UpgradeTarget> upgradeTargets;
    QStringList localIps;
    for (const FoundModule& row : targets) {
        upgradeTargets.push_back({row.ip, MacWithoutSpaces(row.mac)});
        localIps << m_udp->socketLocalIp(row.socketIndex);
    }
    startBatch(BatchKind::Upgrade, targets, [this, upgradeTargets, localIps, imagePath] {
        m_batch->startUpgrade(upgradeTargets, localIps, imagePath);
    });
}

void MainController::StopBatch() {
    m_batch->stop();
}

// ---- Tabs --------------------------------------------------------------------------------

void MainController::SearchTabSwitched(int sheet) {
    const bool lan = sheet == 0;
    m_view.CollectPanel(PanelId::P6);
    m_view.CollectPanel(PanelId::P5);
    ApplyTabSwitchRule(m_p6, lan);
    ApplyTabSwitchRule(m_p5, lan);
    if (lan) {
        m_view.AddLogLine(Text("lang_rztbsht_Net") + Lit(",") + Text("lang_ts_CfgFree"),
                          PaneColour::Maroon);
    } else {
        m_view.AddLogLine(Text("lang_rztbsht_Com") + Lit(",") + Text("lang_ts_CfgGnd"),
                          PaneColour::Maroon);
    }
    m_view.SwitchLayout(LayoutSearch);
    m_view.ShowPanel(PanelId::P6);
    m_view.ShowPanel(PanelId::P5);
    if (!lan) {
        RefreshPortList();
    }
}

// ---- Serial line -------------------------------------------------------------------------

void MainController::connectSerial() {
    SerialExchange* serial = m_serial.get();
    connect(serial, &SerialExchange::sessionOpened, this, [this](bool ok) {
        ok ? logText("lang_ComIsOpen", PaneColour::Green)
           : logText("lang_ComIsNo", PaneColour::Red);
    });
    connect(serial, &SerialExchange::sessionClosed, this,
            [this] { logText("lang_ComIsClose", PaneColour::Green); });
    connect(serial, &SerialExchange::frameSent, this, &MainController::onSerialSent);
    connect(serial, &SerialExchange::chunkReceived, this, [this](const QByteArray& chunk) {
        m_view.AddHexBlock(HexEcho(SerialHead(HexFromDevice), PaneColour::Green, chunk, false));
    });
    connect(serial, &SerialExchange::saveAccepted, this,
            [this] { logText("lang_Ts_ComSetOk", PaneColour::Green); });
    connect(serial, &SerialExchange::p5Reply, this, &MainController::onP5Reply);
    connect(serial, &SerialExchange::p5DefaultIdApplied, this, [this] {
        m_p5.edt_ID = PanelP5{}.edt_ID; // the default device ID the frame carried
        m_view.ShowPanel(PanelId::P5);
    });
    connect(serial, &SerialExchange::OnBaseParams, this, &MainController::onBaseParams);
    connect(serial, &SerialExchange::OnCloudParams, this, &MainController::onCloudParams);
    connect(serial, &SerialExchange::OnHeartReg, this, &MainController::onHeartReg);
    connect(serial, &SerialExchange::finished, this, [this] {
        m_view.SetSerialRunning(false);
        emit serialFinished();
        reportIfWoundDown();
    });
}

void MainController::onSerialSent(const QByteArray& frame, bool ok) {
    if (!ok) {
        logText("lang_Ts_ComSendFailure", PaneColour::Red);
        return;
    }
    m_view.AddHexBlock(HexEcho(SerialHead(HexToDevice), PaneColour::Blue, frame, false));
    m_view.AddLogLine(Text("lang_ts_Send") + Text("lang_ts_OK"), PaneColour::Green);
}

void MainController::onP5Reply(const QByteArray& reply32) {
    m_view.CollectPanel(PanelId::P5);
    const auto* data = reinterpret_cast<const std::uint8_t*>(reply32.constData());
    if (!DecodeP5Reply(ByteView(data, static_cast<std::size_t>(reply32.size())), m_p5)) {
        logText("lang_DataHeadOrChkErr", PaneColour::Red);
        return;
    }
    m_view.SwitchLayout(LayoutP5);
    m_view.ShowPanel(PanelId::P5);
    m_view.AddLogLine(Text("lang_ts_Read") + Text("lang_ts_OK"), PaneColour::Green);
}

void MainController::RefreshPortList() {
    m_view.SetSerialPorts(ListSerialPorts());
}

void MainController::SerialRead() {
    if (m_serial->isRunning()) {
        return;
    }
    const SerialChoice choice = m_view.SerialSettings();
    m_view.ClearPanes();
    m_view.SetSerialRunning(true);
    m_serial->StartRead(choice.port, choice.speedText, choice.devFlag);
}

void MainController::SerialSaveP6() {
    if (m_serial->isRunning()) {
        return;
    }
    m_view.CollectPanel(PanelId::P6);
    const SerialChoice choice = m_view.SerialSettings();
    startSerialSave(m_serial->StartSaveP6(choice.port, choice.speedText, m_p6).isEmpty());
}

void MainController::SerialSaveP5() {
    if (m_serial->isRunning()) {
        return;
    }
    m_view.CollectPanel(PanelId::P5);
    const SerialChoice choice = m_view.SerialSettings();
    startSerialSave(m_serial->StartSaveP5(choice.port, choice.speedText, m_p5).isEmpty());
}

// The exchange was idle (checked before), so a save it did not take is one its encoder refused.
void MainController::startSerialSave(bool started) {
    if (!started) {
        reportEncodeRefusal(m_serial->encodeRefusal());
        return;
    }
    m_view.SetSerialRunning(true);
}

void MainController::CloseSerial() {
    m_serial->CloseSerialSession();
}

} // namespace r2
