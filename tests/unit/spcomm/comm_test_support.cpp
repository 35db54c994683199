#include "comm_test_support.h"

#include <cerrno>
#include <poll.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <unistd.h>

namespace r2 {

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limit.count()) {
            return done();
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

void settle(std::chrono::milliseconds time) {
    waitFor([] { return false; }, time);
}

void writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t put =
            write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (put < 0 && errno != EINTR && errno != EAGAIN) {
            ADD_FAILURE() << "write to the master failed: errno " << errno;
            return;
        }
        if (put < 0) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
            continue;
        }
        done += put;
    }
}

QByteArray readAvailable(int fd) {
    QByteArray got;
    char buffer[4096];
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, 0) > 0 && (p.revents & POLLIN) != 0) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        got.append(buffer, n);
    }
    return got;
}

std::string openResult(TComm& comm) {
    try {
        comm.OpenPort();
    } catch (const ECommsError& e) {
        return e.what();
    }
    return "opened";
}

CommRecord::CommRecord(TComm& comm) {
    QObject::connect(&comm, &TComm::OnReceiveData, [this](const QByteArray& chunk) {
        chunks.push_back(chunk);
        events.emplace_back("data");
    });
    QObject::connect(&comm, &TComm::OnReceiveError, [this](std::uint32_t mask) {
        events.push_back("error " + std::to_string(mask));
    });
    QObject::connect(&comm, &TComm::OnModemStateChange, [this](std::uint32_t bits) {
        events.push_back("modem " + std::to_string(bits));
    });
    QObject::connect(&comm, &TComm::OnRequestHangup, [this] {
        ++hangups;
        events.emplace_back("hangup");
    });
    QObject::connect(&comm, &TComm::OnSendDataEmpty, [this] {
        ++txEmpty;
        events.emplace_back("txempty");
    });
}

QByteArray CommRecord::received() const {
    QByteArray all;
    for (const QByteArray& chunk : chunks) {
        all += chunk;
    }
    return all;
}

std::vector<qsizetype> CommRecord::chunkSizes() const {
    std::vector<qsizetype> sizes;
    for (const QByteArray& chunk : chunks) {
        sizes.push_back(chunk.size());
    }
    return sizes;
}

void CommOnPty::SetUp() {
    ASSERT_TRUE(pty.valid());
    comm.SetCommName(QString::fromStdString(pty.path()));
}

void CommOnPty::open() {
    ASSERT_EQ(openResult(comm), "opened");
}

} // namespace r2
