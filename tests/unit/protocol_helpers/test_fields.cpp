// Fixed-width texts, the credentials field, integers, bit flags, the 8-bit sum and the
// decimal reader of the panels' number boxes.

#include "hex_literal.h"
#include "protocol/Unit_ProFun.h"

#include <gtest/gtest.h>
#include <limits>

namespace r2 {
namespace {

using test::Hex;

std::vector<std::uint8_t> TextBytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(BytesToText, StopsAtFirstZeroOrWidth) {
    struct Case {
        std::string_view bytes;
        std::size_t width;
        std::string_view text;
    };
    using namespace std::string_view_literals;
    const Case cases[] = {
        {"AB\0CD"sv, 5, "AB"},
        {"ABCD"sv, 2, "AB"},
        {"ABCD"sv, 4, "ABCD"},  // a full field has no terminator
        {"ABCD"sv, 10, "ABCD"}, // width beyond the bytes reads only the bytes
        {"\0ABC"sv, 4, ""},
        {"ABC"sv, 0, ""},
        {"\xC4\xE3\xBA\xC3"sv, 4, "\xC4\xE3\xBA\xC3"}, // GBK bytes pass unchanged
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BytesToText(TextBytes(c.bytes), c.width), c.text) << c.bytes << "/" << c.width;
    }
}

TEST(TextToField, CopiesZeroFillsAndCuts) {
    struct Case {
        std::string_view text;
        std::size_t width;
        const char* bytes;
    };
    const Case cases[] = {
        {"AB", 4, "41 42 00 00"},
        {"ABCD", 4, "41 42 43 44"},
        {"ABCDEF", 4, "41 42 43 44"},
        {"", 3, "00 00 00"},
        {"\xC4\xE3", 3, "C4 E3 00"},
        // GBK: a two-byte character that would straddle the field's end stays out whole.
        {"A\xC4\xE3\xBA\xC3", 4, "41 C4 E3 00"},
        {"\xC4\xE3\xBA\xC3", 3, "C4 E3 00"},
        {"\xC4\xE3\xBA\xC3", 4, "C4 E3 BA C3"},
        {"\xC4\xE3", 1, "00"},
        // 0x80 (the euro sign) and ASCII are single bytes.
        {"ABC\x80\x41", 4, "41 42 43 80"},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> field(c.width, 0xAA);
        TextToField(c.text, field);
        EXPECT_EQ(field, Hex(c.bytes)) << c.text;
    }
}

TEST(PutCredential, SpacesRemovedSixBytesZeroFilled) {
    struct Case {
        std::string_view text;
        const char* six;
    };
    const Case cases[] = {
        {"ad min", "61 64 6D 69 6E 00"},    // five letters with a space inside
        {"password9", "70 61 73 73 77 6F"}, // only the first six go out
        {"tulip", "74 75 6C 69 70 00"},
        {"", "00 00 00 00 00 00"},
        {"      ", "00 00 00 00 00 00"},
        {" a b c d e f g", "61 62 63 64 65 66"},
        {"ab\xC4\xE3\xBA\xC3", "61 62 C4 E3 BA C3"},  // two Chinese characters fill it
        {"abc\xC4\xE3\xBA\xC3", "61 62 63 C4 E3 00"}, // the second would be cut in half
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> frame(10, 0xAA);
        PutCredential(c.text, frame, 2);
        auto expected = Hex("AA AA");
        const auto six = Hex(c.six);
        expected.insert(expected.end(), six.begin(), six.end());
        expected.insert(expected.end(), {0xAA, 0xAA});
        EXPECT_EQ(frame, expected) << '"' << c.text << '"';
    }
}

TEST(PutCredential, NeverWritesPastTheFrame) {
    std::vector<std::uint8_t> frame(4, 0xAA);
    PutCredential("abcdef", frame, 2);
    EXPECT_EQ(frame, Hex("AA AA 61 62"));
    PutCredential("abcdef", frame, 4);
    PutCredential("abcdef", frame, 100);
    EXPECT_EQ(frame, Hex("AA AA 61 62"));
}

TEST(BytesToInt, LittleAndBigEndianOverCount) {
    struct Case {
        const char* bytes;
        std::size_t count;
        ByteOrder order;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"D2 07", 2, ByteOrder::Little, 2002},
        {"D2 07", 2, ByteOrder::Big, 0xD207},
        {"01 02 03 04", 4, ByteOrder::Little, 0x04030201},
        {"01 02 03 04", 4, ByteOrder::Big, 0x01020304},
        {"01 02 03 04", 3, ByteOrder::Big, 0x010203},
        {"FF", 1, ByteOrder::Little, 0xFF},
        {"FF FF FF FF", 4, ByteOrder::Little, 0xFFFFFFFF},
        // A count beyond the bytes given reads only those bytes.
        {"01 02", 4, ByteOrder::Little, 0x0201},
        {"01 02", 4, ByteOrder::Big, 0x0102},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BytesToInt(Hex(c.bytes), c.count, c.order), c.value)
            << c.bytes << " n=" << c.count;
    }
}

TEST(WordToBytes, LowByteFirstThenBits8To15) {
    EXPECT_EQ(WordToBytes(0x1234), (std::array<std::uint8_t, 2>{0x34, 0x12}));
    EXPECT_EQ(WordToBytes(1500), (std::array<std::uint8_t, 2>{0xDC, 0x05}));
    EXPECT_EQ(WordToBytes(0x12345), (std::array<std::uint8_t, 2>{0x45, 0x23}));
}

TEST(ByteToBits, FlagIFollowsBitI) {
    const auto bits = ByteToBits(0x21);
    const std::array<bool, 8> expected{true, false, false, false, false, true, false, false};
    EXPECT_EQ(bits, expected);
    EXPECT_EQ(BitsToByte(expected), 0x21);
    for (unsigned v = 0; v < 256; ++v) {
        EXPECT_EQ(BitsToByte(ByteToBits(static_cast<std::uint8_t>(v))), v);
    }
}

TEST(SumBytes, LowEightBitsOfThePlainSum) {
    struct Case {
        const char* bytes;
        std::uint8_t sum;
    };
    const Case cases[] = {
        {"01 01", 0x02}, {"FF 02", 0x01}, {"80", 0x80}, {"FF FF FF FF", 0xFC}, {"", 0x00},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SumBytes(Hex(c.bytes)), c.sum) << c.bytes;
    }
}

TEST(ParseDecimal, DigitsOnlyKeptModulo2To32) {
    struct Case {
        const char* text;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"0", 0},          {"1500", 1500},
        {"007", 7},        {"4294967295", std::numeric_limits<std::uint32_t>::max()},
        {"4294967296", 0}, // larger numbers keep their low bytes
        {"4294967297", 1}, {"99999999999999999999", 0x630FFFFF}, // 10^20 - 1 modulo 2^32
    };
    for (const auto& c : cases) {
        const auto value = ParseDecimal(c.text);
        ASSERT_TRUE(value.has_value()) << c.text;
        EXPECT_EQ(*value, c.value) << c.text;
    }
}

TEST(ParseDecimal, AnythingButDigitsFails) {
    const char* bad[] = {"", "-1", "+1", " 1", "1 ", "1a", "0x10", "1.5", "١"};
    for (const char* text : bad) {
        EXPECT_FALSE(ParseDecimal(text).has_value()) << '"' << text << '"';
    }
}

} // namespace
} // namespace r2
