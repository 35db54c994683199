// CycleSender against a UDP listener stamping arrivals in the kernel: the order and gaps of a
// pass, stopping during a delay, failed sends on the worker, and stopping connections while a
// pass sends (also run under ThreadSanitizer).
#include "debugger/cycle_sender.h"
#include "debugger/debug_transport.h"
#include "net_peers.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <thread>

namespace r2 {
namespace {

using namespace std::chrono_literals;
using test::Arrival;
using test::FreePort;
using test::TcpPeer;
using test::UdpListener;

// Kernel stamps of two events on one host are exact; a little slack covers the clock's grain.
constexpr auto Slack = 2ms;

struct UdpRig {
    DebugTransport transport;
    UdpListener peer;
    CycleSender cycle;

    UdpRig() {
        const QString error = transport.StartUdp("127.0.0.1", FreePort(false));
        EXPECT_EQ(error, "");
        transport.SetUdpDestination("127.0.0.1", QString::number(peer.Port()));
    }
    CycleSender::SendFunction Sender() {
        return
            [this](const QByteArray& bytes) { return transport.Send(DebugKind::UdpServer, bytes); };
    }
};

CmdRow Ticked(const char* command, const char* delay) {
    return CmdRow{.chkChoose = true,
                  .btnExplanation = "n",
                  .edtCmd = command,
                  .chkHex = false,
                  .edtDelay = delay};
}

CmdRows RowsWith(std::initializer_list<std::pair<std::size_t, CmdRow>> rows) {
    CmdRows all;
    ClearCmdRows(all, "n");
    for (const auto& [index, row] : rows) {
        all[index] = row;
    }
    return all;
}

TEST(CycleSender, RowsDelaysAndPauseInOrder) {
    UdpRig rig;
    rig.cycle.SetRows(RowsWith({{0, Ticked("R1", "100")}, {2, Ticked("R3", "200")}}));
    rig.cycle.SetInterval(1000);
    rig.cycle.Start(rig.Sender());
    const auto arrivals = rig.peer.WaitFor(5, 20s);
    rig.cycle.Stop();
    ASSERT_GE(arrivals.size(), 5u);
    const char* expected[] = {"R1", "R3", "R1", "R3", "R1"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(arrivals[i].bytes, expected[i]) << i;
    }
    for (std::size_t pass = 0; pass < 2; ++pass) {
        const auto& r1 = arrivals[2 * pass];
        const auto& r3 = arrivals[2 * pass + 1];
        const auto& nextR1 = arrivals[2 * pass + 2];
        EXPECT_GE(r3.at - r1.at, 100ms - Slack) << "row 1's delay, pass " << pass;
        EXPECT_GE(nextR1.at - r3.at, 1200ms - Slack) << "row 3's delay and the pause";
    }
}

TEST(CycleSender, StopDuringADelayEndsThePassAfterThatRow) {
    UdpRig rig;
    rig.cycle.SetRows(RowsWith({{0, Ticked("first", "400")}, {1, Ticked("second", "")}}));
    rig.cycle.SetInterval(300);
    rig.cycle.Start(rig.Sender());
    ASSERT_EQ(rig.peer.WaitFor(1, 10s).size(), 1u);
    rig.cycle.Stop();
    EXPECT_FALSE(rig.cycle.Cycling());
    // Longer than the delay, the pause and another pass together.
    std::this_thread::sleep_for(1500ms);
    const auto arrivals = rig.peer.Received();
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(arrivals[0].bytes, "first");
}

TEST(CycleSender, RowsChangedWhileCyclingAreTakenByTheNextPass) {
    UdpRig rig;
    rig.cycle.SetRows(RowsWith({{0, Ticked("old", "")}}));
    rig.cycle.SetInterval(200);
    rig.cycle.Start(rig.Sender());
    ASSERT_GE(rig.peer.WaitFor(1, 10s).size(), 1u);
    rig.cycle.SetRows(RowsWith({{5, Ticked("new", "")}}));
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline &&
           rig.peer.Received().back().bytes != "new") {
        std::this_thread::sleep_for(10ms);
    }
    rig.cycle.Stop();
    EXPECT_EQ(rig.peer.Received().back().bytes, "new");
}

TEST(CycleSender, AFailedSendOnTheWorkerIsReportedAndCyclingGoesOn) {
    UdpRig rig;
    rig.transport.SetUdpDestination("127.0.0.1", "70000");
    // Received the way the window receives it: queued to this thread (a QSignalSpy would be
    // called on the worker).
    std::vector<SendOutcome> failures;
    QObject window;
    QObject::connect(&rig.cycle, &CycleSender::SendFailed, &window,
                     [&failures](const SendOutcome& outcome) { failures.push_back(outcome); });
    rig.cycle.SetRows(RowsWith({{0, Ticked("x", "")}}));
    rig.cycle.SetInterval(50);
    rig.cycle.Start(rig.Sender());
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (failures.empty() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ASSERT_FALSE(failures.empty());
    EXPECT_EQ(failures[0].result, SendOutcome::Result::BadPort);
    EXPECT_TRUE(rig.cycle.Cycling());
    rig.transport.SetUdpDestination("127.0.0.1", QString::number(rig.peer.Port()));
    EXPECT_GE(rig.peer.WaitFor(1, 10s).size(), 1u);
    rig.cycle.Stop();
}

// Each round a client connects, the worker sends to it, and the listener with its client is
// closed under the worker; then the same for the UDP endpoint.
TEST(CycleSender, StoppingConnectionsWhileAPassSends) {
    DebugTransport transport;
    CycleSender cycle;
    CmdRows rows;
    for (CmdRow& row : rows) {
        row = Ticked("0123456789", "");
    }
    cycle.SetRows(rows);
    cycle.SetInterval(0);

    const std::uint16_t port = FreePort(true);
    cycle.Start([&transport](const QByteArray& bytes) {
        return transport.Send(DebugKind::TcpServer, bytes);
    });
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(transport.StartServer(port), "") << round;
        TcpPeer peer(port);
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (transport.ClientCount() == 0 && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        ASSERT_EQ(transport.ClientCount(), 1) << round;
        const std::uint64_t before = transport.BytesSent();
        while (transport.BytesSent() == before && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        transport.StopServer();
    }
    EXPECT_TRUE(cycle.Cycling());
    EXPECT_GT(transport.BytesSent(), 0u);

    UdpListener listener;
    cycle.Start([&transport](const QByteArray& bytes) {
        return transport.Send(DebugKind::UdpServer, bytes);
    });
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(transport.StartUdp("127.0.0.1", FreePort(false)), "");
        transport.SetUdpDestination("127.0.0.1", QString::number(listener.Port()));
        std::this_thread::sleep_for(5ms);
        transport.StopUdp();
    }
    cycle.Stop();
    EXPECT_FALSE(listener.Received().empty());
}

} // namespace
} // namespace r2
