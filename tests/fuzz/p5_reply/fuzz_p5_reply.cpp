// The P5 read reply decoder on input of any length. Whatever a module reports must be sendable
// back: an accepted reply fills the panel with values that encode, and decoding the encoded
// frame again leaves the panel as it was.

#include "protocol/p5_codec.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

r2::Bytes ReplyFor(const r2::Bytes& frame, std::uint8_t extra) {
    r2::Bytes reply = {r2::SerHead, r2::SerReadP5P7};
    reply.insert(reply.end(), frame.begin() + 2, frame.begin() + 30);
    reply.push_back(extra);
    reply.push_back(r2::SumBytes(r2::ByteView(reply).subspan(2, 29)));
    return reply;
}

// A reply with the head and sum put right, so that the fill itself is explored and not only
// the rejection.
r2::Bytes Repaired(r2::ByteView input) {
    r2::Bytes reply(r2::SerP5ReplyLen, 0);
    std::copy_n(input.begin(), std::min(input.size(), reply.size()), reply.begin());
    reply[0] = r2::SerHead;
    reply[1] = r2::SerReadP5P7;
    reply[31] = r2::SumBytes(r2::ByteView(reply).subspan(2, 29));
    return reply;
}

void CheckRoundTrip(const r2::Bytes& reply) {
    r2::PanelP5 panel;
    Require(r2::DecodeP5Reply(reply, panel));
    const r2::P5FrameResult frame = r2::EncodeP5Frame(panel);
    Require(frame.status.ok() && frame.frame.size() == r2::P5FrameLen);
    r2::PanelP5 again = panel;
    Require(r2::DecodeP5Reply(ReplyFor(frame.frame, reply[30]), again));
    Require(again == panel);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const r2::ByteView input(data, size);
    r2::PanelP5 panel;
    if (!r2::DecodeP5Reply(input, panel)) {
        Require(panel == r2::PanelP5{});
    }
    CheckRoundTrip(Repaired(input));
    return 0;
}
