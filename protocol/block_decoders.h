#pragma once
// The decoders from parameter blocks to the records the panels are filled from.
//
// Contract: decoding never fails and never reads past a block: a view shorter than its block
// reads as if zero-filled, extra bytes are ignored, and length bytes inside a block are clipped
// to the field they describe.

#include "protocol/param_mirror.h"
#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"

#include <cstdint>
#include <string>

namespace r2 {

TBaseParam DecodeBaseBlock(ByteView block);
TPortParam DecodePortBlock(ByteView block);
// Reads bytes 2..29 of a block that starts with the cloud layout (a 50-byte cloud reply, or
// a serial cloud and heartbeat reply).
TCloudParam DecodeCloudBlock(ByteView block);
// The 1-byte form fills ModbusTCP alone; the 4-byte form adds ModbusPoll and the poll time.
TModbusParam DecodeModbusSwitches(ByteView block);
TModbusPackParam DecodeModbusPack(ByteView block);

// The heartbeat/registration block as the panel shows it.
struct HeartRegFields {
    std::uint8_t options = 0;
    bool heartToNetwork = false;    // bit 0
    bool heartToSerial = false;     // bit 1
    int regType = -1;               // bits 3..2: 01 -> 0, 10 -> 1, 11 -> 2, 00 -> -1 (unchanged)
    bool removeHttpdHeader = false; // bit 4
    bool comSetEnable = false;      // bit 5
    bool heartHex = false;          // bit 6
    bool regHex = false;            // bit 7
    std::uint32_t heartTime = 0;
    // The first length bytes of each data field, as upper-case hex digits without separators
    // when the block's own hex bit is set, else as the raw bytes.
    std::string heartData;
    std::string regData;

    bool operator==(const HeartRegFields&) const = default;
};
HeartRegFields DecodeHeartRegBlock(ByteView block);

struct HttpdTexts {
    std::string url;
    std::string header;

    bool operator==(const HttpdTexts&) const = default;
};
// The raw URL and header bytes of the mirror's HTTPD sections, as many as their length bytes
// say, at most the field width.
HttpdTexts DecodeHttpd(const ParamMirror& mirror);

} // namespace r2
