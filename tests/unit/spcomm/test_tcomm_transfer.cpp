// TComm moving bytes through a pseudo-terminal: chunks, the empty-queue signal, hang-ups and
// stopping while both threads are busy.

#include "comm_test_support.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace r2 {
namespace {

QByteArray pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    return bytes;
}

bool send(TComm& comm, const QByteArray& bytes) {
    return comm.WritePortData(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                              static_cast<std::uint16_t>(bytes.size()));
}

TEST_F(CommOnPty, FiveThousandBytesArriveAsAFullChunkAndTheRest) {
    // A generous interval, so that a busy machine does not split the burst at a gap.
    comm.SetReadIntervalTimeout(300);
    open();
    const QByteArray burst = pattern(5000);
    ASSERT_EQ(write(pty.master(), burst.constData(), 5000), 5000);
    ASSERT_TRUE(waitFor([&] { return record.received().size() >= 5000; }));
    EXPECT_EQ(record.chunkSizes(), (std::vector<qsizetype>{CommQueueBytes, 1928}));
    EXPECT_TRUE(record.received() == burst);
}

// A chunk ends at a gap longer than the interval; the gaps here are far from the interval
// on either side, so a busy machine cannot turn one case into the other.
TEST(TCommChunks, EndAtAGapLongerThanTheIntervalOrAtTheReadTotal) {
    struct Case {
        const char* name;
        CommTimeouts timeouts;
        std::vector<int> pieces;
        std::chrono::milliseconds gap;
        std::vector<qsizetype> chunks;
    };
    const Case cases[] = {
        {"short gap joins", {300, 0, 0, 0, 0}, {2, 3}, 10ms, {5}},
        {"long gap splits", {300, 0, 0, 0, 0}, {2, 3}, 1000ms, {2, 3}},
        {"interval 0 waits for full chunks",
         {0, 0, 0, 0, 0},
         {3000, 100, 3044},
         500ms,
         {3072, 3072}},
        {"read total ends a chunk", {0, 0, 300, 0, 0}, {2, 3}, 1000ms, {2, 3}},
        {"interval 0xFFFFFFFF delivers each read", {0xFFFFFFFF, 0, 0, 0, 0}, {2, 3}, 300ms, {2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PseudoTerminal pty;
        ASSERT_TRUE(pty.valid());
        TComm comm;
        CommRecord record(comm);
        comm.SetCommName(QString::fromStdString(pty.path()));
        comm.SetTimeouts(c.timeouts);
        ASSERT_EQ(openResult(comm), "opened");
        QByteArray all;
        for (std::size_t i = 0; i < c.pieces.size(); ++i) {
            if (i > 0) {
                std::this_thread::sleep_for(c.gap);
            }
            const QByteArray piece = pattern(c.pieces[i]);
            writeAll(pty.master(), piece);
            all += piece;
        }
        ASSERT_TRUE(waitFor([&] { return record.received().size() >= all.size(); }));
        EXPECT_EQ(record.chunkSizes(), c.chunks);
        EXPECT_TRUE(record.received() == all);
    }
}

TEST_F(CommOnPty, NulBytesAreDroppedOnlyWhenAskedTo) {
    comm.SetReadIntervalTimeout(100);
    open();
    writeAll(pty.master(), QByteArray("a\0b", 3));
    ASSERT_TRUE(waitFor([&] { return record.chunks.size() == 1; }));
    comm.SetIgnoreNullChar(true);
    writeAll(pty.master(), QByteArray("c\0\0d", 4));
    ASSERT_TRUE(waitFor([&] { return record.chunks.size() == 2; }));
    EXPECT_TRUE(record.chunks[0] == QByteArray("a\0b", 3));
    EXPECT_TRUE(record.chunks[1] == "cd");
}

TEST_F(CommOnPty, TheEmptyQueueIsSignalledOnceAfterOpenAndOnceAfterQueuedWrites) {
    // A second descriptor of the terminal, taken before TComm claims it, stops and restarts its
    // output, so all three writes are surely queued before the first byte leaves.
    const int control = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(control, 0);
    open();
    ASSERT_TRUE(waitFor([&] { return record.txEmpty >= 1; }));
    settle(300ms);
    EXPECT_EQ(record.txEmpty, 1);

    ASSERT_EQ(tcflow(control, TCOOFF), 0);
    const QByteArray writes[] = {pattern(100), pattern(2000), pattern(300)};
    // The writer takes the first and waits to send it while the others queue behind it.
    ASSERT_TRUE(send(comm, writes[0]));
    settle(200ms);
    ASSERT_TRUE(send(comm, writes[1]));
    ASSERT_TRUE(send(comm, writes[2]));
    settle(300ms);
    EXPECT_EQ(record.txEmpty, 1);
    EXPECT_EQ(readAvailable(pty.master()), QByteArray());

    ASSERT_EQ(tcflow(control, TCOON), 0);
    ASSERT_TRUE(waitFor([&] { return record.txEmpty >= 2; }));
    // Signalled after the last byte was handed over: all of them wait at the master already.
    EXPECT_TRUE(readAvailable(pty.master()) == writes[0] + writes[1] + writes[2]);
    settle(300ms);
    EXPECT_EQ(record.txEmpty, 2);
    close(control);
}

TEST_F(CommOnPty, AWriteThatOutlastsTheWriteTotalsIsAHangup) {
    const int control = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(control, 0);
    comm.SetWriteTotalTimeoutConstant(200);
    open();
    ASSERT_TRUE(send(comm, "sent in time"));
    QByteArray atMaster;
    ASSERT_TRUE(waitFor([&] {
        atMaster += readAvailable(pty.master());
        return atMaster == "sent in time";
    }));
    ASSERT_EQ(tcflow(control, TCOOFF), 0);
    ASSERT_TRUE(send(comm, "held back"));
    ASSERT_TRUE(waitFor([&] { return record.hangups == 1; }));
    EXPECT_TRUE(waitFor([&] { return !send(comm, "refused"); }));
    close(control);
}

TEST_F(CommOnPty, TheDeviceVanishingUnderAPendingReadIsAHangup) {
    open();
    ASSERT_TRUE(waitFor([&] { return record.txEmpty >= 1; }));
    pty.closeMaster();
    ASSERT_TRUE(waitFor([&] { return record.hangups == 1; }));
    // The writer learns it at its next write, and ends: later writes are refused.
    const std::uint8_t byte[] = {1};
    EXPECT_TRUE(comm.WritePortData(byte, 1));
    ASSERT_TRUE(waitFor([&] { return record.hangups == 2; }));
    EXPECT_TRUE(waitFor([&] { return !comm.WritePortData(byte, 1); }));
    EXPECT_NE(comm.ComHandle(), 0u); // open until its owner closes it
    comm.ClosePort();
    EXPECT_EQ(comm.ComHandle(), 0u);
}

TEST_F(CommOnPty, ClosingWhileBothThreadsAreBusyReturns) {
    open();
    // The master reads nothing, so the writer blocks on a full terminal, while a feeder keeps
    // the reader busy.
    const QByteArray big = pattern(65535);
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(send(comm, big));
    }
    const int master = pty.master();
    ASSERT_EQ(fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK), 0);
    std::atomic<bool> stop{false};
    std::thread feeder([&stop, master] {
        const QByteArray block = pattern(4096);
        while (!stop) {
            pollfd p{master, POLLOUT, 0};
            if (poll(&p, 1, 20) > 0 && write(master, block.constData(), 4096) < 0 &&
                errno != EAGAIN) {
                return;
            }
        }
    });
    EXPECT_TRUE(waitFor([&] { return record.chunks.size() >= 3; }));
    comm.ClosePort();
    EXPECT_EQ(comm.ComHandle(), 0u);
    EXPECT_FALSE(send(comm, big));
    stop = true;
    feeder.join();
}

// A handler may destroy the component while more of its events wait to be delivered.
TEST(TCommLifetime, AHandlerMayDeleteTheComponent) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.valid());
    auto comm = std::make_unique<TComm>();
    comm->SetCommName(QString::fromStdString(pty.path()));
    int chunks = 0;
    QObject::connect(comm.get(), &TComm::OnReceiveData, [&](const QByteArray&) {
        ++chunks;
        comm.reset();
    });
    ASSERT_EQ(openResult(*comm), "opened");
    writeAll(pty.master(), "first");
    std::this_thread::sleep_for(300ms);
    pty.closeMaster(); // a hang-up now waits behind the chunk
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(waitFor([&] { return comm == nullptr; }));
    settle(100ms);
    EXPECT_EQ(chunks, 1);
}

} // namespace
} // namespace r2
