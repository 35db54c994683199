#include "tools/r2sim/sim_options.h"

#include "protocol/Unit_ProFun.h"
#include "tools/r2sim/sim_command_line.h"
#include "tools/r2sim/sim_option_values.h"

namespace r2::sim {

std::optional<Bytes> ParseHexBytes(std::string_view text) {
    const std::string digits = RemoveSpaces(text);
    if (digits.size() % 2 != 0) {
        return std::nullopt;
    }
    Bytes bytes(digits.size() / 2);
    if (!HexToBytes(digits, bytes)) {
        return std::nullopt;
    }
    return bytes;
}

ParseResult ParseArguments(const std::vector<std::string>& args) {
    try {
        return {options::CommandLine().parse(args), {}};
    } catch (const options::ConfigError& e) {
        return {{}, e.what()};
    }
}

std::string UsageText() {
    return options::CommandLine().help();
}

} // namespace r2::sim
