// The data debugger window (offscreen) on loopback, driven through its own controls:
// - cyclic sending with all 50 rows ticked and no delays, to a UDP listener, for each of a few
//   intervals: the send rate reached, and how far the gap between the starts of two passes
//   (each pass's first row, stamped by the listener's kernel on arrival) lies from the interval
//   set. A pass is 50 sends and then a pause of one interval, so the gap is the interval plus
//   the time the 50 sends take plus the worker's wake-up lateness;
// - the receive pane under a flood of datagrams from a local peer, then as a TCP server under
//   a client writing bytes without a single line break: what the window received, the lines
//   its pane showed and dropped and the longest of them, and the window's longest event-loop
//   stall meanwhile (every outermost event dispatch timed, and a 2 ms ticker).
// Prints figures; run it through run.sh, which puts it in a private network namespace.
//
// usage: bench_debugger_cycle [SECONDS]   (per interval and for the flood, default 4)

#include "bench/event_loop_timing.h"
#include "debugger/cmd_file.h"
#include "debugger/widgets/Unit_DataDebug.h"
#include "lang/Unit_AppLang.h"
#include "protocol/panel_p6.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int CommandBytes = 32;
constexpr int FloodBytes = 64;
constexpr int Intervals[] = {1, 10, 100};

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "bench_debugger_cycle: %s\n", what);
    std::exit(1);
}

int LoopbackUdpSocket(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        Fail("cannot bind a loopback UDP socket");
    }
    return fd;
}

std::uint16_t LocalPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

std::uint16_t FreeTcpPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        Fail("cannot bind a loopback TCP socket");
    }
    const std::uint16_t port = LocalPort(fd);
    close(fd);
    return port;
}

std::uint16_t FreeUdpPort() {
    const int fd = LoopbackUdpSocket(0);
    const std::uint16_t port = LocalPort(fd);
    close(fd);
    return port;
}

// A plain socket on its own thread that notes every datagram with the kernel's receive stamp.
class StampingListener final {
public:
    struct Arrival {
        double ms = 0; // CLOCK_REALTIME, from SO_TIMESTAMPNS; only differences are used
        int row = -1;
    };

    StampingListener() : m_fd(LoopbackUdpSocket(0)) {
        const int on = 1;
        const int buffer = 8 << 20;
        setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        m_thread = std::thread([this] { Run(); });
    }
    ~StampingListener() {
        Stop();
        close(m_fd);
    }
    StampingListener(const StampingListener&) = delete;
    StampingListener& operator=(const StampingListener&) = delete;

    std::uint16_t Port() const { return LocalPort(m_fd); }
    std::vector<Arrival> Stop() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return m_arrivals;
    }

private:
    void Run() {
        pollfd wait{m_fd, POLLIN, 0};
        while (!m_stop) {
            if (poll(&wait, 1, 20) <= 0) {
                continue;
            }
            char data[256];
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
            iovec part{data, sizeof data};
            msghdr message{};
            message.msg_iov = &part;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            while (true) {
                message.msg_controllen = sizeof control;
                const ssize_t size = recvmsg(m_fd, &message, MSG_DONTWAIT);
                if (size < 0) {
                    break;
                }
                Arrival arrival;
                for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
                    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                        timespec stamp{};
                        std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
                        arrival.ms = static_cast<double>(stamp.tv_sec) * 1000.0 +
                                     static_cast<double>(stamp.tv_nsec) / 1e6;
                    }
                }
                // "row NN ..."
                if (size >= 6) {
                    arrival.row = (data[4] - '0') * 10 + (data[5] - '0');
                }
                m_arrivals.push_back(arrival);
            }
        }
    }

    int m_fd;
    std::atomic<bool> m_stop{false};
    std::vector<Arrival> m_arrivals;
    std::thread m_thread;
};

// A local peer flooding the window from a thread of its own, as fast as it can.
class FloodPeer {
public:
    virtual ~FloodPeer() = default;
    void Start() {
        m_thread = std::thread([this] {
            while (!m_stop) {
                m_sent += SendSome();
            }
        });
    }
    // What was sent, in the units the window's receive count uses.
    long Stop() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return m_sent;
    }

protected:
    // Sends a little; what it sent.
    virtual long SendSome() = 0;

private:
    std::atomic<bool> m_stop{false};
    long m_sent = 0;
    std::thread m_thread;
};

// FloodBytes-byte datagrams to a loopback port; counts datagrams.
class DatagramFlood final : public FloodPeer {
public:
    explicit DatagramFlood(std::uint16_t port) : m_fd(LoopbackUdpSocket(0)) {
        m_to.sin_family = AF_INET;
        m_to.sin_port = htons(port);
        m_to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::fill(std::begin(m_payload), std::end(m_payload), 'F');
    }
    ~DatagramFlood() override {
        Stop();
        close(m_fd);
    }
    DatagramFlood(const DatagramFlood&) = delete;
    DatagramFlood& operator=(const DatagramFlood&) = delete;

private:
    long SendSome() override {
        return sendto(m_fd, m_payload, sizeof m_payload, 0, reinterpret_cast<sockaddr*>(&m_to),
                      sizeof m_to) == static_cast<ssize_t>(sizeof m_payload)
                   ? 1
                   : 0;
    }

    int m_fd;
    sockaddr_in m_to{};
    char m_payload[FloodBytes];
};

// Bytes without a single line break on a TCP connection to a loopback port; counts bytes.
class ByteFlood final : public FloodPeer {
public:
    explicit ByteFlood(std::uint16_t port)
        : m_fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), m_block(64 * 1024, 'F') {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd < 0 || connect(m_fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
            Fail("cannot connect to the window's TCP server");
        }
    }
    ~ByteFlood() override {
        Stop();
        close(m_fd);
    }
    ByteFlood(const ByteFlood&) = delete;
    ByteFlood& operator=(const ByteFlood&) = delete;

private:
    long SendSome() override {
        // A short wait for room, so that a stop is seen even while the window reads nothing.
        pollfd room{m_fd, POLLOUT, 0};
        if (poll(&room, 1, 20) <= 0) {
            return 0;
        }
        const ssize_t n = send(m_fd, m_block.data(), m_block.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        return n > 0 ? static_cast<long>(n) : 0;
    }

    int m_fd;
    std::string m_block;
};

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return NAN;
    }
    std::ranges::sort(values);
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

void RunEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename T> T* Control(QWidget& window, const char* name) {
    auto* control = window.findChild<T*>(QString::fromLatin1(name));
    if (control == nullptr) {
        Fail("a control is missing");
    }
    return control;
}

// 50 ticked rows without delays, each sending "row NN " padded to CommandBytes.
void WriteTickedRows(const QString& path) {
    r2::CmdRows rows;
    r2::ClearCmdRows(rows, "Right custom name");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].chkChoose = true;
        rows[i].edtCmd = QStringLiteral("row %1 ")
                             .arg(i, 2, 10, QLatin1Char('0'))
                             .leftJustified(CommandBytes, QLatin1Char('x'))
                             .toStdString();
    }
    if (!r2::SaveCmdFile(path.toStdString(), rows).empty()) {
        Fail("cannot write the command file");
    }
}

void CycleAtInterval(r2::Tfrm_DataDebug& window, int intervalMs, int seconds) {
    StampingListener listener;
    Control<QLineEdit>(window, "edtLoport")->setText(QString::number(listener.Port()));
    Control<QLineEdit>(window, "edtCycle")->setText(QString::number(intervalMs));
    auto* cycle = Control<QPushButton>(window, "btnCycleSend");
    const std::uint64_t sentFrom = window.Transport().BytesSent();
    cycle->click();
    if (cycle->text() != QStringLiteral("Stop send")) {
        Fail("cyclic sending did not start");
    }
    RunEventLoop(seconds * 1000);
    cycle->click();
    // The pass under way ends with its pause; then the listener has everything.
    RunEventLoop(intervalMs + 300);
    const auto arrivals = listener.Stop();
    const double sent =
        static_cast<double>(window.Transport().BytesSent() - sentFrom) / CommandBytes;

    std::vector<double> gapErrors;
    std::vector<double> passLengths;
    double passStart = NAN;
    for (const auto& arrival : arrivals) {
        if (arrival.row == 0) {
            if (!std::isnan(passStart)) {
                gapErrors.push_back(arrival.ms - passStart - intervalMs);
            }
            passStart = arrival.ms;
        } else if (arrival.row == 49 && !std::isnan(passStart)) {
            passLengths.push_back(arrival.ms - passStart);
        }
    }
    const double span = arrivals.size() > 1 ? (arrivals.back().ms - arrivals.front().ms) / 1000 : 0;
    const double rate = span > 0 ? static_cast<double>(arrivals.size()) / span : 0;
    std::printf("  %5d ms %7zu %12.0f %10.0f %5.0f %15.2f %12.2f %12.2f %16.2f\n", intervalMs,
                gapErrors.size() + 1, rate, rate * CommandBytes,
                sent - static_cast<double>(arrivals.size()), Percentile(gapErrors, 0.5),
                Percentile(gapErrors, 0.95), Percentile(gapErrors, 1.0),
                Percentile(passLengths, 0.5));
}

// The pane says how many lines it dropped as "(-N)" after its limit.
long DroppedLines(QWidget& window) {
    const auto dropped = QRegularExpression(QStringLiteral("\\(-(\\d+)\\)"))
                             .match(Control<QLabel>(window, "lblRecvLimit")->text());
    return dropped.hasMatch() ? dropped.captured(1).toLong() : 0;
}

qsizetype LongestLine(const QPlainTextEdit& pane) {
    qsizetype longest = 0;
    for (const QString& line : pane.toPlainText().split(QLatin1Char('\n'))) {
        longest = std::max(longest, line.size());
    }
    return longest;
}

// `unit`: what the peer's and the window's counts are in ("datagrams" or "bytes").
void FloodThePane(r2::Tfrm_DataDebug& window, FloodPeer& flood, const char* unit, int seconds,
                  r2bench::TimedApplication& app) {
    const bool countBytes = std::strcmp(unit, "bytes") == 0;
    long received = 0;
    long chunks = 0;
    const auto counter =
        QObject::connect(&window.Transport(), &r2::DebugTransport::DataReceived, &window,
                         [&](const QString&, std::uint16_t, const QByteArray& bytes) {
                             received += countBytes ? bytes.size() : 1;
                             ++chunks;
                         });
    auto* pane = Control<QPlainTextEdit>(window, "mmoReceive");
    pane->clear();
    const long droppedBefore = DroppedLines(window);
    r2bench::StallMonitor stalls;
    app.setRecording(true);
    stalls.start();
    const double from = r2bench::MonotonicMs();
    const r2bench::ThreadUse useFrom = r2bench::ThreadUse::Now();
    flood.Start();
    RunEventLoop(seconds * 1000);
    const long sent = flood.Stop();
    const double floodSeconds = (r2bench::MonotonicMs() - from) / 1000;
    const r2bench::ThreadUse use = r2bench::ThreadUse::Now() - useFrom;
    // The backlog the window still holds reaches the pane within its flush period.
    RunEventLoop(500);
    stalls.stop();
    app.setRecording(false);
    QObject::disconnect(counter);

    const long droppedLines = DroppedLines(window) - droppedBefore;
    const QJsonObject stall = stalls.result();
    const QJsonObject longest = app.longest();
    std::printf("  peer sent        %11ld %-9s %11.0f/s\n", sent, unit,
                static_cast<double>(sent) / floodSeconds);
    std::printf("  window received  %11ld %-9s %11.0f/s   in %ld reads; %ld not (yet) taken\n",
                received, unit, static_cast<double>(received) / floodSeconds, chunks,
                sent - received);
    std::printf("  pane showed      %11ld lines     %11.0f/s   dropped %ld lines; it holds %d, "
                "the longest %lld characters\n",
                chunks - droppedLines, static_cast<double>(chunks - droppedLines) / floodSeconds,
                droppedLines, pane->blockCount(), static_cast<long long>(LongestLine(*pane)));
    std::printf("  window thread on CPU %.0f ms of the %.1f s; it waited %ld times and was "
                "preempted %ld times\n",
                use.cpuMs, floodSeconds, use.waits, use.preempted);
    std::printf("  longest event-loop stall %.1f ms (window thread on CPU %.1f ms of it); "
                "longest dispatch %.1f ms: %s\n",
                stall.value("longestMs").toDouble(),
                stall.value("use").toObject().value("cpuMs").toDouble(),
                longest.value("ms").toDouble(), qPrintable(longest.value("what").toString()));
    std::printf("  event dispatches that took the most time in all (QTimer: the pane's 50 ms "
                "flush and the 2 ms stall ticker):\n");
    for (const auto& heavy : app.heaviest(3)) {
        const QJsonObject entry = heavy.toObject();
        std::printf("    %-40s %7d times  %8.0f ms  longest %6.1f ms\n",
                    qPrintable(entry.value("what").toString()), entry.value("count").toInt(),
                    entry.value("totalMs").toDouble(), entry.value("longestMs").toDouble());
    }
}

} // namespace

int main(int argc, char** argv) {
    r2bench::TimedApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
    r2::LangList = r2::TLangList{};
    r2::BuildBuiltInTexts(r2::LangList);
    r2::LangList.UseChinese = false;

    QTemporaryDir programDir;
    WriteTickedRows(programDir.filePath(QStringLiteral("DataSelf.txt")));
    r2::Tfrm_DataDebug window(programDir.path(), std::string());
    window.setMessageShower([](QMessageBox::Icon, const QString& text) {
        std::fprintf(stderr, "bench_debugger_cycle: the window says: %s\n", qPrintable(text));
        std::exit(1);
    });
    const std::uint16_t windowPort = FreeUdpPort();
    r2::PanelP6 panel; // module in UDP Client mode: the window proposes "UDP Server"
    panel.cbb_WorkMode0.Select(0);
    panel.edt_RemoteIP0 = "127.0.0.1";
    panel.edt_RemotePort0 = std::to_string(windowPort);
    window.FormShow(panel);
    window.show();
    Control<QPushButton>(window, "btnConnet")->click();
    if (!window.Transport().UdpRunning()) {
        Fail("the window's UDP endpoint did not start");
    }

    std::printf("data debugger on loopback, window %s, %u processors\n",
                qPrintable(QGuiApplication::platformName()), std::thread::hardware_concurrency());
    std::printf("cyclic sending: 50 rows ticked, no delays, %d-byte commands, %d s per interval\n",
                CommandBytes, seconds);
    std::printf("  gap-int: the time between the first rows of two passes (kernel receive "
                "stamps) less the interval;\n  50 sends: from a pass's first row to its last\n");
    std::printf("  %8s %7s %12s %10s %5s %15s %12s %12s %16s\n", "interval", "passes",
                "datagrams/s", "bytes/s", "lost", "gap-int median", "gap-int p95", "gap-int max",
                "50 sends median");
    for (const int interval : Intervals) {
        CycleAtInterval(window, interval, seconds);
    }
    std::printf("receive pane (hex) under a flood of %d-byte datagrams from one local peer for "
                "%d s:\n",
                FloodBytes, seconds);
    {
        DatagramFlood flood(windowPort);
        FloodThePane(window, flood, "datagrams", seconds, app);
    }

    // The same window as a TCP server, a client writing bytes without a line break.
    auto* connectButton = Control<QPushButton>(window, "btnConnet");
    connectButton->click();
    Control<QComboBox>(window, "cbbProtrolType")->setCurrentIndex(1);
    const std::uint16_t serverPort = FreeTcpPort();
    Control<QLineEdit>(window, "edtPort")->setText(QString::number(serverPort));
    connectButton->click();
    if (!window.Transport().Listening()) {
        Fail("the window's TCP server did not start");
    }
    Control<QCheckBox>(window, "chkRecvHex")->setChecked(false);
    std::printf("receive pane (text) under a flood of bytes without a line break from one TCP "
                "client for %d s:\n",
                seconds);
    {
        ByteFlood flood(serverPort);
        FloodThePane(window, flood, "bytes", seconds, app);
    }
    return 0;
}
