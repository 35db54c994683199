// What the simulator's tests share: the MAC of the module under test and a command frame
// addressed to it with the default user.
#pragma once

#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"
#include "tools/r2sim/sim_answer.h"

#include <cstdint>
#include <string_view>

namespace r2::sim::test {

inline constexpr MacBytes Mac = {0x02, 0x52, 0x32, 0x06, 0x00, 0x01};

inline Bytes Frame(std::uint8_t command, const Bytes& block = {},
                   std::string_view password = "tulip") {
    return BuildCommandFrame(command, "02 52 32 06 00 01", "admin", password, block);
}

} // namespace r2::sim::test
