// DebugTransport on loopback: UDP start, sends and replies; a TCP server with two clients, with
// more clients than it keeps, with no descriptor left to accept one, and with a client that
// never reads; a TCP client refused, connected, flooded, and closed by its peer; the port and
// address checks of a send.
#include "debugger/debug_transport.h"
#include "net_peers.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace r2 {
namespace {

using namespace std::chrono_literals;
using test::FreePort;
using test::TcpListener;
using test::TcpPeer;
using test::UdpListener;

constexpr int EventWaitMs = 5000;

QByteArray Bytes(const std::string& text) {
    return QByteArray::fromStdString(text);
}

TEST(DebugTransportUdp, SendsToTheDestinationAndReportsReplies) {
    DebugTransport transport;
    UdpListener peer;
    const std::uint16_t port = FreePort(false);
    ASSERT_EQ(transport.StartUdp("127.0.0.1", port), "");
    EXPECT_TRUE(transport.UdpRunning());
    transport.SetUdpDestination("127.0.0.1", QString::number(peer.Port()));

    const std::string payload("\x41\x42\x04", 3);
    for (const DebugKind kind : {DebugKind::UdpServer, DebugKind::UdpClient}) {
        EXPECT_EQ(transport.Send(kind, Bytes(payload)).result, SendOutcome::Result::Sent);
    }
    const auto arrivals = peer.WaitFor(2, 5s);
    ASSERT_EQ(arrivals.size(), 2u);
    EXPECT_EQ(arrivals[0].bytes, payload);
    EXPECT_EQ(arrivals[1].bytes, payload);
    EXPECT_EQ(transport.BytesSent(), 6u);

    QSignalSpy received(&transport, &DebugTransport::DataReceived);
    peer.SendTo(port, "reply");
    ASSERT_TRUE(received.wait(EventWaitMs));
    EXPECT_EQ(received[0][0].toString(), "127.0.0.1");
    EXPECT_EQ(received[0][1].value<std::uint16_t>(), peer.Port());
    EXPECT_EQ(received[0][2].toByteArray(), "reply");
    EXPECT_EQ(transport.BytesReceived(), 5u);

    transport.StopUdp();
    EXPECT_FALSE(transport.UdpRunning());
    EXPECT_EQ(transport.Send(DebugKind::UdpServer, "x").result, SendOutcome::Result::NotRunning);
}

TEST(DebugTransportUdp, DestinationChecksAndBroadcastRefusal) {
    DebugTransport transport;
    EXPECT_EQ(transport.Send(DebugKind::UdpServer, "x").result, SendOutcome::Result::NotRunning);
    ASSERT_EQ(transport.StartUdp("127.0.0.1", FreePort(false)), "");

    struct Case {
        const char* address;
        const char* port;
        SendOutcome::Result result;
    };
    const Case cases[] = {
        {"127.0.0.1", "70000", SendOutcome::Result::BadPort},
        {"127.0.0.1", "", SendOutcome::Result::BadPort},
        {"127.0.0.1", "12a", SendOutcome::Result::BadPort},
        {"127.0.0.300", "1234", SendOutcome::Result::BadAddress},
        {"", "1234", SendOutcome::Result::BadAddress},
        // The endpoint has no broadcast permission: the system refuses, nothing leaves.
        {"255.255.255.255", "1234", SendOutcome::Result::SystemError},
    };
    for (const Case& c : cases) {
        transport.SetUdpDestination(c.address, c.port);
        const SendOutcome outcome = transport.Send(DebugKind::UdpServer, "x");
        EXPECT_EQ(outcome.result, c.result) << c.address << ":" << c.port;
    }
    EXPECT_EQ(transport.BytesSent(), 0u);
}

TEST(DebugTransportUdp, StartFailuresSayWhy) {
    DebugTransport transport;
    EXPECT_NE(transport.StartUdp("192.168.0.10", FreePort(false)), "");
    EXPECT_NE(transport.StartUdp("not an address", 1234), "");
    EXPECT_FALSE(transport.UdpRunning());
}

TEST(DebugTransportTcpServer, TwoClientsGetSendsInConnectionOrder) {
    DebugTransport transport;
    const std::uint16_t port = FreePort(true);
    ASSERT_EQ(transport.StartServer(port), "");
    EXPECT_TRUE(transport.Listening());
    QSignalSpy connects(&transport, &DebugTransport::ServerSocket1ClientConnect);
    QSignalSpy disconnects(&transport, &DebugTransport::ServerSocket1ClientDisconnect);

    TcpPeer first(port);
    ASSERT_TRUE(connects.wait(EventWaitMs));
    TcpPeer second(port);
    ASSERT_TRUE(connects.count() == 2 || connects.wait(EventWaitMs));
    EXPECT_EQ(connects[0][0].toString(), "127.0.0.1");
    EXPECT_EQ(transport.ClientCount(), 2);

    EXPECT_EQ(transport.Send(DebugKind::TcpServer, "hello").result, SendOutcome::Result::Sent);
    const auto firstReads = first.ReadBytes(5, 5s);
    const auto secondReads = second.ReadBytes(5, 5s);
    ASSERT_FALSE(firstReads.empty());
    ASSERT_FALSE(secondReads.empty());
    EXPECT_EQ(firstReads[0].bytes, "hello");
    EXPECT_EQ(secondReads[0].bytes, "hello");
    // Kernel arrival stamps: the client that connected first is written to first.
    EXPECT_LE(firstReads[0].at, secondReads[0].at);
    EXPECT_EQ(transport.BytesSent(), 10u);

    QSignalSpy received(&transport, &DebugTransport::DataReceived);
    second.Write("up");
    ASSERT_TRUE(received.wait(EventWaitMs));
    EXPECT_EQ(received[0][2].toByteArray(), "up");

    first.Close();
    ASSERT_TRUE(disconnects.wait(EventWaitMs));
    EXPECT_FALSE(disconnects[0][0].toBool()) << "another client is still connected";
    EXPECT_EQ(transport.Send(DebugKind::TcpServer, "x").result, SendOutcome::Result::Sent);
    second.Close();
    ASSERT_TRUE(disconnects.wait(EventWaitMs));
    EXPECT_TRUE(disconnects[1][0].toBool()) << "the last client left";
    EXPECT_EQ(transport.Send(DebugKind::TcpServer, "x").result, SendOutcome::Result::NotRunning);
}

TEST(DebugTransportTcpServer, StopClosesClientsAndAPortInUseIsReported) {
    DebugTransport transport;
    const std::uint16_t port = FreePort(true);
    ASSERT_EQ(transport.StartServer(port), "");
    DebugTransport other;
    EXPECT_NE(other.StartServer(port), "");
    EXPECT_FALSE(other.Listening());

    QSignalSpy connects(&transport, &DebugTransport::ServerSocket1ClientConnect);
    TcpPeer peer(port);
    ASSERT_TRUE(connects.wait(EventWaitMs));
    transport.StopServer();
    EXPECT_FALSE(transport.Listening());
    EXPECT_EQ(transport.ClientCount(), 0);
    EXPECT_TRUE(peer.WaitClosed(5s));
}

// Waits until the spy has seen `count` signals.
bool WaitCount(QSignalSpy& spy, qsizetype count) {
    while (spy.count() < count && spy.wait(EventWaitMs)) {
    }
    return spy.count() >= count;
}

TEST(DebugTransportTcpServer, ClientsBeyondTheLimitAreClosedAtOnce) {
    DebugTransport transport;
    const std::uint16_t port = FreePort(true);
    ASSERT_EQ(transport.StartServer(port), "");
    QSignalSpy connects(&transport, &DebugTransport::ServerSocket1ClientConnect);
    QSignalSpy refused(&transport, &DebugTransport::ServerSocket1ClientRefused);
    QSignalSpy disconnects(&transport, &DebugTransport::ServerSocket1ClientDisconnect);

    std::vector<std::unique_ptr<TcpPeer>> peers;
    for (int i = 0; i <= DebugTransport::MaxServerClients; ++i) {
        peers.push_back(std::make_unique<TcpPeer>(port));
        ASSERT_TRUE(peers.back()->Connected());
    }
    ASSERT_TRUE(WaitCount(refused, 1));
    ASSERT_TRUE(WaitCount(connects, DebugTransport::MaxServerClients));
    EXPECT_EQ(refused[0][0].toString(), "127.0.0.1");
    EXPECT_EQ(transport.ClientCount(), DebugTransport::MaxServerClients);
    // The one that came last is closed; the others stay and still get what is sent.
    EXPECT_TRUE(peers.back()->WaitClosed(5s));
    EXPECT_EQ(transport.Send(DebugKind::TcpServer, "hi").result, SendOutcome::Result::Sent);
    const auto reads = peers.front()->ReadBytes(2, 5s);
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads[0].bytes, "hi");

    // A client that leaves makes room for the next.
    peers.front()->Close();
    ASSERT_TRUE(WaitCount(disconnects, 1));
    TcpPeer late(port);
    ASSERT_TRUE(WaitCount(connects, DebugTransport::MaxServerClients + 1));
    EXPECT_EQ(refused.count(), 1);
    EXPECT_EQ(transport.ClientCount(), DebugTransport::MaxServerClients);
}

// Takes every descriptor number below a lowered limit, and gives them back.
class DescriptorsUsedUp final {
public:
    DescriptorsUsedUp() {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = std::min<rlim_t>(m_saved.rlim_cur, 512);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd = ::dup(0); fd >= 0; fd = ::dup(0)) {
            m_taken.push_back(fd);
        }
    }
    ~DescriptorsUsedUp() {
        for (const int fd : m_taken) {
            ::close(fd);
        }
        ::setrlimit(RLIMIT_NOFILE, &m_saved);
    }
    DescriptorsUsedUp(const DescriptorsUsedUp&) = delete;
    DescriptorsUsedUp& operator=(const DescriptorsUsedUp&) = delete;

private:
    rlimit m_saved{};
    std::vector<int> m_taken;
};

TEST(DebugTransportTcpServer, AnAcceptTheSystemRefusesIsReportedAndAcceptingResumes) {
    DebugTransport transport;
    const std::uint16_t port = FreePort(true);
    ASSERT_EQ(transport.StartServer(port), "");
    QSignalSpy acceptErrors(&transport, &DebugTransport::ServerAcceptError);
    QSignalSpy connects(&transport, &DebugTransport::ServerSocket1ClientConnect);
    TcpPeer peer;
    {
        const DescriptorsUsedUp full;
        ASSERT_TRUE(peer.Connect(port));
        ASSERT_TRUE(WaitCount(acceptErrors, 1));
        EXPECT_EQ(acceptErrors[0][0].toInt(), EMFILE);
        EXPECT_EQ(connects.count(), 0);
    }
    // With descriptors free again the waiting connection is accepted.
    ASSERT_TRUE(WaitCount(connects, 1));
    EXPECT_EQ(transport.ClientCount(), 1);
    EXPECT_TRUE(transport.Listening());
}

// A peer that never reads: the payload is far larger than both ends' socket buffers, so the
// send fills them and then waits for room until its deadline. Meanwhile other calls on the
// transport, which take the same lock, must not wait for it.
TEST(DebugTransportTcpServer, ASendWaitingOnAPeerThatNeverReadsHoldsNoLock) {
    DebugTransport transport;
    const std::uint16_t port = FreePort(true);
    ASSERT_EQ(transport.StartServer(port), "");
    QSignalSpy connects(&transport, &DebugTransport::ServerSocket1ClientConnect);
    TcpPeer stalled(port);
    ASSERT_TRUE(WaitCount(connects, 1));

    const QByteArray payload(64 << 20, 'x');
    std::atomic<bool> sendReturned{false};
    SendOutcome outcome;
    std::thread sender([&] {
        outcome = transport.Send(DebugKind::TcpServer, payload);
        sendReturned = true;
    });
    // Bytes at the peer: the send is under way (and has taken whatever it takes the lock for).
    while (stalled.Unread() == 0 && !sendReturned) {
        std::this_thread::yield();
    }
    const int clients = transport.ClientCount();
    transport.StopServer();
    sender.join();

    EXPECT_EQ(clients, 1);
    // The stop ended the send (the connection was shut down under it) before its deadline:
    // neither call waited for the send. Had the send held the lock, both would have waited
    // until it gave up with a time-out.
    EXPECT_EQ(outcome.result, SendOutcome::Result::SystemError);
    EXPECT_EQ(outcome.error.toStdString(), std::strerror(EPIPE))
        << "ETIMEDOUT means the other calls waited for the send";
    EXPECT_TRUE(stalled.WaitClosed(5s));
}

// 8 MiB without a line break, as fast as the peer can write: it reaches the transport whole,
// in chunks of at most ReadBudgetBytes, one per turn of the event loop.
TEST(DebugTransportTcpClient, AFloodIsReadInBoundedChunks) {
    DebugTransport transport;
    TcpListener server;
    QSignalSpy connects(&transport, &DebugTransport::clntsckt1Connect);
    transport.ConnectToServer("127.0.0.1", server.Port());
    const auto peer = server.Accept(5s);
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(WaitCount(connects, 1));

    constexpr qsizetype FloodBytes = 8 << 20;
    qsizetype received = 0;
    qsizetype largest = 0;
    QObject::connect(&transport, &DebugTransport::DataReceived, &transport,
                     [&](const QString&, std::uint16_t, const QByteArray& bytes) {
                         received += bytes.size();
                         largest = std::max(largest, bytes.size());
                     });
    std::thread flood([&peer] { peer->Write(std::string(FloodBytes, 'F')); });
    QTRY_COMPARE_WITH_TIMEOUT(received, FloodBytes, 60000);
    flood.join();
    EXPECT_LE(largest, DebugTransport::ReadBudgetBytes);
    EXPECT_GT(largest, 0);
}

TEST(DebugTransportTcpClient, RefusedConnectionReportsTheSystemErrorNumber) {
    DebugTransport transport;
    QSignalSpy errors(&transport, &DebugTransport::clntsckt1Error);
    QSignalSpy connects(&transport, &DebugTransport::clntsckt1Connect);
    QSignalSpy disconnects(&transport, &DebugTransport::clntsckt1Disconnect);
    transport.ConnectToServer("127.0.0.1", FreePort(true));
    ASSERT_TRUE(errors.wait(EventWaitMs));
    EXPECT_EQ(errors[0][0].toInt(), ECONNREFUSED);
    EXPECT_EQ(connects.count(), 0);
    EXPECT_EQ(disconnects.count(), 0);
    EXPECT_FALSE(transport.ClientConnected());
    EXPECT_EQ(transport.Send(DebugKind::TcpClient, "x").result, SendOutcome::Result::NotRunning);
}

TEST(DebugTransportTcpClient, ConnectsSendsReceivesAndSeesThePeerClose) {
    DebugTransport transport;
    TcpListener server;
    QSignalSpy connects(&transport, &DebugTransport::clntsckt1Connect);
    QSignalSpy disconnects(&transport, &DebugTransport::clntsckt1Disconnect);
    QSignalSpy received(&transport, &DebugTransport::DataReceived);
    transport.ConnectToServer("127.0.0.1", server.Port());
    const auto peer = server.Accept(5s);
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(connects.wait(EventWaitMs));
    EXPECT_EQ(connects[0][0].toString(), "127.0.0.1");
    EXPECT_TRUE(transport.ClientConnected());

    EXPECT_EQ(transport.Send(DebugKind::TcpClient, "ping").result, SendOutcome::Result::Sent);
    const auto reads = peer->ReadBytes(4, 5s);
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads[0].bytes, "ping");

    peer->Write("pong");
    ASSERT_TRUE(received.wait(EventWaitMs));
    EXPECT_EQ(received[0][2].toByteArray(), "pong");

    peer->Close();
    ASSERT_TRUE(disconnects.wait(EventWaitMs));
    EXPECT_EQ(disconnects[0][0].toString(), "127.0.0.1");
    EXPECT_FALSE(transport.ClientConnected());
    EXPECT_EQ(transport.Send(DebugKind::TcpClient, "x").result, SendOutcome::Result::NotRunning);
}

TEST(DebugTransportTcpClient, UserDisconnectEndsTheConnectionWithItsEvent) {
    DebugTransport transport;
    TcpListener server;
    QSignalSpy connects(&transport, &DebugTransport::clntsckt1Connect);
    QSignalSpy disconnects(&transport, &DebugTransport::clntsckt1Disconnect);
    transport.ConnectToServer("127.0.0.1", server.Port());
    const auto peer = server.Accept(5s);
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(connects.wait(EventWaitMs));
    transport.DisconnectFromServer();
    EXPECT_TRUE(disconnects.count() == 1 || disconnects.wait(EventWaitMs));
    // The peer sees the end: the duplicate used for sending did not keep the connection open.
    EXPECT_TRUE(peer->WaitClosed(5s));
}

TEST(DebugTransport, PortTexts) {
    EXPECT_EQ(PortOfText("0"), 0);
    EXPECT_EQ(PortOfText("65535"), 65535);
    EXPECT_FALSE(PortOfText("65536"));
    EXPECT_FALSE(PortOfText("99999"));
    EXPECT_FALSE(PortOfText("123456"));
    EXPECT_FALSE(PortOfText(""));
    EXPECT_FALSE(PortOfText(" 80"));
}

} // namespace
} // namespace r2
