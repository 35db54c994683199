#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"
#include "sim_test_module.h"
#include "tools/r2sim/default_blocks.h"
#include "tools/r2sim/sim_module.h"

#include <gtest/gtest.h>

namespace r2::sim {
namespace {

using test::Frame;

constexpr std::uint16_t P6Port = CfgPortP6;
constexpr std::uint16_t P7Port = CfgPortP7;

ModuleConfig Config(Model model) {
    ModuleConfig c;
    c.model = model;
    c.mac = test::Mac;
    c.ip = "192.168.0.7";
    c.name = "unit";
    c.version = 4017;
    c.searchPort = model == Model::P7 ? P7Port : P6Port;
    c.factoryBlocks = DefaultBlocks({model, c.mac, c.ip, c.name, c.user, c.password});
    return c;
}

Bytes WithBadSum(Bytes frame) {
    frame.back() = static_cast<std::uint8_t>(frame.back() + 1);
    return frame;
}

Bytes Ack(std::uint8_t command, char result) {
    return {0xFF, 0x01, command, static_cast<std::uint8_t>(result)};
}

struct CommandCase {
    const char* name;
    Model model;
    Bytes frame;
    std::uint16_t port;
    std::string result;
    std::vector<Bytes> replies;
};

class AnswerTest : public testing::TestWithParam<CommandCase> {};

TEST_P(AnswerTest, AnswersAsAModuleWould) {
    const CommandCase& c = GetParam();
    SimModule module(Config(c.model));
    const Answer a = module.answerCommand(c.frame, c.port);
    EXPECT_EQ(a.result, c.result);
    std::vector<Bytes> got;
    for (const Reply& r : a.replies) {
        EXPECT_EQ(r.fromPort, c.port) << "an answer leaves from the port the frame came in on";
        got.push_back(r.bytes);
    }
    EXPECT_EQ(got, c.replies);
}

const Bytes ReadFrame = Frame(CmdRead);

INSTANTIATE_TEST_SUITE_P(
    Commands, AnswerTest,
    testing::Values(
        CommandCase{"P6Restart", Model::P6, Frame(CmdRestart), P6Port, "K", {Ack(CmdRestart, 'K')}},
        CommandCase{
            "P6RestartOn1901", Model::P6, Frame(CmdRestart), P7Port, "ignored: wrong port", {}},
        CommandCase{
            "P7RestartOn1500", Model::P7, Frame(CmdRestart), P6Port, "K", {Ack(CmdRestart, 'K')}},
        CommandCase{"P7ReadOn1500", Model::P7, ReadFrame, P6Port, "ignored: wrong port", {}},
        CommandCase{"P7ResetOn1901",
                    Model::P7,
                    Frame(CmdFactoryReset),
                    P7Port,
                    "K",
                    {Ack(CmdFactoryReset, 'K')}},
        CommandCase{"BadChecksum",
                    Model::P6,
                    WithBadSum(ReadFrame),
                    P6Port,
                    "check error",
                    {{'E', ReadFrame.back()}}},
        CommandCase{"WrongPassword",
                    Model::P6,
                    Frame(CmdRead, {}, "tulips"),
                    P6Port,
                    "P",
                    {Ack(CmdRead, 'P')}},
        CommandCase{"ShortModbusWrite",
                    Model::P6,
                    Frame(CmdWriteModbus, Bytes(2)),
                    P6Port,
                    "E: block length 2",
                    {Ack(CmdWriteModbus, 'E')}},
        CommandCase{"ShortBaseWrite",
                    Model::P6,
                    Frame(CmdWriteBase, Bytes(66)),
                    P6Port,
                    "E: block length 66",
                    {Ack(CmdWriteBase, 'E')}},
        CommandCase{"P7CloudWrite",
                    Model::P7,
                    Frame(CmdWriteCloud, Bytes(50)),
                    P7Port,
                    "E: not a P7 block",
                    {Ack(CmdWriteCloud, 'E')}},
        CommandCase{"P6WriteEnd",
                    Model::P6,
                    Frame(CmdWriteEnd),
                    P6Port,
                    "E: no write end here",
                    {Ack(CmdWriteEnd, 'E')}},
        CommandCase{
            "P7WriteEnd", Model::P7, Frame(CmdWriteEnd), P7Port, "K", {Ack(CmdWriteEnd, 'K')}},
        CommandCase{"UnknownCommand",
                    Model::P6,
                    Frame(0x7F),
                    P6Port,
                    "E: unknown command",
                    {Ack(0x7F, 'E')}}),
    [](const testing::TestParamInfo<CommandCase>& c) { return c.param.name; });

std::vector<std::size_t> ReplyLengths(const Answer& a) {
    std::vector<std::size_t> lengths;
    for (const Reply& r : a.replies) {
        lengths.push_back(r.bytes.size());
    }
    return lengths;
}

TEST(SimModuleTest, ReadSendsEveryBlockInOrder) {
    SimModule p6(Config(Model::P6));
    EXPECT_EQ(ReplyLengths(p6.answerCommand(ReadFrame, P6Port)),
              (std::vector<std::size_t>{130, 50, 85, 302, 87, 4}));
    SimModule p7(Config(Model::P7));
    EXPECT_EQ(ReplyLengths(p7.answerCommand(ReadFrame, P7Port)), (std::vector<std::size_t>{130}));
}

TEST(SimModuleTest, WritesAreReadBackAndFactoryResetRestores) {
    SimModule m(Config(Model::P6));
    const Bytes before = m.answerCommand(ReadFrame, P6Port).replies[0].bytes;
    Bytes base(BaseBlockLen, 0x33);
    ASSERT_EQ(m.answerCommand(Frame(CmdWriteBase, base), P6Port).result, "K");
    ASSERT_EQ(m.answerCommand(Frame(CmdWriteModbus, Bytes{0x00}), P6Port).result, "K");
    const Answer after = m.answerCommand(ReadFrame, P6Port);
    EXPECT_EQ(Bytes(after.replies[0].bytes.begin(), after.replies[0].bytes.begin() + 67), base);
    EXPECT_EQ(after.replies.back().bytes, Bytes{0x00}) << "the 1-byte form replaces the 4-byte";

    ASSERT_EQ(m.answerCommand(Frame(CmdFactoryReset), P6Port).result, "K");
    const Answer reset = m.answerCommand(ReadFrame, P6Port);
    EXPECT_EQ(reset.replies[0].bytes, before);
    EXPECT_EQ(reset.replies.back().bytes.size(), 4u);
}

TEST(SimModuleTest, HttpdWritesFillTheirHalfOfTheReply) {
    ModuleConfig c = Config(Model::P6);
    c.factoryBlocks[static_cast<std::size_t>(BlockId::Httpd)].reset();
    SimModule m(c);
    Bytes head(HttpdHeadBlockLen, 0x48);
    ASSERT_EQ(m.answerCommand(Frame(CmdWriteHttpdHead, head), P6Port).result, "K");
    const Bytes& httpd = *m.blocks()[static_cast<std::size_t>(BlockId::Httpd)];
    ASSERT_EQ(httpd.size(), HttpdReplyLen);
    EXPECT_EQ(Bytes(httpd.begin(), httpd.begin() + 101), Bytes(101, 0));
    EXPECT_EQ(Bytes(httpd.begin() + 101, httpd.end()), head);
}

TEST(SimModuleTest, RawRepliesComeBeforeTheLoginCheckAndChangeNothing) {
    ModuleConfig c = Config(Model::P6);
    c.rawReplies["write"] = {Bytes{}, Bytes{0x45, 0x01}};
    SimModule m(c);
    const Answer a = m.answerCommand(Frame(CmdWriteBase, Bytes(67), "nope"), P6Port);
    EXPECT_EQ(a.result, "raw");
    EXPECT_EQ(ReplyLengths(a), (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(m.blocks(), c.factoryBlocks);
}

TEST(SimModuleTest, SearchReplyFromTheModelsPort) {
    SimModule p7(Config(Model::P7));
    const Answer a = p7.answerSearch(P6Port);
    ASSERT_EQ(a.replies.size(), 1u);
    EXPECT_EQ(a.replies[0].fromPort, P7Port);
    const auto decoded = DecodeSearchReply(a.replies[0].bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, (SearchReply{"192.168.0.7", "unit", "02 52 32 06 00 01", 4017}));
    EXPECT_TRUE(p7.answerSearch(P7Port).replies.empty()) << "the search goes to port 1500 only";

    ModuleConfig silent = Config(Model::P6);
    silent.silent = true;
    EXPECT_EQ(SimModule(silent).answerSearch(P6Port).result, "ignored: silent");
}

TEST(SimModuleTest, FrameMacNeedsAConsistentLengthByte) {
    const Bytes good = Frame(CmdRead);
    EXPECT_EQ(FrameMac(good), (MacBytes{0x02, 0x52, 0x32, 0x06, 0x00, 0x01}));
    Bytes longer = good;
    longer.push_back(0);
    EXPECT_FALSE(FrameMac(longer));
    EXPECT_FALSE(FrameMac(Bytes(good.begin(), good.begin() + 21)));
    EXPECT_FALSE(FrameMac(BuildSearchRequest()));
    SimModule m(Config(Model::P6));
    EXPECT_EQ(m.answerCommand(BuildSearchRequest(), P6Port).result, "ignored: not a command frame");
}

} // namespace
} // namespace r2::sim
