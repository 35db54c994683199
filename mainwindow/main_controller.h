#pragma once
// MainController: the main window's workflows below the widgets, composed of one part per job,
// each seeing only its slice of the view: the device list (DeviceList), the frame echo in the
// hex pane (FrameEcho), the P6 replies filled into the panel (PanelReplies), the LAN session of
// the selected module (LanSession: click, saves, single commands, statuses), the serial sheet
// (SerialActions) and the jobs over the selection (SelectionJobs). It owns the UDP endpoint, the
// parameter mirror and the three panel structs they share, wires the endpoint to the parts, and
// keeps what spans them: the tab switch and the window's wind-down.
//
// The window forwards the user's actions here and implements MainView for what the parts show;
// every line of the two panes, every layout switch and every message comes from below, so the
// window and a controller test see the same behaviour.

#include "mainwindow/device_list.h"
#include "mainwindow/device_menu.h"
#include "mainwindow/frame_echo.h"
#include "mainwindow/lan_session.h"
#include "mainwindow/main_view.h"
#include "mainwindow/panel_replies.h"
#include "mainwindow/selection_jobs.h"
#include "mainwindow/serial_actions.h"
#include "protocol/block_codec.h"
#include "protocol/panel_p5.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p6_reader.h"
#include "protocol/panel_p7.h"

#include <memory>
#include <QObject>
#include <QString>
#include <span>
#include <vector>

namespace r2 {

class TUdpSvr;

class MainController final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainController)

public:
    explicit MainController(MainView& view, QObject* parent = nullptr);
    ~MainController() override;

    PanelP6& panelP6() { return m_p6; }
    PanelP7& panelP7() { return m_p7; }
    PanelP5& panelP5() { return m_p5; }
    TUdpSvr& udp() { return *m_udp; }
    // The rows the device list shows.
    std::span<const FoundModule> rows() const { return m_devices->rows(); }
    const FoundModules& found() const { return m_devices->found(); }

    QString userName() const { return m_session->userName(); }
    QString password() const { return m_session->password(); }
    void setCredentials(const QString& user, const QString& password);

    // btn_Search (and the context menu's hidden read item).
    void Search();
    // lv_DevClick: a click on the device list, also run before its context menu opens.
    void DeviceClicked() { m_session->Click(); }
    // An item of the device list's context menu.
    void DeviceMenuAction(DeviceMenuItem item);
    // The selection's items of that menu, with the file already chosen.
    void ApplyFileToSelection(const QString& path) { m_jobs->ApplyFileToSelection(path); }
    void UpgradeSelection(const QString& imagePath) { m_jobs->UpgradeSelection(imagePath); }
    // The job over the selection stops after the module it is on; the rest are not run.
    void StopBatch() { m_jobs->Stop(); }
    // The LAN save buttons: btn_P6NetSet, btn_P7NetSet, btn_P5Set.
    void SaveP6() { m_session->SaveP6(); }
    void SaveP7() { m_session->SaveP7(); }
    void SaveP5() { m_session->SaveP5(); }
    // rzpgcntrl_SrchTabClick for sheet 0 (LAN) or 1 (serial): the panel rules and the log hint.
    void SearchTabSwitched(int sheet);

    bool saveRunning() const { return m_session->saveRunning(); }
    bool batchRunning() const { return m_jobs->isRunning(); }
    // Nothing of the window's own runs: no LAN read, save or command, no serial action and no
    // job over the selection.
    bool idle() const;
    // The window is closing: a job over the selection stops after the module it is on (one
    // still waiting for a read to end never starts), while reads, saves, commands and serial
    // actions run to their end, so no module is left half written. woundDown() follows once
    // the last of them is over.
    void WindDown();

    // The serial sheet: cbb_SelectCom's drop-down opening, btn_ComRead, btn_P6ComSet,
    // btn_ComSet. One serial action runs at a time.
    void RefreshPortList() { m_serial->RefreshPortList(); }
    void SerialRead() { m_serial->Read(); }
    void SerialSaveP6() { m_serial->SaveP6(); }
    void SerialSaveP5() { m_serial->SaveP5(); }
    // The window closes: the port too (it logs that it closed).
    void CloseSerial() { m_serial->Close(); }
    SerialExchange& serial() { return m_serial->exchange(); }

signals:
    // After a row was added; the window's benchmark and tests watch it.
    void rowsAdded(int total);
    // A LAN sequence finished (all frames sent and its acknowledgement wait over); `confirmed`
    // when the module itself acknowledged every frame that expects it.
    void sequenceFinished(bool confirmed);
    // A serial read or save is over and the port closed again.
    void serialFinished();
    // After WindDown(): everything that ran is over.
    void woundDown();

private:
    void connectEndpoint();
    void reportIfWoundDown();

    MainView& m_view;
    ParamMirror m_mirror;
    PanelP6 m_p6;
    PanelP6Reader m_p6Reader{m_p6}; // the replies of the module read into m_p6
    PanelP7 m_p7;
    PanelP5 m_p5;
    std::unique_ptr<TUdpSvr> m_udp;
    std::unique_ptr<DeviceList> m_devices;
    FrameEcho m_echo;
    std::unique_ptr<LanSession> m_session;
    std::unique_ptr<SelectionJobs> m_jobs; // after the endpoint, mirror and session it uses
    std::unique_ptr<PanelReplies> m_replies;
    std::unique_ptr<SerialActions> m_serial;
    bool m_windingDown = false;
};

} // namespace r2
