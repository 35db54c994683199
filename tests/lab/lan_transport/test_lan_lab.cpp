// TUdpSvr and the command sequences on a real two-namespace network: pc 192.168.0.10 and
// 192.168.0.11 on r2pc0, 10.1.0.10 on r2pc1; the fake module listens on the lab side.
// run_in_lab.py builds that network inside a private namespace and passes R2_LAB_NETNS.

#include "fake_module.h"
#include "lan/lan_sequences.h"
#include "lan/module_batch.h"
#include "lan/Unit_Udp.h"
#include "tools/r2ctl/ctl_output.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <ostream>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <set>

namespace r2 {
namespace {

using lab::Arrival;
using lab::FakeModule;
using lab::Reply;
using Millis = std::chrono::duration<double, std::milli>;

const char* LabNetns() {
    const char* path = std::getenv("R2_LAB_NETNS");
    return path != nullptr ? path : "";
}

// Runs the event loop until `done` holds or `limitMs` passed.
void Pump(int limitMs, const std::function<bool()>& done = {}) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < limitMs && !(done && done())) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
}

std::vector<std::uint8_t> SearchReplyFor(const std::string& mac, unsigned version,
                                         const std::string& ip = "192.168.0.7") {
    return BuildSearchReply(SearchReply{ip, "LAB", mac, version});
}

std::string MacNumber(int n) {
    char text[18];
    std::snprintf(text, sizeof text, "02 00 00 00 %02X %02X", (n >> 8) & 0xFF, n & 0xFF);
    return text;
}

bool IsSearch(const Arrival& a) {
    return a.bytes == BuildSearchRequest();
}

bool IsCommand(const Arrival& a, std::uint8_t code) {
    return a.bytes.size() >= 22 && a.bytes[0] == 0xFF && a.bytes[2] == code;
}

struct Found {
    QString mac;
    int socketIndex;
    int flag;
};

class LanLab : public ::testing::Test {
protected:
    void SetUp() override {
        if (*LabNetns() == '\0') {
            GTEST_SKIP() << "R2_LAB_NETNS is not set: run through run_in_lab.py";
        }
        QObject::connect(&udp, &TUdpSvr::OnDeviceFound,
                         [this](const QString&, const QString&, int index, int flag, const QString&,
                                const QString& mac) {
                             found.push_back({mac, index, flag});
                         });
        QObject::connect(&udp, &TUdpSvr::OnStatus, [this](int code, const QString& text) {
            if (code != StSearchSent) {
                statuses.emplace_back(code, text.toStdString());
            }
        });
    }

    void onlyAddress(const QString& ip) {
        udp.setAddressSource([ip] { return QStringList{ip}; });
    }

    ParamMirror mirror;
    TUdpSvr udp{mirror};
    std::vector<Found> found;
    std::vector<std::pair<int, std::string>> statuses;
};

// ---- Search over every address ----------------------------------------------------------

class SearchReplies : public LanLab, public ::testing::WithParamInterface<bool> {};

TEST_P(SearchReplies, EveryAddressSearchesThroughItsInterfaceAndGetsItsOwnReply) {
    const bool broadcast = GetParam();
    FakeModule module(LabNetns(), [broadcast](const Arrival& a) -> std::vector<Reply> {
        if (!IsSearch(a)) {
            return {};
        }
        return {Reply{1500, SearchReplyFor("00 11 22 33 44 55", 4017), broadcast}};
    });
    ASSERT_TRUE(udp.SearchDevices());
    ASSERT_EQ(udp.socketCount(), 3);
    Pump(2000, [this] { return found.size() >= 3; });
    Pump(200); // a stray duplicate would show here

    std::map<std::string, std::string> interfaceBySender;
    for (const Arrival& a : module.arrivals()) {
        if (IsSearch(a)) {
            interfaceBySender[a.senderIp] = a.interfaceName;
        }
    }
    EXPECT_EQ(interfaceBySender.size(), 3u);
    EXPECT_EQ(interfaceBySender["192.168.0.10"], "r2lab0");
    EXPECT_EQ(interfaceBySender["192.168.0.11"], "r2lab0");
    EXPECT_EQ(interfaceBySender["10.1.0.10"], "r2lab1");

    // Each socket got exactly the reply to its own request.
    std::multiset<int> indexes;
    for (const Found& f : found) {
        indexes.insert(f.socketIndex);
    }
    EXPECT_EQ(indexes, (std::multiset<int>{0, 1, 2}));

    // The device list keeps one row per MAC: the first reply's.
    FoundModules rows(TUdpSvr::MaxKnownModules);
    for (const Found& f : found) {
        rows.add(FoundModule{"192.168.0.7", "LAB", f.mac, 4017, f.flag, f.socketIndex});
    }
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.modules()[0].socketIndex, found.front().socketIndex);
}

INSTANTIATE_TEST_SUITE_P(UnicastAndBroadcast, SearchReplies, ::testing::Values(false, true),
                         [](const auto& c) { return c.param ? "broadcast" : "unicast"; });

TEST_F(LanLab, FlagComesFromVersionAndSourcePort) {
    onlyAddress("192.168.0.10");
    FakeModule module(LabNetns(), [](const Arrival& a) -> std::vector<Reply> {
        if (!IsSearch(a)) {
            return {};
        }
        return {Reply{1500, SearchReplyFor("00 00 00 00 00 01", 2001), false},
                Reply{1500, SearchReplyFor("00 00 00 00 00 02", 2002), false},
                Reply{1901, SearchReplyFor("00 00 00 00 00 03", 2002), false},
                Reply{7000, SearchReplyFor("00 00 00 00 00 04", 5000), false}};
    });
    udp.SearchDevices();
    Pump(2000, [this] { return found.size() >= 4; });
    std::map<QString, int> flags;
    for (const Found& f : found) {
        flags[f.mac] = f.flag;
    }
    const std::map<QString, int> expected{{"00 00 00 00 00 01", DevFlagNone},
                                          {"00 00 00 00 00 02", DevFlagP6},
                                          {"00 00 00 00 00 03", DevFlagP7},
                                          {"00 00 00 00 00 04", DevFlagNone}};
    EXPECT_EQ(flags, expected);
}

TEST_F(LanLab, BurstOfAThousandRepliesIsListedWhole) {
    onlyAddress("192.168.0.10");
    constexpr int Modules = 1000;
    FakeModule module(LabNetns(), [](const Arrival& a) -> std::vector<Reply> {
        if (!IsSearch(a)) {
            return {};
        }
        std::vector<Reply> replies;
        for (int i = 0; i < Modules; ++i) {
            replies.push_back(Reply{1500, SearchReplyFor(MacNumber(i), 4017), false});
        }
        return replies;
    });
    udp.SearchDevices();
    // Each queued datagram costs about a kilobyte of buffer accounting; below that the
    // system, not the endpoint, decides how many survive (the endpoint logs the hint).
    if (udp.smallestReceiveBuffer() < Modules * 1024) {
        GTEST_SKIP() << "the system grants only " << udp.smallestReceiveBuffer()
                     << " bytes of receive buffer; raise net.core.rmem_max to run this";
    }
    Pump(10000, [this] { return found.size() >= Modules; });
    std::set<QString> macs;
    for (const Found& f : found) {
        macs.insert(f.mac);
    }
    EXPECT_EQ(macs.size(), static_cast<size_t>(Modules))
        << "receive buffer granted: " << udp.smallestReceiveBuffer() << " bytes";
}

// ---- Statuses over the wire -------------------------------------------------------------

TEST_F(LanLab, EveryReplyKindBecomesItsStatusInArrivalOrder) {
    onlyAddress("192.168.0.10");
    FakeModule module(LabNetns(), [](const Arrival& a) -> std::vector<Reply> {
        if (IsSearch(a)) {
            return {Reply{1500, SearchReplyFor("00 11 22 33 44 55", 4017), false}};
        }
        if (!IsCommand(a, CmdRead)) {
            return {};
        }
        using B = std::vector<std::uint8_t>;
        return {Reply{1500, B{0xFF, 0x01, 0x03, 'K'}, false},
                Reply{1500, B{0xFF, 0x01, 0x03, 'P'}, false},
                Reply{1500, B{0xFF, 0x01, 0x03, 'E'}, false},
                Reply{1500, B{0xFF, 0x01, 0x03, 'X'}, false},
                Reply{1500, B{'E', 0x0A}, false},
                Reply{1500, B{}, false},
                Reply{1500, B(193), false},
                Reply{1500, B(256), false},
                Reply{1500, B(40), false},
                Reply{1500, B(17), false}};
    });
    udp.SearchDevices();
    Pump(2000, [this] { return !found.empty(); });
    ASSERT_FALSE(found.empty());
    statuses.clear();
    ASSERT_TRUE(udp.SendCmdP6(found[0].socketIndex, found[0].mac, CmdRead, "admin", "tulip"));
    Pump(2000, [this] { return statuses.size() >= 8; });
    Pump(100);
    const std::vector<std::pair<int, std::string>> expected{
        {StAck, "ACK"},
        {StPswdErr, "UsrName or Password Error"},
        {StOtherErr, "Other Error"},
        {StCheckErr, "0A"},
        {StUnknownLen, "0"},
        {StOtherSeries, "Read R6/L83"},
        {StOtherSeries, "Read R6/L83"},
        {StUnknownLen, "17"}};
    EXPECT_EQ(statuses, expected);
}

// ---- Sequences ----------------------------------------------------------------------------

// Acknowledges every command frame with 'K', as a module with the right credentials does.
std::vector<Reply> AckEverything(const Arrival& a) {
    if (IsSearch(a)) {
        return {Reply{1500, SearchReplyFor("00 11 22 33 44 55", 4017), false}};
    }
    if (a.bytes.size() >= 22 && a.bytes[0] == 0xFF) {
        return {Reply{1500, {0xFF, 0x01, a.bytes[2], 'K'}, false}};
    }
    return {};
}

struct Sent {
    std::uint8_t code;
    std::size_t length;
    std::uint16_t port;
    double msSincePrevious;
};

std::vector<Sent> CommandsReceived(const FakeModule& module) {
    std::vector<Sent> out;
    std::optional<std::chrono::nanoseconds> previous;
    for (const Arrival& a : module.arrivals()) {
        if (IsSearch(a) || a.bytes.size() < 22) {
            continue;
        }
        EXPECT_NE(a.time.count(), 0) << "the kernel gave no arrival stamp";
        const double gap = previous ? Millis(a.time - *previous).count() : 0.0;
        out.push_back({a.bytes[2], a.bytes.size(), a.localPort, gap});
        previous = a.time;
    }
    return out;
}

PanelP6 FullP6Panel() {
    PanelP6 p;
    p.edt_StaticIP = "192.168.0.7";
    p.edt_SubnetMask = "255.255.255.0";
    p.edt_GatewayIP = "192.168.0.1";
    p.edtDns = "192.168.0.1";
    p.LabeledEdit1 = "300";
    p.edt_HTTPServerPort = "80";
    p.edt_username = "admin";
    p.edt_password = "tulip";
    p.edt_ModName = "LAB";
    p.edt_LocationURLPort = "1900";
    p.edt_UserMAC = "00 11 22 33 44 55";
    p.cbb_WorkMode0.Select(WorkModeHttpdEntry);
    p.LabeledEditShortTime = "3";
    p.RzComboBox1.Select(2);
    p.cbbHeartPackType.Select(0);
    p.edtHeartTm = "60";
    p.RzComboBox2.Select(RegTypeCloudEntry);
    p.edtCompass = "12345678";
    p.LabeledEdit2 = "/data";
    p.edtwaittime = "10";
    // The module sent the 4-byte Modbus switches and the Modbus pack.
    p.state.rzgrpbxModbus.visible = true;
    p.state.rzchckbxmodbuspool.visible = true;
    p.state.RzGroupBox1.visible = true;
    return p;
}

struct RunResult {
    std::vector<Sent> sent;
    int acksBeforeFinished = 0;
    SequenceVerdict verdict;
};

class Sequences : public LanLab {
protected:
    // Searches, then runs `plan` against the module found and collects what arrived.
    RunResult run(FakeModule& module, const std::function<SequencePlan(const Found&)>& makePlan) {
        onlyAddress("192.168.0.10");
        udp.SearchDevices();
        Pump(2000, [this] { return !found.empty(); });
        EXPECT_FALSE(found.empty());
        if (found.empty()) {
            return {};
        }
        statuses.clear();
        LanSequence sequence(udp, mirror, makePlan(found[0]), "admin", "tulip");
        bool done = false;
        RunResult result;
        QObject::connect(&sequence, &LanSequence::finished, [&] {
            done = true;
            result.acksBeforeFinished = static_cast<int>(statuses.size());
            result.verdict = sequence.verdict();
        });
        sequence.start();
        Pump(15000, [&done] { return done; });
        EXPECT_TRUE(done);
        Pump(300);
        result.sent = CommandsReceived(module);
        return result;
    }
};

TEST_F(Sequences, FullP6SaveKeepsOrderAndPausesWhileRepliesAreHandled) {
    FakeModule module(LabNetns(), AckEverything);
    const RunResult r = run(module, [](const Found& row) {
        const LanTarget target{row.socketIndex, row.mac};
        const PlanResult planned = PlanP6Save(FullP6Panel(), ParamMirror{}, target, target, 4017);
        EXPECT_TRUE(planned.plan) << planned.error.toStdString();
        return planned.plan.value_or(SequencePlan{});
    });
    const std::vector<std::uint8_t> order{CmdWriteBase,     CmdWritePort,     CmdWriteCloud,
                                          CmdWriteHeartReg, CmdWriteHttpdUrl, CmdWriteHttpdHead,
                                          CmdWriteModbus,   CmdWriteModbus,   CmdRestart};
    const std::vector<std::size_t> lengths{89, 85, 72, 107, 123, 223, 26, 109, 22};
    // Least gap before each frame: 500 after each block with a pause, none between the
    // Modbus blocks, 1500 more before the restart.
    const std::vector<double> leastGap{0, 500, 500, 500, 500, 500, 500, 0, 1500};
    ASSERT_EQ(r.sent.size(), order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(r.sent[i].code, order[i]) << "frame " << i;
        EXPECT_EQ(r.sent[i].length, lengths[i]) << "frame " << i;
        EXPECT_EQ(r.sent[i].port, CfgPortP6) << "frame " << i;
        EXPECT_GE(r.sent[i].msSincePrevious, leastGap[i]) << "frame " << i;
    }
    EXPECT_LT(r.sent[7].msSincePrevious, 400.0) << "the Modbus pack follows without a pause";
    // The event loop ran during the pauses, and the sequence waited for the restart's
    // acknowledgement: every frame was acknowledged before it ended, the two Modbus blocks
    // sent back to back included.
    EXPECT_EQ(r.acksBeforeFinished, 9);
    EXPECT_TRUE(r.verdict.allAcknowledged()) << r.verdict.text().toStdString();
    EXPECT_EQ(r.verdict.acknowledgedCount(), 9);
}

TEST_F(Sequences, P7SaveGoesToPort1901AndRestartTo1500) {
    FakeModule module(LabNetns(), [](const Arrival& a) -> std::vector<Reply> {
        if (IsSearch(a)) {
            return {Reply{1901, SearchReplyFor("00 11 22 33 44 77", 5002), false}};
        }
        return {};
    });
    const RunResult r = run(module, [](const Found& row) {
        EXPECT_EQ(row.flag, DevFlagP7);
        PanelP7 p;
        p.edt_StaticIPP7 = "192.168.0.8";
        p.edt_SubnetMaskP7 = "255.255.255.0";
        p.edt_GatewayIPP7 = "192.168.0.1";
        p.edt_UserMACP7 = "FF FF FF FF FF FF";
        p.edt_LocationURLPortP7 = "1900";
        p.edt_HTTPServerPortP7 = "80";
        p.edt_IdTypeP7 = "1";
        const LanTarget target{row.socketIndex, row.mac};
        SequencePlan plan = PlanP7Save(p, ParamMirror{}, target).plan.value_or(SequencePlan{});
        plan.steps.back().gapAfterMs = BlockGapMs;
        for (SequenceStep& s : PlanRestart(target).steps) {
            plan.steps.push_back(s);
        }
        return plan;
    });
    ASSERT_EQ(r.sent.size(), 4u);
    const std::vector<std::uint8_t> codes{CmdWriteBase, CmdWritePort, CmdWriteEnd, CmdRestart};
    const std::vector<std::size_t> lengths{89, 85, 22, 22};
    const std::vector<std::uint16_t> ports{1901, 1901, 1901, 1500};
    for (std::size_t i = 0; i < codes.size(); ++i) {
        EXPECT_EQ(r.sent[i].code, codes[i]);
        EXPECT_EQ(r.sent[i].length, lengths[i]);
        EXPECT_EQ(r.sent[i].port, ports[i]);
        EXPECT_GE(r.sent[i].msSincePrevious, i == 0 ? 0.0 : 500.0);
    }
}

// ---- ModuleBatch -------------------------------------------------------------------------

// Two modules behind one fake, each acknowledging every command.
std::vector<Reply> TwoModulesAcking(const Arrival& a) {
    if (IsSearch(a)) {
        return {Reply{1500, SearchReplyFor("00 11 22 33 44 01", 4017), false},
                Reply{1500, SearchReplyFor("00 11 22 33 44 02", 4017), false}};
    }
    return AckEverything(a);
}

class Batches : public LanLab {
protected:
    // Searches, then runs the batch over the MACs given (a MAC not found has no address) and
    // records its signals, and the ticks of a 20 ms timer while each module ran. A stop is
    // asked for as the module stopWhenStarted starts.
    std::vector<BatchModuleResult> run(const QStringList& macs, const BatchSettings& settings) {
        onlyAddress("192.168.0.10");
        udp.SearchDevices();
        Pump(2000, [this] { return found.size() >= 2; });
        std::vector<BatchTarget> targets;
        for (const QString& mac : macs) {
            const auto row = std::ranges::find(found, mac, &Found::mac);
            targets.push_back(row == found.end()
                                  ? BatchTarget{{{}, {}, mac, 0, DevFlagNone, 0}, std::nullopt}
                                  : BatchTarget{{QStringLiteral("192.168.0.7"),
                                                 {},
                                                 mac,
                                                 4017,
                                                 row->flag,
                                                 row->socketIndex},
                                                std::nullopt});
        }
        ModuleBatch batch(udp, mirror);
        QTimer tick;
        int ticks = 0;
        QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
        tick.start(20);
        bool done = false;
        QObject::connect(&batch, &ModuleBatch::moduleStarted, [&](int index) {
            events.push_back("started " + std::to_string(index));
            ticks = 0;
            if (index == stopWhenStarted) {
                batch.stopAfterCurrent();
            }
        });
        QObject::connect(&batch, &ModuleBatch::moduleFinished,
                         [&](int index, const BatchModuleResult&) {
                             events.push_back("finished " + std::to_string(index));
                             ticksWhileRunning.push_back(ticks);
                         });
        QObject::connect(&batch, &ModuleBatch::finished, [&] {
            events.emplace_back("all");
            done = true;
        });
        EXPECT_TRUE(batch.startRestart(targets, settings));
        EXPECT_FALSE(batch.startRestart(targets, settings)) << "one job at a time";
        Pump(30000, [&done] { return done; });
        EXPECT_TRUE(done);
        return batch.results();
    }

    std::vector<std::string> events;
    std::vector<int> ticksWhileRunning;
    int stopWhenStarted = -1;
};

TEST_F(Batches, RestartRunsModulesInTurnWithTheEventLoopGoingAndStopsAfterAFailure) {
    FakeModule module(LabNetns(), TwoModulesAcking);
    BatchSettings settings;
    settings.replyWaitMs = 200;
    settings.stopOnError = true;
    const auto results =
        run({"00 11 22 33 44 01", "00 11 22 33 44 09", "00 11 22 33 44 02"}, settings);
    using Result = BatchModuleResult::Result;
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].result, Result::Ok) << results[0].message.toStdString();
    EXPECT_EQ(results[1].result, Result::Failed);
    EXPECT_EQ(results[1].failure, BatchModuleResult::Failure::NotFound);
    EXPECT_EQ(results[2].result, Result::NotRun);
    EXPECT_EQ(events, (std::vector<std::string>{"started 0", "finished 0", "started 1",
                                                "finished 1", "finished 2", "all"}))
        << "a module not run is only reported finished";
    // The restart waits for its acknowledgement and late answers on timers, never asleep.
    ASSERT_FALSE(ticksWhileRunning.empty());
    EXPECT_GT(ticksWhileRunning[0], 0);
    std::vector<std::uint8_t> restarts;
    for (const Sent& s : CommandsReceived(module)) {
        restarts.push_back(s.code);
    }
    EXPECT_EQ(restarts, std::vector<std::uint8_t>{CmdRestart}) << "the third was not run";
}

TEST_F(Batches, StopAfterCurrentLetsTheModuleUnderWayEndAndLeavesTheRestOut) {
    FakeModule module(LabNetns(), TwoModulesAcking);
    BatchSettings settings;
    settings.replyWaitMs = 200;
    stopWhenStarted = 0;
    const auto results =
        run({"00 11 22 33 44 01", "00 11 22 33 44 02", "00 11 22 33 44 01"}, settings);
    using Result = BatchModuleResult::Result;
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].result, Result::Ok) << results[0].message.toStdString();
    EXPECT_EQ(results[1].result, Result::NotRun);
    EXPECT_EQ(results[2].result, Result::NotRun);
    EXPECT_EQ(events, (std::vector<std::string>{"started 0", "finished 0", "finished 1",
                                                "finished 2", "all"}));
    std::vector<std::uint8_t> restarts;
    for (const Sent& s : CommandsReceived(module)) {
        restarts.push_back(s.code);
    }
    EXPECT_EQ(restarts, std::vector<std::uint8_t>{CmdRestart}) << "only the module under way";
}

TEST_F(Batches, DryRunReportsTheFramesAndSendsNone) {
    FakeModule module(LabNetns(), TwoModulesAcking);
    BatchSettings settings;
    settings.dryRun = true;
    const auto results = run({"00 11 22 33 44 01", "00 11 22 33 44 02"}, settings);
    ASSERT_EQ(results.size(), 2u);
    for (const BatchModuleResult& r : results) {
        EXPECT_EQ(r.result, BatchModuleResult::Result::DryRun);
        ASSERT_EQ(r.framesNotSent.size(), 1u);
        EXPECT_EQ(r.framesNotSent[0].command, CmdRestart);
        EXPECT_EQ(r.framesNotSent[0].port, CfgPortP6);
    }
    const Bytes expected = BuildCommandFrame(CmdRestart, "00 11 22 33 44 02", "admin", "tulip", {});
    EXPECT_EQ(results[1].framesNotSent[0].bytes,
              QByteArray(reinterpret_cast<const char*>(expected.data()),
                         static_cast<qsizetype>(expected.size())));
    EXPECT_TRUE(CommandsReceived(module).empty());
}

} // namespace
} // namespace r2

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
