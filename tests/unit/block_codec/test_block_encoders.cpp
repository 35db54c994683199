#include "block_fixtures.h"
#include "protocol/block_codec.h"
#include "protocol/p5_codec.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace r2 {
namespace {

using test::Pattern;

template <std::size_t N> Bytes ToBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

Bytes Slice(const Bytes& b, std::size_t offset, std::size_t width) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(offset),
                 b.begin() + static_cast<std::ptrdiff_t>(offset + width));
}

// The mirror after a module answered a read with the fixture blocks.
ParamMirror MirrorAfterRead() {
    ParamMirror m;
    const Bytes reply = test::BasePortReply();
    StoreReply(m, reply);
    RememberSavedFlags(m, m.base, m.port);
    return m;
}

// What the P6 panel shows after the fixture read (the values the fill puts in each control).
PanelP6 PanelShowingFixture() {
    const TBaseParam b = test::ModuleBaseParam();
    PanelP6 p;
    p.cbb_AddrType.index = b.AddrType;
    p.edt_LocationURLPort = std::to_string(b.LocationURLPort);
    p.edt_HTTPServerPort = std::to_string(b.HTTPServerPort);
    p.edt_StaticIP = b.StaticIP;
    p.edt_GatewayIP = b.GatewayIP;
    p.edt_SubnetMask = b.SubnetMask;
    p.edt_ModName = b.ModName;
    p.edt_username = b.UserName;
    p.edt_password = b.Password;
    p.rzchckbx_Reset = true;
    p.rzchckbx_Link = false;
    p.rzchckbx_Index = false;
    p.rzchckbx_RFC2217 = true;
    p.edt_UserMAC = b.UserMAC;
    p.edtDns = b.Dns;
    p.LabeledEditShortTime = "3";
    p.RzCheckBoxShortEnable = b.ShortEnable;
    p.RzCheckBox2 = b.ClearCache;

    p.cbb_BaudRate0.SelectText("115200");
    p.cbb_D0.index = 3;
    p.cbb_P0.index = 0;
    p.cbb_S0.index = 0;
    p.cbb_FlowControl0.index = 0;
    p.edt_LocalPort0 = "5555";
    p.edt_RemotePort0 = "8234";
    p.edt_RemoteIP0 = "192.168.0.131";
    p.cbb_ModbusTCP0.index = 0;
    p.chk_RFC22170 = true;
    p.RzComboBox2.index = 0;
    p.RzCheckBox1 = false;
    p.cbbHeartPackType.index = 0;
    p.cbb_WorkMode0.index = 1;
    p.cbbGetPost.index = 0;
    p.cbb_TCPSvrCount0.index = 3;
    p.LabeledEdit1 = "300";
    p.rzchbUdpFrom = true;
    p.edtUartPackLEN = "400";
    p.edt_UARTTime0 = "10";
    return p;
}

PanelP7 FilledP7() {
    PanelP7 p;
    p.edt_StaticIPP7 = "10.0.0.254";
    p.edt_SubnetMaskP7 = "255.0.0.0";
    p.edt_GatewayIPP7 = "10.0.0.1";
    p.edt_ModNameP7 = "P7-unit";
    p.edt_UserMACP7 = "FF FF FF FF FF FF";
    p.edt_LocationURLPortP7 = "1900";
    p.edt_HTTPServerPortP7 = "80";
    p.edt_IdTypeP7 = "3";
    p.edt_usernameP7 = "root";
    p.edt_passwordP7 = "pw";
    return p;
}

// ---- Round trip and kept bytes ----------------------------------------------------------

TEST(EncodeBaseP6, RoundTripGivesBackTheModulesBlock) {
    const ParamMirror live = MirrorAfterRead();
    ParamMirror scratch = live;
    ASSERT_TRUE(EncodeBaseP6(PanelShowingFixture(), scratch).ok());
    EXPECT_EQ(DecodeBaseBlock(scratch.base), DecodeBaseBlock(live.base));
    const Bytes module = test::ModuleBaseBlock();
    const Bytes encoded = ToBytes(scratch.base);
    for (const auto& [offset, width] : {std::pair{0, 3}, {8, 1}, {49, 3}, {64, 3}}) {
        EXPECT_EQ(Slice(encoded, offset, width), Slice(module, offset, width)) << offset;
    }
    EXPECT_EQ(encoded, module);
}

TEST(EncodePortP6, RoundTripGivesBackTheModulesBlock) {
    const ParamMirror live = MirrorAfterRead();
    ParamMirror scratch = live;
    ASSERT_TRUE(EncodePortP6(PanelShowingFixture(), scratch).ok());
    EXPECT_EQ(DecodePortBlock(scratch.port), test::ModulePortParam());
    EXPECT_EQ(ToBytes(scratch.port), test::ModulePortBlock());
}

// The read and save paths meet: a reply filled into the panel and saved unchanged goes back
// to the module byte for byte, for every option combination the panel can show.
TEST(EncodeP6, ReplyFilledIntoThePanelAndSavedComesBackUnchanged) {
    // Of the registration flags the panel keeps only the one its list shows (the last that
    // applies of cloud, MAC, custom), so the byte-50 value saved may differ from the reply's.
    struct Case {
        std::uint8_t baseOptions, portOptions, byte56, byte58;
        Bytes baud;
        std::uint8_t savedPortOptions;
        int registration;
    };
    const Case cases[] = {
        {0xB5, 0x8B, 0, 1, {0x00, 0xC2, 0x01, 0x00}, 0x8B, 0},
        {0x47, 0x50, 1, 0, {0x80, 0x25, 0x00, 0x00}, 0x00, 2}, // cloud, MAC, custom
        {0x00, 0x24, 0, 0, {0xFF, 0x00, 0x01, 0x00}, 0x24, 0}, // custom 65791 baud
        {0xFF, 0xFF, 0, 1, {0x00, 0x10, 0x0E, 0x00}, 0xEF, 1}, // cloud and MAC
        {0x00, 0x10, 0, 0, {0x00, 0xC2, 0x01, 0x00}, 0x10, 3},
    };
    for (const Case& c : cases) {
        Bytes reply = test::BasePortReply();
        reply[3] = c.baseOptions;
        reply[BaseBlockLen + 50] = c.portOptions;
        reply[BaseBlockLen + 56] = c.byte56;
        reply[BaseBlockLen + 58] = c.byte58;
        test::Put(reply, BaseBlockLen, {c.baud[0], c.baud[1], c.baud[2], c.baud[3]});
        reply[52] = 0xF0; // all four ID flag boxes on
        ParamMirror live;
        StoreReply(live, reply);
        RememberSavedFlags(live, live.base, live.port);

        PanelP6 panel;
        ASSERT_EQ(FillFromBaseReply(panel, DecodeBaseBlock(live.base),
                                    TarrComParam{DecodePortBlock(live.port)}, DevFlagP6, true,
                                    std::nullopt),
                  BaseFillResult::FilledP6);
        ParamMirror scratch = live;
        ASSERT_TRUE(EncodeBaseP6(panel, scratch).ok());
        ASSERT_TRUE(EncodePortP6(panel, scratch).ok());
        const int kind = static_cast<int>(c.portOptions);
        EXPECT_EQ(ToBytes(scratch.base), ToBytes(live.base)) << kind;
        EXPECT_EQ(panel.RzComboBox2.index, c.registration) << kind;
        Bytes expectedPort = ToBytes(live.port);
        expectedPort[50] = c.savedPortOptions;
        EXPECT_EQ(ToBytes(scratch.port), expectedPort) << kind;
    }
}

TEST(EncodeBaseP6, OptionByteKeepsSavedBitsAndSetsThePanelsOwn) {
    struct Case {
        std::uint8_t saved;
        int addrType;
        bool shortEnable, clearCache;
        std::uint8_t expected;
    };
    const Case cases[] = {
        {0x47, 0, false, false, 0x47}, {0x47, 1, false, false, 0xC7},
        {0xFF, 0, false, false, 0x4F}, {0x00, 0, true, true, 0x30},
        {0xB0, 0, false, false, 0x00}, {0x00, -1, false, false, 0x80},
    };
    for (const Case& c : cases) {
        ParamMirror m = MirrorAfterRead();
        m.SavedBaseFlags = c.saved;
        PanelP6 p = PanelShowingFixture();
        p.cbb_AddrType.index = c.addrType;
        p.RzCheckBoxShortEnable = c.shortEnable;
        p.RzCheckBox2 = c.clearCache;
        ASSERT_TRUE(EncodeBaseP6(p, m).ok());
        EXPECT_EQ(m.base[3], c.expected) << static_cast<int>(c.saved) << " " << c.addrType;
    }
}

TEST(EncodeBaseP6, IdFlagsCarryOnlyTheFourBoxes) {
    ParamMirror m = MirrorAfterRead();
    m.base[52] = 0x0F;
    PanelP6 p = PanelShowingFixture();
    p.rzchckbx_Reset = false;
    p.rzchckbx_Link = true;
    p.rzchckbx_Index = true;
    p.rzchckbx_RFC2217 = false;
    ASSERT_TRUE(EncodeBaseP6(p, m).ok());
    EXPECT_EQ(m.base[52], 0x60);
}

TEST(EncodeBaseP6, NumbersThatNeverFailAndNumbersLargerThanTheirField) {
    struct Case {
        std::string shortTime, httpPort;
        std::uint8_t byte63;
        Bytes httpBytes;
    };
    const Case cases[] = {
        {"abc", "80", 3, {0x50, 0x00}},
        {"", "70000", 3, {0x70, 0x11}},
        {"10", "65535", 10, {0xFF, 0xFF}},
        {"259", "0", 3, {0x00, 0x00}},
    };
    for (const Case& c : cases) {
        ParamMirror m = MirrorAfterRead();
        PanelP6 p = PanelShowingFixture();
        p.LabeledEditShortTime = c.shortTime;
        p.edt_HTTPServerPort = c.httpPort;
        ASSERT_TRUE(EncodeBaseP6(p, m).ok());
        EXPECT_EQ(m.base[63], c.byte63) << c.shortTime;
        EXPECT_EQ(Slice(ToBytes(m.base), 6, 2), c.httpBytes) << c.httpPort;
    }
}

TEST(EncodeBaseP7, OptionByteIsWhollyRewritten) {
    struct Case {
        int addrType;
        std::uint8_t expected;
    };
    for (const Case& c : {Case{1, 0x80}, Case{0, 0x00}}) {
        ParamMirror m = MirrorAfterRead();
        m.base[3] = 0x47;
        m.SavedBaseFlags = 0x47;
        PanelP7 p = FilledP7();
        p.cbb_AddrTypeP7.index = c.addrType;
        ASSERT_TRUE(EncodeBaseP7(p, m).ok());
        EXPECT_EQ(m.base[3], c.expected);
    }
}

TEST(EncodeBaseP7, WritesItsFieldsAndKeepsDnsAndShortTime) {
    ParamMirror m = MirrorAfterRead();
    ASSERT_TRUE(EncodeBaseP7(FilledP7(), m).ok());
    const Bytes b = ToBytes(m.base);
    const Bytes module = test::ModuleBaseBlock();
    EXPECT_EQ(Slice(b, 9, 4), (Bytes{0xFE, 0x00, 0x00, 0x0A}));
    EXPECT_EQ(b[52], 3);
    EXPECT_EQ(Slice(b, 53, 6), Bytes(6, 0xFF));
    const TBaseParam decoded = DecodeBaseBlock(b);
    EXPECT_EQ(decoded.ModName, "P7-unit");
    EXPECT_EQ(decoded.UserName, "root");
    EXPECT_EQ(decoded.Password, "pw");
    EXPECT_EQ(decoded.SubnetMask, "255.0.0.0");
    EXPECT_EQ(decoded.GatewayIP, "10.0.0.1");
    EXPECT_EQ(Slice(b, 59, 8), Slice(module, 59, 8));
    EXPECT_EQ(Slice(b, 0, 3), Slice(module, 0, 3));
    EXPECT_EQ(Slice(b, 49, 3), Slice(module, 49, 3));
}

// The MAC box is 17 characters wide and its hint says to fill it with F's to keep the module's
// own MAC; the first 12 hex digits are the MAC.
TEST(EncodeBaseP7, UserMacBoxFilledWithFs) {
    for (const char* text : {"FFFFFFFFFFFFFFFFF", "FF FF FF FF FF FF FF", "ffffffffffff"}) {
        ParamMirror m = MirrorAfterRead();
        PanelP7 p = FilledP7();
        p.edt_UserMACP7 = text;
        ASSERT_TRUE(EncodeBaseP7(p, m).ok()) << EncodeBaseP7(p, m).Message();
        EXPECT_EQ(Slice(ToBytes(m.base), 53, 6), Bytes(6, 0xFF)) << text;
    }
}

// ---- Port block -------------------------------------------------------------------------

TEST(EncodePortP6, ModbusBitOnlyForTcpWorkModes) {
    for (int mode = -1; mode <= 4; ++mode) {
        for (int modbus : {0, 1}) {
            ParamMirror m = MirrorAfterRead();
            PanelP6 p = PanelShowingFixture();
            p.cbb_WorkMode0.index = mode;
            p.cbb_ModbusTCP0.index = modbus;
            ASSERT_TRUE(EncodePortP6(p, m).ok());
            const bool expected = modbus == 1 && (mode == 1 || mode == 3);
            EXPECT_EQ((m.port[50] & 0x04) != 0, expected) << mode << " " << modbus;
        }
    }
}

TEST(EncodePortP6, OptionByteFromRegistrationHeartbeatAndSavedBits) {
    struct Case {
        std::uint8_t saved;
        int registration, heartType;
        bool rfc, kick;
        std::uint8_t byte50, byte56;
    };
    const Case cases[] = {
        {0x00, 0, 1, false, false, 0x00, 0}, {0xFF, 0, 1, false, false, 0x03, 0},
        {0x00, 1, 1, false, false, 0x40, 0}, {0x00, 2, 1, false, false, 0x00, 1},
        {0x00, 3, 1, false, false, 0x10, 0}, {0x00, 0, 0, false, false, 0x80, 0},
        {0x00, 0, -1, true, true, 0x28, 0},
    };
    for (const Case& c : cases) {
        ParamMirror m = MirrorAfterRead();
        m.SavedPortFlags = c.saved;
        PanelP6 p = PanelShowingFixture();
        p.RzComboBox2.index = c.registration;
        p.cbbHeartPackType.index = c.heartType;
        p.chk_RFC22170 = c.rfc;
        p.RzCheckBox1 = c.kick;
        p.cbb_ModbusTCP0.index = 0;
        ASSERT_TRUE(EncodePortP6(p, m).ok());
        EXPECT_EQ(m.port[50], c.byte50) << c.registration << " " << c.heartType;
        EXPECT_EQ(m.port[56], c.byte56);
    }
}

TEST(EncodePortP6, BaudRateAndLineSettings) {
    struct Case {
        std::string baud;
        int data, parity, stop, flow;
        Bytes bytes0to7;
    };
    const Case cases[] = {
        {"115200", 3, 0, 0, 0, {0x00, 0xC2, 0x01, 0x00, 8, 1, 1, 1}},
        {"9600", 2, 2, 1, 1, {0x80, 0x25, 0x00, 0x00, 7, 3, 2, 3}},
        {"65791", 0, 4, 0, 2, {0xFF, 0x00, 0x01, 0x00, 5, 5, 1, 5}},
        // No flow control entry: the module's byte stays.
        {"921600", 3, 0, 0, -1, {0x00, 0x10, 0x0E, 0x00, 8, 1, 1, 0x77}},
    };
    for (const Case& c : cases) {
        ParamMirror m = MirrorAfterRead();
        m.port[7] = 0x77;
        PanelP6 p = PanelShowingFixture();
        p.cbb_BaudRate0.SelectText(c.baud);
        p.cbb_D0.index = c.data;
        p.cbb_P0.index = c.parity;
        p.cbb_S0.index = c.stop;
        p.cbb_FlowControl0.index = c.flow;
        ASSERT_TRUE(EncodePortP6(p, m).ok());
        EXPECT_EQ(Slice(ToBytes(m.port), 0, 8), c.bytes0to7) << c.baud;
    }
}

// The encoders take every number the baud lists take (a 32-bit integer, decimal with a sign
// or $hex) and write its 32 bits, so a module whose rate reads as -1 can be saved unchanged.
TEST(EncodePort, BaudRateIsTheListsNumberAs32Bits) {
    struct Case {
        std::string set; // as the user or r2ctl sets the list
        Bytes bytes;
    };
    const Case cases[] = {
        {"-5", {0xFB, 0xFF, 0xFF, 0xFF}},         {"$FFFFFFFF", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"-1", {0xFF, 0xFF, 0xFF, 0xFF}},         {"-2147483648", {0x00, 0x00, 0x00, 0x80}},
        {"2147483647", {0xFF, 0xFF, 0xFF, 0x7F}}, {"+7", {0x07, 0x00, 0x00, 0x00}},
        {"$10", {0x10, 0x00, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        std::string error;
        ParamMirror m6 = MirrorAfterRead();
        PanelP6 p6 = PanelShowingFixture();
        ASSERT_TRUE(SetControl(p6, "cbb_BaudRate0", c.set, error)) << error;
        ASSERT_TRUE(EncodePortP6(p6, m6).ok()) << c.set;
        EXPECT_EQ(Slice(ToBytes(m6.port), 0, 4), c.bytes) << c.set;

        ParamMirror m7 = MirrorAfterRead();
        PanelP7 p7 = FilledP7();
        ASSERT_TRUE(SetControl(p7, "cbb_BaudRate0P7", c.set, error)) << error;
        ASSERT_TRUE(EncodePortP7(p7, m7).ok()) << c.set;
        EXPECT_EQ(Slice(ToBytes(m7.port), 0, 4), c.bytes) << c.set;

        // The P5 frame has three bytes for the rate: the low three of the same 32 bits.
        PanelP5 p5;
        ASSERT_TRUE(SetControl(p5, "cbb_BaudRate", c.set, error)) << error;
        const P5FrameResult r5 = EncodeP5Frame(p5);
        ASSERT_TRUE(r5.status.ok()) << r5.status.Message();
        EXPECT_EQ(Slice(r5.frame, 19, 3), Slice(c.bytes, 0, 3)) << c.set;
    }
}

TEST(EncodePortP6, ARateThatReadsAsNegativeIsSavedUnchanged) {
    Bytes reply = test::BasePortReply();
    test::Put(reply, BaseBlockLen, {0xFF, 0xFF, 0xFF, 0xFF});
    ParamMirror live;
    ASSERT_TRUE(StoreReply(live, reply));
    RememberSavedFlags(live, live.base, live.port);
    PanelP6 panel;
    ASSERT_EQ(FillFromBaseReply(panel, DecodeBaseBlock(live.base),
                                TarrComParam{DecodePortBlock(live.port)}, DevFlagP6, true,
                                std::nullopt),
              BaseFillResult::FilledP6);
    EXPECT_EQ(panel.cbb_BaudRate0.ShownText(), "-1");
    ParamMirror scratch = live;
    ASSERT_TRUE(EncodePortP6(panel, scratch).ok()) << EncodePortP6(panel, scratch).Message();
    EXPECT_EQ(ToBytes(scratch.port), ToBytes(live.port));
}

TEST(EncodePortP6, ReservedBytesAreZeroedAndRestartTimeNeverFails) {
    ParamMirror m = MirrorAfterRead();
    std::fill_n(m.port.begin() + 8, 4, 0xEE);
    PanelP6 p = PanelShowingFixture();
    p.LabeledEdit1 = "soon";
    ASSERT_TRUE(EncodePortP6(p, m).ok());
    EXPECT_EQ(Slice(ToBytes(m.port), 8, 4), Bytes(4, 0));
    EXPECT_EQ(Slice(ToBytes(m.port), 54, 2), (Bytes{0, 0}));
}

TEST(EncodePortP7, TcpServerCountAndStyleShareByte58) {
    struct Case {
        int count, style;
        std::uint8_t expected;
    };
    const Case cases[] = {{7, 0, 0x81}, {0, 0, 0x11}, {3, 2, 0x43}, {-1, -1, 0x00}};
    for (const Case& c : cases) {
        ParamMirror m = MirrorAfterRead();
        PanelP7 p = FilledP7();
        p.cbb_TCPSvrCount0P7.index = c.count;
        p.cbb_TCPStyle0P7.index = c.style;
        ASSERT_TRUE(EncodePortP7(p, m).ok());
        EXPECT_EQ(m.port[58], c.expected) << c.count << " " << c.style;
    }
}

TEST(EncodePortP7, WritesPackingLengthAndKeepsWhatP7DoesNotSet) {
    ParamMirror m = MirrorAfterRead();
    m.port[50] = 0xF7; // every bit but RFC2217
    PanelP7 p = FilledP7();
    p.cbb_WorkMode0P7.index = 3;
    p.cbb_ModbusTCP0P7.index = 0;
    p.chk_RFC22170P7 = true;
    p.edt_UARTLength0P7 = "70000";
    ASSERT_TRUE(EncodePortP7(p, m).ok());
    const Bytes b = ToBytes(m.port);
    const Bytes module = test::ModulePortBlock();
    EXPECT_EQ(b[50], 0xFB);
    EXPECT_EQ(b[51], 3);
    EXPECT_EQ(Slice(b, 52, 4), (Bytes{0x70, 0x11, 0x01, 0x00}));
    EXPECT_EQ(Slice(b, 46, 4), Slice(module, 46, 4));
    EXPECT_EQ(Slice(b, 56, 2), Slice(module, 56, 2));
    EXPECT_EQ(Slice(b, 59, 4), Slice(module, 59, 4));
}

// ---- Failures ---------------------------------------------------------------------------

struct FailureCase {
    std::string control;
    std::string text;
    std::function<EncodeResult(ParamMirror&, const std::string&)> encode;
};

template <class Panel, class Encoder>
std::function<EncodeResult(ParamMirror&, const std::string&)>
With(Panel panel, std::string Panel::*member, Encoder encoder) {
    return [panel, member, encoder](ParamMirror& m, const std::string& text) mutable {
        panel.*member = text;
        return encoder(panel, m);
    };
}

PanelP6 HeartPanel() {
    PanelP6 p = PanelShowingFixture();
    p.edtHeartTm = "60";
    p.rzchckbxHeartDtHex = true;
    p.edtHeartDt = "0A0B";
    p.edtRegDt = "reg";
    return p;
}

PanelP6 ModbusPanel(int type) {
    PanelP6 p = PanelShowingFixture();
    p.edtwaittime = "5";
    p.cbbModbusType.index = type;
    return p;
}

TEST(Encoders, AFieldThatDoesNotConvertNamesItsControlAndChangesNothing) {
    const PanelP6 p6 = PanelShowingFixture();
    const PanelP7 p7 = FilledP7();
    const FailureCase cases[] = {
        {"edt_StaticIP", "300.1.2", With(p6, &PanelP6::edt_StaticIP, EncodeBaseP6)},
        {"edt_GatewayIP", "", With(p6, &PanelP6::edt_GatewayIP, EncodeBaseP6)},
        {"edt_SubnetMask", "255.255.255", With(p6, &PanelP6::edt_SubnetMask, EncodeBaseP6)},
        {"edtDns", "8.8.8.x", With(p6, &PanelP6::edtDns, EncodeBaseP6)},
        {"edt_UserMAC", "D8 B0 4C 00 00", With(p6, &PanelP6::edt_UserMAC, EncodeBaseP6)},
        {"edt_HTTPServerPort", "", With(p6, &PanelP6::edt_HTTPServerPort, EncodeBaseP6)},
        {"edt_LocationURLPort", "80a", With(p6, &PanelP6::edt_LocationURLPort, EncodeBaseP6)},
        {"edt_LocalPort0", "-1", With(p6, &PanelP6::edt_LocalPort0, EncodePortP6)},
        {"edt_RemotePort0", " 80", With(p6, &PanelP6::edt_RemotePort0, EncodePortP6)},
        {"edtUartPackLEN", "", With(p6, &PanelP6::edtUartPackLEN, EncodePortP6)},
        {"edt_UARTTime0", "1e3", With(p6, &PanelP6::edt_UARTTime0, EncodePortP6)},
        {"edt_IdTypeP7", "", With(p7, &PanelP7::edt_IdTypeP7, EncodeBaseP7)},
        {"edt_UserMACP7", "GG FF FF FF FF FF", With(p7, &PanelP7::edt_UserMACP7, EncodeBaseP7)},
        {"edt_StaticIPP7", "1.2.3.4.5", With(p7, &PanelP7::edt_StaticIPP7, EncodeBaseP7)},
        {"edt_RemotePort0P7", "x", With(p7, &PanelP7::edt_RemotePort0P7, EncodePortP7)},
        {"edt_UARTLength0P7", "", With(p7, &PanelP7::edt_UARTLength0P7, EncodePortP7)},
        {"edtHeartTm", "", With(HeartPanel(), &PanelP6::edtHeartTm, EncodeHeartReg)},
        {"edtHeartDt", "0A0G", With(HeartPanel(), &PanelP6::edtHeartDt, EncodeHeartReg)},
        {"edtwaittime", "1.5", With(ModbusPanel(0), &PanelP6::edtwaittime, EncodeModbus)},
        {"edtModbusTimeout", "2s",
         With(ModbusPanel(1), &PanelP6::edtModbusTimeout, EncodeModbusPack)},
        {"edtModbusInterval", "ten",
         With(ModbusPanel(2), &PanelP6::edtModbusInterval, EncodeModbusPack)},
        {"edtDid", "1111111111111111111", With(p6, &PanelP6::edtDid, EncodeCloud)},
    };
    for (const FailureCase& c : cases) {
        ParamMirror m = MirrorAfterRead();
        const ParamMirror before = m;
        const EncodeResult r = c.encode(m, c.text);
        EXPECT_FALSE(r.ok()) << c.control;
        EXPECT_EQ(r.control, c.control);
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.Message().rfind(c.control + ": \"" + c.text + "\" ", 0), 0U) << r.Message();
        EXPECT_EQ(m, before) << c.control;
    }
}

TEST(Encoders, MessageWording) {
    ParamMirror m = MirrorAfterRead();
    PanelP6 p = PanelShowingFixture();
    p.edt_StaticIP = "300.1.2";
    EXPECT_EQ(EncodeBaseP6(p, m).Message(), "edt_StaticIP: \"300.1.2\" is not an IPv4 address");
    p = PanelShowingFixture();
    p.cbb_BaudRate0.index = 1;
    EXPECT_EQ(EncodePortP6(p, m).Message(), "cbb_BaudRate0: \"" + std::string(BaudCustomPrompt) +
                                                "\" is not a baud rate (a 32-bit integer)");
    EXPECT_EQ(EncodeResult{}.Message(), "");
}

TEST(Encoders, TheFirstFailingFieldIsReported) {
    ParamMirror m = MirrorAfterRead();
    PanelP6 p = PanelShowingFixture();
    p.edt_SubnetMask = "bad";
    p.edtDns = "bad";
    EXPECT_EQ(EncodeBaseP6(p, m).control, "edt_SubnetMask");
}

// ---- Heartbeat/registration -------------------------------------------------------------

TEST(EncodeHeartReg, DataLengthAndBytesInHexAndTextMode) {
    const std::string text45(45, 'q');
    struct Case {
        bool hex;
        std::string text;
        std::uint8_t length;
        Bytes data;
    };
    Bytes hexData(HeartRegDataLen, 0);
    hexData[0] = 0x0A;
    hexData[1] = 0x0B;
    Bytes textData(HeartRegDataLen, 0);
    textData[0] = 'h';
    textData[1] = 'i';
    // A Chinese character (GBK C4 E3) on the field's last byte stays out whole.
    Bytes cutData(39, 'q');
    cutData.push_back(0);
    const Case cases[] = {
        {true, "0A0B0", 2, hexData},  {false, text45, 40, Bytes(40, 'q')},
        {false, "hi", 2, textData},   {true, std::string(100, 'F'), 40, Bytes(40, 0xFF)},
        {false, "", 0, Bytes(40, 0)}, {false, std::string(39, 'q') + "\xC4\xE3", 39, cutData},
    };
    for (const Case& c : cases) {
        for (const bool registration : {false, true}) {
            ParamMirror m;
            m.heartReg.fill(0x5C);
            PanelP6 p = HeartPanel();
            (registration ? p.rzchckbxRegDtHex : p.rzchckbxHeartDtHex) = c.hex;
            (registration ? p.edtRegDt : p.edtHeartDt) = c.text;
            ASSERT_TRUE(EncodeHeartReg(p, m).ok()) << c.text;
            const Bytes b = ToBytes(m.heartReg);
            EXPECT_EQ(b[registration ? 4 : 3], c.length) << c.text;
            EXPECT_EQ(Slice(b, registration ? 45 : 5, 40), c.data) << c.text;
        }
    }
}

TEST(EncodeHeartReg, OptionByteAndHeartbeatTime) {
    struct Case {
        int heartbeat, regType;
        bool removeHeader, comSet;
        std::uint8_t expected;
    };
    const Case cases[] = {
        {0, 0, false, false, 0x04}, {1, 1, false, false, 0x0A}, {2, 2, false, false, 0x0D},
        {-1, -1, true, true, 0x30}, {2, 0, true, false, 0x15},
    };
    for (const Case& c : cases) {
        ParamMirror m;
        PanelP6 p = HeartPanel();
        p.rzchckbxHeartDtHex = false;
        p.RzComboBox1.index = c.heartbeat;
        p.cbbRegType.index = c.regType;
        p.RzCheckBox3 = c.removeHeader;
        p.rzchckbxComSetEnable = c.comSet;
        ASSERT_TRUE(EncodeHeartReg(p, m).ok());
        EXPECT_EQ(m.heartReg[0], c.expected) << c.heartbeat << " " << c.regType;
    }
    ParamMirror m;
    PanelP6 p = HeartPanel();
    p.rzchckbxRegDtHex = true;
    p.edtRegDt = "";
    p.edtHeartTm = "300";
    ASSERT_TRUE(EncodeHeartReg(p, m).ok());
    EXPECT_EQ(m.heartReg[0] & 0xC0, 0xC0);
    EXPECT_EQ(Slice(ToBytes(m.heartReg), 1, 2), (Bytes{0x2C, 0x01}));
}

// A read fills the panel through FillFromHeartReg and the save encodes that panel: the data
// bytes must come back as the module sent them, zero bytes inside the data included.
TEST(EncodeHeartReg, ReadThenSaveGivesBackTheDataBytes) {
    struct Case {
        const char* what;
        std::uint8_t options;
        std::uint8_t heartLen, regLen;
        std::size_t zeroAt; // offset inside both data fields
    };
    const Case cases[] = {
        {"text, 40-byte registration with a zero at byte 10", 0x04, 5, 40, 10},
        {"text, data starting with a zero", 0x04, 12, 3, 0},
        {"text, zero as the last byte", 0x04, 40, 40, 39},
        {"hex, zero inside", 0xC4, 40, 17, 10},
    };
    for (const Case& c : cases) {
        Bytes reply = Pattern(HeartRegBlockLen, 0x30);
        reply[0] = c.options;
        reply[3] = c.heartLen;
        reply[4] = c.regLen;
        reply[5 + c.zeroAt] = 0;
        reply[45 + c.zeroAt] = 0;
        // The save zero-fills each field after its length.
        Bytes expected = reply;
        std::fill(expected.begin() + 5 + c.heartLen, expected.begin() + 45, 0);
        std::fill(expected.begin() + 45 + c.regLen, expected.end(), 0);

        ParamMirror m;
        ASSERT_TRUE(StoreReply(m, reply));
        PanelP6 p;
        ASSERT_TRUE(FillFromHeartReg(p, m.heartReg, DevFlagP6));
        ASSERT_TRUE(EncodeHeartReg(p, m).ok()) << c.what;
        EXPECT_EQ(ToBytes(m.heartReg), expected) << c.what;
    }
}

// ---- HTTPD, cloud, Modbus ---------------------------------------------------------------

TEST(EncodeHttpd, LengthsClipAndTheRestOfEachFieldIsKept) {
    struct Case {
        std::string url, header;
        std::uint8_t urlLen, headLen;
    };
    const Case cases[] = {
        {std::string(150, 'u'), "", 100, 0},
        {"/x", std::string(250, 'h'), 2, 200},
        {"", "Host: a\r\n", 0, 9},
        // A Chinese character (GBK C4 E3) that would straddle the field's end stays out whole.
        {std::string(99, 'u') + "\xC4\xE3", std::string(199, 'h') + "\xC4\xE3", 99, 199},
    };
    for (const Case& c : cases) {
        Bytes reply = Pattern(HttpdReplyLen, 0x61);
        ParamMirror m;
        ASSERT_TRUE(StoreReply(m, reply));
        PanelP6 p;
        p.LabeledEdit2 = c.url;
        p.RzRichEdit1 = c.header;
        EncodeHttpd(p, m);
        const Bytes url = HttpdUrlBlock(m);
        const Bytes head = HttpdHeadBlock(m);
        ASSERT_EQ(url.size(), HttpdUrlBlockLen);
        ASSERT_EQ(head.size(), HttpdHeadBlockLen);
        EXPECT_EQ(url[0], c.urlLen);
        EXPECT_EQ(head[0], c.headLen);
        EXPECT_EQ(Slice(url, 1, c.urlLen), Bytes(c.url.begin(), c.url.begin() + c.urlLen));
        EXPECT_EQ(Slice(url, 1 + c.urlLen, 100 - c.urlLen),
                  Slice(reply, 1 + c.urlLen, 100 - c.urlLen));
        EXPECT_EQ(Slice(head, 1 + c.headLen, 200 - c.headLen),
                  Slice(reply, 102 + c.headLen, 200 - c.headLen));
    }
}

TEST(EncodeCloud, WritesIdAndPasswordOnly) {
    const Bytes reply = Pattern(CloudBlockLen, 0x90);
    ParamMirror m;
    ASSERT_TRUE(StoreReply(m, reply));
    PanelP6 p;
    p.edtDid = "12345678901234567890";
    p.edtCompass = "abcdefgh";
    ASSERT_TRUE(EncodeCloud(p, m).ok());
    EXPECT_EQ(DecodeCloudBlock(m.cloud), (TCloudParam{"12345678901234567890", "abcdefgh"}));
    const Bytes b = ToBytes(m.cloud);
    EXPECT_EQ(Slice(b, 0, 2), Slice(reply, 0, 2));
    EXPECT_EQ(Slice(b, 30, 20), Slice(reply, 30, 20));
    p.edtCompass = "abcdefghi";
    EXPECT_EQ(EncodeCloud(p, m).control, "edtCompass");
}

TEST(EncodeModbus, FourByteSectionAndOneByteForm) {
    struct Case {
        bool tcp, poll;
        std::string wait;
        Bytes four;
    };
    const Case cases[] = {
        {true, true, "100", {1, 1, 0x00, 0x64}},
        {false, true, "300", {0, 1, 0x01, 0x2C}},
        {true, false, "65537", {1, 0, 0x00, 0x01}},
    };
    for (const Case& c : cases) {
        ParamMirror m;
        PanelP6 p;
        p.rzchckbxmodbustcp = c.tcp;
        p.rzchckbxmodbuspool = c.poll;
        p.edtwaittime = c.wait;
        ASSERT_TRUE(EncodeModbus(p, m).ok());
        EXPECT_EQ(ToBytes(m.modbusSwitches), c.four);
        EXPECT_EQ(EncodeModbusShort(p), Bytes{static_cast<std::uint8_t>(c.tcp ? 1 : 0)});
    }
}

TEST(EncodeModbusPack, WritesOnlyWhatTheTypeCallsFor) {
    struct Case {
        int type;
        std::string timeout, interval;
        Bytes first7; // 0xEE marks a kept byte
    };
    const Case cases[] = {
        {1, "200", "", {0x01, 0x00, 0x00, 0xC8, 0xEE, 0xEE, 0xEE}},
        {0, "200", "10", {0x00, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
        {2, "", "10", {0x02, 0x00, 0xEE, 0xEE, 0x00, 0x0A, 0x01}},
        {-1, "x", "y", {0xFF, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
    };
    for (const Case& c : cases) {
        ParamMirror m;
        m.modbusPack.fill(0xEE);
        PanelP6 p;
        p.cbbModbusType.index = c.type;
        p.cbbModbusException.index = 0;
        p.cbbReporproto.index = 1;
        p.edtModbusTimeout = c.timeout;
        p.edtModbusInterval = c.interval;
        ASSERT_TRUE(EncodeModbusPack(p, m).ok()) << c.type;
        const Bytes b = ToBytes(m.modbusPack);
        EXPECT_EQ(Slice(b, 0, 7), c.first7) << c.type;
        EXPECT_EQ(Slice(b, 7, 80), Bytes(80, 0xEE));
    }
}

} // namespace
} // namespace r2
