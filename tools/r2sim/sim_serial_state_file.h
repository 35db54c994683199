#pragma once
// --serial-state FILE.json: the bytes a module on a pseudo-terminal starts from instead of the
// factory ones.

#include "tools/r2sim/serial_module.h"

#include <string>

namespace r2::sim::options {

// {"base": HEX, "port": HEX, "cloud": HEX, "heartReg": HEX, "p5": HEX, "p5Extra": HEX,
// "p6Tail": HEX}, each optional, each of its exact length, over `state`.
void LoadSerialState(const std::string& path, SerialState& state);

} // namespace r2::sim::options
