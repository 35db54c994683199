// TComm's rules on their own: the terminal settings for the line settings, when a chunk ends,
// which line events the driver's counters mean, and the bound on waiting notifications.

#include "serial/comm_notifier.h"
#include "serial/comm_port.h"
#include "serial/comm_read_rules.h"

#include <functional>
#include <gtest/gtest.h>

namespace r2 {
namespace {

using namespace std::chrono_literals;

TEST(FillTermios, MapsEachLineSettingToItsFlags) {
    struct Case {
        const char* name;
        std::function<void(CommLineSettings&)> change;
        tcflag_t cflagMask;
        tcflag_t cflag;
        tcflag_t iflagMask;
        tcflag_t iflag;
    };
    const tcflag_t frame = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    const tcflag_t input = INPCK | IXON | IXOFF;
    const Case cases[] = {
        {"defaults", [](CommLineSettings&) {}, frame | CRTSCTS, CS8 | CRTSCTS, input, 0},
        {"5 data bits", [](CommLineSettings& s) { s.ByteSize = TByteSize::_5; }, CSIZE, CS5, 0, 0},
        {"6 data bits", [](CommLineSettings& s) { s.ByteSize = TByteSize::_6; }, CSIZE, CS6, 0, 0},
        {"7 data bits", [](CommLineSettings& s) { s.ByteSize = TByteSize::_7; }, CSIZE, CS7, 0, 0},
        {"odd", [](CommLineSettings& s) { s.Parity = TParity::Odd; }, frame, CS8 | PARENB | PARODD,
         0, 0},
        {"even", [](CommLineSettings& s) { s.Parity = TParity::Even; }, frame, CS8 | PARENB, 0, 0},
        {"mark", [](CommLineSettings& s) { s.Parity = TParity::Mark; }, frame,
         CS8 | PARENB | PARODD | CMSPAR, 0, 0},
        {"space", [](CommLineSettings& s) { s.Parity = TParity::Space; }, frame,
         CS8 | PARENB | CMSPAR, 0, 0},
        {"1.5 stop bits", [](CommLineSettings& s) { s.StopBits = TStopBits::_1_5; }, CSTOPB, CSTOPB,
         0, 0},
        {"2 stop bits", [](CommLineSettings& s) { s.StopBits = TStopBits::_2; }, CSTOPB, CSTOPB, 0,
         0},
        {"no CTS flow", [](CommLineSettings& s) { s.Outx_CtsFlow = false; }, CRTSCTS, 0, 0, 0},
        {"RTS handshake",
         [](CommLineSettings& s) {
             s.Outx_CtsFlow = false;
             s.RtsControl = TRtsControl::RtsHandshake;
         },
         CRTSCTS, CRTSCTS, 0, 0},
        {"parity check", [](CommLineSettings& s) { s.ParityCheck = true; }, 0, 0, input, INPCK},
        {"XON/XOFF out", [](CommLineSettings& s) { s.Outx_XonXoffFlow = true; }, 0, 0, input, IXON},
        {"XON/XOFF in", [](CommLineSettings& s) { s.Inx_XonXoffFlow = true; }, 0, 0, input, IXOFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CommLineSettings settings;
        c.change(settings);
        termios t{};
        // Start from a cooked terminal with every flag the settings may clear.
        t.c_iflag = ICRNL | IXON | IXOFF | INPCK | ISTRIP;
        t.c_oflag = OPOST | ONLCR;
        t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
        t.c_cflag = CS7 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL;
        fillTermios(t, settings);
        EXPECT_EQ(t.c_cflag & c.cflagMask, c.cflag);
        EXPECT_EQ(t.c_iflag & c.iflagMask, c.iflag);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_iflag & (ICRNL | ISTRIP), 0u);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 0);
        EXPECT_EQ(t.c_cc[VSTART], 17);
        EXPECT_EQ(t.c_cc[VSTOP], 19);
        EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    }
}

TEST(FillTermios, KeepsTheSpeedForARateWithoutAConstant) {
    termios t{};
    cfsetospeed(&t, B19200);
    CommLineSettings settings;
    settings.BaudRate = 250000;
    fillTermios(t, settings);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    settings.BaudRate = 0;
    fillTermios(t, settings);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
}

TEST(ChunkDeadline, FollowsTheIntervalAndTheReadTotals) {
    const CommClock::time_point first{1000ms};
    const CommClock::time_point last{1400ms};
    struct Case {
        CommTimeouts timeouts;
        std::optional<CommClock::time_point> deadline;
    };
    const Case cases[] = {
        {{10, 0, 0, 0, 0}, last + 10ms},
        {{50, 0, 0, 0, 0}, last + 50ms},
        {{0, 0, 0, 0, 0}, std::nullopt},    // only a full chunk ends it
        {{0xFFFFFFFF, 0, 0, 0, 0}, last},   // deliver what has come
        {{0, 0, 300, 0, 0}, first + 300ms}, // the total alone
        {{0, 1, 0, 0, 0}, first + 3072ms},  // the multiplier counts 3072 bytes
        {{0, 1, 100, 0, 0}, first + 3172ms},
        {{50, 0, 200, 0, 0}, first + 200ms}, // the earlier of the two
        {{500, 0, 2000, 0, 0}, last + 500ms},
        {{0xFFFFFFFF, 0, 200, 0, 0}, first + 200ms},
        {{10, 0, 0, 7, 9}, last + 10ms},                  // write totals do not count
        {{0, 0xFFFFFFFF, 0, 0, 0}, first + 0xFFFFFFFFms}, // held to 32 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.timeouts.ReadIntervalTimeout << " "
                                        << c.timeouts.ReadTotalTimeoutMultiplier << " "
                                        << c.timeouts.ReadTotalTimeoutConstant);
        EXPECT_EQ(chunkDeadline(c.timeouts, first, last), c.deadline);
    }
}

TEST(TotalTimeout, IsMultiplierTimesBytesPlusConstantHeldTo32Bits) {
    EXPECT_EQ(totalTimeout(0, 3072, 0), 0ms);
    EXPECT_EQ(totalTimeout(2, 100, 7), 207ms);
    EXPECT_EQ(totalTimeout(0, 65535, 0xFFFFFFFF), 0xFFFFFFFFms);
    EXPECT_EQ(totalTimeout(0xFFFFFFFF, 65535, 0xFFFFFFFF), 0xFFFFFFFFms);
    EXPECT_EQ(totalTimeout(1000, 4294967, 295), 0xFFFFFFFFms);
    EXPECT_EQ(totalTimeout(1000, 4294967, 296), 0xFFFFFFFFms);
}

TEST(LineEvents, EachMovedCounterGivesItsFlag) {
    struct Case {
        void (*change)(LineCounters&);
        LineEvents events;
    };
    const Case cases[] = {
        {[](LineCounters&) {}, {0, 0}},
        {[](LineCounters& c) { c.bufOverrun += 1; }, {CommErrorRxOver, 0}},
        {[](LineCounters& c) { c.overrun += 2; }, {CommErrorOverrun, 0}},
        {[](LineCounters& c) { c.parity += 1; }, {CommErrorParity, 0}},
        {[](LineCounters& c) { c.frame += 5; }, {CommErrorFrame, 0}},
        {[](LineCounters& c) { c.brk += 1; }, {CommErrorBreak, 0}},
        {[](LineCounters& c) { c.rng += 1; }, {0, ModemRing}},
        {[](LineCounters& c) { c.dcd += 1; }, {0, ModemCarrierDetect}},
        {[](LineCounters& c) {
             c.rng += 1;
             c.dcd += 3;
             c.frame += 1;
             c.parity += 1;
         },
         {CommErrorFrame | CommErrorParity, ModemRing | ModemCarrierDetect}},
    };
    const LineCounters before{3, 4, 5, 6, 7, 8, 9};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        LineCounters now = before;
        cases[i].change(now);
        EXPECT_EQ(lineEventsBetween(before, now), cases[i].events);
    }
    EXPECT_EQ(ModemRing, 4u);
    EXPECT_EQ(ModemCarrierDetect, 8u);
}

TEST(CommNotifierQueue, KeepsOrderRefusesBeyondItsBoundAndAlwaysTakesAHangup) {
    CommNotifier notifier;
    for (std::size_t i = 0; i < CommNotifier::MaxWaiting; ++i) {
        ASSERT_TRUE(notifier.post({CommEventKind::Error, static_cast<std::uint32_t>(i), {}}));
    }
    EXPECT_FALSE(notifier.post({CommEventKind::TxEmpty, 0, {}}));
    notifier.postHangup();
    for (std::size_t i = 0; i < CommNotifier::MaxWaiting; ++i) {
        const std::optional<CommEvent> event = notifier.take();
        ASSERT_TRUE(event);
        ASSERT_EQ(event->value, i);
    }
    const std::optional<CommEvent> last = notifier.take();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->kind, CommEventKind::Hangup);
    EXPECT_FALSE(notifier.take());
    EXPECT_TRUE(notifier.post({CommEventKind::TxEmpty, 0, {}}));
}

} // namespace
} // namespace r2
