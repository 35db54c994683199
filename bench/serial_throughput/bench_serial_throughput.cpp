// TComm's cost over a plain descriptor, measured on one pseudo-terminal pair in one run:
// - throughput, 1 MiB each way: device (master) to TComm's OnReceiveData, and WritePortData to
//   the device; the reference moves the same bytes with blocking read/write on the terminal end.
//   1 MiB is not a whole number of 3072-byte chunks, so TComm's time in includes one read
//   interval for the last, partial chunk;
// - chunk latency: from the device's write of one message to OnReceiveData (reference: to the
//   return of a blocking read of that many bytes), for a full 3072-byte chunk and for a short
//   message, which TComm delivers only after the read interval has passed without a byte.
// A pseudo-terminal has no baud rate, so these are the costs of the code and the kernel alone.
//
// usage: bench_serial_throughput [MESSAGES]   (latency samples per case, default 200)

#include "serial/pseudo_terminal.h"
#include "serial/SPComm.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <QByteArray>
#include <QCoreApplication>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Total = 1024 * 1024;
constexpr int Block = 3072;
constexpr std::uint32_t Interval = 10; // ms, TComm's default ReadIntervalTimeout

double msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

QByteArray pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 13 + i / 509) & 0xFF);
    }
    return bytes;
}

bool writeAll(int fd, const char* data, int size) {
    while (size > 0) {
        const ssize_t put = write(fd, data, static_cast<size_t>(size));
        if (put <= 0) {
            return false;
        }
        data += put;
        size -= static_cast<int>(put);
    }
    return true;
}

QByteArray readExactly(int fd, int size) {
    QByteArray got(size, '\0');
    int have = 0;
    while (have < size) {
        const ssize_t n = read(fd, got.data() + have, static_cast<size_t>(size - have));
        if (n <= 0) {
            got.truncate(have);
            return got;
        }
        have += static_cast<int>(n);
    }
    return got;
}

void runUntil(const std::function<bool()>& done) {
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
}

struct Figures {
    double inMs = 0;  // device -> us
    double outMs = 0; // us -> device
    bool intact = true;
};

void printThroughput(const char* who, const Figures& f) {
    std::printf("  %-22s in %8.1f ms  %7.1f MB/s   out %8.1f ms  %7.1f MB/s   %s\n", who, f.inMs,
                Total / f.inMs / 1000.0, f.outMs, Total / f.outMs / 1000.0,
                f.intact ? "bytes intact" : "BYTES DIFFER");
}

void printLatency(const char* who, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const auto at = [&samples](double q) {
        return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))];
    };
    std::printf("  %-34s median %7.3f ms   p95 %7.3f ms   max %7.3f ms\n", who, at(0.5), at(0.95),
                samples.back());
}

Figures commThroughput(r2::TComm& comm, int master, const QByteArray& data) {
    Figures f;
    QByteArray received;
    const auto connection = QObject::connect(&comm, &r2::TComm::OnReceiveData,
                                             [&received](const QByteArray& c) { received += c; });
    const auto inStart = Clock::now();
    std::thread device([&] { writeAll(master, data.constData(), Total); });
    runUntil([&] { return received.size() >= Total; });
    const auto inEnd = Clock::now();
    device.join();
    QObject::disconnect(connection);
    f.inMs = msBetween(inStart, inEnd);
    f.intact = received == data;

    QByteArray atDevice;
    const auto outStart = Clock::now();
    std::thread reader([&] { atDevice = readExactly(master, Total); });
    for (int at = 0; at < Total; at += Block) {
        comm.WritePortData(reinterpret_cast<const std::uint8_t*>(data.constData() + at),
                           static_cast<std::uint16_t>(std::min(Block, Total - at)));
    }
    reader.join();
    f.outMs = msBetween(outStart, Clock::now());
    f.intact = f.intact && atDevice == data;
    return f;
}

Figures plainThroughput(int port, int master, const QByteArray& data) {
    Figures f;
    QByteArray received;
    auto start = Clock::now();
    std::thread device([&] { writeAll(master, data.constData(), Total); });
    received = readExactly(port, Total);
    f.inMs = msBetween(start, Clock::now());
    device.join();
    f.intact = received == data;

    start = Clock::now();
    std::thread reader([&] { received = readExactly(master, Total); });
    for (int at = 0; at < Total; at += Block) {
        writeAll(port, data.constData() + at, std::min(Block, Total - at));
    }
    reader.join();
    f.outMs = msBetween(start, Clock::now());
    f.intact = f.intact && received == data;
    return f;
}

std::vector<double> commLatency(r2::TComm& comm, int master, int size, int messages) {
    std::vector<double> samples;
    const QByteArray message = pattern(size);
    Clock::time_point sent;
    int got = 0;
    const auto connection =
        QObject::connect(&comm, &r2::TComm::OnReceiveData, [&](const QByteArray& chunk) {
            got += static_cast<int>(chunk.size());
            if (got >= size) {
                samples.push_back(msBetween(sent, Clock::now()));
            }
        });
    for (int i = 0; i < messages; ++i) {
        got = 0;
        sent = Clock::now();
        writeAll(master, message.constData(), size);
        runUntil([&] { return got >= size; });
    }
    QObject::disconnect(connection);
    return samples;
}

std::vector<double> plainLatency(int port, int master, int size, int messages) {
    std::vector<double> samples;
    const QByteArray message = pattern(size);
    for (int i = 0; i < messages; ++i) {
        const auto sent = Clock::now();
        writeAll(master, message.constData(), size);
        readExactly(port, size);
        samples.push_back(msBetween(sent, Clock::now()));
    }
    return samples;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int messages = argc > 1 ? std::max(2, std::atoi(argv[1])) : 200;
    r2::PseudoTerminal pty;
    if (!pty.valid()) {
        std::fprintf(stderr, "bench_serial_throughput: no pseudo-terminal\n");
        return 1;
    }
    const QByteArray data = pattern(Total);
    std::printf("serial throughput on %s: %d bytes each way, writes of %d bytes; TComm read "
                "interval %u ms\n",
                pty.path().c_str(), Total, Block, Interval);

    r2::TComm comm;
    comm.SetCommName(QString::fromStdString(pty.path()));
    comm.SetOutx_CtsFlow(false);
    comm.SetReadIntervalTimeout(Interval);
    comm.OpenPort();
    const Figures viaComm = commThroughput(comm, pty.master(), data);
    const std::vector<double> commFull = commLatency(comm, pty.master(), Block, messages);
    const std::vector<double> commShort = commLatency(comm, pty.master(), 32, messages);
    comm.ClosePort();

    const int port = open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (port < 0 || tcgetattr(port, &t) != 0) {
        std::fprintf(stderr, "bench_serial_throughput: cannot reopen %s\n", pty.path().c_str());
        return 1;
    }
    cfmakeraw(&t);
    tcsetattr(port, TCSANOW, &t);
    const Figures plain = plainThroughput(port, pty.master(), data);
    const std::vector<double> plainFull = plainLatency(port, pty.master(), Block, messages);
    const std::vector<double> plainShort = plainLatency(port, pty.master(), 32, messages);
    close(port);

    std::printf("throughput (1 MiB):\n");
    printThroughput("TComm", viaComm);
    printThroughput("blocking read/write", plain);
    std::printf("chunk latency, device write to delivery (%d messages each):\n", messages);
    printLatency("TComm, 3072 B (full chunk)", commFull);
    printLatency("blocking read, 3072 B", plainFull);
    printLatency("TComm, 32 B (ends at the interval)", commShort);
    printLatency("blocking read, 32 B", plainShort);
    return viaComm.intact && plain.intact ? 0 : 1;
}
