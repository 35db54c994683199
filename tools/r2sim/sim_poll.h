#pragma once
// One wait of a simulator's main loop on its descriptors, the first of which is the stop signal
// (a signalfd for SIGTERM and SIGINT).

#include <poll.h>
#include <span>

namespace r2::sim {

enum class PollResult { Ready, Stop, Failed };

// Waits up to timeoutMs (-1: without limit). Stop once a stop signal was read; Failed when poll
// itself failed (said on stderr); Ready otherwise. After a timeout or an interrupted wait every
// revents is cleared, so the caller looks at revents alone.
PollResult PollUntilStop(std::span<pollfd> fds, int timeoutMs);

} // namespace r2::sim
