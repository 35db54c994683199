#pragma once
// The reader's rules, kept apart from its threads so they can be checked directly.
//
// When a chunk ends, after the meaning the five timeouts have on the reference platform:
// - ReadIntervalTimeout is the longest gap between two bytes of one chunk; 0 means no gap
//   limit (the chunk then ends only when full or at the read total), and 0xFFFFFFFF means
//   "whatever has arrived", so every read of the port is delivered at once.
// - The read totals bound a chunk's whole duration, Multiplier x 3072 + Constant ms, counted
//   from its first byte: we wait for the first byte without limit, because an empty read would
//   end the reading thread on the reference platform, and a reader that stops on a quiet line
//   helps nobody.
// - A chunk is full at CommQueueBytes (3072) bytes.
//
// Line errors and modem events come from the driver's interrupt counters (TIOCGICOUNT): any
// counter that moved since the last look is reported with the reference platform's flag.
// Drivers without counters (pseudo-terminals, some USB adapters) report neither.

#include "serial/SPComm.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace r2 {

using CommClock = std::chrono::steady_clock;

// A total timeout, Multiplier x bytes + Constant, held to the largest a 32-bit timeout can
// state (about 49 days), so no clock arithmetic overflows.
std::chrono::milliseconds totalTimeout(std::uint32_t multiplier, std::int64_t bytes,
                                       std::uint32_t constant);

// When the chunk that began at `first` and last grew at `last` is complete; no value when only
// a full buffer ends it.
std::optional<CommClock::time_point> chunkDeadline(const CommTimeouts& timeouts,
                                                   CommClock::time_point first,
                                                   CommClock::time_point last);

// The driver's counters that matter here (a copy of the fields of serial_icounter_struct).
struct LineCounters {
    int rng = 0, dcd = 0;
    int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
};

// Error flags of the reference platform: receive queue overflow, hardware overrun, parity,
// framing, break.
inline constexpr std::uint32_t CommErrorRxOver = 0x01;
inline constexpr std::uint32_t CommErrorOverrun = 0x02;
inline constexpr std::uint32_t CommErrorParity = 0x04;
inline constexpr std::uint32_t CommErrorFrame = 0x08;
inline constexpr std::uint32_t CommErrorBreak = 0x10;

struct LineEvents {
    std::uint32_t errors = 0; // CommError... flags, for OnReceiveError
    std::uint32_t modem = 0;  // ModemRing | ModemCarrierDetect, for OnModemStateChange
    bool operator==(const LineEvents&) const = default;
};

LineEvents lineEventsBetween(const LineCounters& before, const LineCounters& now);

// The port's counters, or no value when its driver keeps none.
std::optional<LineCounters> readLineCounters(int fd);

} // namespace r2
