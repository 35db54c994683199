// TComm's properties, opening and closing, on pseudo-terminals.

#include "comm_test_support.h"
#include "serial/comm_port.h"

#include <fcntl.h>
#include <QTemporaryDir>
#include <termios.h>
#include <unistd.h>

namespace r2 {
namespace {

const std::uint8_t Marker[] = {'X'};

TEST(TCommDefaults, AreThoseOfTheComponent) {
    TComm comm;
    EXPECT_EQ(comm.CommName(), QStringLiteral("COM1"));
    EXPECT_EQ(comm.ComHandle(), 0u);
    const CommLineSettings& s = comm.LineSettings();
    EXPECT_EQ(s.BaudRate, 9600u);
    EXPECT_FALSE(s.ParityCheck);
    EXPECT_TRUE(s.Outx_CtsFlow);
    EXPECT_TRUE(s.Outx_DsrFlow);
    EXPECT_EQ(s.DtrControl, TDtrControl::DtrEnable);
    EXPECT_FALSE(s.DsrSensitivity);
    EXPECT_TRUE(s.TxContinueOnXoff);
    EXPECT_FALSE(s.Outx_XonXoffFlow);
    EXPECT_FALSE(s.Inx_XonXoffFlow);
    EXPECT_FALSE(s.ReplaceWhenParityError);
    EXPECT_FALSE(s.IgnoreNullChar);
    EXPECT_EQ(s.RtsControl, TRtsControl::RtsEnable);
    EXPECT_EQ(s.XonLimit, 10);
    EXPECT_EQ(s.XoffLimit, 10);
    EXPECT_EQ(s.ByteSize, TByteSize::_8);
    EXPECT_EQ(s.Parity, TParity::None);
    EXPECT_EQ(s.StopBits, TStopBits::_1);
    EXPECT_EQ(s.XonChar, 17);
    EXPECT_EQ(s.XoffChar, 19);
    EXPECT_EQ(s.ReplacedChar, 0);
    const CommTimeouts& t = comm.Timeouts();
    EXPECT_EQ(t.ReadIntervalTimeout, 10u);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 0u);
    EXPECT_EQ(comm.PortWrites(), 0);
}

TEST(TCommOpen, FailuresLeaveTheComponentClosed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plainFile = dir.filePath(QStringLiteral("plain"));
    ASSERT_TRUE(QFile(plainFile).open(QIODevice::WriteOnly));
    struct Case {
        QString name;
        const char* message;
    };
    const Case cases[] = {
        {QStringLiteral("COM1"), CommErrOpen}, // the default name: no /dev/COM1 here
        {QStringLiteral("/dev/r2-no-such-port"), CommErrOpen},
        {dir.filePath(QStringLiteral("missing")), CommErrOpen},
        {QStringLiteral("/dev/null"), CommErrNotComm},
        {plainFile, CommErrNotComm},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        TComm comm;
        comm.SetCommName(c.name);
        EXPECT_EQ(openResult(comm), c.message);
        EXPECT_EQ(comm.ComHandle(), 0u);
        EXPECT_FALSE(comm.WritePortData(Marker, 1));
        EXPECT_EQ(comm.PortWrites(), 0);
    }
    EXPECT_EQ(std::string(CommErrNotComm), "File handle is not a comm handle ");
}

TEST_F(CommOnPty, OpeningTwiceRaisesAndTheOpenPortKeepsWorking) {
    open();
    const std::uint32_t handle = comm.ComHandle();
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(openResult(comm), CommErrAlreadyOpen);
    EXPECT_EQ(comm.ComHandle(), handle);

    writeAll(pty.master(), "ping");
    EXPECT_TRUE(waitFor([&] { return record.received() == "ping"; }));
    const std::uint8_t pong[] = {'p', 'o', 'n', 'g'};
    ASSERT_TRUE(comm.WritePortData(pong, sizeof pong));
    QByteArray atMaster;
    EXPECT_TRUE(waitFor([&] {
        atMaster += readAvailable(pty.master());
        return atMaster == "pong";
    }));
}

TEST_F(CommOnPty, ASecondComponentCannotOpenAnOpenPort) {
    open();
    TComm second;
    second.SetCommName(comm.CommName());
    EXPECT_EQ(openResult(second), CommErrOpen);
    EXPECT_EQ(second.ComHandle(), 0u);

    writeAll(pty.master(), "still mine");
    EXPECT_TRUE(waitFor([&] { return record.received() == "still mine"; }));

    // Closing gives the exclusive use back.
    comm.ClosePort();
    EXPECT_EQ(openResult(second), "opened");
    EXPECT_EQ(openResult(comm), CommErrOpen);
}

TEST_F(CommOnPty, APortOpenedWithStandardInputClosedStillHasAHandle) {
    // Handle 0 means "closed", and descriptor 0 is the first one free when stdin is closed.
    const int savedStdin = dup(0);
    ASSERT_GE(savedStdin, 0);
    close(0);
    const std::string result = openResult(comm);
    const std::uint32_t handle = comm.ComHandle();
    comm.ClosePort();
    dup2(savedStdin, 0);
    close(savedStdin);
    EXPECT_EQ(result, "opened");
    EXPECT_NE(handle, 0u);
}

TEST_F(CommOnPty, ClosingAClosedPortDoesNothingAndAClosedPortSendsNothing) {
    comm.ClosePort();
    EXPECT_EQ(comm.ComHandle(), 0u);

    open();
    comm.ClosePort();
    EXPECT_EQ(comm.ComHandle(), 0u);
    EXPECT_FALSE(comm.WritePortData(Marker, 1));
    comm.ClosePort();
    EXPECT_EQ(comm.ComHandle(), 0u);
    settle(100ms);
    EXPECT_EQ(readAvailable(pty.master()), QByteArray());

    // And it opens again.
    open();
    ASSERT_TRUE(comm.WritePortData(Marker, 1));
    QByteArray atMaster;
    EXPECT_TRUE(waitFor([&] {
        atMaster += readAvailable(pty.master());
        return atMaster == "X";
    }));
}

TEST_F(CommOnPty, AnEmptyWriteIsRefusedAndSendsNothing) {
    open();
    EXPECT_FALSE(comm.WritePortData(Marker, 0));
    EXPECT_FALSE(comm.WritePortData(nullptr, 5));
    ASSERT_TRUE(comm.WritePortData(Marker, 1));
    QByteArray atMaster;
    EXPECT_TRUE(waitFor([&] {
        atMaster += readAvailable(pty.master());
        return !atMaster.isEmpty();
    }));
    settle(100ms);
    atMaster += readAvailable(pty.master());
    EXPECT_EQ(atMaster, "X");
}

TEST_F(CommOnPty, ANewNameWaitsForTheNextOpen) {
    PseudoTerminal other;
    ASSERT_TRUE(other.valid());
    open();
    const std::uint32_t handle = comm.ComHandle();
    const int writesBefore = comm.PortWrites();
    comm.SetCommName(QString::fromStdString(other.path()));
    EXPECT_EQ(comm.ComHandle(), handle);
    EXPECT_EQ(comm.PortWrites(), writesBefore);
    writeAll(pty.master(), "old");
    EXPECT_TRUE(waitFor([&] { return record.received() == "old"; }));

    comm.ClosePort();
    open();
    writeAll(other.master(), "new");
    EXPECT_TRUE(waitFor([&] { return record.received() == "oldnew"; }));
}

// Each row changes one property of the open port. The change must reach exactly that property
// and write the group to the port once; the same value again must not touch the port.
TEST_F(CommOnPty, SettersWriteTheirGroupOnlyWhenTheValueChanges) {
    struct Row {
        const char* name;
        std::function<void(TComm&)> set;
        std::function<void(CommLineSettings&, CommTimeouts&)> expect;
    };
    using L = CommLineSettings;
    using T = CommTimeouts;
    const std::vector<Row> rows = {
        {"BaudRate", [](TComm& c) { c.SetBaudRate(19200); }, [](L& l, T&) { l.BaudRate = 19200; }},
        {"ParityCheck", [](TComm& c) { c.SetParityCheck(true); },
         [](L& l, T&) { l.ParityCheck = true; }},
        {"Outx_CtsFlow", [](TComm& c) { c.SetOutx_CtsFlow(false); },
         [](L& l, T&) { l.Outx_CtsFlow = false; }},
        {"Outx_DsrFlow", [](TComm& c) { c.SetOutx_DsrFlow(false); },
         [](L& l, T&) { l.Outx_DsrFlow = false; }},
        {"DtrControl", [](TComm& c) { c.SetDtrControl(TDtrControl::DtrDisable); },
         [](L& l, T&) { l.DtrControl = TDtrControl::DtrDisable; }},
        {"DsrSensitivity", [](TComm& c) { c.SetDsrSensitivity(true); },
         [](L& l, T&) { l.DsrSensitivity = true; }},
        {"TxContinueOnXoff", [](TComm& c) { c.SetTxContinueOnXoff(false); },
         [](L& l, T&) { l.TxContinueOnXoff = false; }},
        {"Outx_XonXoffFlow", [](TComm& c) { c.SetOutx_XonXoffFlow(true); },
         [](L& l, T&) { l.Outx_XonXoffFlow = true; }},
        {"Inx_XonXoffFlow", [](TComm& c) { c.SetInx_XonXoffFlow(true); },
         [](L& l, T&) { l.Inx_XonXoffFlow = true; }},
        {"ReplaceWhenParityError", [](TComm& c) { c.SetReplaceWhenParityError(true); },
         [](L& l, T&) { l.ReplaceWhenParityError = true; }},
        {"IgnoreNullChar", [](TComm& c) { c.SetIgnoreNullChar(true); },
         [](L& l, T&) { l.IgnoreNullChar = true; }},
        {"RtsControl", [](TComm& c) { c.SetRtsControl(TRtsControl::RtsDisable); },
         [](L& l, T&) { l.RtsControl = TRtsControl::RtsDisable; }},
        {"XonLimit", [](TComm& c) { c.SetXonLimit(100); }, [](L& l, T&) { l.XonLimit = 100; }},
        {"XoffLimit", [](TComm& c) { c.SetXoffLimit(200); }, [](L& l, T&) { l.XoffLimit = 200; }},
        {"ByteSize", [](TComm& c) { c.SetByteSize(TByteSize::_7); },
         [](L& l, T&) { l.ByteSize = TByteSize::_7; }},
        {"Parity", [](TComm& c) { c.SetParity(TParity::Even); },
         [](L& l, T&) { l.Parity = TParity::Even; }},
        {"StopBits", [](TComm& c) { c.SetStopBits(TStopBits::_2); },
         [](L& l, T&) { l.StopBits = TStopBits::_2; }},
        {"XonChar", [](TComm& c) { c.SetXonChar('A'); }, [](L& l, T&) { l.XonChar = 'A'; }},
        {"XoffChar", [](TComm& c) { c.SetXoffChar('B'); }, [](L& l, T&) { l.XoffChar = 'B'; }},
        {"ReplacedChar", [](TComm& c) { c.SetReplacedChar('?'); },
         [](L& l, T&) { l.ReplacedChar = '?'; }},
        {"ReadIntervalTimeout", [](TComm& c) { c.SetReadIntervalTimeout(50); },
         [](L&, T& t) { t.ReadIntervalTimeout = 50; }},
        {"ReadTotalTimeoutMultiplier", [](TComm& c) { c.SetReadTotalTimeoutMultiplier(1); },
         [](L&, T& t) { t.ReadTotalTimeoutMultiplier = 1; }},
        {"ReadTotalTimeoutConstant", [](TComm& c) { c.SetReadTotalTimeoutConstant(2); },
         [](L&, T& t) { t.ReadTotalTimeoutConstant = 2; }},
        {"WriteTotalTimeoutMultiplier", [](TComm& c) { c.SetWriteTotalTimeoutMultiplier(3); },
         [](L&, T& t) { t.WriteTotalTimeoutMultiplier = 3; }},
        {"WriteTotalTimeoutConstant", [](TComm& c) { c.SetWriteTotalTimeoutConstant(4); },
         [](L&, T& t) { t.WriteTotalTimeoutConstant = 4; }},
    };
    open();
    CommLineSettings line;
    CommTimeouts timeouts;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int before = comm.PortWrites();
        row.set(comm);
        row.expect(line, timeouts);
        EXPECT_EQ(comm.PortWrites(), before + 1);
        EXPECT_TRUE(comm.LineSettings() == line);
        EXPECT_TRUE(comm.Timeouts() == timeouts);
        row.set(comm);
        EXPECT_EQ(comm.PortWrites(), before + 1);
    }
    // While closed, a change is stored and written at the next open only.
    comm.ClosePort();
    const int closedWrites = comm.PortWrites();
    comm.SetBaudRate(38400);
    comm.SetReadIntervalTimeout(20);
    EXPECT_EQ(comm.PortWrites(), closedWrites);
    open();
    EXPECT_EQ(currentBaudRate(static_cast<int>(comm.ComHandle())), 38400u);
}

// The line settings reach the terminal when the port opens and at once when one changes (a
// pseudo-terminal keeps most of them, though it has no line to apply them to; it always keeps
// 8 data bits without parity, so those are checked on fillTermios alone).
TEST_F(CommOnPty, LineSettingsReachTheTerminal) {
    open();
    const int fd = static_cast<int>(comm.ComHandle());
    const auto attrs = [fd] {
        termios t{};
        EXPECT_EQ(tcgetattr(fd, &t), 0);
        return t;
    };
    termios t = attrs();
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u); // Outx_CtsFlow defaults to on
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | INPCK | ICRNL), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);

    comm.SetStopBits(TStopBits::_2);
    comm.SetOutx_CtsFlow(false);
    comm.SetOutx_XonXoffFlow(true);
    comm.SetParityCheck(true);
    comm.SetXonChar('A');
    t = attrs();
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(t.c_iflag & IXON, 0u);
    EXPECT_NE(t.c_iflag & INPCK, 0u);
    EXPECT_EQ(t.c_cc[VSTART], 'A');
}

TEST_F(CommOnPty, StandardAndCustomRatesAreApplied) {
    for (const std::uint32_t rate : {19200u, 250000u, 115200u, 31250u}) {
        SCOPED_TRACE(rate);
        comm.SetBaudRate(rate);
        open();
        EXPECT_EQ(currentBaudRate(static_cast<int>(comm.ComHandle())), rate);
        comm.ClosePort();
    }
    // While open, a new rate is applied at once.
    open();
    comm.SetBaudRate(250000);
    EXPECT_EQ(currentBaudRate(static_cast<int>(comm.ComHandle())), 250000u);
    comm.SetBaudRate(9600);
    EXPECT_EQ(currentBaudRate(static_cast<int>(comm.ComHandle())), 9600u);
}

TEST_F(CommOnPty, ANameWithoutSlashIsLookedUpUnderDev) {
    const std::string path = pty.path();
    ASSERT_EQ(path.rfind("/dev/", 0), 0u);
    comm.SetCommName(QString::fromStdString(path.substr(5)));
    open();
    writeAll(pty.master(), "dev");
    EXPECT_TRUE(waitFor([&] { return record.received() == "dev"; }));
}

TEST(TCommLifetime, DestroyingAnOpenComponentClosesItsPort) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.valid());
    const QString name = QString::fromStdString(pty.path());
    {
        TComm comm;
        comm.SetCommName(name);
        ASSERT_EQ(openResult(comm), "opened");
        const QByteArray big(60000, 'z');
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(comm.WritePortData(reinterpret_cast<const std::uint8_t*>(big.constData()),
                                           static_cast<std::uint16_t>(big.size())));
        }
        writeAll(pty.master(), "unread");
        settle(50ms);
    }
    TComm next;
    next.SetCommName(name);
    EXPECT_EQ(openResult(next), "opened");
}

} // namespace
} // namespace r2
