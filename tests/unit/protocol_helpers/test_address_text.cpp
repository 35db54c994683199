// The strict IPv4 and MAC texts that r2ctl, r2sim, the configuration file, the upgrade dialog
// and the address plan all take: one table each of what is accepted and what is refused.

#include "protocol/address_text.h"

#include <gtest/gtest.h>

namespace r2 {
namespace {

TEST(AddressText, Ipv4) {
    const struct {
        const char* text;
        std::optional<std::uint32_t> ip;
    } cases[] = {
        {"192.168.0.7", 0xC0A80007},
        {"0.0.0.0", 0},
        {"255.255.255.255", 0xFFFFFFFF},
        {"10.0.0.1", 0x0A000001},
        // Out of range, too few or too many numbers, empty numbers.
        {"256.0.0.1", std::nullopt},
        {"192.168.0.256", std::nullopt},
        {"1234.1.1.1", std::nullopt},
        {"1.2.3", std::nullopt},
        {"192.168.0", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"192.168.0.7.1", std::nullopt},
        {"1..3.4", std::nullopt},
        {"1..2.3", std::nullopt},
        {"1.2.3.", std::nullopt},
        {".1.2.3", std::nullopt},
        {"", std::nullopt},
        // Leading zeros: octal to some tools, decimal to the module.
        {"01.2.3.4", std::nullopt},
        {"010.0.0.1", std::nullopt},
        {"010.1.1.1", std::nullopt},
        {"1.2.3.00", std::nullopt},
        // Blanks, signs, letters.
        {"1.2.3.4 ", std::nullopt},
        {" 1.2.3.4", std::nullopt},
        {"192.168.0.7 ", std::nullopt},
        {" 192.168.0.7", std::nullopt},
        {"1. 2.3.4", std::nullopt},
        {"192.168.0.7\n", std::nullopt},
        {"-1.2.3.4", std::nullopt},
        {"+1.2.3.4", std::nullopt},
        {"a.b.c.d", std::nullopt},
        {"1.2.3.4x", std::nullopt},
        {"0x1.2.3.4", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseIpv4Text(c.text), c.ip) << '"' << c.text << '"';
    }
}

TEST(AddressText, Mac) {
    using Mac = std::array<std::uint8_t, MacWidth>;
    constexpr Mac Expected{0x00, 0x11, 0x22, 0xAA, 0xBB, 0xCC};
    const struct {
        const char* text;
        std::optional<Mac> mac;
    } cases[] = {
        {"001122aabbcc", Expected},
        {"00:11:22:AA:BB:CC", Expected},
        {"00-11-22-aa-bb-cc", Expected},
        {"00 11 22 AA BB CC", Expected},
        {"0011 22:aa-bbcc", Expected},
        {" 00 11 22 AA BB CC\t", Expected},
        {"0 01122AABBC C", Expected}, // separators between any two digits
        {"FFFFFFFFFFFF", Mac{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        // Too short, too long, other characters.
        {"00112233445", std::nullopt},
        {"02 52 32", std::nullopt},
        {"0011223344556", std::nullopt},
        {"001122334455 66", std::nullopt},
        {"00112233445G", std::nullopt},
        {"00.11.22.33.44.55", std::nullopt},
        {"0x0011223344", std::nullopt},
        {"", std::nullopt},
        {"::::", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseMacText(c.text), c.mac) << '"' << c.text << '"';
    }
}

} // namespace
} // namespace r2
