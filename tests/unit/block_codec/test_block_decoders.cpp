#include "block_fixtures.h"
#include "protocol/block_codec.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace r2 {
namespace {

using test::Pattern;
using test::Put;
using test::PutText;

TEST(DecodeBaseBlock, ReadsEveryFieldOfAModuleBlock) {
    EXPECT_EQ(DecodeBaseBlock(test::ModuleBaseBlock()), test::ModuleBaseParam());
}

TEST(DecodeBaseBlock, OptionBitsMapToTheirOwnFields) {
    struct Case {
        std::uint8_t options;
        int heartTp, optBit1, regSnd, addrType;
        bool clearCache, shortEnable;
    };
    const Case cases[] = {
        {0x00, 0, 0, 0, 0, false, false}, {0x01, 1, 0, 0, 0, false, false},
        {0x02, 0, 1, 0, 0, false, false}, {0x04, 0, 0, 1, 0, false, false},
        {0x10, 0, 0, 0, 0, true, false},  {0x20, 0, 0, 0, 0, false, true},
        {0x80, 0, 0, 0, 1, false, false}, {0x48, 0, 0, 0, 0, false, false},
    };
    for (const Case& c : cases) {
        Bytes block = test::ModuleBaseBlock();
        block[3] = c.options;
        const TBaseParam p = DecodeBaseBlock(block);
        SCOPED_TRACE(static_cast<int>(c.options));
        EXPECT_EQ(p.HeartTp, c.heartTp);
        EXPECT_EQ(p.OptBit1, c.optBit1);
        EXPECT_EQ(p.RegSnd, c.regSnd);
        EXPECT_EQ(p.AddrType, c.addrType);
        EXPECT_EQ(p.ClearCache, c.clearCache);
        EXPECT_EQ(p.ShortEnable, c.shortEnable);
    }
}

TEST(DecodeBaseBlock, FullWidthTextsHaveNoTerminator) {
    Bytes block = test::ModuleBaseBlock();
    PutText(block, 21, "ABCDEFGHIJKLMNOP");
    PutText(block, 37, "userXY");
    const TBaseParam p = DecodeBaseBlock(block);
    EXPECT_EQ(p.ModName, "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(p.UserName, "userXY");
    EXPECT_EQ(p.Password, "tulip");
}

TEST(DecodeBaseBlock, ShortViewReadsAsZeroFilled) {
    const Bytes block = test::ModuleBaseBlock();
    const TBaseParam p = DecodeBaseBlock(ByteView(block).first(21));
    EXPECT_EQ(p.StaticIP, "192.168.0.7");
    EXPECT_EQ(p.ModName, "");
    EXPECT_EQ(p.UserMAC, "00 00 00 00 00 00");
    EXPECT_EQ(p.Dns, "0.0.0.0");
}

TEST(DecodePortBlock, ReadsEveryFieldOfAModuleBlock) {
    EXPECT_EQ(DecodePortBlock(test::ModulePortBlock()), test::ModulePortParam());
}

TEST(DecodePortBlock, OptionBitsAndFlagBytes) {
    struct Case {
        std::uint8_t options, byte56, byte58;
        int modbus, rfc, cloud;
        bool kick, macReg, macHeart, customReg, udpFrom;
        int tcpStyle;
    };
    const Case cases[] = {
        {0x04, 0, 0, 1, 0, 0, false, false, false, false, false, 0},
        {0x08, 0, 0, 0, 1, 0, false, false, false, false, false, 0},
        {0x10, 0, 0, 0, 0, 1, false, false, false, false, false, 0},
        {0x20, 0, 0, 0, 0, 0, true, false, false, false, false, 0},
        {0x40, 1, 0, 0, 0, 0, false, true, false, true, false, 0},
        {0x80, 2, 0x81, 0, 0, 0, false, false, true, false, false, 1},
        {0x03, 0, 0x13, 0, 0, 0, false, false, false, false, false, 3},
    };
    for (const Case& c : cases) {
        Bytes block = test::ModulePortBlock();
        block[50] = c.options;
        block[56] = c.byte56;
        block[58] = c.byte58;
        const TPortParam p = DecodePortBlock(block);
        SCOPED_TRACE(static_cast<int>(c.options));
        EXPECT_EQ(p.ModbusTCP, c.modbus);
        EXPECT_EQ(p.RFC2217, c.rfc);
        EXPECT_EQ(p.CloudEnable, c.cloud);
        EXPECT_EQ(p.KickOld, c.kick);
        EXPECT_EQ(p.MacRegister, c.macReg);
        EXPECT_EQ(p.MacHeart, c.macHeart);
        EXPECT_EQ(p.CustomRegister, c.customReg);
        EXPECT_EQ(p.UdpFrom, c.udpFrom);
        EXPECT_EQ(p.TCPStyle, c.tcpStyle);
    }
}

TEST(DecodePortBlock, BaudRateIsThirtyTwoBitLittleEndian) {
    Bytes block = test::ModulePortBlock();
    Put(block, 0, {0xFF, 0x00, 0x01, 0x00});
    EXPECT_EQ(DecodePortBlock(block).BaudRate, 65791);
    Put(block, 0, {0x00, 0x10, 0x0E, 0x00});
    EXPECT_EQ(DecodePortBlock(block).BaudRate, 921600);
}

TEST(DecodeCloudBlock, ReadsIdAndPasswordAtTheirOffsets) {
    Bytes block = Pattern(CloudBlockLen, 0x80);
    PutText(block, 2, "11111111111111111110");
    PutText(block, 22, "pass1234");
    const TCloudParam p = DecodeCloudBlock(block);
    EXPECT_EQ(p.DeviceId, "11111111111111111110");
    EXPECT_EQ(p.CommPassword, "pass1234");

    Bytes serial(SerCloudHeartReplyLen, 0);
    PutText(serial, 2, "ID");
    PutText(serial, 22, "pw");
    EXPECT_EQ(DecodeCloudBlock(serial), (TCloudParam{"ID", "pw"}));
}

TEST(DecodeModbusSwitches, OneAndFourByteForms) {
    struct Case {
        Bytes block;
        TModbusParam expected;
    };
    const Case cases[] = {
        {{0x01}, {1, 0, ""}},
        {{0x00}, {0, 0, ""}},
        {{0x02, 0x01, 0x00, 0x64}, {2, 1, "100"}},
        {{0x01, 0x00, 0xFF, 0xFF}, {1, 0, "65535"}},
        {{0x00, 0x00, 0x01, 0x00}, {0, 0, "256"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeModbusSwitches(c.block), c.expected) << BytesToHexLine(c.block);
    }
}

TEST(DecodeModbusPack, ValuesAreBigEndianTexts) {
    Bytes block = Pattern(ModbusPackBlockLen, 0x33);
    Put(block, 0, {2, 1, 0x00, 0xC8, 0x01, 0x2C, 1});
    const TModbusPackParam p = DecodeModbusPack(block);
    EXPECT_EQ(p, (TModbusPackParam{2, 1, 1, "200", "300"}));
}

Bytes HeartRegBlock(std::uint8_t options, std::uint8_t heartLen, std::uint8_t regLen) {
    Bytes block(HeartRegBlockLen, 0);
    block[0] = options;
    Put(block, 1, {0x3C, 0x00});
    block[3] = heartLen;
    block[4] = regLen;
    for (std::size_t i = 0; i < HeartRegDataLen; ++i) {
        block[5 + i] = static_cast<std::uint8_t>('a' + i % 26);
        block[45 + i] = static_cast<std::uint8_t>('A' + i % 26);
    }
    return block;
}

TEST(DecodeHeartRegBlock, DataShownAsTextOrHexByTheBlocksOwnBits) {
    struct Case {
        std::uint8_t options, heartLen, regLen;
        std::string heart, reg;
    };
    const Case cases[] = {
        {0x00, 3, 2, "abc", "AB"},
        {0x40, 2, 2, "6162", "AB"},
        {0x80, 0, 3, "", "414243"},
        // A length byte above the field is clipped to the 40 data bytes.
        {0x00, 200, 41, "abcdefghijklmnopqrstuvwxyzabcdefghijklmn",
         "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN"},
    };
    for (const Case& c : cases) {
        const HeartRegFields f =
            DecodeHeartRegBlock(HeartRegBlock(c.options, c.heartLen, c.regLen));
        EXPECT_EQ(f.heartData, c.heart);
        EXPECT_EQ(f.regData, c.reg);
        EXPECT_EQ(f.heartTime, 60U);
    }
}

TEST(DecodeHeartRegBlock, RawDataKeepsZeroBytes) {
    Bytes block = HeartRegBlock(0x00, 3, 0);
    Put(block, 5, {'x', 0x00, 'y'});
    EXPECT_EQ(DecodeHeartRegBlock(block).heartData, std::string("x\0y", 3));
}

TEST(DecodeHeartRegBlock, OptionBits) {
    struct Case {
        std::uint8_t options;
        bool net, serial;
        int regType;
        bool removeHeader, comSet, heartHex, regHex;
    };
    const Case cases[] = {
        {0x00, false, false, -1, false, false, false, false},
        {0x03, true, true, -1, false, false, false, false},
        {0x04, false, false, 0, false, false, false, false},
        {0x08, false, false, 1, false, false, false, false},
        {0x0C, false, false, 2, false, false, false, false},
        {0x10, false, false, -1, true, false, false, false},
        {0x20, false, false, -1, false, true, false, false},
        {0xC0, false, false, -1, false, false, true, true},
    };
    for (const Case& c : cases) {
        const HeartRegFields f = DecodeHeartRegBlock(HeartRegBlock(c.options, 0, 0));
        SCOPED_TRACE(static_cast<int>(c.options));
        EXPECT_EQ(f.options, c.options);
        EXPECT_EQ(f.heartToNetwork, c.net);
        EXPECT_EQ(f.heartToSerial, c.serial);
        EXPECT_EQ(f.regType, c.regType);
        EXPECT_EQ(f.removeHttpdHeader, c.removeHeader);
        EXPECT_EQ(f.comSetEnable, c.comSet);
        EXPECT_EQ(f.heartHex, c.heartHex);
        EXPECT_EQ(f.regHex, c.regHex);
    }
}

Bytes HttpdReply(std::uint8_t urlLen, std::uint8_t headLen) {
    Bytes reply = Pattern(HttpdReplyLen, 0x41);
    reply[0] = urlLen;
    reply[HttpdUrlBlockLen] = headLen;
    return reply;
}

TEST(DecodeHttpd, TextsTakeTheirLengthClippedToTheField) {
    struct Case {
        std::uint8_t urlLen, headLen;
        std::size_t expectUrl, expectHead;
    };
    const Case cases[] = {{0, 0, 0, 0}, {5, 7, 5, 7}, {100, 200, 100, 200}, {255, 255, 100, 200}};
    for (const Case& c : cases) {
        const Bytes reply = HttpdReply(c.urlLen, c.headLen);
        ParamMirror mirror;
        ASSERT_TRUE(StoreReply(mirror, reply));
        const HttpdTexts texts = DecodeHttpd(mirror);
        EXPECT_EQ(texts.url, std::string(reply.begin() + 1, reply.begin() + 1 + c.expectUrl));
        EXPECT_EQ(texts.header,
                  std::string(reply.begin() + 102, reply.begin() + 102 + c.expectHead));
    }
}

// ---- StoreReply and HandleParamReply ----------------------------------------------------

TEST(StoreReply, EachLengthLandsWholeInItsSection) {
    ParamMirror mirror;
    const Bytes heart = Pattern(HeartRegBlockLen, 1);
    const Bytes cloud = Pattern(CloudBlockLen, 2);
    const Bytes pack = Pattern(ModbusPackBlockLen, 3);
    const Bytes basePort = test::BasePortReply();
    const Bytes httpd = HttpdReply(3, 4);
    for (const Bytes* reply : {&heart, &cloud, &pack, &basePort, &httpd}) {
        EXPECT_TRUE(StoreReply(mirror, *reply));
    }
    EXPECT_EQ(Bytes(mirror.heartReg.begin(), mirror.heartReg.end()), heart);
    EXPECT_EQ(Bytes(mirror.cloud.begin(), mirror.cloud.end()), cloud);
    EXPECT_EQ(Bytes(mirror.modbusPack.begin(), mirror.modbusPack.end()), pack);
    EXPECT_EQ(Bytes(mirror.base.begin(), mirror.base.end()), test::ModuleBaseBlock());
    EXPECT_EQ(Bytes(mirror.port.begin(), mirror.port.end()), test::ModulePortBlock());
    Bytes httpdBack = HttpdUrlBlock(mirror);
    const Bytes head = HttpdHeadBlock(mirror);
    httpdBack.insert(httpdBack.end(), head.begin(), head.end());
    EXPECT_EQ(httpdBack, httpd);
}

TEST(StoreReply, OtherLengthsAreNotStored) {
    for (const std::size_t length : {0, 1, 4, 49, 51, 86, 129, 131, 301, 303}) {
        ParamMirror mirror;
        EXPECT_FALSE(StoreReply(mirror, Pattern(length, 9))) << length;
        EXPECT_EQ(mirror, ParamMirror{}) << length;
    }
}

struct Recorded {
    std::string event{};
    TBaseParam base{};
    TarrComParam ports{};
    TarrCloudParam clouds{};
    Bytes heart{};
    std::string url{}, header{};
    TModbusParam modbus{};
    TModbusPackParam pack{};
    int devFlag = -1;
    int length = -1;
    bool fromSerial = true;
};

class RecordingSink final : public ParamReplySink {
public:
    std::vector<Recorded> calls;

    void OnBaseParams(const TBaseParam& base, const TarrComParam& ports, int devFlag,
                      bool fromSerial) override {
        Recorded r{.event = "base", .base = base, .ports = ports};
        r.devFlag = devFlag;
        r.fromSerial = fromSerial;
        calls.push_back(r);
    }
    void OnCloudParams(const TarrCloudParam& clouds, bool fromSerial, int devFlag) override {
        Recorded r{.event = "cloud", .clouds = clouds};
        r.devFlag = devFlag;
        r.fromSerial = fromSerial;
        calls.push_back(r);
    }
    void OnHeartReg(ByteView block85, bool fromSerial, int devFlag) override {
        Recorded r{.event = "heart", .heart = Bytes(block85.begin(), block85.end())};
        r.devFlag = devFlag;
        r.fromSerial = fromSerial;
        calls.push_back(r);
    }
    void OnHttpd(const std::string& url, const std::string& header) override {
        calls.push_back(Recorded{.event = "httpd", .url = url, .header = header});
    }
    void OnModbusParam(const TModbusParam& param, int length) override {
        Recorded r{.event = "modbus", .modbus = param};
        r.length = length;
        calls.push_back(r);
    }
    void OnModbusPack(const TModbusPackParam& param, int length) override {
        Recorded r{.event = "pack", .pack = param};
        r.length = length;
        calls.push_back(r);
    }
};

TEST(HandleParamReply, EachLengthRaisesItsOneEvent) {
    struct Case {
        Bytes reply;
        std::string event;
    };
    const Case cases[] = {
        {{0x01}, "modbus"},
        {{0x02, 0x01, 0x00, 0x64}, "modbus"},
        {Pattern(CloudBlockLen, 5), "cloud"},
        {Pattern(HeartRegBlockLen, 6), "heart"},
        {Pattern(ModbusPackBlockLen, 7), "pack"},
        {test::BasePortReply(), "base"},
        {HttpdReply(2, 3), "httpd"},
    };
    for (const Case& c : cases) {
        ParamMirror mirror;
        RecordingSink sink;
        EXPECT_TRUE(HandleParamReply(mirror, c.reply, DevFlagP6, sink));
        ASSERT_EQ(sink.calls.size(), 1U) << c.event;
        EXPECT_EQ(sink.calls[0].event, c.event);
    }
}

TEST(HandleParamReply, IgnoresAcknowledgementsAndOtherLengths) {
    const Bytes replies[] = {{},
                             {0xFF, 0x01, 0x05, 0x4B},
                             {0xFF, 0x01, 0x00, 0x58},
                             {0x45, 0x01},
                             Pattern(36, 1),
                             Pattern(131, 2),
                             Pattern(193, 3)};
    for (const Bytes& reply : replies) {
        ParamMirror mirror;
        RecordingSink sink;
        EXPECT_FALSE(HandleParamReply(mirror, reply, DevFlagP6, sink)) << reply.size();
        EXPECT_TRUE(sink.calls.empty());
        EXPECT_EQ(mirror, ParamMirror{});
    }
}

TEST(HandleParamReply, BaseReplyStoresDecodesAndSavesOptionBytes) {
    ParamMirror mirror;
    RecordingSink sink;
    ASSERT_TRUE(HandleParamReply(mirror, test::BasePortReply(), DevFlagP7, sink));
    ASSERT_EQ(sink.calls.size(), 1U);
    const Recorded& r = sink.calls[0];
    EXPECT_EQ(r.base, test::ModuleBaseParam());
    ASSERT_EQ(r.ports.size(), 1U);
    EXPECT_EQ(r.ports[0], test::ModulePortParam());
    EXPECT_EQ(r.devFlag, DevFlagP7);
    EXPECT_FALSE(r.fromSerial);
    EXPECT_EQ(mirror.SavedBaseFlags, 0xB5);
    EXPECT_EQ(mirror.SavedPortFlags, 0x8B);
}

TEST(HandleParamReply, HeartRegReplyHandsOverAllStoredBytes) {
    // The last byte of a full 40-byte registration packet must survive a read.
    Bytes reply = Pattern(HeartRegBlockLen, 0x20);
    reply[4] = 40;
    reply[84] = 0x7E;
    ParamMirror mirror;
    RecordingSink sink;
    ASSERT_TRUE(HandleParamReply(mirror, reply, DevFlagP6, sink));
    EXPECT_EQ(sink.calls.at(0).heart, reply);
    EXPECT_EQ(mirror.heartReg[84], 0x7E);
    EXPECT_EQ(sink.calls.at(0).devFlag, DevFlagP6);
    EXPECT_FALSE(sink.calls.at(0).fromSerial);
}

TEST(HandleParamReply, CloudModbusAndHttpdPayloads) {
    ParamMirror mirror;
    RecordingSink sink;
    Bytes cloud(CloudBlockLen, 0);
    PutText(cloud, 2, "12345678901234567890");
    PutText(cloud, 22, "abcdefgh");
    Bytes pack(ModbusPackBlockLen, 0);
    Put(pack, 0, {1, 1, 0x00, 0xC8, 0x00, 0x0A, 0});
    Bytes httpd(HttpdReplyLen, 0);
    httpd[0] = 4;
    PutText(httpd, 1, "/api");
    httpd[HttpdUrlBlockLen] = 2;
    PutText(httpd, HttpdUrlBlockLen + 1, "H:");
    for (const Bytes& reply : {cloud, pack, httpd, Bytes{0x00}, Bytes{0x02, 0x01, 0x00, 0x64}}) {
        ASSERT_TRUE(HandleParamReply(mirror, reply, DevFlagP6, sink));
    }
    ASSERT_EQ(sink.calls.size(), 5U);
    EXPECT_EQ(sink.calls[0].clouds, (TarrCloudParam{{"12345678901234567890", "abcdefgh"}}));
    EXPECT_FALSE(sink.calls[0].fromSerial);
    EXPECT_EQ(sink.calls[1].pack, (TModbusPackParam{1, 1, 0, "200", "10"}));
    EXPECT_EQ(sink.calls[1].length, 87);
    EXPECT_EQ(sink.calls[2].url, "/api");
    EXPECT_EQ(sink.calls[2].header, "H:");
    EXPECT_EQ(sink.calls[3].modbus, (TModbusParam{0, 0, ""}));
    EXPECT_EQ(sink.calls[3].length, 1);
    EXPECT_EQ(sink.calls[4].modbus, (TModbusParam{2, 1, "100"}));
    EXPECT_EQ(sink.calls[4].length, 4);
    // Modbus switches replies are never stored: the section is what the encoder last wrote.
    EXPECT_EQ(mirror.modbusSwitches, (std::array<std::uint8_t, 4>{}));
}

} // namespace
} // namespace r2
