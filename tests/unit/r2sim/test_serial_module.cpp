#include "protocol/block_codec.h"
#include "protocol/p5_codec.h"
#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"
#include "tools/r2sim/serial_module.h"
#include "tools/r2sim/sim_options.h"

#include <gtest/gtest.h>

namespace r2::sim {
namespace {

Bytes Hex(std::string_view text) {
    return *ParseHexBytes(text);
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

Bytes Sub(const Bytes& b, std::size_t offset, std::size_t length) {
    return {b.begin() + static_cast<std::ptrdiff_t>(offset),
            b.begin() + static_cast<std::ptrdiff_t>(offset + length)};
}

struct Seen {
    std::string action;
    std::string result;
    Bytes received;
    Bytes reply;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> Summary(const std::vector<SerialEvent>& events) {
    std::vector<Seen> seen;
    for (const SerialEvent& e : events) {
        seen.push_back({e.action, e.result, e.received, e.reply});
    }
    return seen;
}

// A module that takes every chunk at the same moment, so nothing expires.
struct Line {
    explicit Line(SerialModel model, SerialBehaviour behaviour = {})
        : module(model, DefaultSerialState(), behaviour) {}

    std::vector<SerialEvent> send(const Bytes& bytes) { return module.feed(bytes, 0); }
    Bytes reply(const Bytes& request) {
        const auto events = send(request);
        return events.size() == 1 ? events[0].reply : Bytes{};
    }

    SerialModule module;
};

const Bytes ReadP6 = BuildSerialReadRequest(DevFlagP6);
const Bytes ReadP5 = BuildSerialReadRequest(DevFlagP5);
const Bytes FollowUp = BuildSerialReadAck();
const Bytes SaveP6 = BuildSerialWriteClose();

struct RequestCase {
    const char* name;
    SerialModel model;
    SerialBehaviour behaviour;
    Bytes input;
    // Action, result and reply length of every frame found, in order.
    std::vector<std::tuple<std::string, std::string, std::size_t>> want;
};

class RequestTest : public testing::TestWithParam<RequestCase> {};

TEST_P(RequestTest, FramesAreFoundAndAnswered) {
    const RequestCase& c = GetParam();
    Line line(c.model, c.behaviour);
    std::vector<std::tuple<std::string, std::string, std::size_t>> got;
    for (const SerialEvent& e : line.send(c.input)) {
        got.emplace_back(e.action, e.result, e.reply.size());
    }
    EXPECT_EQ(got, c.want);
}

const SerialBehaviour Plain{};
const SerialBehaviour Silent{false, true};

INSTANTIATE_TEST_SUITE_P(
    Requests, RequestTest,
    testing::Values(
        RequestCase{"P6Read", SerialModel::P6, Plain, ReadP6, {{"read p6", "reply", 137}}},
        RequestCase{"P6FollowUp", SerialModel::P6, Plain, FollowUp, {{"follow-up", "reply", 115}}},
        RequestCase{"P5Read", SerialModel::P5, Plain, ReadP5, {{"read p5", "reply", 32}}},
        RequestCase{"P7Read", SerialModel::P7, Plain, ReadP5, {{"read p5", "reply", 32}}},
        RequestCase{"SaveWithNothingStaged",
                    SerialModel::P6,
                    Plain,
                    SaveP6,
                    {{"save p6", "K, nothing staged", 1}}},
        RequestCase{"P6IgnoresP5Read",
                    SerialModel::P6,
                    Plain,
                    ReadP5,
                    {{"read p5", "ignored: a P5/P7 command", 0}}},
        RequestCase{"P5IgnoresP6Commands",
                    SerialModel::P5,
                    Plain,
                    Cat({ReadP6, SaveP6, FollowUp}),
                    {{"read p6", "ignored: a P6 command", 0},
                     {"save p6", "ignored: a P6 command", 0},
                     {"follow-up", "ignored: a P6 command", 0}}},
        RequestCase{"SilentP6",
                    SerialModel::P6,
                    Silent,
                    Cat({ReadP6, FollowUp, SaveP6}),
                    {{"read p6", "ignored: silent", 0},
                     {"follow-up", "ignored: silent", 0},
                     {"save p6", "ignored: silent", 0}}},
        RequestCase{
            "SilentP5", SerialModel::P5, Silent, ReadP5, {{"read p5", "ignored: silent", 0}}},
        RequestCase{"GarbageBeforeAndBetween",
                    SerialModel::P6,
                    Plain,
                    Hex("01 02 55 99 03 55 BD 4E"),
                    {{"garbage", "dropped", 0},
                     {"garbage", "dropped", 0},
                     {"read p6", "reply", 137},
                     {"garbage", "dropped", 0}}},
        RequestCase{"SaveWithAWrongTail",
                    SerialModel::P6,
                    Plain,
                    Hex("55 B1 00 55 BD"),
                    {{"garbage", "dropped", 0}, {"read p6", "reply", 137}}},
        RequestCase{"ALoneHeadWaits", SerialModel::P6, Plain, Hex("55"), {}},
        RequestCase{"AnUnfinishedWriteWaits", SerialModel::P6, Plain, Hex("55 BE 01 02 03"), {}}),
    [](const testing::TestParamInfo<RequestCase>& c) { return c.param.name; });

TEST(SerialModuleTest, GarbageRunsEndAtTheNextHead) {
    Line line(SerialModel::P6);
    const auto seen = Summary(line.send(Hex("01 02 55 99 03 55 BD")));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].received, Hex("01 02"));
    EXPECT_EQ(seen[1].received, Hex("55 99 03"));
    EXPECT_EQ(seen[2].received, ReadP6);
}

TEST(SerialModuleTest, P6RepliesCarryTheFactoryBlocks) {
    Line line(SerialModel::P6);
    const Bytes read = line.reply(ReadP6);
    ASSERT_EQ(read.size(), SerP6ReplyLen);
    EXPECT_EQ(Sub(read, 0, 2), Hex("55 BD"));
    const TBaseParam base = DecodeBaseBlock(ByteView(read).subspan(2, BaseBlockLen));
    EXPECT_EQ(base.StaticIP, "192.168.0.7");
    EXPECT_EQ(base.ModName, "P6-0001");
    EXPECT_EQ(base.UserMAC, "02 52 32 06 00 01");
    const TPortParam port = DecodePortBlock(ByteView(read).subspan(2 + BaseBlockLen, PortBlockLen));
    EXPECT_EQ(port.BaudRate, 115200);
    EXPECT_EQ(port.RemoteIP, "192.168.0.201");
    EXPECT_EQ(Sub(read, 132, 5), Hex("E0 E1 E2 E3 E4"));

    const Bytes follow = line.reply(FollowUp);
    ASSERT_EQ(follow.size(), SerCloudHeartReplyLen);
    EXPECT_EQ(Sub(follow, 0, 2), Hex("55 C1"));
    const TCloudParam cloud = DecodeCloudBlock(follow);
    EXPECT_EQ(cloud.DeviceId, "R2ID0252320600010000");
    EXPECT_EQ(cloud.CommPassword, "12345678");
    const HeartRegFields heart =
        DecodeHeartRegBlock(ByteView(follow).subspan(30, HeartRegBlockLen));
    EXPECT_EQ(heart.heartTime, 60u);
    EXPECT_EQ(heart.heartData, "HEART");
    EXPECT_EQ(heart.regData, "REGISTER");
}

TEST(SerialModuleTest, P5ReplyDecodesToTheFactorySettings) {
    Line line(SerialModel::P5);
    const Bytes reply = line.reply(ReadP5);
    PanelP5 panel;
    ASSERT_TRUE(DecodeP5Reply(reply, panel));
    EXPECT_EQ(panel.edt_DeIP, "192.168.0.201");
    EXPECT_EQ(panel.edt_DePort, "8234");
    EXPECT_EQ(panel.edt_ModuleIP, "192.168.0.7");
    EXPECT_EQ(panel.edt_ModulePort, "20108");
    EXPECT_EQ(panel.edt_Gateway, "192.168.0.1");
    EXPECT_EQ(panel.edt_Mask, "255.255.255.0");
    EXPECT_EQ(panel.cbb_ModuleWork.index, 1);
    EXPECT_EQ(panel.cbb_BaudRate.ShownText(), "115200");
    EXPECT_EQ(panel.cbb_D.index, 3);
    EXPECT_EQ(panel.cbb_P.index, 0);
    EXPECT_EQ(panel.cbb_S.index, 0);
    EXPECT_EQ(panel.edt_ID, "1");
    EXPECT_FALSE(panel.chk_RS485);
    EXPECT_NE(reply[30], 0) << "the further byte must take part in the sum";
}

TEST(SerialModuleTest, BadChecksumSpoilsOnlyTheP5Reply) {
    Line good(SerialModel::P7);
    Line bad(SerialModel::P7, {true, false});
    const Bytes right = good.reply(ReadP5);
    const auto events = bad.send(ReadP5);
    ASSERT_EQ(events.size(), 1u);
    const Bytes& wrong = events[0].reply;
    EXPECT_EQ(events[0].result, "reply with a wrong checksum");
    ASSERT_EQ(wrong.size(), right.size());
    EXPECT_EQ(Sub(wrong, 0, 31), Sub(right, 0, 31));
    EXPECT_NE(wrong[31], right[31]);
    PanelP5 panel;
    EXPECT_FALSE(DecodeP5Reply(wrong, panel));

    Line p6(SerialModel::P6);
    Line p6Bad(SerialModel::P6, {true, false});
    EXPECT_EQ(p6Bad.reply(ReadP6), p6.reply(ReadP6));
    EXPECT_EQ(p6Bad.reply(SaveP6), Bytes{'K'});
}

TEST(SerialModuleTest, P6SaveIsStagedUntilTheCloseAndThenReadBack) {
    Line line(SerialModel::P6);
    const Bytes original = line.reply(ReadP6);
    Bytes base = Sub(original, 2, BaseBlockLen);
    Bytes port = Sub(original, 2 + BaseBlockLen, PortBlockLen);
    TextToField("renamed", ByteField(base).subspan(21, 16));
    port[0] = 0x80; // 9600 baud
    port[1] = 0x25;
    port[2] = 0x00;

    EXPECT_EQ(Summary(line.send(BuildSerialBaseWrite(base.data()))),
              (std::vector<Seen>{{"write base", "staged", BuildSerialBaseWrite(base.data()), {}}}));
    EXPECT_EQ(line.send(BuildSerialPortWrite(port.data()))[0].result, "staged");
    EXPECT_EQ(line.reply(ReadP6), original) << "nothing is stored before the close";

    const auto saved = line.send(SaveP6);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].result, "K, stored base port");
    EXPECT_EQ(saved[0].reply, Bytes{0x4B});
    const Bytes after = line.reply(ReadP6);
    EXPECT_EQ(Sub(after, 2, BaseBlockLen), base);
    EXPECT_EQ(Sub(after, 2 + BaseBlockLen, PortBlockLen), port);
    EXPECT_EQ(Sub(after, 132, 5), Sub(original, 132, 5));
}

TEST(SerialModuleTest, AWrongSumSpoilsTheWholeSaveButNotTheNext) {
    Line line(SerialModel::P6);
    const Bytes original = line.reply(ReadP6);
    Bytes base = Sub(original, 2, BaseBlockLen);
    base[21] = 'X';
    const Bytes port = Sub(original, 2 + BaseBlockLen, PortBlockLen);
    Bytes badPort = BuildSerialPortWrite(port.data());
    badPort.back() = static_cast<std::uint8_t>(badPort.back() + 1);

    line.send(BuildSerialBaseWrite(base.data()));
    const auto refused = line.send(badPort);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].action, "write port");
    EXPECT_EQ(refused[0].result.rfind("check error: sum ", 0), 0u) << refused[0].result;
    EXPECT_TRUE(refused[0].reply.empty());
    const auto save = line.send(SaveP6);
    ASSERT_EQ(save.size(), 1u);
    EXPECT_EQ(save[0].result, "ignored: a write of this save had a check error");
    EXPECT_TRUE(save[0].reply.empty()) << "no 'K' for a save that was not taken whole";
    EXPECT_EQ(line.reply(ReadP6), original) << "the good base write went with the bad one";

    line.send(BuildSerialBaseWrite(base.data()));
    EXPECT_EQ(line.reply(SaveP6), Bytes{'K'});
    EXPECT_EQ(Sub(line.reply(ReadP6), 2, BaseBlockLen), base);
}

TEST(SerialModuleTest, P5FrameFromThePanelIsStoredAndReadBack) {
    // A frame the core builds from a panel, with a known byte image.
    const Bytes frame = Hex("55 BA C9 00 A8 C0 2A 20 07 00 A8 C0 8C 4E C9 00 A8 C0 01 00 C2 01 03 "
                            "00 00 00 00 FF FF FF B9");
    for (const SerialModel model : {SerialModel::P5, SerialModel::P7}) {
        SCOPED_TRACE(std::string(SerialModelName(model)));
        Line line(model);
        const auto events = line.send(frame);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].action, "write p5");
        EXPECT_EQ(events[0].reply, Bytes{'K'});
        const Bytes reply = line.reply(ReadP5);
        EXPECT_EQ(Sub(reply, 2, 28), Sub(frame, 2, 28));

        PanelP5 panel;
        panel.edt_ID = "258";
        panel.chk_RS485 = true;
        panel.cbb_P.Select(2);
        const P5FrameResult built = EncodeP5Frame(panel);
        ASSERT_TRUE(built.status.ok());
        EXPECT_EQ(line.reply(built.frame), Bytes{'K'});
        PanelP5 back;
        ASSERT_TRUE(DecodeP5Reply(line.reply(ReadP5), back));
        EXPECT_EQ(back.edt_ID, "258");
        EXPECT_TRUE(back.chk_RS485);
        EXPECT_EQ(back.cbb_P.index, 2);
    }
}

TEST(SerialModuleTest, P5FrameWithAWrongSumIsNotStored) {
    Line line(SerialModel::P5);
    const Bytes before = line.reply(ReadP5);
    Bytes frame = Cat({Hex("55 BA"), Bytes(28, 0x11)});
    frame.push_back(static_cast<std::uint8_t>(28 * 0x11 + 1));
    const auto events = line.send(frame);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].result, "check error: sum DD, expected DC");
    EXPECT_TRUE(events[0].reply.empty());
    EXPECT_EQ(line.reply(ReadP5), before);
}

// However the line cuts a stream of frames into reads, the module finds the same frames.
TEST(SerialModuleTest, SplitAndJoinedInputGiveTheSameFrames) {
    const Bytes base = DefaultSerialState().base;
    const Bytes stream =
        Cat({Hex("7E"), ReadP6, BuildSerialBaseWrite(base.data()), FollowUp, SaveP6, ReadP6});
    Line whole(SerialModel::P6);
    const auto expected = Summary(whole.send(stream));
    ASSERT_EQ(expected.size(), 6u);
    EXPECT_EQ(expected[0].action, "garbage");
    EXPECT_EQ(expected[4].result, "K, stored base");
    for (std::size_t cut = 1; cut < stream.size(); ++cut) {
        for (std::size_t second = cut; second < stream.size(); second += 37) {
            SCOPED_TRACE("cuts at " + std::to_string(cut) + " and " + std::to_string(second));
            Line line(SerialModel::P6);
            auto seen = Summary(line.send(Sub(stream, 0, cut)));
            for (const auto& part :
                 {Sub(stream, cut, second - cut), Sub(stream, second, stream.size() - second)}) {
                const auto more = Summary(line.send(part));
                seen.insert(seen.end(), more.begin(), more.end());
            }
            ASSERT_EQ(seen, expected);
        }
    }
}

TEST(SerialModuleTest, AnUnfinishedFrameIsDroppedAfterItsWait) {
    SerialModule module(SerialModel::P6, DefaultSerialState());
    EXPECT_FALSE(module.deadline());
    EXPECT_TRUE(module.feed(Hex("55 BE 01 02"), 1000).empty());
    ASSERT_TRUE(module.deadline());
    EXPECT_EQ(*module.deadline(), 1000 + IncompleteFrameMs);
    EXPECT_TRUE(module.expire(1000 + IncompleteFrameMs - 1).empty());

    // Still within the wait: the request is taken as part of the write's block.
    SerialModule joined(SerialModel::P6, DefaultSerialState());
    joined.feed(Hex("55 BE 01 02"), 1000);
    EXPECT_TRUE(joined.feed(ReadP6, 1100).empty());

    // After it: the stale start is dropped first and the request answered.
    const auto seen = Summary(module.feed(ReadP6, 1000 + IncompleteFrameMs));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].action, "garbage");
    EXPECT_EQ(seen[0].result, "dropped: incomplete frame");
    EXPECT_EQ(seen[0].received, Hex("55 BE 01 02"));
    EXPECT_EQ(seen[1].action, "read p6");
    EXPECT_EQ(seen[1].reply.size(), SerP6ReplyLen);
    EXPECT_FALSE(module.deadline());
}

} // namespace
} // namespace r2::sim
