// Address and MAC conversions: dotted texts against stored (last octet first) bytes, the
// loose reader used for subnet checks, and MAC texts.

#include "hex_literal.h"
#include "protocol/Unit_ProFun.h"

#include <gtest/gtest.h>

namespace r2 {
namespace {

using test::Hex;

TEST(RevIPToText, ReadsStoredBytesLastOctetFirst) {
    struct Case {
        const char* bytes;
        const char* text;
    };
    const Case cases[] = {
        {"07 00 A8 C0", "192.168.0.7"},
        {"FE 00 00 0A", "10.0.0.254"},
        {"00 00 00 00", "0.0.0.0"},
        {"FF FF FF FF", "255.255.255.255"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RevIPToText(Hex(c.bytes)), c.text) << c.bytes;
    }
}

TEST(RevIPToText, ShortInputGivesEmptyText) {
    EXPECT_EQ(RevIPToText(Hex("07 00 A8")), "");
}

TEST(TextToRevIP, StoresLastOctetFirst) {
    struct Case {
        const char* text;
        const char* bytes;
    };
    const Case cases[] = {
        {"192.168.0.7", "07 00 A8 C0"},
        {" 192.168.0.7", "07 00 A8 C0"},
        {"192 . 168.0 .7 ", "07 00 A8 C0"},
        {"10.0.0.254", "FE 00 00 0A"},
        {"0.0.0.0", "00 00 00 00"},
        // Numbers above 255 keep their low 8 bits.
        {"256.1.2.300", "2C 02 01 00"},
        {"1.2.3.99999999999999999999", "FF 03 02 01"},
    };
    for (const auto& c : cases) {
        std::array<std::uint8_t, 4> field{};
        EXPECT_TRUE(TextToRevIP(c.text, field)) << c.text;
        EXPECT_EQ(std::vector<std::uint8_t>(field.begin(), field.end()), Hex(c.bytes)) << c.text;
    }
}

TEST(TextToRevIP, RejectsWhatIsNotFourDottedNumbersAndLeavesFieldAlone) {
    const char* bad[] = {"",         "1.2.3",     "1.2.3.4.5", "1..2.3",   ".1.2.3",
                         "1.2.3.",   "a.b.c.d",   "-1.2.3.4",  "1.2.3.4x", "1,2,3,4",
                         "1.2.3.+4", "1.2.3.0x4", "   "};
    for (const char* text : bad) {
        std::array<std::uint8_t, 4> field{0xAA, 0xAA, 0xAA, 0xAA};
        EXPECT_FALSE(TextToRevIP(text, field)) << '"' << text << '"';
        EXPECT_EQ(field, (std::array<std::uint8_t, 4>{0xAA, 0xAA, 0xAA, 0xAA})) << text;
    }
}

TEST(TextToRevIP, RefusesAFieldShorterThanFourBytes) {
    std::array<std::uint8_t, 3> field{0xAA, 0xAA, 0xAA};
    EXPECT_FALSE(TextToRevIP("1.2.3.4", field));
    EXPECT_EQ(field, (std::array<std::uint8_t, 3>{0xAA, 0xAA, 0xAA}));
}

TEST(IntToIPText, AgreesWithStoredBytesReadLittleEndian) {
    EXPECT_EQ(IntToIPText(0x0A010203), "10.1.2.3");
    EXPECT_EQ(IntToIPText(0), "0.0.0.0");
    const auto stored = Hex("07 00 A8 C0");
    EXPECT_EQ(IntToIPText(BytesToInt(stored, 4, ByteOrder::Little)), RevIPToText(stored));
}

TEST(IPTextToInt, ReadsFourDigitRunsWithoutRangeCheck) {
    struct Case {
        const char* text;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"10.1.2.3", 0x0A010203},    {"255.255.255.0", 0xFFFFFF00},
        {"10-1 2/3", 0x0A010203},    // any one non-digit ends a run
        {"1.2.3.4junk", 0x01020304}, // nothing after the fourth run is read
        {"0.300.0.0", 300U << 16},   // no range check: 300 spills into the first octet
        {"256.0.0.1", 0x00000001},   // 256 * 2^24 wraps away in 32 bits
    };
    for (const auto& c : cases) {
        const auto value = IPTextToInt(c.text);
        ASSERT_TRUE(value.has_value()) << c.text;
        EXPECT_EQ(*value, c.value) << c.text;
    }
}

TEST(IPTextToInt, EmptyRunIsAnError) {
    const char* bad[] = {"", "1.2.3", "1.2.3.", "1..2.3", ".1.2.3", " 10.1.2.3", "a.b.c.d"};
    for (const char* text : bad) {
        EXPECT_FALSE(IPTextToInt(text).has_value()) << '"' << text << '"';
    }
}

TEST(SameSubnet, ComparesMaskedAddresses) {
    struct Case {
        const char* a;
        const char* b;
        const char* mask;
        bool same;
    };
    const Case cases[] = {
        {"192.168.0.7", "192.168.0.201", "255.255.255.0", true},
        {"192.168.0.7", "192.168.0.201", "255.255.255.128", false},
        {"192.168.0.7", "192.168.1.7", "255.255.255.0", false},
        {"192.168.0.7", "192.168.1.7", "255.255.0.0", true},
        {"10.0.0.1", "172.16.0.1", "0.0.0.0", true},
        // An address that does not convert is never in the same subnet.
        {"192.168.0.7", "", "255.255.255.0", false},
        {"x", "x", "0.0.0.0", false},
        {"192.168.0.7", "192.168.0.7", "255.255.255", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameSubnet(c.a, c.b, c.mask), c.same) << c.a << " " << c.b << " " << c.mask;
    }
}

TEST(MacToText, SixUpperCasePairsWithSingleSpaces) {
    EXPECT_EQ(MacToText(Hex("D8 B0 4C 00 00 01")), "D8 B0 4C 00 00 01");
    EXPECT_EQ(MacToText(Hex("0a 1b 2c 3d 4e 5f")), "0A 1B 2C 3D 4E 5F");
    EXPECT_EQ(MacToText(Hex("D8 B0 4C 00 00 01")).size(), 17U);
}

// Only the first 12 digits are read: the P7 panel's 17-character MAC box filled with F's (the
// module keeps its own MAC) must convert.
TEST(MacTextToBytes, AcceptsSpacedCompactLowerCaseAndReadsTheFirstTwelveDigits) {
    const char* texts[] = {"D8 B0 4C 00 00 01",    "D8B04C000001",         "d8 b0 4c 00 00 01",
                           " D8B0 4C0000 01 ",     "D8 B0 4C 00 00 01 02", "D8B04C0000012",
                           "D8B04C000001 trailing"};
    for (const char* text : texts) {
        std::array<std::uint8_t, 6> field{};
        EXPECT_TRUE(MacTextToBytes(text, field)) << text;
        EXPECT_EQ(std::vector<std::uint8_t>(field.begin(), field.end()), Hex("D8B04C000001"))
            << text;
    }
    for (const char* allF : {"FFFFFFFFFFFFFFFFF", "FF FF FF FF FF FF FF", "ffffffffffffff"}) {
        std::array<std::uint8_t, 6> field{};
        EXPECT_TRUE(MacTextToBytes(allF, field)) << allF;
        EXPECT_EQ(field, (std::array<std::uint8_t, 6>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    }
}

TEST(MacTextToBytes, RejectsOtherTextsAndLeavesFieldAlone) {
    const char* bad[] = {"",
                         "D8 B0 4C 00 00",
                         "D8 B0 4C 00 00 0",
                         "D8-B0-4C-00-00-01",
                         "D8:B0:4C:00:00:01",
                         "D8 B0 4C 00 00 0G",
                         "D8 B0 4C 00 00 0G 01",
                         "+8 B0 4C 00 00 01"};
    for (const char* text : bad) {
        std::array<std::uint8_t, 6> field{1, 2, 3, 4, 5, 6};
        EXPECT_FALSE(MacTextToBytes(text, field)) << '"' << text << '"';
        EXPECT_EQ(field, (std::array<std::uint8_t, 6>{1, 2, 3, 4, 5, 6})) << text;
    }
}

} // namespace
} // namespace r2
