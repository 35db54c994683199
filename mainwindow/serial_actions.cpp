#include "mainwindow/serial_actions.h"

#include "mainwindow/controller_texts.h"
#include "protocol/p5_codec.h"
#include "serial/serial_ports.h"

namespace r2 {

SerialActions::SerialActions(ParamMirror& mirror, PanelP6& p6, PanelP5& p5, SerialViews views,
                             FrameEcho& echo, PanelReplies& replies, QObject* parent)
    : QObject(parent), m_p6(p6), m_p5(p5), m_output(views.output), m_panels(views.panels),
      m_view(views.serial), m_comm(std::make_unique<TComm>()),
      m_exchange(std::make_unique<SerialExchange>(*m_comm, mirror)) {
    connectExchange(echo, replies);
}

SerialActions::~SerialActions() = default;

void SerialActions::connectExchange(FrameEcho& echo, PanelReplies& replies) {
    SerialExchange* exchange = m_exchange.get();
    connect(exchange, &SerialExchange::sessionOpened, this, [this](bool ok) {
        ok ? LogText(m_output, "lang_ComIsOpen", PaneColour::Green)
           : LogText(m_output, "lang_ComIsNo", PaneColour::Red);
    });
    connect(exchange, &SerialExchange::sessionClosed, this,
            [this] { LogText(m_output, "lang_ComIsClose", PaneColour::Green); });
    connect(exchange, &SerialExchange::frameSent, this,
            [&echo](const QByteArray& frame, bool ok) { echo.SerialSent(frame, ok); });
    connect(exchange, &SerialExchange::chunkReceived, this,
            [&echo](const QByteArray& chunk) { echo.SerialReceived(chunk); });
    connect(exchange, &SerialExchange::saveAccepted, this,
            [this] { LogText(m_output, "lang_Ts_ComSetOk", PaneColour::Green); });
    connect(exchange, &SerialExchange::p5Reply, this, &SerialActions::onP5Reply);
    connect(exchange, &SerialExchange::p5DefaultIdApplied, this, [this] {
        m_p5.edt_ID = PanelP5{}.edt_ID; // the default device ID the frame carried
        m_panels.ShowPanel(PanelId::P5);
    });
    connect(
        exchange, &SerialExchange::OnBaseParams, this,
        [&replies](const TBaseParam& base, const TarrComParam& ports, int devFlag,
                   bool fromSerial) { replies.OnBaseParams(base, ports, devFlag, fromSerial); });
    connect(exchange, &SerialExchange::OnCloudParams, this,
            [&replies](const TarrCloudParam& clouds, bool fromSerial, int devFlag) {
                replies.OnCloudParams(clouds, fromSerial, devFlag);
            });
    connect(exchange, &SerialExchange::OnHeartReg, this,
            [&replies](const QByteArray& block85, bool fromSerial, int devFlag) {
                replies.OnHeartReg(block85, fromSerial, devFlag);
            });
    connect(exchange, &SerialExchange::finished, this, [this] {
        m_view.SetSerialRunning(false);
        emit finished();
    });
}

void SerialActions::onP5Reply(const QByteArray& reply32) {
    if (!DecodeP5Reply(ViewOf(reply32), m_p5)) {
        LogText(m_output, "lang_DataHeadOrChkErr", PaneColour::Red);
        return;
    }
    m_panels.SwitchLayout(LayoutP5);
    m_panels.ShowPanel(PanelId::P5);
    m_output.AddLogLine(Text("lang_ts_Read") + Text("lang_ts_OK"), PaneColour::Green);
}

void SerialActions::RefreshPortList() {
    m_view.SetSerialPorts(ListSerialPorts());
}

void SerialActions::Read() {
    if (m_exchange->isRunning()) {
        return;
    }
    const SerialChoice choice = m_view.SerialSettings();
    m_output.ClearPanes();
    m_view.SetSerialRunning(true);
    m_exchange->StartRead(choice.port, choice.speedText, choice.devFlag);
}

void SerialActions::SaveP6() {
    if (m_exchange->isRunning()) {
        return;
    }
    const SerialChoice choice = m_view.SerialSettings();
    startSave(m_exchange->StartSaveP6(choice.port, choice.speedText, m_p6).isEmpty());
}

void SerialActions::SaveP5() {
    if (m_exchange->isRunning()) {
        return;
    }
    const SerialChoice choice = m_view.SerialSettings();
    startSave(m_exchange->StartSaveP5(choice.port, choice.speedText, m_p5).isEmpty());
}

void SerialActions::startSave(bool started) {
    if (!started) {
        ReportEncodeRefusal(m_output, m_panels, m_exchange->encodeRefusal());
        return;
    }
    m_view.SetSerialRunning(true);
}

void SerialActions::Close() {
    m_exchange->CloseSerialSession();
}

} // namespace r2
