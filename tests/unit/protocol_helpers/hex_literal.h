#pragma once
// Test fixtures write bytes as hex text ("FF 01 01 02"). This reader is deliberately
// independent of the helpers under test, so a fault there cannot hide in the expectations.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace r2::test {

inline std::vector<std::uint8_t> Hex(std::string_view text) {
    std::vector<std::uint8_t> out;
    std::string digits;
    for (const char c : text) {
        if (c != ' ') {
            digits.push_back(c);
        }
    }
    if (digits.size() % 2 != 0) {
        throw std::invalid_argument("odd hex literal");
    }
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
}

} // namespace r2::test
