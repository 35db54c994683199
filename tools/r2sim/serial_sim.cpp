#include "tools/r2sim/serial_sim.h"

#include "tools/r2sim/sim_poll.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

namespace r2::sim {
namespace {

constexpr std::size_t ReadChunk = 4096;
constexpr std::string_view Peer = "serial";

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        return false;
    }
    cfmakeraw(&t);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

} // namespace

SerialSim::SerialSim(SerialModule module, int splitMs, FrameLog& log)
    : m_module(std::move(module)), m_splitMs(splitMs), m_log(log) {}

SerialSim::~SerialSim() {
    for (const int fd : {m_inotify, m_slave, m_master}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

std::string SerialSim::open(int signalFd) {
    m_signalFd = signalFd;
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        return Errno("posix_openpt");
    }
    std::array<char, 128> name{};
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name.data(), name.size()) != 0) {
        return Errno("the pseudo-terminal's slave end");
    }
    m_path = name.data();
    m_slave = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        return Errno("open " + m_path);
    }
    const int flags = fcntl(m_master, F_GETFL);
    if (!MakeRaw(m_master) || !MakeRaw(m_slave) || flags < 0 ||
        fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        return Errno("raw mode on " + m_path);
    }
    // Watched only now, so the simulator's own open above is no tool's.
    m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0 || inotify_add_watch(m_inotify, m_path.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        return Errno("watching " + m_path);
    }
    return {};
}

int SerialSim::pollTimeoutMs() const {
    std::optional<double> due = m_module.deadline();
    if (!m_out.empty()) {
        due = std::min(due.value_or(m_out.front().due), m_out.front().due);
    }
    if (!due) {
        return -1;
    }
    const double wait = *due - MonotonicMs();
    return wait <= 0 ? 0 : static_cast<int>(std::ceil(wait));
}

int SerialSim::run() {
    std::array<pollfd, 3> fds = {
        {{m_signalFd, POLLIN, 0}, {m_inotify, POLLIN, 0}, {m_master, POLLIN, 0}}};
    for (;;) {
        switch (PollUntilStop(fds, pollTimeoutMs())) {
        case PollResult::Stop:
            return 0;
        case PollResult::Failed:
            return 1;
        case PollResult::Ready:
            break;
        }
        // Opens and closes first: they were queued before anything the tool wrote after them.
        if ((fds[1].revents & POLLIN) != 0) {
            watchTool();
        }
        if ((fds[2].revents & POLLIN) != 0 && !readLine(MonotonicMs())) {
            return 1;
        }
        if ((fds[2].revents & POLLIN) == 0 && (fds[2].revents & (POLLHUP | POLLERR)) != 0) {
            std::fprintf(stderr, "r2sim: %s hung up\n", m_path.c_str());
            return 1;
        }
        handle(m_module.expire(MonotonicMs()), MonotonicMs());
        writeDue();
    }
}

bool SerialSim::readLine(double now) {
    std::array<std::uint8_t, ReadChunk> buffer{};
    for (;;) {
        const ssize_t got = read(m_master, buffer.data(), buffer.size());
        if (got > 0) {
            handle(m_module.feed(ByteView(buffer.data(), static_cast<std::size_t>(got)), now), now);
            now = MonotonicMs();
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        }
        std::fprintf(stderr, "r2sim: %s\n", Errno("reading " + m_path).c_str());
        return false;
    }
}

void SerialSim::handle(const std::vector<SerialEvent>& events, double now) {
    for (const SerialEvent& e : events) {
        m_log.write({now, true, std::string(Peer), 0, &e.received, {}, e.action, e.result, {}, 0});
        if (!e.reply.empty()) {
            schedule(e, now);
        }
    }
}

void SerialSim::schedule(const SerialEvent& e, double now) {
    const double start = m_out.empty() ? now : std::max(now, m_out.back().due);
    if (m_splitMs <= 0 || e.reply.size() < 2) {
        m_out.push_back({start, e.reply, e.action, e.result});
        return;
    }
    const auto half = e.reply.begin() + static_cast<std::ptrdiff_t>(e.reply.size() / 2);
    m_out.push_back({start, Bytes(e.reply.begin(), half), e.action, e.result + ", part 1 of 2"});
    m_out.push_back(
        {start + m_splitMs, Bytes(half, e.reply.end()), e.action, e.result + ", part 2 of 2"});
}

void SerialSim::writeDue() {
    while (!m_out.empty() && m_out.front().due <= MonotonicMs()) {
        const Pending& p = m_out.front();
        const double startMs = MonotonicMs();
        std::string result = p.result;
        if (!m_toolHasPort) {
            result = "lost: no tool has the port open";
        } else if (const ssize_t n = write(m_master, p.bytes.data(), p.bytes.size());
                   n != static_cast<ssize_t>(p.bytes.size())) {
            result = n < 0 ? Errno("write failed")
                           : "short write: " + std::to_string(n) + " of " +
                                 std::to_string(p.bytes.size());
        }
        m_log.write({MonotonicMs(),
                     false,
                     std::string(Peer),
                     0,
                     &p.bytes,
                     {},
                     p.action,
                     result,
                     {},
                     startMs});
        m_out.pop_front();
    }
}

void SerialSim::watchTool() {
    alignas(inotify_event) std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t got = read(m_inotify, buffer.data(), buffer.size());
        if (got <= 0) {
            return;
        }
        for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
            inotify_event event{};
            std::memcpy(&event, buffer.data() + at, sizeof event);
            at += sizeof event + event.len;
            if ((event.mask & IN_OPEN) != 0) {
                m_toolHasPort = true;
                note("open", "a tool opened the port");
            }
            if ((event.mask & IN_CLOSE) != 0) {
                m_toolHasPort = false;
                releasePort();
            }
        }
    }
}

void SerialSim::releasePort() {
    const bool ok =
        ioctl(m_slave, TIOCNXCL) == 0 && tcflush(m_slave, TCIFLUSH) == 0 && MakeRaw(m_slave);
    note("close", ok ? "the tool closed the port: exclusive claim released, unread bytes dropped"
                     : Errno("the tool closed the port; resetting it failed"));
}

void SerialSim::note(std::string action, std::string result) {
    m_log.write({MonotonicMs(),
                 true,
                 std::string(Peer),
                 0,
                 nullptr,
                 {},
                 std::move(action),
                 std::move(result),
                 {},
                 0});
}

int RunSerialSim(const SerialSimOptions& options, FrameLog& log, int signalFd) {
    SerialSim sim(SerialModule(options.model, options.state, options.behaviour), options.splitMs,
                  log);
    if (const std::string err = sim.open(signalFd); !err.empty()) {
        std::fprintf(stderr, "r2sim: %s\n", err.c_str());
        return 1;
    }
    std::printf("serial %s %s\nready\n", std::string(SerialModelName(options.model)).c_str(),
                sim.path().c_str());
    std::fflush(stdout);
    const int status = sim.run();
    std::printf("stopped\n");
    return status;
}

} // namespace r2::sim
