#pragma once
// Which bytes of a frame are passwords, so that a program printing frames can hide them: the
// password every LAN command carries, the module's login password in the base block and the
// cloud communication password in the cloud block, wherever those blocks travel (written over
// the LAN or the serial line, or sent back by a read).
//
// Contract: every function names spans inside the frame given (a span that would reach past
// its end is cut to it), in ascending order; a frame of a kind that holds no password (the
// search, a restart, a port block, a P5 frame) has none. The frames are classified the way
// their receivers classify them: a LAN command by its start and code, a parameter reply and
// a serial reply by their length.

#include "protocol/Unit_ProFun.h"

#include <cstddef>
#include <vector>

namespace r2 {

struct SecretSpan {
    std::size_t offset = 0;
    std::size_t length = 0;

    bool operator==(const SecretSpan&) const = default;
};
using SecretSpans = std::vector<SecretSpan>;

// A LAN command frame as the PC sends it: the envelope's password and the password inside the
// block it carries (base or cloud).
SecretSpans CommandFrameSecrets(ByteView frame);

// A LAN parameter reply, by its length: the 130-byte base and port reply, the cloud block.
SecretSpans ParamReplySecrets(ByteView reply);

// The base block (67 bytes) and the cloud block (50 bytes) on their own.
SecretSpans BaseBlockSecrets();
SecretSpans CloudBlockSecrets();

enum class SerialDirection { ToModule, FromModule };

// A serial frame: to the module the P6 base write; from it the P6 read reply (137 bytes) and
// the cloud and heartbeat reply (115 bytes).
SecretSpans SerialFrameSecrets(ByteView frame, SerialDirection direction);

} // namespace r2
