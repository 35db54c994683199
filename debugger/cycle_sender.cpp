#include "debugger/cycle_sender.h"

#include <algorithm>
#include <chrono>

namespace r2 {

namespace {

using Clock = std::chrono::steady_clock;

// A period of 0 would make the timer expire without end and spin the worker.
std::chrono::milliseconds PeriodOf(std::uint32_t intervalMs) {
    return std::chrono::milliseconds(std::max<std::uint32_t>(intervalMs, 1));
}

} // namespace

namespace {

// How often the owner's thread hands failures the worker reported on to SendFailed, and how
// many may wait for it (a send failing every millisecond while the owner is busy stays bounded).
constexpr int FailureDeliveryMs = 20;
constexpr std::size_t MaxWaitingFailures = 1000;

} // namespace

CycleSender::CycleSender(QObject* parent) : QObject(parent) {
    m_failureTimer.setInterval(FailureDeliveryMs);
    connect(&m_failureTimer, &QTimer::timeout, this, &CycleSender::deliverFailures);
}

CycleSender::~CycleSender() {
    Abort();
}

void CycleSender::SetRows(const CmdRows& rows) {
    std::vector<Row> copy;
    copy.reserve(rows.size());
    for (const CmdRow& row : rows) {
        copy.push_back({row.chkChoose, QByteArray::fromStdString(CmdRowPayload(row)),
                        BoxMilliseconds(row.edtDelay).value_or(0)});
    }
    const std::lock_guard guard(m_lock);
    m_rows = std::move(copy);
}

void CycleSender::SetInterval(std::optional<std::uint32_t> ms) {
    if (!ms) {
        return;
    }
    const std::lock_guard guard(m_lock);
    m_intervalMs = *ms;
}

void CycleSender::Start(SendFunction send) {
    Abort();
    {
        const std::lock_guard guard(m_lock);
        m_stop = false;
        m_abort = false;
    }
    m_worker = std::thread([this, send = std::move(send)] { Run(send); });
    m_failureTimer.start();
}

void CycleSender::deliverFailures() {
    std::vector<SendOutcome> failures;
    {
        const std::lock_guard guard(m_lock);
        failures.swap(m_failures);
    }
    for (const SendOutcome& failure : failures) {
        emit SendFailed(failure);
    }
}

void CycleSender::Stop() {
    {
        const std::lock_guard guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
}

bool CycleSender::Cycling() const {
    const std::lock_guard guard(m_lock);
    return !m_stop;
}

void CycleSender::Abort() {
    {
        const std::lock_guard guard(m_lock);
        m_stop = true;
        m_abort = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void CycleSender::Run(SendFunction send) {
    std::unique_lock lock(m_lock);
    const auto period = PeriodOf(m_intervalMs);
    auto expiry = Clock::now();
    while (true) {
        if (m_wake.wait_until(lock, expiry, [this] { return m_stop; })) {
            return;
        }
        lock.unlock();
        const bool goOn = Pass(send);
        lock.lock();
        if (!goOn) {
            return;
        }
        // Expiries that fell during the pass are held as one, due at once; the timer keeps
        // its grid for the ones after it.
        expiry += period;
        const auto late = Clock::now() - expiry;
        if (late > Clock::duration::zero()) {
            expiry += (late / period) * period;
        }
    }
}

bool CycleSender::Pass(const SendFunction& send) {
    std::vector<Row> rows;
    {
        const std::lock_guard guard(m_lock);
        rows = m_rows;
    }
    for (const Row& row : rows) {
        if (!row.ticked) {
            continue;
        }
        const SendOutcome outcome = send(row.payload);
        if (outcome.result != SendOutcome::Result::Sent &&
            outcome.result != SendOutcome::Result::NotRunning) {
            const std::lock_guard guard(m_lock);
            if (m_failures.size() < MaxWaitingFailures) {
                m_failures.push_back(outcome);
            }
        }
        if (row.delayMs > 0 && !Wait(row.delayMs)) {
            return false;
        }
        const std::lock_guard guard(m_lock);
        if (m_stop) {
            break;
        }
    }
    std::uint32_t pause = 0;
    {
        const std::lock_guard guard(m_lock);
        pause = m_intervalMs;
    }
    return Wait(pause);
}

bool CycleSender::Wait(std::uint32_t ms) {
    std::unique_lock lock(m_lock);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_abort; });
}

} // namespace r2
