#pragma once
// The simulator's record of every datagram it receives and sends, so that tests can assert
// on exact bytes and on the gaps between frames. Each entry goes out as one text line on
// standard output (unless quiet) and as one JSON object per line in the JSON log (if any);
// both are flushed at once, so a reader sees an entry as soon as the frame was handled.

#include "protocol/Unit_Public.h"

#include <cstdio>
#include <string>

namespace r2::sim {

// Milliseconds on the monotonic clock (CLOCK_MONOTONIC), the clock Python's
// time.monotonic() reads, so a test can line its own times up with the log's.
double MonotonicMs();

struct LogEntry {
    double timeMs = 0;
    bool received = true; // "rx" or "tx"
    std::string peer;     // ip:port of the sender (rx) or the destination (tx)
    std::uint16_t localPort = 0;
    const Bytes* bytes = nullptr;
    std::string module; // MAC text, empty when no module took the frame
    std::string action;
    std::string result;
    std::string source; // tx: the address it left from, empty for the system's choice
    // tx: the time just before the send, so that sendStartMs <= the receiver's arrival stamp
    // <= timeMs; 0 for an entry that is no send.
    double sendStartMs = 0;
};

class FrameLog final {
public:
    FrameLog(bool text, std::FILE* json) : m_text(text), m_json(json) {}
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    void write(const LogEntry& entry);

private:
    bool m_text;
    std::FILE* m_json;
};

// A JSON string literal, quotes included; bytes outside printable ASCII become \u00XX.
std::string JsonString(std::string_view text);

} // namespace r2::sim
