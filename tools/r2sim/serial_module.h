#pragma once
// A module on its serial line with the CFG pin grounded, as a pure byte machine: bytes from
// the line go in, the frames found in them come out with what the module did and the bytes it
// answers. No file descriptors and no clock of its own; the caller passes the time.
//
// Contract:
// - Frames are found in a byte stream, however the line splits or joins them: a frame starts
//   with 0x55 and its second byte, the command, fixes its length (55 BD, 55 C1, 55 BC: 2 bytes;
//   55 B1 5A: 3; 55 BA: 31; 55 BF: 66; 55 BE: 70). Bytes before a 0x55, and a 0x55 followed
//   by no known command, are dropped up to the next 0x55 as one "garbage" frame. The start of
//   a frame that sits unfinished for IncompleteFrameMs is dropped the same way, so a
//   truncated frame does not swallow the next request.
// - A P6 answers 55 BD with 137 bytes (55 BD, base block, port block, five further bytes) and
//   55 C1 with 115 (55 C1, device ID and communication password from cloud block bytes 2..29,
//   heartbeat/registration block). A base or port write whose sum is right is staged; 55 B1 5A
//   commits what is staged and answers 'K'. A write with a wrong sum is logged as a check
//   error and spoils the save it belongs to: the next 55 B1 5A drops everything staged and
//   answers nothing, so a tool never sees 'K' for a save that was not taken whole.
// - A P5 or P7 answers 55 BC with 32 bytes (55 BC, 28 parameter bytes, the further byte, the
//   sum of bytes 2..30) and takes a 31-byte 55 BA frame whose sum is right, answering 'K';
//   a wrong sum is logged and answered with nothing.
// - The other model's commands are recognised (so they do not turn into garbage) and ignored.
// - With badChecksum, the 32-byte reply carries its sum plus one; the P6 replies and 'K' carry
//   no sum and go out unchanged. A silent module takes and answers nothing.

#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace r2::sim {

enum class SerialModel { P5, P6, P7 };

// "p5", "p6", "p7" (either case) and back, lower case.
std::optional<SerialModel> SerialModelFromName(std::string_view name);
std::string_view SerialModelName(SerialModel model);

inline constexpr std::size_t P6ReplyTailLen = 5;
inline constexpr double IncompleteFrameMs = 500;

// What the module keeps. A P6 uses the four blocks, a P5 or P7 the parameter bytes and the
// further byte of its read reply.
struct SerialState {
    Bytes base;     // 67 bytes
    Bytes port;     // 63 bytes
    Bytes cloud;    // 50 bytes; the follow-up reply carries bytes 2..29
    Bytes heartReg; // 85 bytes
    Bytes p5;       // 28 bytes
    std::uint8_t p5Extra = 0;
    // Bytes 132..136 of the 137-byte reply, which no tool examines.
    Bytes p6Tail;

    bool operator==(const SerialState&) const = default;
};

// The factory state: a P6 gets the blocks of the first --p6 module (default_blocks.h); every
// model gets the P5 parameter bytes of DefaultP5Params.
SerialState DefaultSerialState();

struct SerialBehaviour {
    bool badChecksum = false;
    bool silent = false;
};

// One frame (or run of garbage) found on the line, what the module made of it, and the reply.
struct SerialEvent {
    Bytes received;
    std::string action; // "read p6", "follow-up", "write base", "write port", "save p6",
                        // "read p5", "write p5", "garbage"
    std::string result; // "reply", "staged", "K", "check error: ...", "ignored: ...", ...
    Bytes reply;        // empty: nothing to send
};

class SerialModule final {
public:
    SerialModule(SerialModel model, SerialState state, SerialBehaviour behaviour = {});

    SerialModel model() const { return m_model; }
    const SerialState& state() const { return m_state; }

    // Takes the bytes one read returned at nowMs; returns every frame they completed, in order.
    std::vector<SerialEvent> feed(ByteView bytes, double nowMs);
    // Drops an unfinished frame once it has waited IncompleteFrameMs; feed does this first.
    std::vector<SerialEvent> expire(double nowMs);
    // When expire would next drop something; empty while nothing waits.
    std::optional<double> deadline() const;

private:
    SerialEvent take(Bytes frame);
    SerialEvent takeP6(Bytes frame);
    SerialEvent takeP5(Bytes frame);
    SerialEvent stage(Bytes frame, std::optional<Bytes>& slot, std::string action);

    SerialModel m_model;
    SerialState m_state;
    SerialBehaviour m_behaviour;
    Bytes m_buffer;
    double m_lastByteMs = 0;
    std::optional<Bytes> m_stagedBase;
    std::optional<Bytes> m_stagedPort;
    bool m_saveSpoiled = false;
};

} // namespace r2::sim
