#pragma once
// TFrm_Main: the main window. Layout and binding only: the left column (LAN/serial sheets with
// the device list, the operation log and the hex stream pane), the parameter area with the three
// model panels, the main menu and the device list's context menu. Every workflow runs in
// MainController; the window implements MainView for it.
//
// Creation follows the program's start-up order: language table (a language file that cannot be
// written is logged in red and the built-in texts are used), settings file, texts, the one-time
// layout, the search layout. Closing saves the settings; when that fails the error is shown and
// the window still closes.
//
// Every way of closing (the close box, the Quit item, Alt+F4, the program being asked to quit)
// takes closeEvent. A close never cuts what runs: while a save, read, serial action or job over
// the selection runs, the window stays, says so in the log, stops a job after its current
// module, and closes by itself when all of it is over. The close guard (the shell's upgrade
// dialog) may refuse the close first.

#include "mainwindow/main_controller.h"
#include "mainwindow/main_view.h"
#include "mainwindow/panel_files.h"
#include "protocol/panel_controls.h"
#include "settings/Unit_Ini.h"

#include <functional>
#include <memory>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QUrl>

class QMenu;

namespace Ui {
class TFrm_Main;
}

namespace r2 {

class PanelBinderBase;
class PanelP5Widget;
class PanelP6Widget;
class PanelP7Widget;
class Tfrm_ApplyPlan;
class Tfrm_BatchProgress;

class TFrm_Main final : public QMainWindow, public MainView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFrm_Main)

public:
    // `programDir` holds the settings, language and export files; `version` ends the caption.
    TFrm_Main(const QString& programDir, const QString& version, QWidget* parent = nullptr);
    ~TFrm_Main() override;

    MainController& controller() { return *m_controller; }
    // The P6 and P7 panels' files; the buttons' file dialogs end in its calls.
    PanelFiles& panelFiles() { return *m_panelFiles; }
    int layoutCode() const { return m_layout; }
    const R2Settings& settings() const { return m_settings; }
    // How addresses are opened (the system's default handler; tests record them instead).
    void setUrlOpener(std::function<void(const QUrl&)> opener) { m_openUrl = std::move(opener); }
    // Runs the language switch of the Language menu: texts of every window, then the setting.
    void SwitchLanguage(bool chinese);
    void ExportDeviceList();
    void EnableDeviceMenu(bool enabled);

    // MainView
    void AddLogLine(const QString& text, PaneColour colour = PaneColour::Green) override;
    void AddHexLine(const QString& text, PaneColour colour = PaneColour::WindowText) override;
    void AddHexBlock(const std::vector<ColouredLine>& lines) override;
    void ClearPanes() override;
    void SwitchLayout(int code) override;
    void ClearDeviceList() override;
    void AddDeviceRows(std::span<const FoundModule> rows) override;
    void MarkSharedAddress(int row) override;
    int SelectedRow() const override;
    std::vector<int> SelectedRows() const override;
    void ShowPanel(PanelId panel) override;
    void FocusControl(const QString& name) override;
    void ShowMessage(const QString& text) override;
    void ShowCredentialsDialog() override;
    void OpenUrl(const QString& url) override;
    void SetClipboardText(const QString& text) override;
    void SetSaveRunning(bool running) override;
    QString ChooseConfigFile() override;
    QString ChooseFirmwareFile() override;
    std::optional<std::vector<config::PlannedModule>>
    AskApplyPlan(const QString& path, const config::ModuleConfig& file,
                 const std::vector<FoundModule>& targets, const QStringList& taken,
                 const QStringList& thisComputer) override;
    void ShowBatchProgress(BatchKind kind, const std::vector<FoundModule>& targets) override;
    void ShowBatchOutcome(int index, const BatchOutcome& outcome) override;
    void BatchFinished() override;
    // The open dialogs of a job over the selection (tests drive them).
    Tfrm_ApplyPlan* applyPlanDialog() const;
    Tfrm_BatchProgress* batchProgressDialog() const;
    SerialChoice SerialSettings() const override;
    void SetSerialPorts(const QStringList& ports) override;
    void SetSerialRunning(bool running) override;
    void ShowUpgradeDialog(const QString& ip, const QString& mac) override;

    // What the other windows keep in the settings file (the upgrade dialog's fields, the data
    // debugger's command file), written into the settings right before they are saved.
    void setSettingsContributor(std::function<void(R2Settings&)> contributor) {
        m_contributeSettings = std::move(contributor);
    }
    // Asked first on every close; false keeps the window open.
    void setCloseGuard(std::function<bool()> guard) { m_closeGuard = std::move(guard); }

signals:
    // The program shell owns the small dialogs: the credentials dialog and the about box.
    void credentialsDialogRequested();
    void aboutRequested();
    // mni_FirmwareUp: the program shell owns the upgrade dialog. Empty texts: keep its fields.
    void upgradeDialogRequested(const QString& ip, const QString& mac);
    // btnDataDebug: the data debugger, which the program shell owns too.
    void dataDebugRequested();
    // After the main window's texts changed language: the other windows follow.
    void languageSwitched();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPanels();
    PanelBinderBase& binderOf(PanelId panel);
    void connectControls();
    void connectMenus();
    void loadStartSettings();
    void applyTexts();
    void setHintsOn(bool on);
    void onSearchTabSwitched(int index);
    void onDeviceContextMenu(const QPoint& pos);
    void enableSelectionItems();
    void onSoftBitRateChosen(int index);
    void askSavePanelFile(PanelId panel);
    void askLoadPanelFile(PanelId panel);
    bool mayCloseNow();
    int parameterAreaWidth() const;

    std::unique_ptr<Ui::TFrm_Main> m_ui;
    QString m_programDir;
    QString m_version;
    R2Settings m_settings;
    std::unique_ptr<MainController> m_controller;
    std::unique_ptr<PanelFiles> m_panelFiles;
    QString m_panelFileDir; // where the last panel file was saved or loaded, for this session
    PanelP5Widget* m_p5 = nullptr;
    PanelP6Widget* m_p6 = nullptr;
    PanelP7Widget* m_p7 = nullptr;
    QMenu* m_deviceMenu = nullptr; // pm_NetDev
    QPointer<Tfrm_ApplyPlan> m_applyPlan;
    QPointer<Tfrm_BatchProgress> m_batchProgress;
    BaudRateList m_softBitRate;
    int m_layout = LayoutSearch;
    bool m_hintsOn = true;
    std::function<void(const QUrl&)> m_openUrl;
    std::function<void(R2Settings&)> m_contributeSettings;
    std::function<bool()> m_closeGuard;
    bool m_closeWhenIdle = false; // a close came while work ran: it closes when that is over
};

} // namespace r2
