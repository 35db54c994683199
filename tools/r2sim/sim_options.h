#pragma once
// SimOptions: what r2sim's command line and its JSON modules file ask for, as the modules to
// simulate and the mode to run in.
//
// Modules come from --config FILE.json first, then --p6/--p7/--old counts. Whatever a module
// does not set gets a default: a MAC 02 52 32 <06|07|05> <n> from its model and its number,
// the next free address from --first-ip (default 192.168.0.7), a name like "P6-0001",
// version 4017 (P6), 5002 (P7) or 2001 (old), the login admin/tulip, and the factory blocks
// of its model. The shared options (--reply, --delay, --copies, --silent, --user,
// --password) apply to every module that does not set its own.
//
// --serial p5|p6|p7 instead runs one module on a pseudo-terminal; it takes only the
// --serial-* options and the logging ones, and starts from the factory state, or from the
// blocks a --serial-state file names.
//
// --bootloader MAC instead plays one module's boot loader on UDP; it takes only its own
// options, --silent and the logging ones.

#include "tools/r2sim/boot_loader.h"
#include "tools/r2sim/serial_module.h"
#include "tools/r2sim/sim_module.h"

#include <string>
#include <vector>

namespace r2::sim {

struct SerialSimOptions {
    SerialModel model = SerialModel::P6;
    SerialBehaviour behaviour;
    // Above 0: every reply longer than one byte goes out as two parts this many ms apart.
    int splitMs = 0;
    SerialState state = DefaultSerialState();
};

struct BootLoaderOptions {
    BootLoaderConfig config;
    std::string imagePath; // empty: the image is not written
    bool exitAfterTransfer = false;
};

struct SimOptions {
    std::vector<ModuleConfig> modules; // empty in serial and boot loader mode
    std::optional<SerialSimOptions> serial;
    std::optional<BootLoaderOptions> bootLoader;
    std::string jsonLogPath;
    bool quiet = false; // no per-frame text log
    bool help = false;
    bool version = false;
};

struct ParseResult {
    SimOptions options;
    std::string error; // empty on success
};

ParseResult ParseArguments(const std::vector<std::string>& args);
std::string UsageText();

// Hex text (spaces allowed) into bytes; empty when it is not whole hex pairs.
std::optional<Bytes> ParseHexBytes(std::string_view text);

} // namespace r2::sim
