#pragma once
// Factory blocks of a simulated module, laid out as a real module sends them: the module's
// own address, name, MAC and login in the base block, a plausible serial and socket set-up in
// the port block, and the optional P6 blocks filled with recognisable values. The bytes a
// configuration tool does not understand are non-zero on purpose, so a test can see them
// come back untouched after a save.

#include "tools/r2sim/sim_module.h"

#include <string>

namespace r2::sim {

struct Identity {
    Model model = Model::P6;
    MacBytes mac{};
    std::string ip;
    std::string name;
    std::string user;
    std::string password;
};

// A P6 (or old) module gets every block, the 4-byte Modbus switches included; a P7 only the
// base and port blocks.
BlockSet DefaultBlocks(const Identity& id);

// The P5 frame less its head (2 bytes) and its sum.
inline constexpr std::size_t P5ParamLen = P5FrameLen - 3;

// The 28 parameter bytes of a P5 (or of a P7 on its serial line) as it ships: TCP client
// 192.168.0.7:20108 to 192.168.0.201:8234, gateway 192.168.0.1, mask 255.255.255.0,
// 115200 8N1, device ID 1, no options.
Bytes DefaultP5Params();

// Replaces the identity fields of a base block (address, name, login, MAC), keeping the rest.
void StampIdentity(Bytes& baseBlock, const Identity& id);

} // namespace r2::sim
