#pragma once
// CommNotifier: the channel that carries what a port's worker threads learn to the thread that
// owns the TComm.
//
// Workers post events from any thread; the owner's thread takes them, in the order they were
// posted, after its wake descriptor (an eventfd) became readable. Only the standard mutex and
// the eventfd cross threads, so ThreadSanitizer sees every hand-over.
//
// A posted event waits in memory until the owner's event loop runs. So that an owner that
// stops serving its loop cannot make a flooding port eat all memory, at most MaxWaiting events
// wait; a post beyond that fails, and the worker then posts a hang-up (which is always
// accepted) and ends, as a refused window message ends the workers of the reference component.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <QByteArray>

namespace r2 {

enum class CommEventKind { Data, Error, Hangup, Modem, TxEmpty };

struct CommEvent {
    CommEventKind kind = CommEventKind::Hangup;
    std::uint32_t value = 0; // error flags or modem bits
    QByteArray data;         // one received chunk
};

class CommNotifier final {
public:
    static constexpr std::size_t MaxWaiting = 10000;

    // Throws std::system_error when no eventfd can be had.
    CommNotifier();
    ~CommNotifier();
    CommNotifier(const CommNotifier&) = delete;
    CommNotifier& operator=(const CommNotifier&) = delete;

    // Any thread. False (and nothing queued) when MaxWaiting events already wait.
    bool post(CommEvent event);
    // Any thread; never refused.
    void postHangup();

    // The owner's thread: readable while events may wait.
    int wakeFd() const { return m_wakeFd; }
    // The owner's thread: clears the wake descriptor before the events are taken, so that an
    // event posted while they are being taken wakes the owner again.
    void clearWake();
    std::optional<CommEvent> take();

private:
    bool push(CommEvent event, bool bounded);

    int m_wakeFd = -1;
    std::mutex m_mutex;
    std::deque<CommEvent> m_events;
};

} // namespace r2
