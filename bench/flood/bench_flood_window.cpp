// The desktop window under a flood of search replies: it starts as the program starts it, clicks
// its own search button and keeps the event loop timed for MEASURE_MS (the whole flood), then
// prints one JSON line: the longest time the event loop did not come round (with the dispatch
// that took the most time at once, so a missed target names its cause), the rows listed with
// their MACs, the hex pane's lines, the datagrams the endpoint dropped and the peak memory.
// flood.py runs it on the pc side of its lab while bench_flood_sender floods.
//
// usage: bench_flood_window MEASURE_MS

#include "app_shell.h"
#include "main_controller.h"
#include "Unit_Main.h"
#include "Unit_Udp.h"
#include "Unit_Version.h"
#include "wdRunOnce.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <string>
#include <unistd.h>

namespace {

double MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// VmHWM: the most resident memory the process has held so far.
double PeakRssMb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            double kilobytes = 0;
            status >> kilobytes;
            return kilobytes / 1024.0;
        }
    }
    return 0;
}

// Times every outermost event dispatch once started and keeps the longest: what ran and when.
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
        ++m_depth;
        const bool handled = QApplication::notify(receiver, event);
        --m_depth;
        const double took = MonotonicMs() - start;
        ++m_dispatches;
        if (took > m_longestMs) {
            m_longestMs = took;
            m_longestAt = start;
            const char* name = QMetaEnum::fromType<QEvent::Type>().valueToKey(type);
            m_longestWhat = QString::fromLatin1(className) + QLatin1Char(' ') +
                            (name ? QString::fromLatin1(name) : QString::number(type));
        }
        return handled;
    }

    QJsonObject longest() const {
        return {{"what", m_longestWhat},
                {"ms", m_longestMs},
                {"at", m_longestAt},
                {"dispatches", static_cast<qint64>(m_dispatches)}};
    }

private:
    bool m_recording = false;
    int m_depth = 0;
    double m_longestMs = 0;
    double m_longestAt = 0;
    QString m_longestWhat;
    quint64 m_dispatches = 0;
};

// Ticks every 2 ms on the window's thread: the longest gap between two ticks is the longest
// time the event loop did not come round.
class StallMonitor final : public QObject {
public:
    StallMonitor() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double now = MonotonicMs();
            if (now - m_last > m_longestMs) {
                m_longestMs = now - m_last;
                m_longestFrom = m_last;
            }
            m_last = now;
            ++m_ticks;
        });
    }

    void start() {
        m_last = MonotonicMs();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }

    QJsonObject result() const {
        return {{"longestMs", m_longestMs}, {"from", m_longestFrom}, {"ticks", m_ticks}};
    }

private:
    QTimer m_timer;
    double m_last = 0;
    double m_longestMs = 0;
    double m_longestFrom = 0;
    int m_ticks = 0;
};

} // namespace

int main(int argc, char** argv) {
    TimedApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_flood_window MEASURE_MS\n");
        return 2;
    }
    const int measureMs = std::atoi(argv[1]);

    // Its own single-instance slot and program directory: a running r2config and the user's
    // settings stay out of it.
    r2::RunOnceGuard guard(QStringLiteral("r2config-flood-%1").arg(getpid()));
    if (guard.RunOnceCheck()) {
        std::fprintf(stderr, "bench_flood_window: another instance holds the bench's slot\n");
        return 1;
    }
    QTemporaryDir programDir;
    r2::AppShell shell(programDir.path(), r2::GetFileVersionText());
    r2::TFrm_Main& window = shell.mainWindow();
    window.show();
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("lv_Dev"));
    auto* hex = window.findChild<QPlainTextEdit*>(QStringLiteral("redt_Hex"));
    auto* search = window.findChild<QPushButton*>(QStringLiteral("btn_Search"));
    if (!list || !hex || !search) {
        std::fprintf(stderr, "bench_flood_window: the window lacks lv_Dev, redt_Hex or "
                             "btn_Search\n");
        return 1;
    }

    StallMonitor stalls;
    double searchAt = 0;
    // The search starts once the window is up and the loop runs, as a user's click would.
    QTimer::singleShot(200, &app, [&] {
        app.setRecording(true);
        stalls.start();
        searchAt = MonotonicMs();
        search->click();
        QTimer::singleShot(measureMs, &app, &QApplication::quit);
    });
    app.exec();
    stalls.stop();
    app.setRecording(false);

    QJsonArray macs;
    for (const r2::DeviceRow& row : window.controller().rows()) {
        macs.append(row.mac);
    }
    const QJsonObject result{
        {"searchAt", searchAt},
        {"measuredMs", measureMs},
        {"stall", stalls.result()},
        {"longestDispatch", app.longest()},
        {"rows", static_cast<qint64>(window.controller().rows().size())},
        {"listItems", list->topLevelItemCount()},
        {"macs", macs},
        {"hexLines", hex->blockCount()},
        {"dropped", static_cast<qint64>(window.controller().udp().droppedDatagrams())},
        {"peakRssMb", PeakRssMb()}};
    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    return 0;
}
