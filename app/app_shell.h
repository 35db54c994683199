#pragma once
// AppShell: the program's windows, created in the program's order (main window, about box,
// credentials dialog) and wired together: the main window asks for the small dialogs, the
// credentials dialog hands its result to the main window's controller, a language switch
// re-applies the texts of every window. The program entry and the GUI tests use it alike.

#include <memory>
#include <QObject>
#include <QString>

namespace r2 {

class TFrm_About;
class TFrm_Main;
class TFrm_Pswd;

class AppShell final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppShell)

public:
    AppShell(const QString& programDir, const QString& version, QObject* parent = nullptr);
    ~AppShell() override;

    TFrm_Main& mainWindow() { return *m_main; }
    TFrm_About& about() { return *m_about; }
    TFrm_Pswd& credentials() { return *m_pswd; }

    // Brought to the front when already showing, else shown modally (without blocking).
    void ShowCredentialsDialog();
    void ShowAbout();

private:
    std::unique_ptr<TFrm_Main> m_main;
    std::unique_ptr<TFrm_About> m_about;
    std::unique_ptr<TFrm_Pswd> m_pswd;
};

} // namespace r2
