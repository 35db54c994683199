#pragma once
// AppShell: the program's windows, created in the program's order (main window, about box,
// credentials dialog, upgrade dialog, data debugger) and wired together: the main window asks
// for the dialogs, the credentials dialog hands its result to the main window's controller, the
// upgrade dialog and the data debugger start from the settings file and hand back what it keeps
// of them when the settings are saved, a language switch re-applies the texts of every window.
// The data debugger, when open, is closed (its rows saved, its sending stopped) before the main
// window closes and before the program ends.
// The program entry and the GUI tests use it alike.

#include <memory>
#include <QObject>
#include <QString>

namespace r2 {

class TFrm_About;
class TFrm_Main;
class TFrm_Pswd;
class Tfrm_DataDebug;
class Tfrm_Upgrade;

class AppShell final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppShell)

public:
    AppShell(const QString& programDir, const QString& version, QObject* parent = nullptr);
    ~AppShell() override;

    TFrm_Main& mainWindow() { return *m_main; }
    TFrm_About& about() { return *m_about; }
    TFrm_Pswd& credentials() { return *m_pswd; }
    Tfrm_Upgrade& upgrade() { return *m_upgrade; }
    Tfrm_DataDebug& dataDebug() { return *m_dataDebug; }

    // Brought to the front when already showing, else shown modally (without blocking).
    void ShowCredentialsDialog();
    void ShowAbout();
    // With a module's IP and MAC when they are given; the dialog keeps its fields otherwise.
    void ShowUpgrade(const QString& ip, const QString& mac);
    // With the counterpart of the P6 panel's work mode proposed.
    void ShowDataDebug();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The debugger's own close; false when it stays open (its rows could not be saved).
    bool CloseDataDebug();

    std::unique_ptr<TFrm_Main> m_main;
    std::unique_ptr<TFrm_About> m_about;
    std::unique_ptr<TFrm_Pswd> m_pswd;
    std::unique_ptr<Tfrm_Upgrade> m_upgrade;
    std::unique_ptr<Tfrm_DataDebug> m_dataDebug;
};

} // namespace r2
