// The desktop window at start-up and under its biggest search: the time from process start to
// the first painted window, the memory it then holds, how long after the last reply N modules
// are listed, and the longest time the event loop did not come round meanwhile (with the event
// dispatches that took the time, so a missed target names its cause). Prints one JSON line;
// gui_startup.py (through run.sh) runs it on the pc side of a lab with r2sim answering and
// compares its times with the simulator's log: both use CLOCK_MONOTONIC.
//
// usage: bench_gui_startup N [LIMIT_MS]
// R2_BENCH_LAUNCHED_AT: the launcher's CLOCK_BOOTTIME in ms just before it started this process
// (a finer start than the kernel's record, which counts in clock ticks).

#include "app/app_shell.h"
#include "app/Unit_Version.h"
#include "app/wdRunOnce.h"
#include "bench/event_loop_timing.h"
#include "mainwindow/main_controller.h"
#include "mainwindow/widgets/Unit_Main.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <QApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using r2bench::ClockMs;
using r2bench::MonotonicMs;
using r2bench::StallMonitor;
using r2bench::ThreadCpuMs;
using r2bench::TimedApplication;

double ProcessCpuMs() {
    return ClockMs(CLOCK_PROCESS_CPUTIME_ID);
}

// Offset that turns a CLOCK_MONOTONIC time into CLOCK_BOOTTIME (they differ by the time the
// machine was suspended).
double BootMinusMonotonicMs() {
    const double boot = ClockMs(CLOCK_BOOTTIME);
    return boot - MonotonicMs();
}

// When the kernel created this process, in CLOCK_BOOTTIME ms, at clock-tick resolution.
double ProcessStartBootMs() {
    std::ifstream stat("/proc/self/stat");
    const std::string text{std::istreambuf_iterator<char>(stat), {}};
    // The command name (field 2) may hold spaces and parentheses: count from its last ')'.
    std::istringstream fields(text.substr(text.rfind(')') + 1));
    std::string field;
    for (int number = 3; number <= 22 && fields >> field; ++number) {
    }
    return std::stod(field) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Memory {
    double rssMb = 0;
    double hwmMb = 0;
};

Memory ReadMemory() {
    std::ifstream status("/proc/self/status");
    Memory memory;
    std::string key;
    double kilobytes = 0;
    std::string unit;
    while (status >> key) {
        if (key == "VmRSS:" || key == "VmHWM:") {
            status >> kilobytes >> unit;
            (key == "VmRSS:" ? memory.rssMb : memory.hwmMb) = kilobytes / 1024.0;
        }
    }
    return memory;
}

QJsonObject MemoryJson(const Memory& memory) {
    return {{"rssMb", memory.rssMb}, {"hwmMb", memory.hwmMb}};
}

// Notes the first time `watched` receives an event of `type`, and runs `then` once.
class FirstEvent final : public QObject {
public:
    FirstEvent(QObject& watched, QEvent::Type type, std::function<void()> then = {})
        : m_type(type), m_then(std::move(then)) {
        watched.installEventFilter(this);
    }
    double at() const { return m_at; }
    void rearm() { m_at = 0; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == m_type && m_at == 0) {
            m_at = MonotonicMs();
            if (m_then) {
                m_then();
            }
        }
        return false;
    }

private:
    QEvent::Type m_type;
    std::function<void()> m_then;
    double m_at = 0;
};

} // namespace

int main(int argc, char** argv) {
    const double mainAt = MonotonicMs();
    const double mainCpuMs = ProcessCpuMs();
    const double bootOffset = BootMinusMonotonicMs();
    const double processStart = ProcessStartBootMs() - bootOffset;
    const double launchedAt =
        qEnvironmentVariableIsSet("R2_BENCH_LAUNCHED_AT")
            ? qEnvironmentVariable("R2_BENCH_LAUNCHED_AT").toDouble() - bootOffset
            : 0.0;
    TimedApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_gui_startup N [LIMIT_MS]\n");
        return 2;
    }
    const int expected = std::atoi(argv[1]);
    const int limitMs = argc > 2 ? std::atoi(argv[2]) : 10000;
    const double appAt = MonotonicMs();
    const double appCpuMs = ProcessCpuMs();

    // Start-up as the program entry runs it, with a slot and a program directory of its own so
    // that a running r2config and the user's settings stay out of it.
    r2::RunOnceGuard guard(QStringLiteral("r2config-bench-%1").arg(getpid()));
    if (guard.RunOnceCheck()) {
        std::fprintf(stderr, "bench_gui_startup: another instance holds the bench's slot\n");
        return 1;
    }
    QTemporaryDir programDir;
    r2::AppShell shell(programDir.path(), r2::GetFileVersionText());
    r2::TFrm_Main& window = shell.mainWindow();
    const double builtAt = MonotonicMs();
    const double builtCpuMs = ProcessCpuMs();

    QEventLoop loop;
    QTimer deadline; // each phase gives up after LIMIT_MS
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    double paintedAt = 0;
    double startCpuMs = 0;
    rusage startUsage{};
    FirstEvent firstPaint(window, QEvent::Paint, [&] {
        // Queued behind the rest of this paint pass: the window's first picture is complete.
        QTimer::singleShot(0, &loop, [&] {
            paintedAt = MonotonicMs();
            startCpuMs = ProcessCpuMs();
            getrusage(RUSAGE_SELF, &startUsage);
            loop.quit();
        });
    });
    window.winId(); // the native window show() would make, so its first expose is seen
    FirstEvent firstExpose(*window.windowHandle(), QEvent::Expose);
    window.show();
    deadline.start(limitMs);
    loop.exec();
    const Memory afterStart = ReadMemory();
    if (paintedAt == 0) {
        std::fprintf(stderr, "bench_gui_startup: the window was not painted within %d ms\n",
                     limitMs);
        return 1;
    }

    // One search with the window's own button, the event loop timed throughout.
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("lv_Dev"));
    auto* hex = window.findChild<QPlainTextEdit*>(QStringLiteral("redt_Hex"));
    auto* search = window.findChild<QPushButton*>(QStringLiteral("btn_Search"));
    double rowsAt = 0;
    int rowsListed = 0;
    int listItems = 0;
    int rowBatches = 0;
    FirstEvent listPaint(*list->viewport(), QEvent::Paint);
    QObject::connect(&window.controller(), &r2::MainController::rowsAdded, &loop, [&](int total) {
        ++rowBatches;
        rowsListed = total;
        if (total >= expected && rowsAt == 0) {
            rowsAt = MonotonicMs();
            listItems = list->topLevelItemCount();
            listPaint.rearm();
            // A second more: what the window still does after the last row counts as well.
            deadline.start(1000);
        }
    });
    double hexLastAt = 0;
    QObject::connect(hex, &QPlainTextEdit::blockCountChanged, &loop,
                     [&](int) { hexLastAt = MonotonicMs(); });

    StallMonitor stalls;
    app.setRecording(true);
    stalls.start();
    const double searchAt = MonotonicMs();
    const double searchCpuFrom = ThreadCpuMs();
    search->click();
    deadline.start(limitMs);
    loop.exec();
    const double searchCpuMs = ThreadCpuMs() - searchCpuFrom;
    stalls.stop();
    app.setRecording(false);
    const Memory afterSearch = ReadMemory();

    const QJsonObject result{
        {"platform", QGuiApplication::platformName()},
        {"expected", expected},
        {"processStart", processStart},
        {"launchedAt", launchedAt},
        {"mainAt", mainAt},
        {"appAt", appAt},
        {"builtAt", builtAt},
        {"exposedAt", firstExpose.at()},
        {"paintedAt", paintedAt},
        {"mainCpuMs", mainCpuMs},
        {"appCpuMs", appCpuMs},
        {"builtCpuMs", builtCpuMs},
        {"startCpuMs", startCpuMs},
        {"startUse", QJsonObject{{"waits", static_cast<qint64>(startUsage.ru_nvcsw)},
                                 {"preempted", static_cast<qint64>(startUsage.ru_nivcsw)},
                                 {"majorFaults", static_cast<qint64>(startUsage.ru_majflt)}}},
        {"searchCpuMs", searchCpuMs},
        {"afterStart", MemoryJson(afterStart)},
        {"afterSearch", MemoryJson(afterSearch)},
        {"searchAt", searchAt},
        {"rowsAt", rowsAt},
        {"rowsListed", rowsListed},
        {"listItems", listItems},
        {"listItemsAtEnd", list->topLevelItemCount()},
        {"rowBatches", rowBatches},
        {"listPaintedAt", listPaint.at()},
        {"hexLines", hex->blockCount()},
        {"hexLastAt", hexLastAt},
        {"stall", stalls.result()},
        {"longestDispatch", app.longest()},
        {"heaviestDispatches", app.heaviest(6)}};
    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    return 0;
}
