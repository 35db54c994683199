#include "serial/comm_read_rules.h"

#include <algorithm>
#include <limits>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace r2 {

std::chrono::milliseconds totalTimeout(std::uint32_t multiplier, std::int64_t bytes,
                                       std::uint32_t constant) {
    constexpr std::int64_t most = std::numeric_limits<std::uint32_t>::max();
    return std::chrono::milliseconds(std::min(std::int64_t{multiplier} * bytes + constant, most));
}

std::optional<CommClock::time_point> chunkDeadline(const CommTimeouts& timeouts,
                                                   CommClock::time_point first,
                                                   CommClock::time_point last) {
    using std::chrono::milliseconds;
    std::optional<CommClock::time_point> deadline;
    const std::uint32_t interval = timeouts.ReadIntervalTimeout;
    if (interval == std::numeric_limits<std::uint32_t>::max()) {
        deadline = last;
    } else if (interval != 0) {
        deadline = last + milliseconds(interval);
    }
    if (timeouts.ReadTotalTimeoutMultiplier != 0 || timeouts.ReadTotalTimeoutConstant != 0) {
        const auto total = totalTimeout(timeouts.ReadTotalTimeoutMultiplier, CommQueueBytes,
                                        timeouts.ReadTotalTimeoutConstant);
        deadline = deadline ? std::min(*deadline, first + total) : first + total;
    }
    return deadline;
}

LineEvents lineEventsBetween(const LineCounters& before, const LineCounters& now) {
    LineEvents events;
    const auto flag = [](int was, int is, std::uint32_t bit) { return was != is ? bit : 0u; };
    events.errors = flag(before.bufOverrun, now.bufOverrun, CommErrorRxOver) |
                    flag(before.overrun, now.overrun, CommErrorOverrun) |
                    flag(before.parity, now.parity, CommErrorParity) |
                    flag(before.frame, now.frame, CommErrorFrame) |
                    flag(before.brk, now.brk, CommErrorBreak);
    events.modem =
        flag(before.rng, now.rng, ModemRing) | flag(before.dcd, now.dcd, ModemCarrierDetect);
    return events;
}

std::optional<LineCounters> readLineCounters(int fd) {
    serial_icounter_struct c{};
    if (ioctl(fd, TIOCGICOUNT, &c) != 0) {
        return std::nullopt;
    }
    return LineCounters{c.rng, c.dcd, c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
}

} // namespace r2
