#pragma once
// AppShell: the program's windows, created in the program's order (main window, about box,
// credentials dialog, upgrade dialog) and wired together: the main window asks for the dialogs,
// the credentials dialog hands its result to the main window's controller, the upgrade dialog
// starts with its remembered fields and hands them back when the settings are saved, a language
// switch re-applies the texts of every window. The program entry and the GUI tests use it alike.

#include <memory>
#include <QObject>
#include <QString>

namespace r2 {

class TFrm_About;
class TFrm_Main;
class TFrm_Pswd;
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

    // Brought to the front when already showing, else shown modally (without blocking).
    void ShowCredentialsDialog();
    void ShowAbout();
    // With a module's IP and MAC when they are given; the dialog keeps its fields otherwise.
    void ShowUpgrade(const QString& ip, const QString& mac);

private:
    std::unique_ptr<TFrm_Main> m_main;
    std::unique_ptr<TFrm_About> m_about;
    std::unique_ptr<TFrm_Pswd> m_pswd;
    std::unique_ptr<Tfrm_Upgrade> m_upgrade;
};

} // namespace r2
