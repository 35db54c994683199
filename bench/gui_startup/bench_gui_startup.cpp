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

#include "app_shell.h"
#include "main_controller.h"
#include "Unit_Main.h"
#include "Unit_Version.h"
#include "wdRunOnce.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <QApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
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
#include <vector>

namespace {

double ClockMs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double MonotonicMs() {
    return ClockMs(CLOCK_MONOTONIC);
}

double ThreadCpuMs() {
    return ClockMs(CLOCK_THREAD_CPUTIME_ID);
}

double ProcessCpuMs() {
    return ClockMs(CLOCK_PROCESS_CPUTIME_ID);
}

// What the window's thread did with a stretch of wall-clock time: its own CPU time, how often it
// waited (voluntary switches: blocked on a socket or the display server) and how often the
// processor was taken from it (involuntary: other work on a busy machine).
struct ThreadUse {
    double cpuMs = 0;
    long waits = 0;
    long preempted = 0;

    static ThreadUse Now() {
        rusage usage{};
        getrusage(RUSAGE_THREAD, &usage);
        return {ThreadCpuMs(), usage.ru_nvcsw, usage.ru_nivcsw};
    }
    ThreadUse operator-(const ThreadUse& since) const {
        return {cpuMs - since.cpuMs, waits - since.waits, preempted - since.preempted};
    }
    QJsonObject json() const {
        return {{"cpuMs", cpuMs},
                {"waits", static_cast<qint64>(waits)},
                {"preempted", static_cast<qint64>(preempted)}};
    }
};

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

QString EventName(QEvent::Type type) {
    const char* name = QMetaEnum::fromType<QEvent::Type>().valueToKey(type);
    return name ? QString::fromLatin1(name) : QString::number(type);
}

// Times every outermost event dispatch while recording: per receiver class and event type the
// count, the total and the longest, so the longest stall can be put down to what ran.
class TimedApplication final : public QApplication {
public:
    using QApplication::QApplication;

    void setRecording(bool on) { m_recording = on; }

    bool notify(QObject* receiver, QEvent* event) override {
        if (!m_recording || m_depth > 0) {
            ++m_depth;
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        const char* className = receiver->metaObject()->className();
        const QEvent::Type type = event->type();
        const double start = MonotonicMs();
        const ThreadUse startUse = ThreadUse::Now();
        ++m_depth;
        const bool handled = QApplication::notify(receiver, event);
        --m_depth;
        const double took = MonotonicMs() - start;
        const ThreadUse use = ThreadUse::Now() - startUse;
        Dispatch& entry = m_dispatches[{className, type}];
        ++entry.count;
        entry.totalMs += took;
        entry.totalCpuMs += use.cpuMs;
        if (took > entry.longestMs) {
            entry.longestMs = took;
            entry.longestUse = use;
            entry.longestAt = start;
        }
        return handled;
    }

    // The `count` dispatch kinds that took the most time in all.
    QJsonArray heaviest(std::size_t count) const {
        std::vector<std::pair<Key, Dispatch>> all(m_dispatches.begin(), m_dispatches.end());
        std::ranges::sort(
            all, [](const auto& a, const auto& b) { return a.second.totalMs > b.second.totalMs; });
        all.resize(std::min(count, all.size()));
        QJsonArray out;
        for (const auto& [key, entry] : all) {
            out.append(QJsonObject{
                {"what", QString::fromLatin1(key.first) + QLatin1Char(' ') + EventName(key.second)},
                {"count", entry.count},
                {"totalMs", entry.totalMs},
                {"totalCpuMs", entry.totalCpuMs},
                {"longestMs", entry.longestMs},
                {"longestCpuMs", entry.longestUse.cpuMs},
                {"longestAt", entry.longestAt}});
        }
        return out;
    }

    // The single longest dispatch: what and when.
    QJsonObject longest() const {
        const auto it = std::ranges::max_element(
            m_dispatches, {}, [](const auto& item) { return item.second.longestMs; });
        if (it == m_dispatches.end()) {
            return {};
        }
        return {{"what", QString::fromLatin1(it->first.first) + QLatin1Char(' ') +
                             EventName(it->first.second)},
                {"ms", it->second.longestMs},
                {"use", it->second.longestUse.json()},
                {"at", it->second.longestAt}};
    }

private:
    using Key = std::pair<const char*, QEvent::Type>;
    struct Dispatch {
        int count = 0;
        double totalMs = 0;
        double totalCpuMs = 0;
        double longestMs = 0;
        ThreadUse longestUse;
        double longestAt = 0;
    };
    std::map<Key, Dispatch> m_dispatches;
    bool m_recording = false;
    int m_depth = 0;
};

// Ticks every 2 ms on the window's thread: the longest gap between two ticks is the longest
// time the event loop did not come round, with the window thread's CPU time within it.
class StallMonitor final : public QObject {
public:
    StallMonitor() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double now = MonotonicMs();
            const ThreadUse use = ThreadUse::Now();
            if (now - m_last > m_longestMs) {
                m_longestMs = now - m_last;
                m_longestUse = use - m_lastUse;
                m_longestFrom = m_last;
            }
            m_longestCpuGapMs = std::max(m_longestCpuGapMs, use.cpuMs - m_lastUse.cpuMs);
            m_last = now;
            m_lastUse = use;
            ++m_ticks;
        });
    }

    void start() {
        m_last = MonotonicMs();
        m_lastUse = ThreadUse::Now();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }

    QJsonObject result() const {
        return {{"longestMs", m_longestMs},
                {"use", m_longestUse.json()},
                {"from", m_longestFrom},
                {"longestCpuGapMs", m_longestCpuGapMs},
                {"ticks", m_ticks}};
    }

private:
    QTimer m_timer;
    double m_last = 0;
    ThreadUse m_lastUse;
    double m_longestMs = 0;
    ThreadUse m_longestUse;
    double m_longestFrom = 0;
    double m_longestCpuGapMs = 0;
    int m_ticks = 0;
};

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
