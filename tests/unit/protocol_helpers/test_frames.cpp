// Frames the tool sends (search, LAN commands, serial envelopes), the device flags and how
// received datagrams are told apart, and the search reply.

#include "hex_literal.h"
#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"

#include <gtest/gtest.h>
#include <numeric>

namespace r2 {
namespace {

using test::Hex;

constexpr const char* Mac = "D8 B0 4C 00 00 01";

// The checksum a module recomputes: every byte after the 0xFF up to the one before the sum.
std::uint8_t ModuleSum(const Bytes& frame) {
    return static_cast<std::uint8_t>(std::accumulate(frame.begin() + 1, frame.end() - 1, 0U));
}

TEST(BuildSearchRequest, IsFF010102) {
    EXPECT_EQ(BuildSearchRequest(), Hex("FF 01 01 02"));
}

TEST(BuildCommandFrame, ReadCommandWithoutBlock) {
    const Bytes frame = BuildCommandFrame(CmdRead, Mac, "ad min", "tulip123");
    EXPECT_EQ(frame, Hex("FF 13 03 D8 B0 4C 00 00 01 61 64 6D 69 6E 00 74 75 6C 69 70 31 53"));
}

TEST(BuildCommandFrame, LengthByteAndChecksumCoverTheBlock) {
    struct Case {
        std::uint8_t command;
        std::size_t blockLen;
        std::uint8_t lengthByte;
    };
    const Case cases[] = {
        {CmdRestart, 0, 0x13},
        {CmdWriteModbus, ModbusShortLen, 20},
        {CmdWriteBase, BaseBlockLen, 86},
        {CmdWritePort, PortBlockLen, 82},
        {CmdWriteHttpdHead, HttpdHeadBlockLen, 220},
        {CmdWriteHttpdHead, 236, 255}, // the longest block the length byte can count
    };
    for (const auto& c : cases) {
        Bytes block(c.blockLen);
        std::iota(block.begin(), block.end(), std::uint8_t{0x80});
        const Bytes frame = BuildCommandFrame(c.command, Mac, "admin", "tulip", block);
        ASSERT_EQ(frame.size(), CmdFrameOverhead + c.blockLen) << c.blockLen;
        EXPECT_EQ(frame[0], 0xFF);
        EXPECT_EQ(frame[1], c.lengthByte);
        EXPECT_EQ(frame[2], c.command);
        EXPECT_EQ(MacToText(ByteView(frame).subspan(3, 6)), Mac);
        EXPECT_EQ(BytesToText(ByteView(frame).subspan(9, 6), 6), "admin");
        EXPECT_EQ(BytesToText(ByteView(frame).subspan(15, 6), 6), "tulip");
        EXPECT_TRUE(std::equal(block.begin(), block.end(), frame.begin() + CmdFrameBlockOffset));
        EXPECT_EQ(frame.back(), ModuleSum(frame)) << c.blockLen;
    }
}

TEST(BuildCommandFrame, CredentialsOnTheWire) {
    struct Case {
        const char* user;
        const char* password;
        const char* twelve;
    };
    const Case cases[] = {
        {"ad min", "tulip", "61 64 6D 69 6E 00 74 75 6C 69 70 00"},
        {"administrator", "123456789", "61 64 6D 69 6E 69 31 32 33 34 35 36"},
        {"", "", "00 00 00 00 00 00 00 00 00 00 00 00"},
    };
    for (const auto& c : cases) {
        const Bytes frame = BuildCommandFrame(CmdRead, Mac, c.user, c.password);
        ASSERT_EQ(frame.size(), CmdFrameOverhead);
        EXPECT_EQ(Bytes(frame.begin() + 9, frame.begin() + 21), Hex(c.twelve)) << c.user;
        EXPECT_EQ(frame.back(), ModuleSum(frame));
    }
}

TEST(BuildCommandFrame, RefusesBadMacOrOverlongBlock) {
    EXPECT_TRUE(BuildCommandFrame(CmdRead, "D8-B0-4C-00-00-01", "admin", "tulip").empty());
    EXPECT_TRUE(BuildCommandFrame(CmdRead, "", "admin", "tulip").empty());
    EXPECT_TRUE(BuildCommandFrame(CmdWriteBase, Mac, "admin", "tulip", Bytes(237)).empty());
}

TEST(SerialFrames, ReadRequestPicksTheModelByte) {
    struct Case {
        int flag;
        const char* frame;
    };
    const Case cases[] = {
        {DevFlagP6, "55 BD"},
        {DevFlagP5, "55 BC"},
        {DevFlagP7, "55 BC"},
        {DevFlagNone, "55 BC"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildSerialReadRequest(c.flag), Hex(c.frame)) << c.flag;
    }
}

TEST(SerialFrames, BlockWritesSumTheBlockOnly) {
    struct Case {
        Bytes (*build)(const std::uint8_t*);
        std::size_t blockLen;
        std::uint8_t code;
    };
    const Case cases[] = {
        {BuildSerialBaseWrite, BaseBlockLen, SerWriteBase},
        {BuildSerialPortWrite, PortBlockLen, SerWritePort},
    };
    for (const auto& c : cases) {
        Bytes block(c.blockLen);
        std::iota(block.begin(), block.end(), std::uint8_t{1});
        const Bytes frame = c.build(block.data());
        ASSERT_EQ(frame.size(), c.blockLen + 3);
        EXPECT_EQ(frame[0], SerHead);
        EXPECT_EQ(frame[1], c.code);
        EXPECT_TRUE(std::equal(block.begin(), block.end(), frame.begin() + 2));
        // 1 + 2 + ... + n, reduced to 8 bits; the head and code bytes are not counted.
        EXPECT_EQ(frame.back(), static_cast<std::uint8_t>(c.blockLen * (c.blockLen + 1) / 2));
    }
}

TEST(SerialFrames, FixedFrames) {
    EXPECT_EQ(BuildSerialWriteClose(), Hex("55 B1 5A"));
    EXPECT_EQ(BuildSerialReadAck(), Hex("55 C1"));
}

TEST(DeviceFlags, VersionAndSenderPort) {
    struct Case {
        unsigned version;
        std::uint16_t port;
        int flag;
    };
    const Case cases[] = {
        {2001, 1500, DevFlagNone}, {2002, 1500, DevFlagP6},   {2002, 1901, DevFlagP7},
        {5000, 7000, DevFlagNone}, {1999, 1901, DevFlagNone}, {65535, 1500, DevFlagP6},
        {2002, 1501, DevFlagNone},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeviceFlagFor(c.version, c.port), c.flag) << c.version << "/" << c.port;
    }
    EXPECT_EQ(DeviceFlagForPort(1500), DevFlagP6);
    EXPECT_EQ(DeviceFlagForPort(1901), DevFlagP7);
    EXPECT_EQ(DeviceFlagForPort(0), DevFlagNone);
    EXPECT_EQ(DeviceFlagForPort(68), DevFlagNone);
}

// A datagram of the given length whose first bytes are the given ones.
Bytes Datagram(std::size_t length, const char* head = "") {
    Bytes bytes = Hex(head);
    bytes.resize(length, 0x00);
    return bytes;
}

TEST(ClassifyReply, ByLengthAndFirstBytes) {
    struct Case {
        std::size_t length;
        const char* head;
        ReplyKind kind;
    };
    const Case cases[] = {
        {0, "", ReplyKind::Unknown},
        {1, "01", ReplyKind::ParamReply},
        {1, "4B", ReplyKind::ParamReply},
        {2, "45 07", ReplyKind::CheckError},
        {2, "46 07", ReplyKind::Ignored},
        {3, "FF 01 03", ReplyKind::Unknown},
        {4, "FF 01 03 4B", ReplyKind::Ack},
        {4, "FF 01 03 50", ReplyKind::Ack},
        {4, "FF 01 03 45", ReplyKind::Ack},
        {4, "FF 01 00 58", ReplyKind::Ack}, // an acknowledgement whose result nobody acts on
        {4, "02 01 00 64", ReplyKind::ParamReply},
        {4, "FF 02 00 4B", ReplyKind::ParamReply},
        {4, "01 FF 00 4B", ReplyKind::ParamReply},
        {35, "FF 24 01", ReplyKind::Unknown},
        {36, "FF 24 01", ReplyKind::SearchReply},
        {36, "FF 24 02", ReplyKind::Ignored},
        {36, "FE 24 01", ReplyKind::Ignored},
        {36, "FF 25 01", ReplyKind::Ignored},
        {37, "FF 24 01", ReplyKind::Unknown},
        {40, "FF 24 01", ReplyKind::Ignored},
        {50, "", ReplyKind::ParamReply},
        {85, "", ReplyKind::ParamReply},
        {87, "", ReplyKind::ParamReply},
        {130, "", ReplyKind::ParamReply},
        {131, "", ReplyKind::Unknown},
        {193, "", ReplyKind::OtherSeries},
        {256, "", ReplyKind::OtherSeries},
        {302, "", ReplyKind::ParamReply},
        {1472, "", ReplyKind::Unknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyReply(Datagram(c.length, c.head)), c.kind)
            << c.length << " [" << c.head << "]";
    }
}

// A reply from 10.0.0.254, MAC D8 B0 4C 00 00 01, version 2002, named "R2-P6".
const char* const ReplyHex = "FF 24 01 77 77"
                             "0A 00 00 FE"
                             "D8 B0 4C 00 00 01"
                             "D2 07"
                             "77 77"
                             "52 32 2D 50 36 00 00 00 00 00 00 00 00 00"
                             "77 77 77";

TEST(SearchReply, DecodesAddressFirstOctetFirst) {
    const auto reply = DecodeSearchReply(Hex(ReplyHex));
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->ip, "10.0.0.254");
    EXPECT_EQ(reply->mac, "D8 B0 4C 00 00 01");
    EXPECT_EQ(reply->version, 2002U);
    EXPECT_EQ(reply->name, "R2-P6");
    // The same address inside a parameter block is stored the other way round.
    std::array<std::uint8_t, 4> block{};
    ASSERT_TRUE(TextToRevIP(reply->ip, block));
    EXPECT_EQ(Bytes(block.begin(), block.end()), Hex("FE 00 00 0A"));
}

TEST(SearchReply, NameFillingItsFourteenBytesHasNoTerminator) {
    Bytes datagram = Hex(ReplyHex);
    std::fill(datagram.begin() + 19, datagram.begin() + 33, 'N');
    const auto reply = DecodeSearchReply(datagram);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->name, std::string(14, 'N'));
}

TEST(SearchReply, DecodeRefusesWrongLengthOrHead) {
    Bytes shorter = Hex(ReplyHex);
    shorter.pop_back();
    Bytes longer = Hex(ReplyHex);
    longer.push_back(0);
    Bytes wrongHead = Hex(ReplyHex);
    wrongHead[2] = 0x02;
    for (const Bytes& datagram : {shorter, longer, wrongHead, Bytes{}}) {
        EXPECT_FALSE(DecodeSearchReply(datagram).has_value()) << datagram.size();
    }
}

TEST(SearchReply, BuildThenDecodeGivesTheSameModule) {
    const SearchReply module{"192.168.0.7", "Workshop-7", "0A 1B 2C 3D 4E 5F", 2002};
    const Bytes datagram = BuildSearchReply(module);
    ASSERT_EQ(datagram.size(), SearchReplyLen);
    EXPECT_EQ(Bytes(datagram.begin(), datagram.begin() + 9), Hex("FF 24 01 00 00 C0 A8 00 07"));
    EXPECT_EQ(DecodeSearchReply(datagram), module);
}

TEST(SearchReply, BuildCutsLongNamesAndRefusesBadAddresses) {
    const auto cut = DecodeSearchReply(
        BuildSearchReply({"10.0.0.1", "a-name-longer-than-14", "D8B04C000001", 3000}));
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(cut->name, "a-name-longer-");
    EXPECT_EQ(cut->mac, "D8 B0 4C 00 00 01");
    EXPECT_TRUE(BuildSearchReply({"10.0.0", "x", Mac, 2002}).empty());
    EXPECT_TRUE(BuildSearchReply({"10.0.0.1", "x", "D8:B0:4C:00:00:01", 2002}).empty());
}

} // namespace
} // namespace r2
