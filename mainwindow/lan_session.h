#pragma once
// LanSession: the LAN work on the one selected module: the click's read, the panel's saves and
// the single commands of the device menu, each run as a LanSequence on timers, plus what the
// endpoint reports (statuses, foreign replies, dropped datagrams) in the log. It holds the
// device-login credentials and the selection a P6 save is addressed with (SelMAC, SelIpIndex).
//
// A save button cannot start a second save while one runs. A panel value that does not convert
// sends nothing: the log names the control in red and the view puts the focus on it.

#include "lan/lan_sequences.h"
#include "mainwindow/device_list.h"
#include "mainwindow/device_menu.h"
#include "mainwindow/main_view.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p6_reader.h"
#include "protocol/panel_p7.h"

#include <functional>
#include <memory>
#include <QObject>
#include <QString>

namespace r2 {

class TUdpSvr;

// The panels and the state a session reads and fills.
struct SessionPanels {
    PanelP6& p6;
    PanelP7& p7;
    PanelP6Reader& p6Reader;
};

// The parts of the window a session shows itself in.
struct SessionViews {
    OutputView& output;
    PanelView& panels;
    SessionView& session;
};

class LanSession final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LanSession)

public:
    // `jobRunning`: whether a job over the selection runs now (it then reports a module's
    // refusal of the password in its own row).
    LanSession(TUdpSvr& udp, ParamMirror& mirror, SessionPanels panels, const DeviceList& devices,
               SessionViews views, std::function<bool()> jobRunning, QObject* parent = nullptr);
    ~LanSession() override;

    QString userName() const { return m_user; }
    QString password() const { return m_password; }
    void setCredentials(const QString& user, const QString& password);

    // lv_DevClick: reads the selected module.
    void Click();
    // The LAN save buttons.
    void SaveP6();
    void SaveP7();
    void SaveP5();
    // The device menu's items about the one selected module: OpenWeb, Restart, Reset,
    // CopyTheMac (after SelectedOrCollapse) and FirmwareUp.
    void Command(DeviceMenuItem item);
    // The selected row, or null after SwitchLayout(LayoutSearch) and, where asked, the red
    // "select the module" hint.
    const FoundModule* SelectedOrCollapse(bool hintWhenNone);

    bool saveRunning() const;
    // The reads, saves and commands under way.
    int sequencesRunning() const { return m_sequencesRunning; }

signals:
    // A sequence finished (all frames sent and its acknowledgement wait over); `confirmed` when
    // the module itself acknowledged every frame that expects it.
    void sequenceFinished(bool confirmed);
    // After sequenceFinished, once the sequence no longer counts as running.
    void sequenceOver();

private:
    void connectEndpoint();
    void onStatus(int code, const QString& text);
    void runSequence(SequencePlan plan);
    void reportVerdict(const LanSequence& sequence);

    TUdpSvr& m_udp;
    ParamMirror& m_mirror;
    SessionPanels m_panelData;
    const DeviceList& m_devices;
    OutputView& m_output;
    PanelView& m_panels;
    SessionView& m_view;
    std::function<bool()> m_jobRunning;
    std::unique_ptr<LanSequence> m_sequence; // the save under way or last run
    int m_sequencesRunning = 0;
    QString m_selMac;
    int m_selIpIndex = 0;
    QString m_user;
    QString m_password;
};

} // namespace r2
