#include "protocol/Unit_ProFun.h"
#include "sim_test_module.h"
#include "tools/r2sim/boot_loader.h"
#include "tools/r2sim/sim_options.h"

#include <gtest/gtest.h>

namespace r2::sim {
namespace {

using test::Mac;
constexpr std::uint32_t ServerIp = 0xC0A8000A; // 192.168.0.10
constexpr std::uint32_t ModuleIp = 0xC0A80014; // 192.168.0.20
constexpr std::uint16_t ServerTransferPort = 40300;

Bytes WakeUp(const MacBytes& mac) {
    Bytes b(6, 0xAA);
    for (int i = 0; i < 4; ++i) {
        b.insert(b.end(), mac.begin(), mac.end());
    }
    return b;
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) {
        b[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    }
}

// The reply a boot server makes of a request.
Bytes ReplyTo(Bytes request) {
    request[0] = 2;
    Put32(request, 16, ModuleIp);
    Put32(request, 20, ServerIp);
    const std::string_view name = "firmware.bin";
    std::copy(name.begin(), name.end(), request.begin() + 108);
    return request;
}

Bytes Block(std::uint16_t n, std::size_t length, std::uint8_t fill) {
    Bytes b = {0, 3, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
    b.resize(4 + length, fill);
    return b;
}

Bytes Ack(std::uint16_t n) {
    return {0, 4, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
}

// What left (or was withheld), in order: "ack 1", "lost ack 2", ...
std::vector<std::string> Actions(const BootStep& step) {
    std::vector<std::string> actions;
    for (const BootDatagram& d : step.out) {
        actions.push_back(d.action);
    }
    return actions;
}

// A boot loader driven through wake-up, boot request and boot reply.
struct Bench {
    explicit Bench(BootLoaderConfig config = {}) : loader(withMac(std::move(config))) {}

    static BootLoaderConfig withMac(BootLoaderConfig config) {
        config.mac = Mac;
        return config;
    }
    BootStep wake(double now = 0) {
        return loader.receive(WakeUpPort, ServerIp, 9, WakeUp(Mac), now);
    }
    BootStep reply(const Bytes& bytes) {
        return loader.receive(BootClientPort, ServerIp, BootServerPort, bytes, 0);
    }
    // Woken up and answered: the read request is out.
    BootStep ready() {
        const BootStep woken = wake();
        return reply(ReplyTo(woken.out.at(0).bytes));
    }
    BootStep block(std::uint16_t n, std::size_t length, std::uint8_t fill = 0x5A) {
        return loader.receive(ModuleTransferPort, ServerIp, ServerTransferPort,
                              Block(n, length, fill), 0);
    }

    BootLoader loader;
};

struct WakeUpCase {
    const char* name;
    Bytes packet;
    const char* result;
};

class WakeUpTest : public testing::TestWithParam<WakeUpCase> {};

TEST_P(WakeUpTest, OnlyOurOwnStartsTheBootLoader) {
    const WakeUpCase& c = GetParam();
    BootLoader loader(Bench::withMac({}));
    const BootStep step = loader.receive(WakeUpPort, ServerIp, 9, c.packet, 0);
    EXPECT_EQ(step.action, "wake-up");
    EXPECT_EQ(step.result, c.result);
    const bool ours = std::string_view(c.result).starts_with("for us");
    EXPECT_EQ(Actions(step),
              ours ? std::vector<std::string>{"boot request"} : std::vector<std::string>{});
    EXPECT_EQ(loader.deadline().has_value(), ours);
}

Bytes Resized(Bytes b, std::size_t length) {
    b.resize(length, 0x02);
    return b;
}

Bytes Changed(Bytes b, std::size_t at, std::uint8_t value) {
    b[at] = value;
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Packets, WakeUpTest,
    testing::Values(
        WakeUpCase{"Ours", WakeUp(Mac), "for us: restarting into the boot loader"},
        WakeUpCase{"OtherMac", WakeUp({0x02, 0x52, 0x32, 0x06, 0x00, 0x02}),
                   "ignored: for 02 52 32 06 00 02"},
        WakeUpCase{"Short", Resized(WakeUp(Mac), 29), "ignored: 29 bytes, not 30"},
        WakeUpCase{"Long", Resized(WakeUp(Mac), 31), "ignored: 31 bytes, not 30"},
        WakeUpCase{"NoFill", Changed(WakeUp(Mac), 5, 0xAB), "ignored: does not start with six AA"},
        WakeUpCase{"MacsDiffer", Changed(WakeUp(Mac), 29, 0x02), "ignored: the four MACs differ"}),
    [](const testing::TestParamInfo<WakeUpCase>& c) { return c.param.name; });

TEST(BootRequestTest, CarriesIdentityByte26AndMacAndRepeatsUntilAReply) {
    BootLoaderConfig config;
    config.identity = {0xA1, 0xB2, 0xC3, 0xD4};
    config.giaddrByte26 = 9;
    config.retryMs = 250;
    Bench bench(config);
    const BootStep woken = bench.wake(1000);
    ASSERT_EQ(woken.out.size(), 1u);
    const BootDatagram& d = woken.out[0];
    EXPECT_EQ(d.fromPort, BootClientPort);
    EXPECT_EQ(d.toIp, 0xFFFFFFFFU);
    EXPECT_EQ(d.toPort, BootServerPort);
    const Bytes& r = d.bytes;
    ASSERT_EQ(r.size(), 300u);
    EXPECT_EQ(Bytes(r.begin(), r.begin() + 4), (Bytes{1, 1, 6, 0}));
    EXPECT_EQ(Bytes(r.begin() + 28, r.begin() + 34), Bytes(Mac.begin(), Mac.end()));
    EXPECT_EQ(Bytes(r.begin() + 44, r.begin() + 48), (Bytes{0xA1, 0xB2, 0xC3, 0xD4}));
    Bytes zeroed = r;
    for (const std::size_t at : {0, 1, 2, 4, 5, 6, 7, 26, 28, 29, 30, 31, 32, 33, 44, 45, 46, 47}) {
        zeroed[at] = 0;
    }
    EXPECT_EQ(r[26], 9);
    EXPECT_EQ(zeroed, Bytes(300, 0)) << "everything else is zero, flags included";

    EXPECT_EQ(bench.loader.deadline(), 1250);
    EXPECT_TRUE(bench.loader.expire(1249).out.empty());
    const BootStep again = bench.loader.expire(1250);
    ASSERT_EQ(Actions(again), std::vector<std::string>{"boot request"});
    EXPECT_EQ(again.out[0].bytes, r) << "the same transaction until a reply";
    EXPECT_EQ(bench.loader.deadline(), 1500);

    bench.reply(ReplyTo(r));
    EXPECT_FALSE(bench.loader.deadline()) << "no more requests after a reply";
    const BootStep rewoken = bench.wake(2000);
    EXPECT_NE(Bytes(rewoken.out[0].bytes.begin() + 4, rewoken.out[0].bytes.begin() + 8),
              Bytes(r.begin() + 4, r.begin() + 8))
        << "a new wake-up, a new transaction";
}

struct ReplyCase {
    const char* name;
    std::size_t at; // where value is written into the good reply
    Bytes value;
    std::size_t length;
    const char* result; // the start of the result
};

class BootReplyTest : public testing::TestWithParam<ReplyCase> {};

TEST_P(BootReplyTest, IsCheckedBeforeTheReadRequest) {
    const ReplyCase& c = GetParam();
    Bench bench;
    Bytes reply = ReplyTo(bench.wake().out.at(0).bytes);
    std::copy(c.value.begin(), c.value.end(), reply.begin() + static_cast<long>(c.at));
    reply.resize(c.length);
    const BootStep step = bench.reply(reply);
    EXPECT_EQ(step.action, "boot reply");
    EXPECT_TRUE(step.result.starts_with(c.result)) << step.result;
    const bool taken = std::string_view(c.result).starts_with("taken");
    EXPECT_EQ(Actions(step),
              taken ? std::vector<std::string>{"read request"} : std::vector<std::string>{});
    EXPECT_EQ(bench.loader.deadline().has_value(), !taken) << "requests go on until taken";
}

INSTANTIATE_TEST_SUITE_P(
    Replies, BootReplyTest,
    testing::Values(
        ReplyCase{"Good",
                  0,
                  {},
                  300,
                  "taken: op 2, our transaction and MAC, yiaddr 192.168.0.20, siaddr "
                  "192.168.0.10, file firmware.bin"},
        ReplyCase{"Short", 0, {}, 299, "ignored: 299 bytes, not 300"},
        ReplyCase{"Long", 0, {}, 301, "ignored: 301 bytes, not 300"},
        ReplyCase{"OpRequest", 0, {1}, 300, "ignored: op 1, not 2"},
        ReplyCase{"OtherTransaction", 7, {0xEE}, 300, "ignored: another transaction id"},
        ReplyCase{"OtherMac", 33, {0x02}, 300, "ignored: chaddr is not our MAC"},
        ReplyCase{
            "NoYiaddr", 16, {0, 0, 0, 0}, 300, "ignored: yiaddr 0.0.0.0, siaddr 192.168.0.10"},
        ReplyCase{
            "NoSiaddr", 20, {0, 0, 0, 0}, 300, "ignored: yiaddr 192.168.0.20, siaddr 0.0.0.0"},
        ReplyCase{"NoFile", 108, {'F'}, 300, "ignored: no \"firmware.bin\" at offset 108"},
        ReplyCase{"FileEnd", 119, {'m'}, 300, "ignored: no \"firmware.bin\""}),
    [](const testing::TestParamInfo<ReplyCase>& c) { return c.param.name; });

TEST(BootReplyTest, ReadRequestGoesToSiaddrFromYiaddrOnce) {
    Bench bench;
    EXPECT_EQ(bench.reply(ReplyTo(Bytes(300, 0))).result, "ignored: not waiting for a boot reply")
        << "no wake-up yet";
    const Bytes request = bench.wake().out.at(0).bytes;
    const BootStep step = bench.reply(ReplyTo(request));
    ASSERT_EQ(step.out.size(), 1u);
    const BootDatagram& d = step.out[0];
    const std::string_view want("\0\1firmware.bin\0octet\0", 21);
    EXPECT_EQ(d.bytes, Bytes(want.begin(), want.end()));
    EXPECT_EQ(d.fromPort, ModuleTransferPort);
    EXPECT_EQ(d.toIp, ServerIp);
    EXPECT_EQ(d.toPort, ReadRequestPort);
    EXPECT_EQ(d.sourceIp, ModuleIp);
    EXPECT_TRUE(bench.loader.wantsTransferPort());

    // A server answers every request it got, so a reply may come twice.
    const BootStep again = bench.reply(ReplyTo(request));
    EXPECT_EQ(again.result, "ignored: not waiting for a boot reply");
    EXPECT_TRUE(again.out.empty()) << "a second read request would restart the transfer";
}

TEST(BootReplyTest, OptionsForTheReadRequest) {
    BootLoaderConfig stop;
    stop.stopBeforeRead = true;
    Bench stopped(stop);
    const BootStep s = stopped.ready();
    EXPECT_TRUE(s.out.empty());
    EXPECT_TRUE(s.result.ends_with("; no read request (--stop-before-read)"));
    EXPECT_FALSE(stopped.loader.wantsTransferPort()) << "another client may take port 13633";
    EXPECT_FALSE(stopped.loader.deadline());

    BootLoaderConfig other;
    other.readFromIp = 0xC0A80007;
    Bench elsewhere(other);
    EXPECT_EQ(elsewhere.ready().out.at(0).sourceIp, 0xC0A80007U);
}

TEST(DataTest, BlocksInOrderRepeatsAndTheFinalBlock) {
    Bench bench;
    EXPECT_EQ(bench.block(1, 512).result, "ignored: no read request sent");
    bench.ready();
    struct Step {
        std::uint16_t block;
        std::size_t length;
        std::uint8_t fill;
        const char* action;
        const char* result;
        std::vector<std::string> out;
    };
    const Step steps[] = {
        {2, 512, 0x22, "data 2", "ignored: expecting block 1", {}},
        {1, 512, 0x11, "data 1", "512 bytes written", {"ack 1"}},
        {1, 512, 0x99, "data 1", "repeated, not written", {"ack 1"}},
        {3, 512, 0x33, "data 3", "ignored: expecting block 2", {}},
        {2, 512, 0x22, "data 2", "512 bytes written", {"ack 2"}},
        {3, 7, 0x33, "data 3", "7 bytes written; final block, image of 1031 bytes", {"ack 3"}},
        {3, 7, 0x33, "data 3", "repeated, not written", {"ack 3"}},
        {4, 0, 0, "data 4", "ignored: the transfer has ended", {}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.action);
        const BootStep step = bench.block(s.block, s.length, s.fill);
        EXPECT_EQ(step.action, s.action);
        EXPECT_EQ(step.result, s.result);
        EXPECT_EQ(Actions(step), s.out);
        for (const BootDatagram& d : step.out) {
            EXPECT_EQ(d.bytes, Ack(s.block));
            EXPECT_EQ(d.fromPort, ModuleTransferPort);
            EXPECT_EQ(d.toIp, ServerIp);
            EXPECT_EQ(d.toPort, ServerTransferPort) << "to the port the data came from";
            EXPECT_EQ(d.sourceIp, ModuleIp);
        }
    }
    Bytes want(512, 0x11);
    want.resize(1024, 0x22);
    want.resize(1031, 0x33);
    EXPECT_EQ(bench.loader.image(), want);
    EXPECT_TRUE(bench.loader.transferDone());
}

TEST(DataTest, AnEmptyFinalBlockAndDatagramsThatAreNoBlocks) {
    Bench bench;
    bench.ready();
    const auto send = [&bench](Bytes bytes) {
        return bench.loader.receive(ModuleTransferPort, ServerIp, ServerTransferPort, bytes, 0)
            .result;
    };
    EXPECT_EQ(send({0, 3, 0}), "ignored: not a data block");
    EXPECT_EQ(send(Ack(1)), "ignored: not a data block");
    EXPECT_EQ(send({0, 5, 0, 1, 'x', 0}), "ignored: not a data block");
    EXPECT_EQ(send(Block(1, 513, 0)), "ignored: 513 bytes of data, more than a block");
    EXPECT_FALSE(bench.loader.transferDone());
    EXPECT_EQ(bench.block(1, 0).result, "0 bytes written; final block, image of 0 bytes");
    EXPECT_TRUE(bench.loader.transferDone());
}

TEST(DataTest, AWakeUpStartsAfresh) {
    Bench bench;
    bench.ready();
    bench.block(1, 512);
    const int generation = bench.loader.generation();
    bench.wake();
    EXPECT_FALSE(bench.loader.wantsTransferPort());
    EXPECT_TRUE(bench.loader.image().empty());
    EXPECT_EQ(bench.block(2, 512).result, "ignored: no read request sent");
    bench.reply(ReplyTo(bench.wake().out.at(0).bytes));
    EXPECT_EQ(bench.loader.generation(), generation + 1);
    EXPECT_EQ(bench.block(1, 3).result, "3 bytes written; final block, image of 3 bytes");
}

struct AckOptionCase {
    const char* name;
    std::vector<std::uint16_t> loseAcks;
    std::vector<std::uint16_t> duplicateAcks;
    bool noFinalAck;
    // What each of: block 1, block 2, block 2 again, block 3 (final), block 3 again gives.
    std::vector<std::vector<std::string>> out;
};

class AckOptionTest : public testing::TestWithParam<AckOptionCase> {};

TEST_P(AckOptionTest, WithholdsOrRepeatsAcknowledgements) {
    const AckOptionCase& c = GetParam();
    BootLoaderConfig config;
    config.loseAcks = c.loseAcks;
    config.duplicateAcks = c.duplicateAcks;
    config.noFinalAck = c.noFinalAck;
    Bench bench(config);
    bench.ready();
    const std::pair<std::uint16_t, std::size_t> sends[] = {
        {1, 512}, {2, 512}, {2, 512}, {3, 10}, {3, 10}};
    std::vector<std::vector<std::string>> out;
    for (const auto& [n, length] : sends) {
        const BootStep step = bench.block(n, length);
        out.push_back(Actions(step));
        for (const BootDatagram& d : step.out) {
            EXPECT_EQ(d.sent, !d.action.starts_with("lost ")) << d.action;
            EXPECT_EQ(d.bytes, Ack(n)) << "a withheld ack is logged with its bytes";
        }
    }
    EXPECT_EQ(out, c.out);
    EXPECT_EQ(bench.loader.image().size(), 1034u);
}

using V = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    Options, AckOptionTest,
    testing::Values(
        AckOptionCase{
            "None", {}, {}, false, {V{"ack 1"}, V{"ack 2"}, V{"ack 2"}, V{"ack 3"}, V{"ack 3"}}},
        AckOptionCase{"LoseOnce",
                      {2},
                      {},
                      false,
                      {V{"ack 1"}, V{"lost ack 2"}, V{"ack 2"}, V{"ack 3"}, V{"ack 3"}}},
        AckOptionCase{"LoseTwice",
                      {2, 2},
                      {},
                      false,
                      {V{"ack 1"}, V{"lost ack 2"}, V{"lost ack 2"}, V{"ack 3"}, V{"ack 3"}}},
        AckOptionCase{
            "Duplicate",
            {},
            {1, 3},
            false,
            {V{"ack 1", "ack 1"}, V{"ack 2"}, V{"ack 2"}, V{"ack 3", "ack 3"}, V{"ack 3"}}},
        AckOptionCase{"NoFinalAck",
                      {},
                      {},
                      true,
                      {V{"ack 1"}, V{"ack 2"}, V{"ack 2"}, V{"lost ack 3"}, V{"lost ack 3"}}},
        AckOptionCase{"LoseThenDuplicate",
                      {2},
                      {2},
                      false,
                      {V{"ack 1"}, V{"lost ack 2"}, V{"ack 2", "ack 2"}, V{"ack 3"}, V{"ack 3"}}}),
    [](const testing::TestParamInfo<AckOptionCase>& c) { return c.param.name; });

struct UnrulyCase {
    const char* name;
    BootLoaderConfig config;
    // What each of: block 1, block 2, block 3 (final), block 1, block 2, block 3 gives; each
    // datagram as its action and the bytes it carries.
    std::vector<std::vector<std::pair<std::string, Bytes>>> out;
};

BootLoaderConfig With(void (*set)(BootLoaderConfig&)) {
    BootLoaderConfig config;
    set(config);
    return config;
}

Bytes ReadRequestBytes() {
    Bytes b = {0, 1};
    const std::string_view tail("firmware.bin\0octet\0", 19);
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

class UnrulyTest : public testing::TestWithParam<UnrulyCase> {};

TEST_P(UnrulyTest, LiesAndStartsOver) {
    const UnrulyCase& c = GetParam();
    Bench bench(c.config);
    bench.ready();
    const std::pair<std::uint16_t, std::size_t> sends[] = {{1, 512}, {2, 512}, {3, 10},
                                                           {1, 512}, {2, 512}, {3, 10}};
    std::vector<std::vector<std::pair<std::string, Bytes>>> out;
    for (const auto& [n, length] : sends) {
        std::vector<std::pair<std::string, Bytes>> sent;
        for (const BootDatagram& d : bench.block(n, length).out) {
            sent.emplace_back(d.action, d.bytes);
            EXPECT_EQ(d.sourceIp, ModuleIp);
        }
        out.push_back(sent);
    }
    EXPECT_EQ(out, c.out);
}

using Sent = std::vector<std::pair<std::string, Bytes>>;
// TFTP error 3 with its text and terminator.
Bytes FlashErrorBytes() {
    Bytes b = {0, 5, 0, 3};
    const std::string_view text("flash write failed\0", 19);
    b.insert(b.end(), text.begin(), text.end());
    return b;
}
const Bytes FlashError = FlashErrorBytes();
INSTANTIATE_TEST_SUITE_P(
    Options, UnrulyTest,
    testing::Values(
        // Only the first ack of block 1 lies; block 3 final, then repeated blocks.
        UnrulyCase{"AckJump",
                   With([](BootLoaderConfig& c) { c.ackJump = 60000; }),
                   {Sent{{"ack 60000", Ack(60000)}}, Sent{{"ack 2", Ack(2)}},
                    Sent{{"ack 3", Ack(3)}}, Sent{}, Sent{}, Sent{{"ack 3", Ack(3)}}}},
        // The final block starts it over once: the second pass ends normally.
        UnrulyCase{"RrqAfterFinal",
                   With([](BootLoaderConfig& c) { c.rrqAfterFinal = true; }),
                   {Sent{{"ack 1", Ack(1)}}, Sent{{"ack 2", Ack(2)}},
                    Sent{{"read request", ReadRequestBytes()}}, Sent{{"ack 1", Ack(1)}},
                    Sent{{"ack 2", Ack(2)}}, Sent{{"ack 3", Ack(3)}}}},
        UnrulyCase{"RestartEvery2",
                   With([](BootLoaderConfig& c) { c.restartEvery = 2; }),
                   {Sent{{"ack 1", Ack(1)}}, Sent{{"read request", ReadRequestBytes()}}, Sent{},
                    Sent{{"ack 1", Ack(1)}}, Sent{{"read request", ReadRequestBytes()}}, Sent{}}},
        // After the error nothing is taken or acknowledged.
        UnrulyCase{"ErrorAfterBlock2",
                   With([](BootLoaderConfig& c) { c.errorAfterBlock = 2; }),
                   {Sent{{"ack 1", Ack(1)}}, Sent{{"error 3", FlashError}}, Sent{}, Sent{}, Sent{},
                    Sent{}}}),
    [](const testing::TestParamInfo<UnrulyCase>& c) { return c.param.name; });

TEST(StaleAckTest, GoesToTheServerBeforeTheReadRequest) {
    BootLoaderConfig config;
    config.staleAck = 2;
    Bench bench(config);
    const BootStep step = bench.ready();
    ASSERT_EQ(Actions(step), (V{"ack 2", "read request"}));
    const BootDatagram& ack = step.out.at(0);
    EXPECT_EQ(ack.bytes, Ack(2));
    EXPECT_EQ(ack.fromPort, ModuleTransferPort);
    EXPECT_EQ(ack.toIp, ServerIp);
    EXPECT_EQ(ack.toPort, ServerTransferPort);
    EXPECT_EQ(ack.sourceIp, ModuleIp);
}

// The actions of a transfer of 40 blocks with every block resent until it is acknowledged.
std::vector<std::string> LossyTransfer(int percent, std::uint64_t seed) {
    BootLoaderConfig config;
    config.lossPercent = percent;
    config.seed = seed;
    Bench bench(config);
    bench.ready();
    std::vector<std::string> seen;
    for (std::uint16_t n = 1; n <= 40; ++n) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            const BootStep step = bench.block(n, n == 40 ? 1 : 512);
            seen.push_back(step.action);
            const V out = Actions(step);
            seen.insert(seen.end(), out.begin(), out.end());
            if (out == V{"ack " + std::to_string(n)}) {
                break;
            }
        }
    }
    EXPECT_TRUE(bench.loader.transferDone());
    EXPECT_EQ(bench.loader.image().size(), 39u * 512 + 1);
    return seen;
}

std::size_t CountStarting(const V& actions, std::string_view head) {
    return static_cast<std::size_t>(
        std::count_if(actions.begin(), actions.end(),
                      [head](const std::string& a) { return a.starts_with(head); }));
}

TEST(LossTest, SeededLossDropsDataAndAcksRepeatably) {
    const V none = LossyTransfer(0, 1);
    EXPECT_EQ(CountStarting(none, "lost "), 0u);
    const V lossy = LossyTransfer(30, 7);
    EXPECT_GT(CountStarting(lossy, "lost data "), 0u);
    EXPECT_GT(CountStarting(lossy, "lost ack "), 0u);
    EXPECT_EQ(LossyTransfer(30, 7), lossy) << "the same seed loses the same datagrams";
    EXPECT_NE(LossyTransfer(30, 8), lossy);
}

TEST(LossTest, AllLostNeverWritesOrAcknowledges) {
    BootLoaderConfig config;
    config.lossPercent = 100;
    Bench bench(config);
    bench.ready();
    for (int i = 0; i < 20; ++i) {
        const BootStep step = bench.block(1, 512);
        EXPECT_EQ(step.action, "lost data 1");
        EXPECT_EQ(step.result, "dropped (--loss)");
        EXPECT_TRUE(step.out.empty());
    }
    EXPECT_TRUE(bench.loader.image().empty());
}

TEST(SilentTest, LogsButNeverAnswers) {
    BootLoaderConfig config;
    config.silent = true;
    Bench bench(config);
    const BootStep woken = bench.wake();
    EXPECT_EQ(woken.action, "wake-up");
    EXPECT_EQ(woken.result, "ignored: silent");
    EXPECT_TRUE(woken.out.empty());
    EXPECT_FALSE(bench.loader.deadline());
    EXPECT_EQ(bench.reply(Bytes(300, 0)).result, "ignored: silent");
    EXPECT_EQ(bench.block(1, 512).result, "ignored: silent");
}

TEST(BootLoaderArgumentsTest, OptionsReachTheConfig) {
    const ParseResult r = ParseArguments({"--bootloader",
                                          "02:52:32:06:00:01",
                                          "--identity",
                                          "a1 b2 c3 d4",
                                          "--giaddr-byte26",
                                          "255",
                                          "--lose-acks",
                                          "3,7,7",
                                          "--duplicate-acks",
                                          "2",
                                          "--no-final-ack",
                                          "--stop-before-read",
                                          "--read-from-other-address",
                                          "192.168.0.7",
                                          "--loss",
                                          "12",
                                          "--seed",
                                          "99",
                                          "--ack-jump",
                                          "0",
                                          "--stale-ack",
                                          "65535",
                                          "--rrq-after-final",
                                          "--restart-every",
                                          "4",
                                          "--error-after-block",
                                          "9",
                                          "--retry-ms",
                                          "300",
                                          "--image-out",
                                          "/tmp/x.bin",
                                          "--exit-after-transfer",
                                          "--silent",
                                          "--json-log",
                                          "/tmp/l.jsonl",
                                          "--quiet"});
    ASSERT_EQ(r.error, "");
    ASSERT_TRUE(r.options.bootLoader);
    EXPECT_TRUE(r.options.modules.empty());
    const BootLoaderOptions& o = *r.options.bootLoader;
    const BootLoaderConfig& c = o.config;
    EXPECT_EQ(c.mac, Mac);
    EXPECT_EQ(c.identity, (std::array<std::uint8_t, 4>{0xA1, 0xB2, 0xC3, 0xD4}));
    EXPECT_EQ(c.giaddrByte26, 255);
    EXPECT_EQ(c.loseAcks, (std::vector<std::uint16_t>{3, 7, 7}));
    EXPECT_EQ(c.duplicateAcks, (std::vector<std::uint16_t>{2}));
    EXPECT_TRUE(c.noFinalAck);
    EXPECT_TRUE(c.stopBeforeRead);
    EXPECT_EQ(c.readFromIp, 0xC0A80007U);
    EXPECT_EQ(c.lossPercent, 12);
    EXPECT_EQ(c.seed, 99u);
    EXPECT_EQ(c.ackJump, std::optional<std::uint16_t>(0));
    EXPECT_EQ(c.staleAck, std::optional<std::uint16_t>(65535));
    EXPECT_TRUE(c.rrqAfterFinal);
    EXPECT_EQ(c.restartEvery, 4);
    EXPECT_EQ(c.errorAfterBlock, std::optional<std::uint16_t>(9));
    EXPECT_EQ(c.retryMs, 300);
    EXPECT_TRUE(c.silent);
    EXPECT_EQ(o.imagePath, "/tmp/x.bin");
    EXPECT_TRUE(o.exitAfterTransfer);
    EXPECT_EQ(r.options.jsonLogPath, "/tmp/l.jsonl");

    const ParseResult plain = ParseArguments({"--bootloader", "025232060001"});
    ASSERT_EQ(plain.error, "");
    const BootLoaderConfig& d = plain.options.bootLoader->config;
    EXPECT_EQ(d.identity, DefaultIdentity);
    EXPECT_EQ(d.giaddrByte26, 0);
    EXPECT_EQ(d.retryMs, 1000);
    EXPECT_FALSE(d.silent);
    EXPECT_FALSE(d.ackJump);
    EXPECT_FALSE(d.staleAck);
    EXPECT_FALSE(d.rrqAfterFinal);
    EXPECT_EQ(d.restartEvery, 0);
    EXPECT_FALSE(d.errorAfterBlock);

    for (const char* refused : {"--restart-every", "--error-after-block"}) {
        EXPECT_NE(ParseArguments({"--bootloader", "025232060001", refused, "0"}).error, "")
            << refused << " takes block numbers from 1 on";
    }
    EXPECT_NE(ParseArguments({"--bootloader", "025232060001", "--ack-jump", "65536"}).error, "");
}

} // namespace
} // namespace r2::sim
