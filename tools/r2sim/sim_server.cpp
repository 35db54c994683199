#include "tools/r2sim/sim_server.h"

#include "tools/r2sim/sim_poll.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <set>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace r2::sim {
namespace {

constexpr int ReceiveBufferBytes = 4 * 1024 * 1024;
constexpr std::size_t MaxDatagram = 65536;
// Datagrams a flood sends between two polls.
constexpr int FloodBurst = 256;

std::uint64_t MacKey(const MacBytes& mac) {
    std::uint64_t key = 0;
    for (const std::uint8_t b : mac) {
        key = key << 8 | b;
    }
    return key;
}

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string BindSocket(int fd, std::uint16_t port) {
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
        setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0) {
        return Errno("setsockopt");
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        return Errno(("bind port " + std::to_string(port)).c_str());
    }
    // After bind, as the kernel may otherwise reset it; the forced variant needs
    // CAP_NET_ADMIN, which the lab has, and the plain one is the fallback elsewhere.
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &ReceiveBufferBytes,
                   sizeof ReceiveBufferBytes) != 0) {
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &ReceiveBufferBytes, sizeof ReceiveBufferBytes);
    }
    return {};
}

// When the kernel took the datagram in, on the monotonic clock. The kernel stamps it on the
// real-time clock as it arrives, which keeps the gaps between frames exact even when this
// process gets the CPU late; without a stamp, now is the best we know.
double ArrivalMs(msghdr& msg) {
    const double now = MonotonicMs();
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec stamp{};
            std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
            timespec real{};
            clock_gettime(CLOCK_REALTIME, &real);
            const double ageMs = static_cast<double>(real.tv_sec - stamp.tv_sec) * 1000.0 +
                                 static_cast<double>(real.tv_nsec - stamp.tv_nsec) / 1e6;
            return ageMs >= 0 ? now - ageMs : now;
        }
    }
    return now;
}

} // namespace

std::string AddressText(const sockaddr_in& a) {
    char ip[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a.sin_addr, ip, sizeof ip);
    return std::string(ip) + ":" + std::to_string(ntohs(a.sin_port));
}

SimServer::SimServer(std::vector<SimModule> modules, FrameLog& log)
    : m_modules(std::move(modules)), m_log(log) {
    m_sourceAddr.resize(m_modules.size());
    m_ownSourceWorks.assign(m_modules.size(), true);
    m_secondAddr.resize(m_modules.size());
    for (std::size_t i = 0; i < m_modules.size(); ++i) {
        const ModuleConfig& cfg = m_modules[i].config();
        m_byMac[MacKey(cfg.mac)] = i;
        if (inet_pton(AF_INET, cfg.ip.c_str(), &m_sourceAddr[i]) != 1) {
            m_ownSourceWorks[i] = false;
        }
        in_addr second{};
        if (inet_pton(AF_INET, cfg.secondIp.c_str(), &second) == 1) {
            m_secondAddr[i] = second;
        }
    }
}

SimServer::~SimServer() {
    for (const Socket& s : m_sockets) {
        close(s.fd);
    }
}

std::string SimServer::open(int signalFd) {
    m_signalFd = signalFd;
    std::set<std::uint16_t> ports = {CfgPortP6, CfgPortP7};
    for (const SimModule& m : m_modules) {
        ports.insert(m.config().searchPort);
    }
    for (const std::uint16_t port : ports) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return Errno("socket");
        }
        m_sockets.push_back({fd, port});
        if (std::string err = BindSocket(fd, port); !err.empty()) {
            return err;
        }
    }
    return {};
}

int SimServer::socketFor(std::uint16_t port) const {
    for (const Socket& s : m_sockets) {
        if (s.port == port) {
            return s.fd;
        }
    }
    return -1;
}

int SimServer::pollTimeoutMs() const {
    if (!m_floods.empty()) {
        return 0;
    }
    if (m_pending.empty()) {
        return -1;
    }
    const double wait = m_pending.top().due - MonotonicMs();
    return wait <= 0 ? 0 : static_cast<int>(std::ceil(wait));
}

int SimServer::run() {
    std::vector<pollfd> fds;
    fds.push_back({m_signalFd, POLLIN, 0});
    for (const Socket& s : m_sockets) {
        fds.push_back({s.fd, POLLIN, 0});
    }
    for (;;) {
        switch (PollUntilStop(fds, pollTimeoutMs())) {
        case PollResult::Stop:
            return 0;
        case PollResult::Failed:
            return 1;
        case PollResult::Ready:
            break;
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if ((fds[i].revents & POLLIN) != 0 && !drain(m_sockets[i - 1])) {
                return 1;
            }
        }
        sendDue();
        sendFloods();
    }
}

// Reads every datagram waiting on the socket, so a burst never waits for the next poll.
bool SimServer::drain(const Socket& socket) {
    Bytes buffer(MaxDatagram);
    for (;;) {
        sockaddr_in from{};
        iovec iov{buffer.data(), buffer.size()};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        alignas(cmsghdr) char
            control[CMSG_SPACE(sizeof(timespec)) + CMSG_SPACE(sizeof(in_pktinfo))] = {};
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t got = recvmsg(socket.fd, &msg, MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return true;
            }
            if (errno == EINTR || errno == ECONNREFUSED) {
                continue;
            }
            std::perror("r2sim: recvmsg");
            return false;
        }
        const double now = ArrivalMs(msg);
        handle(Bytes(buffer.begin(), buffer.begin() + got), from, socket.port, now);
    }
}

void SimServer::handle(const Bytes& frame, const sockaddr_in& from, std::uint16_t localPort,
                       double now) {
    LogEntry entry{now, true, AddressText(from), localPort, &frame, {}, {}, {}, {}, 0};
    if (IsSearchRequest(frame)) {
        std::size_t answered = 0;
        std::vector<std::pair<std::size_t, Answer>> answers;
        for (std::size_t i = 0; i < m_modules.size(); ++i) {
            Answer a = m_modules[i].answerSearch(localPort);
            if (!a.replies.empty()) {
                ++answered;
                answers.emplace_back(i, std::move(a));
            }
        }
        entry.action = "search";
        entry.result = std::to_string(answered) + " answering";
        m_log.write(entry);
        for (const auto& [i, a] : answers) {
            schedule(i, a, from, now);
        }
        return;
    }
    const auto mac = FrameMac(frame);
    if (!mac) {
        entry.result = "ignored: not a command frame";
        m_log.write(entry);
        return;
    }
    const auto it = m_byMac.find(MacKey(*mac));
    if (it == m_byMac.end()) {
        entry.result = "ignored: no module " + MacBytesToText(*mac);
        m_log.write(entry);
        return;
    }
    const Answer a = m_modules[it->second].answerCommand(frame, localPort);
    entry.module = m_modules[it->second].macText();
    entry.action = a.action;
    entry.result = a.result;
    m_log.write(entry);
    schedule(it->second, a, from, now);
}

void SimServer::schedule(std::size_t module, const Answer& answer, const sockaddr_in& from,
                         double now) {
    const ModuleConfig& cfg = m_modules[module].config();
    sockaddr_in to = from;
    if (cfg.broadcastReplies) {
        to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    }
    const double due = now + cfg.delayMs;
    for (const Reply& r : answer.replies) {
        for (int c = 0; c < cfg.copies; ++c) {
            m_pending.push({due, m_seq++, module, r.fromPort, to, r.bytes, answer.action,
                            answer.result, r.foreign});
        }
    }
    sendDue();
    startFlood(module, answer, to);
}

void SimServer::sendDue() {
    while (!m_pending.empty() && m_pending.top().due <= MonotonicMs()) {
        send(m_pending.top());
        m_pending.pop();
    }
}

// Sends with the module's own address as the source (IP_PKTINFO), so the PC sees each module
// at its address; a host without that address refuses, and then the system picks the source.
bool SimServer::sendFrom(std::size_t module, bool foreign, int fd, const sockaddr_in& to,
                         const Bytes& bytes, int flags, std::string& source) {
    iovec iov{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    msghdr msg{};
    msg.msg_name = const_cast<sockaddr_in*>(&to);
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    const bool tryOwn = !foreign && m_ownSourceWorks[module];
    const std::optional<in_addr> from = foreign  ? m_secondAddr[module]
                                        : tryOwn ? std::optional(m_sourceAddr[module])
                                                 : std::nullopt;
    if (from) {
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst = *from;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
        if (sendmsg(fd, &msg, flags) >= 0) {
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &*from, text, sizeof text);
            source = text;
            return true;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return false;
        }
        msg.msg_control = nullptr;
        msg.msg_controllen = 0;
    }
    source.clear();
    const bool sent = sendmsg(fd, &msg, flags) >= 0;
    if (tryOwn) {
        m_ownSourceWorks[module] = !sent;
    }
    return sent;
}

void SimServer::send(const Pending& p) {
    const double startMs = MonotonicMs();
    std::string source;
    const bool sent =
        sendFrom(p.module, p.foreign, socketFor(p.fromPort), p.to, p.bytes, 0, source);
    const std::string result =
        sent ? p.result : "send failed: " + std::string(std::strerror(errno));
    m_log.write({MonotonicMs(), false, AddressText(p.to), p.fromPort, &p.bytes,
                 m_modules[p.module].macText(), p.action, result, source, startMs});
}

void SimServer::startFlood(std::size_t module, const Answer& answer, const sockaddr_in& to) {
    const ModuleConfig& cfg = m_modules[module].config();
    if (answer.flood.empty() || cfg.floodCount <= 0) {
        return;
    }
    const double now = MonotonicMs();
    m_floods.push_back(
        {module, cfg.searchPort, to, answer.flood, cfg.floodCount, 0, now, now + cfg.floodMs});
}

void SimServer::sendFloods() {
    for (Flood& f : m_floods) {
        const int fd = socketFor(f.fromPort);
        for (int burst = 0; burst < FloodBurst && f.sent < f.count && MonotonicMs() < f.endMs;
             ++burst) {
            const Bytes& bytes = f.datagrams[static_cast<std::size_t>(f.sent) % f.datagrams.size()];
            std::string source;
            const double startMs = MonotonicMs();
            if (!sendFrom(f.module, false, fd, f.to, bytes, MSG_DONTWAIT, source)) {
                break; // the socket's buffer is full (or the route gone): try again next round
            }
            if (f.sent++ == 0) {
                m_log.write({MonotonicMs(), false, AddressText(f.to), f.fromPort, &bytes,
                             m_modules[f.module].macText(), "flood",
                             "flood: up to " + std::to_string(f.count) + " datagrams", source,
                             startMs});
            }
        }
    }
    const double now = MonotonicMs();
    std::erase_if(m_floods, [this, now](const Flood& f) {
        if (f.sent < f.count && now < f.endMs) {
            return false;
        }
        m_log.write({now,
                     false,
                     AddressText(f.to),
                     f.fromPort,
                     nullptr,
                     m_modules[f.module].macText(),
                     "flood",
                     "flood: sent " + std::to_string(f.sent) + " of " + std::to_string(f.count) +
                         " in " + std::to_string(static_cast<int>(now - f.started)) + " ms",
                     {},
                     0});
        return true;
    });
}

} // namespace r2::sim
