#include "mainwindow/main_controller.h"

#include "lan/Unit_Udp.h"
#include "mainwindow/controller_texts.h"

namespace r2 {

MainController::MainController(MainView& view, QObject* parent)
    : QObject(parent), m_view(view), m_udp(std::make_unique<TUdpSvr>(m_mirror)),
      m_devices(std::make_unique<DeviceList>(view)), m_echo(view) {
    const auto jobRunning = [this] { return m_jobs->isRunning(); };
    m_session =
        std::make_unique<LanSession>(*m_udp, m_mirror, SessionPanels{m_p6, m_p7, m_p6Reader},
                                     *m_devices, SessionViews{view, view, view}, jobRunning);
    m_jobs = std::make_unique<SelectionJobs>(*m_udp, m_mirror, *m_devices, *m_session,
                                             JobViews{view, view, view});
    m_replies = std::make_unique<PanelReplies>(view, view, *m_devices, m_p6Reader, jobRunning);
    m_serial = std::make_unique<SerialActions>(m_mirror, m_p6, m_p5, SerialViews{view, view, view},
                                               m_echo, *m_replies);
    connectEndpoint();
    connect(m_devices.get(), &DeviceList::rowsAdded, this, &MainController::rowsAdded);
    connect(m_session.get(), &LanSession::sequenceFinished, this,
            &MainController::sequenceFinished);
    connect(m_session.get(), &LanSession::sequenceOver, this, &MainController::reportIfWoundDown);
    connect(m_jobs.get(), &SelectionJobs::finished, this, &MainController::reportIfWoundDown);
    connect(m_serial.get(), &SerialActions::finished, this, [this] {
        emit serialFinished();
        reportIfWoundDown();
    });
}

MainController::~MainController() = default;

void MainController::connectEndpoint() {
    TUdpSvr* udp = m_udp.get();
    FrameEcho* echo = &m_echo;
    connect(udp, &TUdpSvr::OnSent, this,
            [echo](const QByteArray& frame, const QString& destIp, quint16 localPort,
                   quint16 destPort, const QString& localIp) {
                echo->LanSent(frame, destIp, localPort, destPort, localIp);
            });
    connect(udp, &TUdpSvr::OnReceived, this,
            [echo](const QByteArray& frame, const QString& senderIp, quint16 localPort,
                   quint16 senderPort, const QString& localIp) {
                echo->LanReceived(frame, senderIp, localPort, senderPort, localIp);
            });
    connect(udp, &TUdpSvr::OnDeviceFound, m_devices.get(), &DeviceList::OnDeviceFound);
    PanelReplies* replies = m_replies.get();
    connect(
        udp, &TUdpSvr::OnBaseParams, this,
        [replies](const TBaseParam& base, const TarrComParam& ports, int devFlag, bool fromSerial) {
            replies->OnBaseParams(base, ports, devFlag, fromSerial);
        });
    connect(udp, &TUdpSvr::OnCloudParams, this,
            [replies](const TarrCloudParam& clouds, bool fromSerial, int devFlag) {
                replies->OnCloudParams(clouds, fromSerial, devFlag);
            });
    connect(udp, &TUdpSvr::OnHeartReg, this,
            [replies](const QByteArray& block85, bool fromSerial, int devFlag) {
                replies->OnHeartReg(block85, fromSerial, devFlag);
            });
    connect(udp, &TUdpSvr::OnHttpd, this,
            [replies](const QByteArray& url, const QByteArray& header) {
                replies->OnHttpd(url, header);
            });
    connect(udp, &TUdpSvr::OnModbusParam, this, [replies](const TModbusParam& param, int length) {
        replies->OnModbusParam(param, length);
    });
    connect(udp, &TUdpSvr::OnModbusPack, this,
            [replies](const TModbusPackParam& param, int length) {
                replies->OnModbusPack(param, length);
            });
}

void MainController::setCredentials(const QString& user, const QString& password) {
    m_session->setCredentials(user, password);
}

bool MainController::idle() const {
    return m_session->sequencesRunning() == 0 && !m_serial->isRunning() && !batchRunning();
}

void MainController::WindDown() {
    m_windingDown = true;
    m_jobs->WindDown();
    reportIfWoundDown();
}

void MainController::reportIfWoundDown() {
    if (m_windingDown && idle()) {
        m_windingDown = false;
        emit woundDown();
    }
}

void MainController::Search() {
    if (batchRunning()) {
        return;
    }
    m_view.ClearPanes();
    m_devices->Clear();
    m_udp->SearchDevices();
}

void MainController::DeviceMenuAction(DeviceMenuItem item) {
    if (ActsOnSelection(item)) {
        m_jobs->MenuAction(item);
    } else if (item == DeviceMenuItem::CopyAllMacs) {
        QStringList macs;
        for (const FoundModule& row : m_devices->rows()) {
            macs << row.mac;
        }
        if (!macs.isEmpty()) {
            m_view.SetClipboardText(macs.join(QLatin1String("\r\n")));
        }
    } else if (item == DeviceMenuItem::ReadTheParam) {
        if (m_session->SelectedOrCollapse(false)) {
            Search();
        }
    } else {
        m_session->Command(item);
    }
}

// ---- Tabs --------------------------------------------------------------------------------

void MainController::SearchTabSwitched(int sheet) {
    const bool lan = sheet == 0;
    ApplyTabSwitchRule(m_p6, lan);
    ApplyTabSwitchRule(m_p5, lan);
    if (lan) {
        m_view.AddLogLine(Text("lang_rztbsht_Net") + Utf8(",") + Text("lang_ts_CfgFree"),
                          PaneColour::Maroon);
    } else {
        m_view.AddLogLine(Text("lang_rztbsht_Com") + Utf8(",") + Text("lang_ts_CfgGnd"),
                          PaneColour::Maroon);
    }
    m_view.SwitchLayout(LayoutSearch);
    m_view.ShowPanel(PanelId::P6);
    m_view.ShowPanel(PanelId::P5);
    if (!lan) {
        RefreshPortList();
    }
}

} // namespace r2
