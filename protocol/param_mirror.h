#pragma once
// The raw store of the parameter blocks of a P6 or P7 module read last (ParamMirror).
//
// Contract: ParamMirror is a plain value. A save encodes into a copy and replaces the live
// mirror only when every encoder it needs has succeeded, so a half-encoded block is never sent.

#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace r2 {

inline constexpr std::size_t HeartRegDataLen = 40;
// Where the module's login password sits in the base block, and the cloud communication
// password in the cloud block.
inline constexpr std::size_t BasePasswordOffset = 43;
inline constexpr std::size_t CloudPasswordOffset = 22;
inline constexpr std::size_t CloudPasswordLen = 8;

// The raw blocks of the module read last, byte for byte. Encoders overwrite only the bytes
// they know, so everything this program does not understand goes back as the module sent it.
struct ParamMirror {
    std::array<std::uint8_t, BaseBlockLen> base{};
    std::array<std::uint8_t, PortBlockLen> port{};
    std::array<std::uint8_t, CloudBlockLen> cloud{};
    std::array<std::uint8_t, HeartRegBlockLen> heartReg{};
    std::uint8_t urlLen = 0;
    std::array<std::uint8_t, HttpdUrlLen> url{};
    std::uint8_t headLen = 0;
    std::array<std::uint8_t, HttpdHeadLen> head{};
    std::array<std::uint8_t, ModbusSwitchLen> modbusSwitches{};
    std::array<std::uint8_t, ModbusPackBlockLen> modbusPack{};
    // Byte 3 of the last base block and byte 50 of the last port block received, over the LAN
    // or the serial line; the P6 encoders start their option bytes from them.
    std::uint8_t SavedBaseFlags = 0;
    std::uint8_t SavedPortFlags = 0;

    bool operator==(const ParamMirror&) const = default;
};

// The 101-byte URL block (length byte, URL field) and the 201-byte header block.
Bytes HttpdUrlBlock(const ParamMirror& mirror);
Bytes HttpdHeadBlock(const ParamMirror& mirror);

// Copies a reply of 50, 85, 87, 130 or 302 bytes into its sections. Other lengths are not
// stored; returns whether the reply was stored.
bool StoreReply(ParamMirror& mirror, ByteView reply);

// Remembers the option bytes of a base and a port block (byte 3 and byte 50).
void RememberSavedFlags(ParamMirror& mirror, ByteView baseBlock, ByteView portBlock);

} // namespace r2
