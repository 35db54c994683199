#pragma once
// Factory blocks of a simulated module, laid out as a real module sends them: the module's
// own address, name, MAC and login in the base block, a plausible serial and socket set-up in
// the port block, and the optional P6 blocks filled with recognisable values. The bytes a
// configuration tool does not understand are non-zero on purpose, so a test can see them
// come back untouched after a save.

#include "sim_module.h"

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

// Replaces the identity fields of a base block (address, name, login, MAC), keeping the rest.
void StampIdentity(Bytes& baseBlock, const Identity& id);

} // namespace r2::sim
