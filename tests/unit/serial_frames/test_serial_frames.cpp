#include "block_fixtures.h"
#include "hex_literal.h"
#include "protocol/panel_p6_reader.h"
#include "protocol/serial_frames.h"

#include <functional>
#include <gtest/gtest.h>
#include <numeric>
#include <string>

namespace r2 {
namespace {

using test::BasePortReply;
using test::Hex;
using test::ModuleBaseBlock;
using test::ModulePortBlock;
using test::Pattern;

// The 8-bit sum of a frame's block, computed here rather than with the helper under test.
std::uint8_t Sum(const Bytes& bytes) {
    return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0U) & 0xFFU);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

// A 137-byte P6 read reply around a base and a port block, with distinctive bytes where
// nothing is examined.
Bytes P6Reply(const Bytes& base, const Bytes& port) {
    return Concat({{0xE1, 0xE2}, base, port, {0xF1, 0xF2, 0xF3, 0xF4, 0xF5}});
}

template <std::size_t N> Bytes BytesOf(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

struct Call {
    std::string event;
    TBaseParam base{};
    TarrComParam ports{};
    TarrCloudParam clouds{};
    Bytes heart{};
    int devFlag = -1;
    bool fromSerial = false;
};

class RecordingSink final : public ParamReplySink {
public:
    std::vector<Call> calls;

    void OnBaseParams(const TBaseParam& base, const TarrComParam& ports, int devFlag,
                      bool fromSerial) override {
        calls.push_back({"base", base, ports, {}, {}, devFlag, fromSerial});
    }
    void OnCloudParams(const TarrCloudParam& clouds, bool fromSerial, int devFlag) override {
        calls.push_back({"cloud", {}, {}, clouds, {}, devFlag, fromSerial});
    }
    void OnHeartReg(ByteView block85, bool fromSerial, int devFlag) override {
        calls.push_back(
            {"heart", {}, {}, {}, Bytes(block85.begin(), block85.end()), devFlag, fromSerial});
    }
    void OnHttpd(const std::string&, const std::string&) override { calls.push_back({"httpd"}); }
    void OnModbusParam(const TModbusParam&, int) override { calls.push_back({"modbus"}); }
    void OnModbusPack(const TModbusPackParam&, int) override { calls.push_back({"pack"}); }
};

// A P6 module read over the serial line: the panel and the mirror after its 137-byte reply.
struct SerialRead {
    PanelP6 panel;
    ParamMirror mirror;
};

SerialRead ReadOverSerial(const Bytes& reply) {
    SerialRead read;
    PanelP6Reader reader(read.panel);
    EXPECT_TRUE(HandleSerialReply(read.mirror, reply, reader));
    return read;
}

// ---- Classification ---------------------------------------------------------------------

TEST(ClassifySerialChunk, ByLengthAndTheAcceptByte) {
    struct Case {
        Bytes chunk;
        SerialReplyKind kind;
    };
    const Case cases[] = {
        {{}, SerialReplyKind::Other},
        {{0x4B}, SerialReplyKind::Accepted},
        {{0x4E}, SerialReplyKind::Ignored},
        {{0x00}, SerialReplyKind::Ignored},
        {{0x4B, 0x4B}, SerialReplyKind::Other},
        {Pattern(31, 1), SerialReplyKind::Other},
        {Pattern(32, 1), SerialReplyKind::P5Reply},
        {Pattern(33, 1), SerialReplyKind::Other},
        {Pattern(114, 1), SerialReplyKind::Other},
        {Pattern(115, 1), SerialReplyKind::CloudHeart},
        {Pattern(130, 1), SerialReplyKind::Other},
        {Pattern(136, 1), SerialReplyKind::Other},
        {Pattern(137, 1), SerialReplyKind::P6Reply},
        {Pattern(138, 1), SerialReplyKind::Other},
        {Pattern(3072, 1), SerialReplyKind::Other},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClassifySerialChunk(c.chunk), c.kind) << c.chunk.size();
    }
}

// ---- P6 save frames ---------------------------------------------------------------------

TEST(EncodeSerialP6Save, FramesOfAModuleReadOverSerialWithANewName) {
    SerialRead read = ReadOverSerial(P6Reply(ModuleBaseBlock(), ModulePortBlock()));
    read.panel.edt_ModName = "Saved";
    const SerialP6SaveFrames save = EncodeSerialP6Save(read.panel, read.mirror);
    ASSERT_TRUE(save.status.ok()) << save.status.Message();

    // What went back is what was read, but for the name field (bytes 21..36 of the base).
    Bytes base = ModuleBaseBlock();
    std::fill(base.begin() + 21, base.begin() + 37, 0);
    test::PutText(base, 21, "Saved");
    const Bytes port = ModulePortBlock();
    ASSERT_EQ(save.frames.size(), 3U);
    EXPECT_EQ(save.frames[0], Concat({{0x55, 0xBE}, base, {Sum(base)}}));
    EXPECT_EQ(save.frames[1], Concat({{0x55, 0xBF}, port, {Sum(port)}}));
    EXPECT_EQ(save.frames[2], Hex("55 B1 5A"));
    EXPECT_EQ(save.frames[0].size(), 70U);
    EXPECT_EQ(save.frames[1].size(), 66U);
    EXPECT_EQ(BytesOf(save.mirror.base), base);
    EXPECT_EQ(BytesOf(save.mirror.port), port);
}

TEST(EncodeSerialP6Save, KnownChecksums) {
    // The design-state port settings on a zero mirror, and a base block that differs from a
    // zero one only where the panel writes; the sums are those of the expected blocks.
    PanelP6 panel;
    panel.cbb_AddrType.index = 0;
    panel.edt_StaticIP = "192.168.0.7";
    panel.edt_SubnetMask = "255.255.255.0";
    panel.edt_GatewayIP = "192.168.0.1";
    panel.edtDns = "8.8.8.8";
    panel.edt_HTTPServerPort = "80";
    panel.edt_LocationURLPort = "1900";
    panel.LabeledEditShortTime = "3";
    panel.LabeledEdit1 = "300";
    panel.edt_UserMAC = "D8 B0 4C 00 00 01";
    panel.cbb_WorkMode0.index = 1;
    const SerialP6SaveFrames save = EncodeSerialP6Save(panel, ParamMirror{});
    ASSERT_TRUE(save.status.ok()) << save.status.Message();
    ASSERT_EQ(save.frames.size(), 3U);
    for (const auto& [frame, code, length] :
         {std::tuple{save.frames[0], 0xBE, 70U}, std::tuple{save.frames[1], 0xBF, 66U}}) {
        ASSERT_EQ(frame.size(), length);
        EXPECT_EQ(frame[0], 0x55);
        EXPECT_EQ(frame[1], code);
        const Bytes block(frame.begin() + 2, frame.end() - 1);
        EXPECT_EQ(frame.back(), Sum(block)) << "checksum over the block bytes only";
    }
    // A few fields at their documented places, so the sums above are over a real block.
    EXPECT_EQ(Bytes(save.frames[0].begin() + 2 + 9, save.frames[0].begin() + 2 + 13),
              Hex("07 00 A8 C0"));
    EXPECT_EQ(Bytes(save.frames[1].begin() + 2 + 0, save.frames[1].begin() + 2 + 4),
              Hex("00 C2 01 00"));
    EXPECT_EQ(Bytes(save.frames[1].begin() + 2 + 12, save.frames[1].begin() + 2 + 16),
              Hex("B3 15 B3 15"));
}

TEST(EncodeSerialP6Save, AValueThatDoesNotConvertGivesNoFrameAndNamesTheControl) {
    struct Case {
        std::function<void(PanelP6&)> change;
        std::string control;
    };
    const Case cases[] = {
        {[](PanelP6& p) { p.edt_StaticIP = "10.0.7"; }, "edt_StaticIP"},
        {[](PanelP6& p) { p.edt_GatewayIP = "192.168.0"; }, "edt_GatewayIP"},
        {[](PanelP6& p) { p.edt_HTTPServerPort = "eighty"; }, "edt_HTTPServerPort"},
        // The port block fails after the base block encoded: still nothing at all.
        {[](PanelP6& p) { p.edt_LocalPort0 = "12a"; }, "edt_LocalPort0"},
        {[](PanelP6& p) { p.edt_RemotePort0 = ""; }, "edt_RemotePort0"},
    };
    const SerialRead read = ReadOverSerial(P6Reply(ModuleBaseBlock(), ModulePortBlock()));
    for (const Case& c : cases) {
        PanelP6 panel = read.panel;
        c.change(panel);
        const SerialP6SaveFrames save = EncodeSerialP6Save(panel, read.mirror);
        EXPECT_FALSE(save.status.ok()) << c.control;
        EXPECT_EQ(save.status.control, c.control);
        EXPECT_NE(save.status.Message().find(c.control), std::string::npos);
        EXPECT_TRUE(save.frames.empty()) << c.control;
        EXPECT_EQ(save.mirror, read.mirror) << c.control;
    }
}

// ---- Replies ----------------------------------------------------------------------------

TEST(HandleSerialReply, P6ReplyFillsTheMirrorAndReportsAsSerialP6) {
    ParamMirror mirror;
    mirror.cloud = {0x33};
    const ParamMirror before = mirror;
    RecordingSink sink;
    ASSERT_TRUE(HandleSerialReply(mirror, P6Reply(ModuleBaseBlock(), ModulePortBlock()), sink));
    ASSERT_EQ(sink.calls.size(), 1U);
    const Call& call = sink.calls[0];
    EXPECT_EQ(call.event, "base");
    EXPECT_EQ(call.base, test::ModuleBaseParam());
    EXPECT_EQ(call.ports, TarrComParam{test::ModulePortParam()});
    EXPECT_EQ(call.devFlag, DevFlagP6);
    EXPECT_TRUE(call.fromSerial);
    EXPECT_EQ(BytesOf(mirror.base), ModuleBaseBlock());
    EXPECT_EQ(BytesOf(mirror.port), ModulePortBlock());
    // Bytes 5 and 119 of the reply: byte 3 of the base block and byte 50 of the port block.
    EXPECT_EQ(mirror.SavedBaseFlags, 0xB5);
    EXPECT_EQ(mirror.SavedPortFlags, 0x8B);
    EXPECT_EQ(mirror.cloud, before.cloud);
    EXPECT_EQ(mirror.heartReg, before.heartReg);
}

TEST(HandleSerialReply, CloudAndHeartbeatReplyIsDecodedOnly) {
    Bytes reply = Pattern(SerCloudHeartReplyLen, 0x21);
    test::PutText(reply, 2, "ABCDEFGHIJ0123456789");
    test::PutText(reply, 22, "87654321");
    ParamMirror mirror;
    RecordingSink sink;
    ASSERT_TRUE(HandleSerialReply(mirror, reply, sink));
    ASSERT_EQ(sink.calls.size(), 2U);
    EXPECT_EQ(sink.calls[0].event, "cloud");
    EXPECT_EQ(sink.calls[0].clouds, (TarrCloudParam{{"ABCDEFGHIJ0123456789", "87654321"}}));
    EXPECT_EQ(sink.calls[1].event, "heart");
    EXPECT_EQ(sink.calls[1].heart, Bytes(reply.begin() + 30, reply.end()));
    for (const Call& call : sink.calls) {
        EXPECT_EQ(call.devFlag, DevFlagP6);
        EXPECT_TRUE(call.fromSerial);
    }
    EXPECT_EQ(mirror, ParamMirror{});
}

TEST(HandleSerialReply, OtherChunksTouchNothing) {
    for (const Bytes& chunk :
         {Bytes{}, Bytes{0x4B}, Bytes{0x4E}, Pattern(32, 1), Pattern(114, 2), Pattern(116, 3),
          Pattern(130, 4), Pattern(136, 5), Pattern(138, 6)}) {
        ParamMirror mirror;
        RecordingSink sink;
        EXPECT_FALSE(HandleSerialReply(mirror, chunk, sink)) << chunk.size();
        EXPECT_TRUE(sink.calls.empty()) << chunk.size();
        EXPECT_EQ(mirror, ParamMirror{}) << chunk.size();
    }
}

TEST(SerialP6RoundTrip, WhatASaveSendsReadsBackIntoTheSamePanelAndFrames) {
    // A module that stores the blocks of a save answers the next read with them.
    SerialRead first = ReadOverSerial(P6Reply(ModuleBaseBlock(), ModulePortBlock()));
    first.panel.edt_ModName = "Round";
    first.panel.edt_StaticIP = "10.0.0.9";
    first.panel.edt_LocalPort0 = "4001";
    first.panel.cbb_BaudRate0.SelectText("9600");
    first.panel.rzchckbx_Link = true;
    const SerialP6SaveFrames save = EncodeSerialP6Save(first.panel, first.mirror);
    ASSERT_TRUE(save.status.ok()) << save.status.Message();

    const Bytes base(save.frames[0].begin() + 2, save.frames[0].end() - 1);
    const Bytes port(save.frames[1].begin() + 2, save.frames[1].end() - 1);
    const SerialRead second = ReadOverSerial(P6Reply(base, port));
    EXPECT_EQ(second.panel.edt_ModName, "Round");
    EXPECT_EQ(second.panel.edt_StaticIP, "10.0.0.9");
    EXPECT_EQ(second.panel.edt_LocalPort0, "4001");
    EXPECT_EQ(second.panel.cbb_BaudRate0.ShownText(), "9600");
    EXPECT_TRUE(second.panel.rzchckbx_Link);
    const SerialP6SaveFrames again = EncodeSerialP6Save(second.panel, second.mirror);
    ASSERT_TRUE(again.status.ok()) << again.status.Message();
    EXPECT_EQ(again.frames, save.frames);
}

} // namespace
} // namespace r2
