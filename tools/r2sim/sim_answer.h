#pragma once
// What a simulated module sends back for one datagram it took.

#include "protocol/Unit_Public.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace r2::sim {

using MacBytes = std::array<std::uint8_t, MacWidth>;

// The first two bytes of a module's acknowledgement; its command byte and result follow.
inline constexpr std::uint8_t AckHead0 = 0xFF;
inline constexpr std::uint8_t AckHead1 = 0x01;

struct Reply {
    std::uint16_t fromPort = 0;
    Bytes bytes;
    bool foreign = false; // sent from the second address instead of the module's own
};

struct Answer {
    std::string action; // what the frame asked for: "search", "read", "write base", ...
    std::string result; // "K", "P", "E", "blocks", "check error", "raw", "ignored: ..."
    std::vector<Reply> replies;
    // Datagrams a flood after this answer cycles through; empty: no flood.
    std::vector<Bytes> flood{};
};

} // namespace r2::sim
