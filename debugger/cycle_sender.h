#pragma once
// Cyclic sending of the ticked command rows on a worker thread, paced by a periodic timer.
//
// Start arms the timer with its first expiry at once and a period of the interval. Each expiry
// runs one pass: every ticked row is sent, followed by its delay; after each ticked row the
// stop request is looked at; the pass ends with a pause of the interval as it is at that moment.
// Passes never overlap: an expiry that falls during a pass is held and its pass starts as soon
// as the running one ends (so, with a pause as long as the period, passes follow back to back).
//
// The worker reads only its own copy of the rows and the interval, which the window renews
// under a lock whenever the user changes them; a pass takes the rows as they are when it starts.
// Stop asks the worker to stop without waiting for it: the pass under way finishes the row it
// is on (send and delay) and its pause, and no further pass starts. A failed send is reported
// through SendFailed on the owner's thread and the cycle goes on: the worker only adds it to a
// list under the lock, and a short timer of the owner's hands the list on, so nothing crosses
// from the worker through Qt's event queue (whose locks ThreadSanitizer cannot see).

#include "debugger/cmd_rows.h"
#include "debugger/debug_transport.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <QObject>
#include <QTimer>
#include <thread>
#include <vector>

namespace r2 {

class CycleSender final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CycleSender)

public:
    // Sends one row's bytes; called on the worker thread.
    using SendFunction = std::function<SendOutcome(const QByteArray&)>;

    // The interval used when the box never held a number.
    static constexpr std::uint32_t DefaultIntervalMs = 1000;

    explicit CycleSender(QObject* parent = nullptr);
    // Cuts any delay or pause short and waits for the worker.
    ~CycleSender() override;

    // The rows as the window shows them now.
    void SetRows(const CmdRows& rows);
    // The interval box's value; empty (no number in the box) keeps the last one.
    void SetInterval(std::optional<std::uint32_t> ms);

    // Clears the stop request and starts the worker with this send function. A worker still
    // finishing a stopped pass is cut short first.
    void Start(SendFunction send);
    // The stop request (CycleStop); returns at once.
    void Stop();
    // Between Start and Stop.
    bool Cycling() const;

signals:
    void SendFailed(const r2::SendOutcome& outcome);

private:
    struct Row {
        bool ticked = false;
        QByteArray payload{};
        std::uint32_t delayMs = 0;
    };

    void Run(SendFunction send);
    // One pass over the rows; false when the worker is to end at once.
    bool Pass(const SendFunction& send);
    // A wait that only the destructor or a restart cuts short; false when cut short.
    bool Wait(std::uint32_t ms);
    void Abort();
    void deliverFailures();

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::vector<Row> m_rows = std::vector<Row>(CmdRowCount);
    std::uint32_t m_intervalMs = DefaultIntervalMs;
    bool m_stop = true; // CycleStop
    bool m_abort = false;
    std::vector<SendOutcome> m_failures; // reported by the worker, not yet delivered
    QTimer m_failureTimer;
    std::thread m_worker;
};

} // namespace r2
