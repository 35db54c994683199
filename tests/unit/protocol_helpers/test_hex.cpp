// Hex dumps and the three hex readers, which differ on purpose in how they treat spaces, odd
// digits and bad pairs.

#include "hex_literal.h"
#include "protocol/Unit_ProFun.h"

#include <gtest/gtest.h>

namespace r2 {
namespace {

using test::Hex;
using namespace std::string_literals;

TEST(HexDumps, UpperCasePairsEachFollowedBySeparator) {
    struct Case {
        const char* bytes;
        std::string_view separator;
        const char* text;
    };
    const Case cases[] = {
        {"01 FF", " ", "01 FF "}, {"", " ", ""},        {"0a bc", "-", "0A-BC-"},
        {"0a bc", "", "0ABC"},    {"00", ", ", "00, "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BytesToHexSep(Hex(c.bytes), c.separator), c.text) << c.bytes;
    }
    EXPECT_EQ(BytesToHexLine(Hex("01 FF")), "01 FF ");
    EXPECT_EQ(BytesToHexLine({}), "");
}

TEST(RemoveSpaces, OnlySpacesGo) {
    EXPECT_EQ(RemoveSpaces(" a b\tc \n"), "ab\tc\n");
    EXPECT_EQ(RemoveSpaces("   "), "");
}

TEST(TextToHex, EveryByteAsTwoDigitsIncludingHighBytes) {
    EXPECT_EQ(TextToHex("AB"), "4142");
    EXPECT_EQ(TextToHex("\x80\xFF"), "80FF");
    EXPECT_EQ(TextToHex("\0\x01"s), "0001");
    EXPECT_EQ(TextToHex(""), "");
}

TEST(HexToText, PairsOrTheInputUnchanged) {
    struct Case {
        std::string input;
        std::string output;
    };
    const Case cases[] = {
        {"4142", "AB"}, {"41 42", "41 42"}, // the space falls inside the second pair
        {"414", "A"},                       // an odd final digit is dropped
        {"6a6B", "jk"}, {"4G", "4G"},       {"41-2", "41-2"},
        {"", ""},       {"4", ""},          {"00FF80", "\0\xFF\x80"s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HexToText(c.input), c.output) << c.input;
    }
}

TEST(HexToText, RoundTripsTextToHex) {
    const std::string all = [] {
        std::string s;
        for (int i = 0; i < 256; ++i) {
            s.push_back(static_cast<char>(i));
        }
        return s;
    }();
    EXPECT_EQ(HexToText(TextToHex(all)), all);
}

TEST(TryHexToText, TolerantReading) {
    struct Case {
        std::string input;
        bool ok;
        std::string output;
    };
    const Case cases[] = {
        {"41 42 4", true, "AB\x04"}, // spaces removed, odd final digit read alone
        {"41zz42", true, "AB"},      // a bad pair after a byte is skipped
        {"zz41", false, ""},         // a bad pair before any byte fails
        {"", true, ""},
        {"   ", true, ""},
        {"f", true, "\x0F"},
        {"z", false, ""},
        {"41z", true, "A"},
        {"4142zz", true, "AB"},
        {"00", true, "\0"s},
    };
    for (const auto& c : cases) {
        const auto result = TryHexToText(c.input);
        EXPECT_EQ(result.ok, c.ok) << c.input;
        if (c.ok) {
            EXPECT_EQ(result.text, c.output) << c.input;
        }
    }
}

TEST(HexToBytes, FillsFieldPairwiseZeroAfterTheText) {
    struct Case {
        std::string_view text;
        std::size_t width;
        const char* bytes;
    };
    const Case cases[] = {
        {"0102", 4, "01 02 00 00"}, {"010", 2, "01 00"}, // no whole pair for byte 1
        {"010203", 2, "01 02"},                          // text beyond the field is not read
        {"aBcD", 2, "AB CD"},       {"", 3, "00 00 00"},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> field(c.width, 0xAA);
        EXPECT_TRUE(HexToBytes(c.text, field)) << c.text;
        EXPECT_EQ(field, Hex(c.bytes)) << c.text;
    }
}

TEST(HexToBytes, BadPairStopsAndLeavesTheRest) {
    struct Case {
        std::string_view text;
        const char* bytes;
    };
    const Case cases[] = {
        {"01zz03", "01 AA AA AA"},
        {"01 02", "01 AA AA AA"}, // spaces are not removed
        {"zz", "AA AA AA AA"},
        {"0102030G", "01 02 03 AA"},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> field(4, 0xAA);
        EXPECT_FALSE(HexToBytes(c.text, field)) << c.text;
        EXPECT_EQ(field, Hex(c.bytes)) << c.text;
    }
}

} // namespace
} // namespace r2
