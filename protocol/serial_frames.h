#pragma once
// The PC's side of the configuration frames on a module's serial line (CFG pin grounded).
// The request frames themselves are built by Unit_Public (BuildSerialReadRequest,
// BuildSerialBaseWrite, ...); this unit adds what a whole exchange needs on top of them: the
// P6 save encoded all or nothing, and the replies known by their length.
//
// Contract:
// - EncodeSerialP6Save encodes the base and port blocks from the P6 panel into a scratch copy
//   of the mirror. Either every frame of the save is produced, or none: a control whose text
//   does not convert gives the encoder's failure (naming the control) and no frame at all.
// - The serial line has no framing: a reply is recognised only by the length of the chunk it
//   arrived in. ClassifySerialChunk says what a chunk of that length is; HandleSerialReply
//   decodes the two P6 replies and reports them, from-serial true and as a P6, to the same
//   sink the LAN replies go to. The 32-byte P5/P7 reply is checked and decoded by
//   DecodeP5Reply (p5_codec.h).
// - A P6 read reply replaces the base and port sections of the mirror and the two saved
//   option bytes, so that a serial save after a serial read sends back every byte of those
//   blocks this program does not interpret. The cloud and heartbeat/registration reply is
//   decoded only: a serial save never writes those blocks.

#include "protocol/block_codec.h"
#include "protocol/panel_p6.h"
#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"

#include <vector>

namespace r2 {

// Where the blocks sit in the two P6 replies; the first two bytes of each are not examined.
inline constexpr std::size_t SerReplyBlockOffset = 2;
inline constexpr std::size_t SerP6ReplyPortOffset = SerReplyBlockOffset + BaseBlockLen; // 69
inline constexpr std::size_t SerCloudHeartReplyHeartOffset = 30;

// The P6 save's pause between two frames, in milliseconds.
inline constexpr int SerialFrameGapMs = 500;

enum class SerialReplyKind {
    Accepted,   // one byte 'K': the module took a save
    Ignored,    // one byte, not 'K'
    P5Reply,    // 32 bytes: P5/P7 read reply
    CloudHeart, // 115 bytes: P6 cloud identity and heartbeat/registration block
    P6Reply,    // 137 bytes: P6 base and port blocks
    Other,      // any other length, including 0
};

inline constexpr std::uint8_t SerAccepted = 0x4B; // 'K'

SerialReplyKind ClassifySerialChunk(ByteView chunk);

struct SerialP6SaveFrames {
    EncodeResult status;
    // The base write (70 bytes), the port write (66) and the write close (3), in sending
    // order; empty when a control did not convert.
    std::vector<Bytes> frames;
    // The mirror with both blocks encoded, which the live mirror takes when the save starts;
    // the mirror given, unchanged, when a control did not convert.
    ParamMirror mirror;
};

SerialP6SaveFrames EncodeSerialP6Save(const PanelP6& panel, const ParamMirror& mirror);

// Decodes a 137-byte or 115-byte P6 reply into `sink` (devFlag DevFlagP6, fromSerial true);
// the 137-byte reply also goes into the mirror (see the contract). Returns false, touching
// nothing, for a chunk of any other length.
bool HandleSerialReply(ParamMirror& mirror, ByteView chunk, ParamReplySink& sink);

} // namespace r2
