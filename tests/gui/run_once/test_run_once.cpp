// The single-instance guard: two guards in this process, a second start in a child process, a
// name left behind by a crashed instance, and bringing the last active window to the front.
// Every case works in its own runtime directory, so no real r2config is ever met.

#include "app/wdRunOnce.h"

#include <cstring>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace r2;

namespace {

const QString Slot = QStringLiteral("{r2-test-run-once}");
constexpr char SecondStartArgument[] = "--second-start";
constexpr int ExitOtherRuns = 3;
constexpr int ExitFirst = 4;

// What a crashed instance leaves: a socket file that nobody listens on any more.
bool LeaveDeadSocketFile(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    std::memcpy(address.sun_path, encoded.constData(),
                std::min(sizeof(address.sun_path) - 1, static_cast<size_t>(encoded.size())));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound && QFile::exists(path);
}

// The child process: one start of the program, reporting what its guard said.
int RunSecondStart(int argc, char** argv) {
    QApplication app(argc, argv);
    RunOnceGuard guard(Slot);
    return guard.RunOnceCheck() ? ExitOtherRuns : ExitFirst;
}

} // namespace

class TestRunOnce final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void firstTakesTheNameAndEveryLaterStartAsksItToRaise();
    void secondStartInAnotherProcessHandsOver();
    void nameIsFreeAgainAfterRunOnceDone();
    void nameLeftByACrashedInstanceIsTakenOver_data();
    void nameLeftByACrashedInstanceIsTakenOver();
    void guardThatCannotTakeTheNameLetsEveryStartRun();
    void otherSlotsAndUsersDoNotMeet();
    void raiseRestoresTheMainWindow();
    void raiseBringsAnOpenModalDialogToTheFront();

private:
    std::unique_ptr<QTemporaryDir> m_runtimeDir;
};

void TestRunOnce::init() {
    m_runtimeDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_runtimeDir->isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtimeDir->path()));
}

void TestRunOnce::firstTakesTheNameAndEveryLaterStartAsksItToRaise() {
    RunOnceGuard first(Slot);
    QSignalSpy raised(&first, &RunOnceGuard::raiseRequested);
    QVERIFY(!first.RunOnceCheck());
    QVERIFY(first.isListening());
    QVERIFY(first.serverName().startsWith(m_runtimeDir->path() + QLatin1Char('/')));

    for (int start = 1; start <= 2; ++start) {
        RunOnceGuard later(Slot);
        QVERIFY(later.RunOnceCheck());
        QVERIFY(!later.isListening());
        QTRY_COMPARE(raised.count(), start);
    }
    QVERIFY(first.isListening());
}

void TestRunOnce::secondStartInAnotherProcessHandsOver() {
    QProcess child;
    const auto startChild = [&child] {
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(SecondStartArgument)});
        return child.waitForFinished(30000) && child.exitStatus() == QProcess::NormalExit;
    };

    QVERIFY(startChild());
    QCOMPARE(child.exitCode(), ExitFirst); // nobody runs: the child was the first

    RunOnceGuard first(Slot);
    QSignalSpy raised(&first, &RunOnceGuard::raiseRequested);
    QVERIFY(!first.RunOnceCheck());
    // The child's connection is answered by this process's event loop, which waitForFinished
    // does not run; the kernel queues the connection and its request until it does.
    QVERIFY(startChild());
    QCOMPARE(child.exitCode(), ExitOtherRuns);
    QTRY_COMPARE(raised.count(), 1);
}

void TestRunOnce::nameIsFreeAgainAfterRunOnceDone() {
    RunOnceGuard first(Slot);
    QVERIFY(!first.RunOnceCheck());
    first.RunOnceDone();
    QVERIFY(!first.isListening());
    QVERIFY(!QFile::exists(first.serverName()));

    RunOnceGuard next(Slot);
    QVERIFY(!next.RunOnceCheck());
    QVERIFY(next.isListening());
}

void TestRunOnce::nameLeftByACrashedInstanceIsTakenOver_data() {
    QTest::addColumn<bool>("socketFile");
    QTest::newRow("dead socket file") << true;
    QTest::newRow("plain file") << false;
}

void TestRunOnce::nameLeftByACrashedInstanceIsTakenOver() {
    QFETCH(bool, socketFile);
    RunOnceGuard guard(Slot);
    if (socketFile) {
        QVERIFY(LeaveDeadSocketFile(guard.serverName()));
    } else {
        QFile junk(guard.serverName());
        QVERIFY(junk.open(QIODevice::WriteOnly));
    }

    QVERIFY(!guard.RunOnceCheck());
    QVERIFY(guard.isListening());

    RunOnceGuard later(Slot);
    QSignalSpy raised(&guard, &RunOnceGuard::raiseRequested);
    QVERIFY(later.RunOnceCheck());
    QTRY_COMPARE(raised.count(), 1);
}

void TestRunOnce::guardThatCannotTakeTheNameLetsEveryStartRun() {
    // A socket path longer than the system's limit (108 bytes) can be neither bound nor reached.
    const QString deep = m_runtimeDir->filePath(QString(120, QLatin1Char('d')));
    QVERIFY(QDir().mkpath(deep));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(deep));
    for (int start = 0; start < 2; ++start) {
        RunOnceGuard guard(Slot);
        QVERIFY(!guard.RunOnceCheck());
        QVERIFY(!guard.isListening());
    }
}

void TestRunOnce::otherSlotsAndUsersDoNotMeet() {
    RunOnceGuard first(Slot);
    QVERIFY(first.serverName().endsWith(QStringLiteral("}-") + QString::number(::getuid())));
    QVERIFY(!first.RunOnceCheck());
    RunOnceGuard otherProgram(QStringLiteral("{another-program}"));
    QVERIFY(!otherProgram.RunOnceCheck());
    QVERIFY(otherProgram.isListening());
    QVERIFY(first.serverName() != otherProgram.serverName());
    // The real program's slot by default.
    QVERIFY(RunOnceGuard().serverName().contains(
        QStringLiteral("{A823D2A7-7FA2-4FB2-AC74-222D21D26D1B}-")));
}

void TestRunOnce::raiseRestoresTheMainWindow() {
    QWidget mainWindow;
    mainWindow.setWindowTitle(QStringLiteral("main"));
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
    mainWindow.showMinimized();
    QTRY_VERIFY(mainWindow.isMinimized());

    RaiseLastActiveWindow(mainWindow);
    QVERIFY(!mainWindow.isMinimized());
    QTRY_COMPARE(QApplication::activeWindow(), &mainWindow);
}

void TestRunOnce::raiseBringsAnOpenModalDialogToTheFront() {
    QWidget mainWindow;
    mainWindow.show();
    QDialog dialog(&mainWindow);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QWidget other; // the user went to another window meanwhile
    other.show();
    other.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &other);

    RaiseLastActiveWindow(mainWindow);
    QTRY_COMPARE(QApplication::activeWindow(), &dialog);
}

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], SecondStartArgument) == 0) {
        return RunSecondStart(argc, argv);
    }
    QApplication app(argc, argv);
    TestRunOnce test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_run_once.moc"
