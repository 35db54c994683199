#include "serial/comm_notifier.h"

#include <cerrno>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace r2 {

CommNotifier::CommNotifier() : m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (m_wakeFd < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

CommNotifier::~CommNotifier() {
    close(m_wakeFd);
}

bool CommNotifier::push(CommEvent event, bool bounded) {
    {
        std::lock_guard lock(m_mutex);
        if (bounded && m_events.size() >= MaxWaiting) {
            return false;
        }
        m_events.push_back(std::move(event));
    }
    const std::uint64_t one = 1;
    // Only fails when the counter is about to overflow, and then the owner is woken anyway.
    [[maybe_unused]] const auto written = write(m_wakeFd, &one, sizeof one);
    return true;
}

bool CommNotifier::post(CommEvent event) {
    return push(std::move(event), true);
}

void CommNotifier::postHangup() {
    push(CommEvent{CommEventKind::Hangup, 0, {}}, false);
}

void CommNotifier::clearWake() {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto got = read(m_wakeFd, &count, sizeof count);
}

std::optional<CommEvent> CommNotifier::take() {
    std::lock_guard lock(m_mutex);
    if (m_events.empty()) {
        return std::nullopt;
    }
    CommEvent event = std::move(m_events.front());
    m_events.pop_front();
    return event;
}

} // namespace r2
