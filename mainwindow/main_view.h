#pragma once
// MainView: the narrow surface through which the workflow controller (MainController) reaches
// the main window, cut into one slice per part of the controller. The window implements all of
// them with widgets; a controller test implements the slice of the part it drives with plain
// lists. Nothing here knows a widget type.

#include "lan/found_modules.h"
#include "protocol/config/address_plan.h"
#include "protocol/config/config_file.h"

#include <optional>
#include <QString>
#include <QStringList>
#include <span>
#include <vector>

namespace r2 {

// Colours of the two output panes: window text, green (0,128,0), blue (0,0,255), red (255,0,0)
// and maroon (128,0,0).
enum class PaneColour { WindowText, Green, Blue, Red, Maroon };

// The arrangements of the main window. LayoutInit arranges the controls once at creation.
enum LayoutCode : int {
    LayoutInit = -1,
    LayoutSearch = 0,
    LayoutP5 = 1,
    LayoutP6 = 2,
    LayoutP7 = 3,
};

// One line of an output pane with its colour.
struct ColouredLine {
    QString text;
    PaneColour colour = PaneColour::WindowText;
};

// What the serial sheet says an exchange uses: the port (cbb_SelectCom's text), the speed as
// shown (cbbSoftBitRate's text) and the model asked for by a read (rbP5, rbP6, rbP7).
struct SerialChoice {
    QString port;
    QString speedText;
    int devFlag = 0;
};

// Which model panel a call is about.
enum class PanelId { P5, P6, P7 };

// A job run over the selected modules, one module after another.
enum class BatchKind { Restart, ApplyFile, Upgrade };

// Where one module of such a job stands.
struct BatchOutcome {
    enum class State { Waiting, Running, Ok, Failed, NotRun };
    State state = State::Waiting;
    QString reason;   // Failed: what happened and what to do
    int percent = -1; // Running: how far, where the job says (an upgrade)
};

// What the user is told: the operation log, the hex stream pane, a message box and the
// clipboard.
class OutputView {
public:
    virtual ~OutputView() = default;

    virtual void AddLogLine(const QString& text, PaneColour colour = PaneColour::Green) = 0;
    virtual void AddHexLine(const QString& text, PaneColour colour = PaneColour::WindowText) = 0;
    // The lines that echo one frame: they reach the hex pane together, or, while the pane is
    // flooded with more than it can show, not at all (the pane then says how many it left out).
    virtual void AddHexBlock(const std::vector<ColouredLine>& lines) = 0;
    virtual void ClearPanes() = 0;
    virtual void ShowMessage(const QString& text) = 0;
    virtual void SetClipboardText(const QString& text) = 0;
};

// The parameter area: which layout shows and the panel structs' widgets.
class PanelView {
public:
    virtual ~PanelView() = default;

    virtual void SwitchLayout(int code) = 0;
    // The panel's struct has changed: show it. What the user types goes into the struct as it is
    // typed, so the struct always holds what the panel shows and is never read back from it.
    virtual void ShowPanel(PanelId panel) = 0;
    virtual void FocusControl(const QString& name) = 0;
};

// The device list's rows and what the user selected in it.
class DeviceListView {
public:
    virtual ~DeviceListView() = default;

    virtual void ClearDeviceList() = 0;
    virtual void AddDeviceRows(std::span<const FoundModule> rows) = 0;
    // The row's module shares its IP address with another listed module: marked (colour and a
    // hint), since such modules cannot be told apart on the network.
    virtual void MarkSharedAddress(int row) = 0;
    // Index of the selected row; -1 when none or several are selected, since the one-module
    // actions (the click's read, the panel's saves, open web, reset) are then about no module.
    virtual int SelectedRow() const = 0;
    // Every selected row, in list order.
    virtual std::vector<int> SelectedRows() const = 0;
};

// What the LAN session of the selected module opens or locks beyond the panes.
class SessionView {
public:
    virtual ~SessionView() = default;

    virtual void ShowCredentialsDialog() = 0;
    virtual void OpenUrl(const QString& url) = 0;
    // The firmware upgrade dialog, with the module's IP and MAC (without spaces) filled in when
    // they are given, else as it was left.
    virtual void ShowUpgradeDialog(const QString& ip, const QString& mac) = 0;
    // While a LAN save runs its save buttons cannot start another.
    virtual void SetSaveRunning(bool running) = 0;
};

// The dialogs of a job over the selected modules.
class BatchView {
public:
    virtual ~BatchView() = default;

    // A module configuration file or a firmware image to open; empty when the user cancelled.
    virtual QString ChooseConfigFile() = 0;
    virtual QString ChooseFirmwareFile() = 0;
    // The address plan for applying `file` (read from `path`) to `targets`, of which the user
    // may cancel; else one planned module per target. `taken`: the listed addresses;
    // `thisComputer`: the computer's own.
    virtual std::optional<std::vector<config::PlannedModule>>
    AskApplyPlan(const QString& path, const config::ModuleConfig& file,
                 const std::vector<FoundModule>& targets, const QStringList& taken,
                 const QStringList& thisComputer) = 0;
    // The progress of a job over `targets`: nothing else may reach the modules over the LAN
    // until BatchFinished. Its Stop calls MainController::StopBatch.
    virtual void ShowBatchProgress(BatchKind kind, const std::vector<FoundModule>& targets) = 0;
    virtual void ShowBatchOutcome(int index, const BatchOutcome& outcome) = 0;
    virtual void BatchFinished() = 0;
};

// The serial sheet's choices and buttons.
class SerialView {
public:
    virtual ~SerialView() = default;

    virtual SerialChoice SerialSettings() const = 0;
    // New entries for cbb_SelectCom; the chosen port stays chosen when it is still listed.
    virtual void SetSerialPorts(const QStringList& ports) = 0;
    // While a serial read or save runs, btn_ComRead, btn_ComSet and btn_P6ComSet cannot start
    // another.
    virtual void SetSerialRunning(bool running) = 0;
};

// The whole window as the controller sees it: each of the controller's parts is given only the
// slices above that it needs.
class MainView : public OutputView,
                 public PanelView,
                 public DeviceListView,
                 public SessionView,
                 public BatchView,
                 public SerialView {};

} // namespace r2
