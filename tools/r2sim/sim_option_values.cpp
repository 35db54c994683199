#include "tools/r2sim/sim_option_values.h"

#include "protocol/address_text.h"
#include "protocol/Unit_ProFun.h"
#include "tools/r2sim/sim_options.h"

#include <charconv>

namespace r2::sim::options {

int ToInt(std::string_view text, std::string_view option) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0) {
        throw ConfigError(std::string(option) + " needs a number, not \"" + std::string(text) +
                          "\"");
    }
    return value;
}

std::uint64_t ToSeed(std::string_view text, std::string_view option) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        throw ConfigError(std::string(option) + " needs a whole number as its seed, not \"" +
                          std::string(text) + "\"");
    }
    return value;
}

std::string CheckedIp(const std::string& ip, std::string_view option) {
    if (!ParseIpv4Text(ip)) {
        throw ConfigError(std::string(option) + " needs an IPv4 address, not \"" + ip + "\"");
    }
    return ip;
}

std::pair<int, int> ToFlood(const std::string& text, std::string_view option) {
    const std::string name(option);
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        throw ConfigError(name + " needs COUNT:MS, not \"" + text + "\"");
    }
    const int count = ToInt(std::string_view(text).substr(0, colon), name + " COUNT");
    const int ms = ToInt(std::string_view(text).substr(colon + 1), name + " MS");
    if (count == 0 || ms == 0) {
        throw ConfigError(name + " needs a COUNT and MS above 0");
    }
    return {count, ms};
}

int ToIntAtMost(std::string_view text, std::string_view option, int most) {
    const int value = ToInt(text, option);
    if (value > most) {
        throw ConfigError(std::string(option) + " takes at most " + std::to_string(most) +
                          ", not " + std::string(text));
    }
    return value;
}

std::uint16_t ToBlock(std::string_view text, std::string_view option) {
    const int block = ToIntAtMost(text, option, 0xFFFF);
    if (block == 0) {
        throw ConfigError(std::string(option) + " takes block numbers from 1 on");
    }
    return static_cast<std::uint16_t>(block);
}

std::uint16_t ToAckNumber(const std::string& text, std::string_view option) {
    return static_cast<std::uint16_t>(ToIntAtMost(text, option, 0xFFFF));
}

std::vector<std::uint16_t> ToBlockList(const std::string& text, std::string_view option) {
    std::vector<std::uint16_t> blocks;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view item = std::string_view(text).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start);
        blocks.push_back(ToBlock(item, option));
        if (comma == std::string::npos) {
            return blocks;
        }
        start = comma + 1;
    }
}

std::array<std::uint8_t, 4> ToIdentity(const std::string& text, std::string_view option) {
    const auto bytes = ParseHexBytes(text);
    if (!bytes || bytes->size() != 4) {
        throw ConfigError(std::string(option) + " needs 4 bytes as 8 hex digits, not \"" + text +
                          "\"");
    }
    return {(*bytes)[0], (*bytes)[1], (*bytes)[2], (*bytes)[3]};
}

MacBytes ToMac(const std::string& text, std::string_view option) {
    const auto mac = ParseMacText(text);
    if (!mac) {
        throw ConfigError(std::string(option) + " needs a MAC of 12 hex digits, not \"" + text +
                          "\"");
    }
    return *mac;
}

bool ToBroadcast(const std::string& text, std::string_view option) {
    if (text != "unicast" && text != "broadcast") {
        throw ConfigError(std::string(option) + " takes unicast or broadcast");
    }
    return text == "broadcast";
}

SerialModel ToSerialModel(const std::string& text, std::string_view option) {
    const auto model = SerialModelFromName(text);
    if (!model) {
        throw ConfigError(std::string(option) + " takes p5, p6 or p7, not \"" + text + "\"");
    }
    return *model;
}

std::uint8_t ToByte(const std::string& text, std::string_view option) {
    return static_cast<std::uint8_t>(ToIntAtMost(text, option, 0xFF));
}

std::uint32_t ToIpNumber(const std::string& text, std::string_view option) {
    return *ParseIpv4Text(CheckedIp(text, option));
}

int ToPercent(const std::string& text, std::string_view option) {
    return ToIntAtMost(text, option, 100);
}

int ToPositive(const std::string& text, std::string_view option) {
    const int value = ToInt(text, option);
    if (value == 0) {
        throw ConfigError(std::string(option) + " needs a number above 0");
    }
    return value;
}

} // namespace r2::sim::options
