#pragma once
// Event-loop timing shared by the benchmarks that drive a window: the clocks, a thread's use of
// a stretch of time, TimedApplication (every outermost event dispatch timed while recording, so
// a stall is put down to what ran) and StallMonitor (the longest time the event loop did not
// come round). Times are CLOCK_MONOTONIC milliseconds.

#include <algorithm>
#include <ctime>
#include <map>
#include <QApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaEnum>
#include <QTimer>
#include <sys/resource.h>
#include <utility>
#include <vector>

namespace r2bench {

inline double ClockMs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

inline double MonotonicMs() {
    return ClockMs(CLOCK_MONOTONIC);
}

inline double ThreadCpuMs() {
    return ClockMs(CLOCK_THREAD_CPUTIME_ID);
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

inline QString EventName(QEvent::Type type) {
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

    // The single longest dispatch: what and when, and how many dispatches were timed in all.
    QJsonObject longest() const {
        const auto it = std::ranges::max_element(
            m_dispatches, {}, [](const auto& item) { return item.second.longestMs; });
        if (it == m_dispatches.end()) {
            return {};
        }
        qint64 dispatches = 0;
        for (const auto& [key, entry] : m_dispatches) {
            dispatches += entry.count;
        }
        return {{"what", QString::fromLatin1(it->first.first) + QLatin1Char(' ') +
                             EventName(it->first.second)},
                {"ms", it->second.longestMs},
                {"use", it->second.longestUse.json()},
                {"at", it->second.longestAt},
                {"dispatches", dispatches}};
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

} // namespace r2bench
