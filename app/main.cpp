// r2config: --help and --version answer and end; a second start hands over to the running
// instance and ends; otherwise the windows are created and the event loop runs until the main
// window closes.
#include "app/app_shell.h"
#include "app/Unit_Version.h"
#include "app/wdRunOnce.h"
#include "mainwindow/widgets/Unit_Main.h"
#include "settings/program_dir.h"

#include <QApplication>
#include <QCommandLineParser>

namespace {

// Before the single-instance check, so that --version and --help answer while another
// instance runs. QApplication has already taken its own options (-platform, -style ...).
void HandleCommandLine(const QApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Finds, reads, writes, restarts, resets and upgrades R2 serial-to-Ethernet "
                       "modules (P5, P6, P7) over the LAN and over a serial port."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Names the per-user data directory (~/.local/share/r2config) used when the program's own
    // directory is read-only.
    QApplication::setApplicationName(QStringLiteral("r2config"));
    QApplication::setApplicationVersion(r2::GetFileVersionText());
    HandleCommandLine(app);
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
