#include "tools/r2sim/sim_poll.h"

#include <cerrno>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

namespace r2::sim {

PollResult PollUntilStop(std::span<pollfd> fds, int timeoutMs) {
    const int n = poll(fds.data(), fds.size(), timeoutMs);
    if (n < 0 && errno != EINTR) {
        std::perror("r2sim: poll");
        return PollResult::Failed;
    }
    if (n <= 0) {
        for (pollfd& fd : fds) {
            fd.revents = 0;
        }
        return PollResult::Ready;
    }
    if ((fds[0].revents & POLLIN) != 0) {
        signalfd_siginfo info{};
        if (read(fds[0].fd, &info, sizeof info) > 0) {
            return PollResult::Stop;
        }
    }
    return PollResult::Ready;
}

} // namespace r2::sim
