#pragma once
// r2sim's option values: each converter turns an option's text into its value or throws a
// ConfigError naming the option and what it needs ("--delay needs a number, not \"x\"").

#include "tools/r2sim/boot_loader.h"
#include "tools/r2sim/serial_module.h"
#include "tools/r2sim/sim_module.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace r2::sim::options {

// A refusal of the command line, a modules file or a serial-state file; its text is r2sim's
// error message.
struct ConfigError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int ToInt(std::string_view text, std::string_view option);
std::uint64_t ToSeed(std::string_view text, std::string_view option);
// An IPv4 address, returned as given.
std::string CheckedIp(const std::string& ip, std::string_view option);
// COUNT:MS, both above 0.
std::pair<int, int> ToFlood(const std::string& text, std::string_view option);
int ToIntAtMost(std::string_view text, std::string_view option, int most);
// A block number a data block can carry: 1 to 65535.
std::uint16_t ToBlock(std::string_view text, std::string_view option);
// A number an acknowledgement can name: 0 to 65535.
std::uint16_t ToAckNumber(const std::string& text, std::string_view option);
// Block numbers separated by commas; a number may come more than once.
std::vector<std::uint16_t> ToBlockList(const std::string& text, std::string_view option);
std::array<std::uint8_t, 4> ToIdentity(const std::string& text, std::string_view option);
MacBytes ToMac(const std::string& text, std::string_view option);
bool ToBroadcast(const std::string& text, std::string_view option);
SerialModel ToSerialModel(const std::string& text, std::string_view option);
std::uint8_t ToByte(const std::string& text, std::string_view option);
std::uint32_t ToIpNumber(const std::string& text, std::string_view option);
int ToPercent(const std::string& text, std::string_view option);
int ToPositive(const std::string& text, std::string_view option);

} // namespace r2::sim::options
