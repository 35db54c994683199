// r2config: a second start hands over to the running instance and ends; otherwise the windows
// are created and the event loop runs until the main window closes.
#include "app_shell.h"
#include "program_dir.h"
#include "Unit_Main.h"
#include "Unit_Version.h"
#include "wdRunOnce.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Names the per-user data directory (~/.local/share/r2config) used when the program's own
    // directory is read-only.
    QApplication::setApplicationName(QStringLiteral("r2config"));
    r2::RunOnceGuard guard;
    if (guard.RunOnceCheck()) {
        return 0;
    }
    const QString programDir = r2::ProgramDir();
    qInfo("r2config: settings, language file and exports live in %s", qPrintable(programDir));
    r2::AppShell shell(programDir, r2::GetFileVersionText());
    QObject::connect(&guard, &r2::RunOnceGuard::raiseRequested, &shell,
                     [&shell] { r2::RaiseLastActiveWindow(shell.mainWindow()); });
    shell.mainWindow().show();
    return QApplication::exec();
}
