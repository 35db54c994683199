#include "serial/comm_workers.h"

#include "serial/comm_notifier.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <poll.h>
#include <QtGlobal>
#include <sys/eventfd.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace r2 {
namespace {

using namespace std::chrono_literals;

// How often the reader looks at the driver's line counters while the line is quiet, when the
// driver keeps them: the driver has no event for "a counter moved" that poll() could wait on
// (TIOCMIWAIT blocks and cannot be woken by the stop signal).
constexpr int LineCounterPollMs = 100;

// Milliseconds until `deadline`, rounded up so a wait never wakes just before it; 0 once it
// has passed.
int msUntil(CommClock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - CommClock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

int makeEventFd() {
    return eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

void signal(int eventFd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(eventFd, &one, sizeof one);
}

void drain(int eventFd) {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto got = read(eventFd, &count, sizeof count);
}

} // namespace

CommWorkers::CommWorkers(int fd, CommNotifier& notifier, const CommTimeouts& timeouts,
                         bool ignoreNul)
    : m_fd(fd), m_notifier(notifier), m_stopFd(makeEventFd()), m_writeWakeFd(makeEventFd()),
      m_ignoreNul(ignoreNul), m_timeouts(timeouts) {
    if (m_stopFd < 0 || m_writeWakeFd < 0) {
        close(m_stopFd);
        close(m_writeWakeFd);
        throw ECommsError(CommErrEvent);
    }
}

CommWorkers::~CommWorkers() {
    if (m_reader.joinable() || m_writer.joinable()) {
        stop();
    }
    close(m_stopFd);
    close(m_writeWakeFd);
}

void CommWorkers::startReader() {
    try {
        m_reader = std::thread([this] {
            readLoop();
            markEnded(m_readerDone);
        });
    } catch (const std::system_error&) {
        throw ECommsError(CommErrReadThread);
    }
}

void CommWorkers::startWriter() {
    try {
        m_writer = std::thread([this] {
            writeLoop();
            {
                // Requests still queued are released here; WritePortData fails from now on.
                std::lock_guard lock(m_writeMutex);
                m_writerEnded = true;
                m_writes.clear();
            }
            markEnded(m_writerDone);
        });
    } catch (const std::system_error&) {
        throw ECommsError(CommErrWriteThread);
    }
}

void CommWorkers::stop() {
    signal(m_stopFd);
    joinWithin(m_reader, m_readerDone, "reader");
    tcflush(m_fd, TCIFLUSH);
    joinWithin(m_writer, m_writerDone, "writer");
    tcflush(m_fd, TCOFLUSH);
}

void CommWorkers::markEnded(bool& done) {
    std::lock_guard lock(m_endMutex);
    done = true;
    m_ended.notify_all();
}

// After 10 s we say so and keep waiting: detaching instead would leave a thread running on
// this object and on a descriptor that is about to be closed (and may be reused for another
// file). Both threads wait only in poll() over the stop eventfd, so the wait ends.
void CommWorkers::joinWithin(std::thread& thread, const bool& done, const char* name) {
    if (!thread.joinable()) {
        return;
    }
    {
        std::unique_lock lock(m_endMutex);
        if (!m_ended.wait_for(lock, 10s, [&done] { return done; })) {
            qWarning("serial port: the %s thread has not stopped within 10 s; still waiting", name);
        }
    }
    thread.join();
}

bool CommWorkers::queueWrite(QByteArray bytes) {
    {
        std::lock_guard lock(m_writeMutex);
        if (m_writerEnded || m_writes.size() >= CommNotifier::MaxWaiting) {
            return false;
        }
        m_writes.push_back(std::move(bytes));
    }
    signal(m_writeWakeFd);
    return true;
}

std::optional<QByteArray> CommWorkers::takeWrite() {
    std::lock_guard lock(m_writeMutex);
    if (m_writes.empty()) {
        return std::nullopt;
    }
    QByteArray next = std::move(m_writes.front());
    m_writes.pop_front();
    return next;
}

void CommWorkers::setTimeouts(const CommTimeouts& timeouts) {
    std::lock_guard lock(m_timeoutsMutex);
    m_timeouts = timeouts;
}

CommTimeouts CommWorkers::timeouts() const {
    std::lock_guard lock(m_timeoutsMutex);
    return m_timeouts;
}

bool CommWorkers::stopRequested() const {
    pollfd stop{m_stopFd, POLLIN, 0};
    return poll(&stop, 1, 0) > 0;
}

bool CommWorkers::deliver(QByteArray& chunk) {
    if (chunk.isEmpty()) {
        return true;
    }
    const auto length = static_cast<std::uint32_t>(chunk.size());
    const bool posted = m_notifier.post({CommEventKind::Data, length, std::exchange(chunk, {})});
    chunk.reserve(CommQueueBytes);
    if (!posted) {
        m_notifier.postHangup();
    }
    return posted;
}

bool CommWorkers::reportLineEvents(LineCounters& counters) {
    const std::optional<LineCounters> now = readLineCounters(m_fd);
    if (!now) {
        return true;
    }
    const LineEvents events = lineEventsBetween(counters, *now);
    counters = *now;
    if ((events.errors != 0 && !m_notifier.post({CommEventKind::Error, events.errors, {}})) ||
        (events.modem != 0 && !m_notifier.post({CommEventKind::Modem, events.modem, {}}))) {
        m_notifier.postHangup();
        return false;
    }
    return true;
}

void CommWorkers::readLoop() {
    std::optional<LineCounters> counters = readLineCounters(m_fd);
    QByteArray chunk;
    chunk.reserve(CommQueueBytes);
    char buffer[CommQueueBytes];
    CommClock::time_point first;
    CommClock::time_point last;
    for (;;) {
        std::optional<CommClock::time_point> deadline;
        if (!chunk.isEmpty()) {
            deadline = chunkDeadline(timeouts(), first, last);
        }
        int timeout = deadline ? msUntil(*deadline) : -1;
        if (counters) {
            timeout = timeout < 0 ? LineCounterPollMs : std::min(timeout, LineCounterPollMs);
        }
        pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {m_fd, POLLIN, 0}};
        if (poll(fds, 2, timeout) < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_notifier.postHangup();
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        if (counters && !reportLineEvents(*counters)) {
            return;
        }
        bool gone = false;
        if ((fds[1].revents & POLLIN) != 0) {
            const ssize_t got =
                read(m_fd, buffer, static_cast<size_t>(CommQueueBytes - chunk.size()));
            if (got > 0) {
                const auto now = CommClock::now();
                if (chunk.isEmpty()) {
                    first = now;
                }
                last = now;
                if (m_ignoreNul) {
                    std::copy_if(buffer, buffer + got, std::back_inserter(chunk),
                                 [](char c) { return c != 0; });
                } else {
                    chunk.append(buffer, got);
                }
            } else {
                // A terminal in raw mode reads 0 after poll() reported input only when it has
                // been hung up; EIO is how a pseudo-terminal reports a closed master.
                gone = got == 0 || (errno != EAGAIN && errno != EINTR);
            }
        } else {
            gone = (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        }
        if (gone) {
            deliver(chunk);
            m_notifier.postHangup();
            return;
        }
        if (chunk.isEmpty()) {
            continue;
        }
        const bool full = chunk.size() >= CommQueueBytes;
        deadline = chunkDeadline(timeouts(), first, last);
        if ((full || (deadline && CommClock::now() >= *deadline)) && !deliver(chunk)) {
            return;
        }
    }
}

void CommWorkers::writeLoop() {
    bool justSent = true;
    for (;;) {
        std::optional<QByteArray> next = takeWrite();
        if (!next) {
            if (justSent && !m_notifier.post({CommEventKind::TxEmpty, 0, {}})) {
                m_notifier.postHangup();
                return;
            }
            justSent = false;
            pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {m_writeWakeFd, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                m_notifier.postHangup();
                return;
            }
            if (fds[0].revents != 0) {
                return;
            }
            drain(m_writeWakeFd);
            continue;
        }
        if (stopRequested() || !sendAll(*next)) {
            return;
        }
        justSent = true;
    }
}

// Writes every byte, waiting for room as long as it takes; with write totals set, as long as
// they allow. Running out of that time, or any failure of the port, is a hang-up (the
// reference platform does not retry a short write either); a stop request ends it silently.
bool CommWorkers::sendAll(const QByteArray& bytes) {
    const CommTimeouts t = timeouts();
    std::optional<CommClock::time_point> deadline;
    if (t.WriteTotalTimeoutMultiplier != 0 || t.WriteTotalTimeoutConstant != 0) {
        deadline = CommClock::now() + totalTimeout(t.WriteTotalTimeoutMultiplier, bytes.size(),
                                                   t.WriteTotalTimeoutConstant);
    }
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t put =
            write(m_fd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent));
        if (put > 0) {
            sent += put;
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        const int timeout = deadline ? msUntil(*deadline) : -1;
        if ((put < 0 && errno != EAGAIN) || timeout == 0) {
            m_notifier.postHangup();
            return false;
        }
        pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {m_fd, POLLOUT, 0}};
        if (poll(fds, 2, timeout) < 0 && errno != EINTR) {
            m_notifier.postHangup();
            return false;
        }
        if (fds[0].revents != 0) {
            return false;
        }
        if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            m_notifier.postHangup();
            return false;
        }
    }
    return true;
}

} // namespace r2
