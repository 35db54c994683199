#pragma once
// CommWorkers: the reader and writer threads of one open port and the stop signal both wait
// on.
//
// Both threads block only in poll(), and every poll includes the stop eventfd, so stop() always
// ends them promptly, even with a write stuck on a port whose peer reads nothing. The threads
// share nothing with the owner but the port descriptor (fixed while they run), this object's
// mutex-guarded write queue and timeouts, and the CommNotifier they post to.
//
// Threads run at the default priority: raising it needs a privilege an ordinary user lacks,
// and the 50 ms chunk gaps of the serial exchange do not need it.

#include "serial/comm_read_rules.h"
#include "serial/SPComm.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <QByteArray>
#include <thread>

namespace r2 {

class CommNotifier;

class CommWorkers final {
public:
    // Throws ECommsError(CommErrEvent) when the stop or wake eventfd cannot be created.
    CommWorkers(int fd, CommNotifier& notifier, const CommTimeouts& timeouts, bool ignoreNul);
    // Stops the threads still running.
    ~CommWorkers();
    CommWorkers(const CommWorkers&) = delete;
    CommWorkers& operator=(const CommWorkers&) = delete;

    // Each throws ECommsError (CommErrReadThread, CommErrWriteThread) when no thread can be
    // created.
    void startReader();
    void startWriter();

    // Signals stop, waits for the reader and clears the port's input, then the writer and its
    // output.
    void stop();

    // Queues an owned copy for the writer. False once the writer has ended, or while
    // CommNotifier::MaxWaiting writes already wait.
    bool queueWrite(QByteArray bytes);

    void setTimeouts(const CommTimeouts& timeouts);
    void setIgnoreNul(bool ignore) { m_ignoreNul = ignore; }

private:
    void readLoop();
    void writeLoop();
    bool sendAll(const QByteArray& bytes);
    bool deliver(QByteArray& chunk);
    bool reportLineEvents(LineCounters& counters);
    std::optional<QByteArray> takeWrite();
    CommTimeouts timeouts() const;
    bool stopRequested() const;
    void markEnded(bool& done);
    void joinWithin(std::thread& thread, const bool& done, const char* name);

    const int m_fd;
    CommNotifier& m_notifier;
    int m_stopFd = -1;
    int m_writeWakeFd = -1;
    std::atomic<bool> m_ignoreNul{false};

    mutable std::mutex m_timeoutsMutex;
    CommTimeouts m_timeouts;

    std::mutex m_writeMutex;
    std::deque<QByteArray> m_writes;
    bool m_writerEnded = false;

    std::mutex m_endMutex;
    std::condition_variable m_ended;
    bool m_readerDone = false;
    bool m_writerDone = false;

    std::thread m_reader;
    std::thread m_writer;
};

} // namespace r2
