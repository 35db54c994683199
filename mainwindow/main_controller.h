#pragma once
// MainController: the main window's workflows below the widgets. It owns the UDP endpoint, the
// parameter mirror, the three panel structs, the device rows, the selection state (SelMAC,
// SelIpIndex), the device-login credentials and the running LAN sequence. The window forwards
// the user's actions here and implements MainView for what the controller shows; every line of
// the two panes, every layout switch and every message comes from here, so the window and a
// controller test see the same behaviour.
//
// Saves never block the event loop: they run as LanSequence timers, and a save button cannot
// start a second save while one runs. A panel value that does not convert sends nothing: the
// log names the control in red and the view puts the focus on it.

#include "block_codec.h"
#include "lan_sequences.h"
#include "main_view.h"
#include "module_batch.h"
#include "panel_p5.h"
#include "panel_p6.h"
#include "panel_p6_reader.h"
#include "panel_p7.h"
#include "SPComm.h"
#include "Unit_Comm.h"

#include <functional>
#include <limits>
#include <memory>
#include <QList>
#include <QObject>
#include <QString>
#include <span>
#include <vector>

namespace r2 {

class SelectionBatch;
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
    // The rows the device list shows; replies of the pass under way join it at its end.
    std::span<const FoundModule> rows() const {
        return std::span(m_found.modules()).first(m_shownRows);
    }
    const FoundModules& found() const { return m_found; }

    QString userName() const { return m_user; }
    QString password() const { return m_password; }
    void setCredentials(const QString& user, const QString& password);

    // btn_Search (and the context menu's hidden read item).
    void Search();
    // lv_DevClick: a click on the device list, also run before its context menu opens.
    void DeviceClicked();
    // mni_LvRightMmClick, by the item's objectName.
    void DeviceMenuAction(const QString& itemName);
    // The selection's items of that menu. A file that is not fit for every selected module
    // (another model, an unknown control, a wrong value) is refused in the log and a message
    // naming the file, the control and the value, and nothing is sent.
    void ApplyFileToSelection(const QString& path);
    // The firmware image at `path` into every selected module, each told to fetch it from the
    // computer's address on its own network.
    void UpgradeSelection(const QString& imagePath);
    // The job over the selection stops after the module it is on; the rest are not run.
    void StopBatch();
    // The LAN save buttons: btn_P6NetSet, btn_P7NetSet, btn_P5Set.
    void SaveP6();
    void SaveP7();
    void SaveP5();
    // rzpgcntrl_SrchTabClick for sheet 0 (LAN) or 1 (serial): the panel rules and the log hint.
    void SearchTabSwitched(int sheet);

    bool saveRunning() const;
    bool batchRunning() const;
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
    void RefreshPortList();
    void SerialRead();
    void SerialSaveP6();
    void SerialSaveP5();
    // The window closes: the port too (it logs that it closed).
    void CloseSerial();
    SerialExchange& serial() { return *m_serial; }

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
    void connectSerial();
    void onSerialSent(const QByteArray& frame, bool ok);
    void onP5Reply(const QByteArray& reply32);
    void startSerialSave(bool started);
    void onSent(const QByteArray& frame, const QString& destIp, quint16 localPort, quint16 destPort,
                const QString& localIp);
    void onReceived(const QByteArray& frame, const QString& senderIp, quint16 localPort,
                    quint16 senderPort, const QString& localIp);
    void onDeviceFound(const QString& ip, const QString& name, int socketIndex, int devFlag,
                       const QString& version, const QString& mac);
    void flushFoundRows();
    void onBaseParams(const TBaseParam& base, const TarrComParam& ports, int devFlag,
                      bool fromSerial);
    void onCloudParams(const TarrCloudParam& clouds, bool fromSerial, int devFlag);
    void onHeartReg(const QByteArray& block85, bool fromSerial, int devFlag);
    void onHttpd(const QByteArray& url, const QByteArray& header);
    void onModbusParam(const TModbusParam& param, int length);
    void onModbusPack(const TModbusPackParam& param, int length);
    void onStatus(int code, const QString& text);
    // Collects the P6 panel from the widgets, hands a reply to the reader and shows the panel
    // when the reply changed it.
    void refillP6(const std::function<void(PanelP6Reader&)>& deliver);

    // The list's row at `index`; null when the list shows no such row.
    const FoundModule* shownRow(int index) const;
    // The selected row, or null after SwitchLayout(LayoutSearch) and, where given, the red
    // "select the module" hint.
    const FoundModule* selectedRowOrCollapse(bool hintWhenNone);
    void runSequence(SequencePlan plan);
    void onSequenceMessage(const QString& key);
    void reportVerdict(const LanSequence& sequence);
    void reportEncodeRefusal(const EncodeResult& refusal);
    void logText(std::string_view key, PaneColour colour);
    // The jobs over the selected rows.
    void selectionMenuAction(const QString& itemName);
    std::vector<FoundModule> selectedTargets() const;
    // The selected rows a new job takes; empty while a job runs (its dialog is open), or when
    // nothing is selected (which the log says).
    std::vector<FoundModule> selectionForJob();
    std::vector<BatchTarget> batchTargets(const std::vector<FoundModule>& rows) const;
    BatchSettings batchSettings() const;
    void startBatch(BatchKind kind, const std::vector<FoundModule>& targets,
                    std::function<void()> start);
    void sequenceOver();
    void reportIfWoundDown();
    void restartSelection();

    MainView& m_view;
    ParamMirror m_mirror;
    PanelP6 m_p6;
    PanelP6Reader m_p6Reader{m_p6}; // the replies of the module read into m_p6
    PanelP7 m_p7;
    PanelP5 m_p5;
    std::unique_ptr<TUdpSvr> m_udp;
    std::unique_ptr<LanSequence> m_sequence;
    std::unique_ptr<TComm> m_comm; // cm1; before the exchange that uses it
    std::unique_ptr<SerialExchange> m_serial;
    std::unique_ptr<SelectionBatch> m_batch; // after the endpoint and mirror it uses
    int m_sequencesRunning = 0;              // the window's own reads, saves and commands
    std::function<void()> m_whenLanIdle;     // a job's start, waiting for them
    bool m_windingDown = false;
    // Every module that answered the search, the first reply per MAC; the window lists them
    // all, as many as answer.
    FoundModules m_found{std::numeric_limits<std::size_t>::max()};
    std::size_t m_shownRows = 0; // of m_found, the rows the list shows
    bool m_flushQueued = false;
    QString m_selMac;
    int m_selIpIndex = 0;
    QString m_user;
    QString m_password;
};

} // namespace r2
