#pragma once
// The P5 parameter frame and read reply, shared by P5 modules and by P7 modules on their serial
// line: 28 parameter bytes between a two-byte head and an 8-bit sum. EncodeP5Frame builds the
// 31-byte frame to send from the P5 panel; DecodeP5Reply checks a 32-byte read reply and
// fills the panel from it.

#include "protocol/block_codec.h"
#include "protocol/panel_p5.h"
#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"

namespace r2 {

struct [[nodiscard]] P5FrameResult {
    EncodeResult status;
    // The 31 bytes to send; empty when a control did not convert, so nothing can be sent.
    Bytes frame;
    // edt_ID was empty and the default device ID "0" went into the frame; the window shows
    // "0" in the box, as the frame carries it.
    bool defaultIdApplied = false;
};

// Addresses, ports, device ID and baud rate that do not convert fail the frame; numbers
// larger than their field keep their low bytes, and no work mode selected is sent as 0xFF.
P5FrameResult EncodeP5Frame(const PanelP5& panel);

// Accepts a reply of 32 bytes that starts 55 BC and whose last byte is the sum of bytes
// 2..30; fills the panel from it and runs the P5 work-mode rule. Anything else is rejected
// with the panel unchanged.
bool DecodeP5Reply(ByteView reply, PanelP5& panel);

} // namespace r2
