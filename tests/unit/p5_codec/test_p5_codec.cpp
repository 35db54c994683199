#include "p5_example.h"
#include "protocol/p5_codec.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace r2 {
namespace {

PanelP5 ExamplePanel() {
    return test::ExampleP5Panel();
}

const Bytes& ExampleFrame = test::ExampleP5Frame();

// A read reply carrying the parameter bytes of `frame`, with `extra` as byte 30.
Bytes ReplyFor(const Bytes& frame, std::uint8_t extra = 0x5A) {
    Bytes reply(32);
    reply[0] = SerHead;
    reply[1] = SerReadP5P7;
    std::copy(frame.begin() + 2, frame.begin() + 30, reply.begin() + 2);
    reply[30] = extra;
    reply[31] = SumBytes(ByteView(reply).subspan(2, 29));
    return reply;
}

TEST(EncodeP5Frame, ExampleSettingsGiveTheKnownFrame) {
    const P5FrameResult r = EncodeP5Frame(ExamplePanel());
    ASSERT_TRUE(r.status.ok()) << r.status.Message();
    EXPECT_EQ(r.frame, ExampleFrame);
    EXPECT_FALSE(r.defaultIdApplied);
}

TEST(EncodeP5Frame, SerialFormatByte) {
    struct Case {
        int parity, data, stop;
        std::uint8_t expected;
    };
    const Case cases[] = {
        {2, 2, 1, 0x1E}, // EVEN, 7, 2
        {0, 3, 0, 0x03}, // NONE, 8, 1
        {1, 0, 0, 0x08}, // ODD, 5, 1
        {3, 3, 0, 0x2B}, // MARK, 8, 1
        {4, 1, 1, 0x3D}, // SPACE, 6, 2
        {-1, 3, 0, 0x03},
    };
    for (const Case& c : cases) {
        PanelP5 p = ExamplePanel();
        p.cbb_P.index = c.parity;
        p.cbb_D.index = c.data;
        p.cbb_S.index = c.stop;
        const P5FrameResult r = EncodeP5Frame(p);
        ASSERT_TRUE(r.status.ok());
        EXPECT_EQ(r.frame[22], c.expected) << c.parity << " " << c.data << " " << c.stop;
    }
}

TEST(EncodeP5Frame, NumbersAndTheirByteOrders) {
    struct Case {
        std::function<void(PanelP5&)> change;
        std::size_t offset;
        Bytes expected;
        bool defaultId;
    };
    const Case cases[] = {
        {[](PanelP5& p) { p.edt_ID = "258"; }, 23, {0x01, 0x02}, false},
        {[](PanelP5& p) { p.edt_ID = ""; }, 23, {0x00, 0x00}, true},
        {[](PanelP5& p) { p.edt_ID = "65541"; }, 23, {0x00, 0x05}, false},
        {[](PanelP5& p) { p.cbb_BaudRate.SelectText("65791"); }, 19, {0xFF, 0x00, 0x01}, false},
        {[](PanelP5& p) { p.cbb_BaudRate.SelectText("300"); }, 19, {0x2C, 0x01, 0x00}, false},
        {[](PanelP5& p) { p.edt_ModulePort = "201108"; }, 12, {0x94, 0x11}, false},
        {[](PanelP5& p) { p.cbb_ModuleWork.index = -1; }, 18, {0xFF}, false},
        {[](PanelP5& p) { p.cbb_ModuleWork.index = 3; }, 18, {0x03}, false},
    };
    for (const Case& c : cases) {
        PanelP5 p = ExamplePanel();
        c.change(p);
        const P5FrameResult r = EncodeP5Frame(p);
        ASSERT_TRUE(r.status.ok()) << r.status.Message();
        ASSERT_EQ(r.frame.size(), P5FrameLen);
        EXPECT_EQ(
            Bytes(r.frame.begin() + static_cast<std::ptrdiff_t>(c.offset),
                  r.frame.begin() + static_cast<std::ptrdiff_t>(c.offset + c.expected.size())),
            c.expected)
            << c.offset;
        EXPECT_EQ(r.defaultIdApplied, c.defaultId);
        EXPECT_EQ(r.frame[30], SumBytes(ByteView(r.frame).subspan(2, 28)));
    }
}

TEST(EncodeP5Frame, EachCheckBoxIsItsOwnOptionBit) {
    bool PanelP5::*const boxes[8] = {&PanelP5::chk_ConnSendId, &PanelP5::chk_DataWithId,
                                     &PanelP5::chk_RS485,      &PanelP5::chk_RS422,
                                     &PanelP5::chk_Reset,      &PanelP5::chk_Link,
                                     &PanelP5::chk_Index,      &PanelP5::chk_RFC2217};
    for (int bit = 0; bit < 8; ++bit) {
        PanelP5 p = ExamplePanel();
        p.*boxes[bit] = true;
        const P5FrameResult r = EncodeP5Frame(p);
        ASSERT_TRUE(r.status.ok());
        EXPECT_EQ(r.frame[25], 1U << bit) << bit;
    }
}

TEST(EncodeP5Frame, AValueThatDoesNotConvertGivesNoFrame) {
    struct Case {
        std::string control;
        std::string text;
        std::function<void(PanelP5&, const std::string&)> set;
    };
    const Case cases[] = {
        {"edt_DeIP", "192.168.0", [](PanelP5& p, const std::string& t) { p.edt_DeIP = t; }},
        {"edt_DePort", "", [](PanelP5& p, const std::string& t) { p.edt_DePort = t; }},
        {"edt_ModuleIP", "a.b.c.d", [](PanelP5& p, const std::string& t) { p.edt_ModuleIP = t; }},
        {"edt_ModulePort", "20 108",
         [](PanelP5& p, const std::string& t) { p.edt_ModulePort = t; }},
        {"edt_Gateway", "", [](PanelP5& p, const std::string& t) { p.edt_Gateway = t; }},
        {"cbb_BaudRate", "", [](PanelP5& p, const std::string&) { p.cbb_BaudRate.index = -1; }},
        {"cbb_BaudRate", std::string(BaudCustomPrompt),
         [](PanelP5& p, const std::string&) { p.cbb_BaudRate.index = 1; }},
        {"edt_ID", "-1", [](PanelP5& p, const std::string& t) { p.edt_ID = t; }},
        {"edt_Mask", "255.255.255.0.0", [](PanelP5& p, const std::string& t) { p.edt_Mask = t; }},
    };
    for (const Case& c : cases) {
        PanelP5 p = ExamplePanel();
        c.set(p, c.text);
        const P5FrameResult r = EncodeP5Frame(p);
        EXPECT_FALSE(r.status.ok()) << c.control;
        EXPECT_EQ(r.status.control, c.control);
        EXPECT_EQ(r.status.text, c.text);
        EXPECT_TRUE(r.frame.empty()) << c.control;
    }
}

TEST(DecodeP5Reply, FillsThePanelWithWhatTheFrameCarries) {
    PanelP5 sent = ExamplePanel();
    sent.cbb_ModuleWork.index = 3;
    sent.cbb_BaudRate.SelectText("9600");
    sent.cbb_P.index = 2;
    sent.cbb_D.index = 2;
    sent.cbb_S.index = 1;
    sent.edt_ID = "258";
    sent.chk_Reset = true;
    sent.chk_RS485 = true;
    const P5FrameResult r = EncodeP5Frame(sent);
    ASSERT_TRUE(r.status.ok());

    PanelP5 shown;
    ASSERT_TRUE(DecodeP5Reply(ReplyFor(r.frame), shown));
    PanelP5 expected = sent;
    // A TCP server has no target: the work-mode rule greys the target address and port.
    expected.state.edt_DeIP.enabled = false;
    expected.state.edt_DePort.enabled = false;
    expected.state.lbl_DeIP.enabled = false;
    expected.state.lbl_DePort.enabled = false;
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(shown.cbb_BaudRate.index, 7); // the standard entry "9600"
}

TEST(DecodeP5Reply, BaudRateSelectsAnEntryOrBecomesTheCustomEntry) {
    struct Case {
        std::string baud;
        int index;
        std::string entry0;
    };
    const Case cases[] = {{"9600", 7, "115200"}, {"115200", 0, "115200"}, {"57601", 0, "57601"}};
    for (const Case& c : cases) {
        PanelP5 sent = ExamplePanel();
        sent.cbb_BaudRate.SelectText(c.baud);
        const P5FrameResult r = EncodeP5Frame(sent);
        ASSERT_TRUE(r.status.ok());
        PanelP5 shown;
        ASSERT_TRUE(DecodeP5Reply(ReplyFor(r.frame), shown));
        EXPECT_EQ(shown.cbb_BaudRate.index, c.index) << c.baud;
        EXPECT_EQ(shown.cbb_BaudRate.entry0, c.entry0);
        EXPECT_EQ(shown.cbb_BaudRate.ShownText(), c.baud);
    }
}

TEST(DecodeP5Reply, OutOfRangeWorkModeLeavesNoSelection) {
    Bytes frame = ExampleFrame;
    frame[18] = 7;
    PanelP5 shown;
    ASSERT_TRUE(DecodeP5Reply(ReplyFor(frame), shown));
    EXPECT_EQ(shown.cbb_ModuleWork.index, -1);
    EXPECT_TRUE(shown.state.edt_DeIP.enabled);
}

TEST(DecodeP5Reply, RejectsABadReplyAndChangesNothing) {
    const Bytes good = ReplyFor(ExampleFrame);
    struct Case {
        std::string what;
        Bytes reply;
    };
    Bytes badHead = good;
    badHead[0] = 0x56;
    Bytes badCode = good;
    badCode[1] = SerWriteP5;
    Bytes badExtra = good;
    badExtra[30] = static_cast<std::uint8_t>(badExtra[30] + 1);
    Bytes badSum = good;
    badSum[31] = static_cast<std::uint8_t>(badSum[31] ^ 0x01);
    Bytes badParam = good;
    badParam[10] = static_cast<std::uint8_t>(badParam[10] + 1);
    Bytes longer = good;
    longer.push_back(0);
    const Case cases[] = {
        {"head", badHead},       {"code", badCode},
        {"byte 30", badExtra},   {"sum", badSum},
        {"parameter", badParam}, {"31 bytes", Bytes(good.begin(), good.end() - 1)},
        {"33 bytes", longer},    {"empty", {}},
    };
    for (const Case& c : cases) {
        PanelP5 panel;
        EXPECT_FALSE(DecodeP5Reply(c.reply, panel)) << c.what;
        EXPECT_EQ(panel, PanelP5{}) << c.what;
    }
    PanelP5 panel;
    EXPECT_TRUE(DecodeP5Reply(good, panel));
}

} // namespace
} // namespace r2
