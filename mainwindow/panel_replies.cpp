#include "mainwindow/panel_replies.h"

#include "mainwindow/controller_texts.h"

#include <optional>
#include <QTimer>
#include <span>
#include <string>
#include <utility>

namespace r2 {

PanelReplies::PanelReplies(OutputView& output, PanelView& panels, const DeviceList& devices,
                           PanelP6Reader& reader, std::function<bool()> jobRunning)
    : m_output(output), m_panels(panels), m_devices(devices), m_reader(reader),
      m_jobRunning(std::move(jobRunning)) {}

void PanelReplies::OnBaseParams(const TBaseParam& base, const TarrComParam& ports, int devFlag,
                                bool fromSerial) {
    if (m_jobRunning() && !fromSerial) {
        return; // a module of the job answering its read: the job fills its own panel
    }
    std::optional<std::string> selectedMac;
    if (const FoundModule* row = m_devices.Selected()) {
        selectedMac = row->mac.toStdString();
    }
    m_reader.SetModule(selectedMac);
    m_reader.OnBaseParams(base, ports, devFlag, fromSerial);
    const BaseFillResult result = m_reader.LastBaseResult();
    if (result == BaseFillResult::Dropped) {
        return;
    }
    if (result == BaseFillResult::FilledP6) {
        m_panels.SwitchLayout(LayoutP6);
        showP6Soon();
    }
    m_output.AddLogLine(Text("lang_ts_Read") + Text("lang_ts_OK"), PaneColour::Green);
}

void PanelReplies::OnCloudParams(const TarrCloudParam& clouds, bool fromSerial, int devFlag) {
    refillP6([&](PanelP6Reader& r) { r.OnCloudParams(clouds, fromSerial, devFlag); });
}

void PanelReplies::OnHeartReg(const QByteArray& block85, bool fromSerial, int devFlag) {
    refillP6([&](PanelP6Reader& r) { r.OnHeartReg(ViewOf(block85), fromSerial, devFlag); });
}

void PanelReplies::OnHttpd(const QByteArray& url, const QByteArray& header) {
    refillP6([&](PanelP6Reader& r) { r.OnHttpd(url.toStdString(), header.toStdString()); });
}

void PanelReplies::OnModbusParam(const TModbusParam& param, int length) {
    refillP6([&](PanelP6Reader& r) { r.OnModbusParam(param, length); });
}

void PanelReplies::OnModbusPack(const TModbusPackParam& param, int length) {
    refillP6([&](PanelP6Reader& r) { r.OnModbusPack(param, length); });
}

void PanelReplies::refillP6(const std::function<void(PanelP6Reader&)>& deliver) {
    if (m_jobRunning()) {
        return;
    }
    deliver(m_reader);
    if (m_reader.LastReplyChanged()) {
        showP6Soon();
    }
}

void PanelReplies::showP6Soon() {
    if (std::exchange(m_showPending, true)) {
        return;
    }
    QTimer::singleShot(0, this, [this] {
        m_showPending = false;
        m_panels.ShowPanel(PanelId::P6);
    });
}

} // namespace r2
