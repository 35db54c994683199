#include "protocol/address_text.h"

#include "protocol/Unit_ProFun.h"

#include <charconv>

namespace r2 {

namespace {

bool IsMacSeparator(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == ':' || c == '-';
}

} // namespace

std::optional<std::uint32_t> ParseIpv4Text(std::string_view text) {
    std::uint32_t ip = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.') {
                return std::nullopt;
            }
            text.remove_prefix(1);
        }
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        const auto length = static_cast<std::size_t>(end - text.data());
        if (ec != std::errc{} || length == 0 || length > 3 || value > 255 ||
            (length > 1 && text.front() == '0')) {
            return std::nullopt;
        }
        ip = (ip << 8) | value;
        text.remove_prefix(length);
    }
    return text.empty() ? std::optional(ip) : std::nullopt;
}

std::optional<std::array<std::uint8_t, MacWidth>> ParseMacText(std::string_view text) {
    std::array<std::uint8_t, MacWidth> mac{};
    std::size_t digits = 0;
    for (const char c : text) {
        if (IsMacSeparator(c)) {
            continue;
        }
        const auto value = HexDigitValue(c);
        if (!value || digits == 2 * MacWidth) {
            return std::nullopt;
        }
        mac[digits / 2] = static_cast<std::uint8_t>(mac[digits / 2] << 4 | *value);
        ++digits;
    }
    if (digits != 2 * MacWidth) {
        return std::nullopt;
    }
    return mac;
}

} // namespace r2
