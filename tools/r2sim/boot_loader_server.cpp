#include "tools/r2sim/boot_loader_server.h"

#include "tools/r2sim/sim_module.h"
#include "tools/r2sim/sim_poll.h"
#include "tools/r2sim/sim_server.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace r2::sim {
namespace {

constexpr std::size_t MaxDatagram = 65536;

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// A UDP socket with broadcast and address reuse, bound to ip:port; -1 and an error text
// when that fails.
int BoundSocket(std::uint32_t ip, std::uint16_t port, std::string& error) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = Errno("socket");
        return -1;
    }
    const int on = 1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(ip);
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        error = Errno("bind " + IntToIPText(ip) + ":" + std::to_string(port));
        close(fd);
        return -1;
    }
    return fd;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

} // namespace

BootLoaderServer::BootLoaderServer(const BootLoaderOptions& options, FrameLog& log)
    : m_loader(options.config), m_imagePath(options.imagePath),
      m_exitAfterTransfer(options.exitAfterTransfer), m_log(log),
      m_mac(MacBytesToText(options.config.mac)) {}

BootLoaderServer::~BootLoaderServer() {
    for (int* fd : {&m_wakeUpFd, &m_bootFd, &m_transferFd}) {
        CloseFd(*fd);
    }
    if (m_image != nullptr) {
        std::fclose(m_image);
    }
}

std::string BootLoaderServer::open(int signalFd) {
    m_signalFd = signalFd;
    std::string error;
    m_wakeUpFd = BoundSocket(INADDR_ANY, WakeUpPort, error);
    if (m_wakeUpFd >= 0) {
        m_bootFd = BoundSocket(INADDR_ANY, BootClientPort, error);
    }
    return error;
}

// Bound to the module's own address when the host has it, so that boot loaders of several
// modules each get their own data blocks; elsewhere the any-address will do.
std::string BootLoaderServer::syncTransferSocket() {
    if (!m_loader.wantsTransferPort()) {
        CloseFd(m_transferFd);
        return {};
    }
    if (m_transferFd >= 0) {
        return {};
    }
    std::string error;
    m_transferFd = BoundSocket(m_loader.ownIp(), ModuleTransferPort, error);
    if (m_transferFd < 0) {
        m_transferFd = BoundSocket(INADDR_ANY, ModuleTransferPort, error);
    }
    return m_transferFd < 0 ? error : std::string();
}

int BootLoaderServer::pollTimeoutMs() const {
    const auto due = m_loader.deadline();
    if (!due) {
        return -1;
    }
    const double wait = *due - MonotonicMs();
    return wait <= 0 ? 0 : static_cast<int>(std::ceil(wait));
}

int BootLoaderServer::run() {
    while (!m_finished) {
        std::array<pollfd, 4> fds = {{{m_signalFd, POLLIN, 0},
                                      {m_wakeUpFd, POLLIN, 0},
                                      {m_bootFd, POLLIN, 0},
                                      {m_transferFd, POLLIN, 0}}};
        // An fd of -1 (no transfer socket yet) is skipped by poll.
        switch (PollUntilStop(fds, pollTimeoutMs())) {
        case PollResult::Stop:
            return 0;
        case PollResult::Failed:
            return 1;
        case PollResult::Ready:
            break;
        }
        const std::array<std::uint16_t, 4> ports = {0, WakeUpPort, BootClientPort,
                                                    ModuleTransferPort};
        for (std::size_t i = 1; i < fds.size() && !m_finished; ++i) {
            // A wake-up handled just now may have closed the transfer socket.
            const bool current = i < 3 || fds[i].fd == m_transferFd;
            if (current && (fds[i].revents & POLLIN) != 0 && !drain(fds[i].fd, ports[i])) {
                return 1;
            }
        }
        const BootStep timed = m_loader.expire(MonotonicMs());
        for (const BootDatagram& d : timed.out) {
            send(d);
        }
    }
    return 0;
}

bool BootLoaderServer::drain(int fd, std::uint16_t port) {
    Bytes buffer(MaxDatagram);
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t got = recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return true;
            }
            if (errno == EINTR || errno == ECONNREFUSED) {
                continue;
            }
            std::perror("r2sim: recvfrom");
            return false;
        }
        const Bytes bytes(buffer.begin(), buffer.begin() + got);
        const double now = MonotonicMs();
        const BootStep step =
            m_loader.receive(port, ntohl(from.sin_addr.s_addr), ntohs(from.sin_port), bytes, now);
        if (!take(step, {now,
                         true,
                         AddressText(from),
                         port,
                         &bytes,
                         m_mac,
                         step.action,
                         step.result,
                         {},
                         0})) {
            return false;
        }
        if (m_finished || (port == ModuleTransferPort && fd != m_transferFd)) {
            return true;
        }
    }
}

bool BootLoaderServer::take(const BootStep& step, const LogEntry& received) {
    m_log.write(received);
    if (const std::string err = syncTransferSocket(); !err.empty()) {
        std::fprintf(stderr, "r2sim: %s\n", err.c_str());
        return false;
    }
    for (const BootDatagram& d : step.out) {
        send(d);
    }
    if (!writeImage()) {
        return false;
    }
    if (m_loader.transferDone() && m_reportedGeneration != m_loader.generation()) {
        m_reportedGeneration = m_loader.generation();
        std::printf("received %zu%s%s\n", m_loader.image().size(), m_imagePath.empty() ? "" : " ",
                    m_imagePath.c_str());
        std::fflush(stdout);
        m_finished = m_exitAfterTransfer;
    }
    return true;
}

void BootLoaderServer::send(const BootDatagram& d) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(d.toIp);
    to.sin_port = htons(d.toPort);
    const double startMs = MonotonicMs();
    std::string source;
    std::string result = d.result;
    if (d.sent) {
        const int fd = d.fromPort == BootClientPort ? m_bootFd : m_transferFd;
        iovec iov{const_cast<std::uint8_t*>(d.bytes.data()), d.bytes.size()};
        msghdr msg{};
        msg.msg_name = &to;
        msg.msg_namelen = sizeof to;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(in_pktinfo))> control{};
        bool sent = false;
        if (d.sourceIp != 0) {
            msg.msg_control = control.data();
            msg.msg_controllen = control.size();
            cmsghdr* c = CMSG_FIRSTHDR(&msg);
            c->cmsg_level = IPPROTO_IP;
            c->cmsg_type = IP_PKTINFO;
            c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
            in_pktinfo info{};
            info.ipi_spec_dst.s_addr = htonl(d.sourceIp);
            std::memcpy(CMSG_DATA(c), &info, sizeof info);
            sent = sendmsg(fd, &msg, 0) >= 0;
            source = sent ? IntToIPText(d.sourceIp) : std::string();
            msg.msg_control = nullptr;
            msg.msg_controllen = 0;
        }
        // A host without that address refuses it: then the system picks the source.
        if (!sent && sendmsg(fd, &msg, 0) < 0) {
            result = Errno("send failed");
        }
    }
    m_log.write({MonotonicMs(), false, AddressText(to), d.fromPort, &d.bytes, m_mac, d.action,
                 result, source, startMs});
}

bool BootLoaderServer::writeImage() {
    if (m_imagePath.empty() || m_loader.generation() == 0) {
        return true;
    }
    if (m_loader.generation() != m_imageGeneration) {
        if (m_image != nullptr) {
            std::fclose(m_image);
        }
        m_image = std::fopen(m_imagePath.c_str(), "wb");
        if (m_image == nullptr) {
            std::perror(("r2sim: " + m_imagePath).c_str());
            return false;
        }
        m_imageGeneration = m_loader.generation();
        m_imageWritten = 0;
    }
    const Bytes& image = m_loader.image();
    if (image.size() > m_imageWritten) {
        const std::size_t more = image.size() - m_imageWritten;
        if (std::fwrite(image.data() + m_imageWritten, 1, more, m_image) != more ||
            std::fflush(m_image) != 0) {
            std::perror(("r2sim: " + m_imagePath).c_str());
            return false;
        }
        m_imageWritten = image.size();
    }
    return true;
}

int RunBootLoader(const BootLoaderOptions& options, FrameLog& log, int signalFd) {
    BootLoaderServer server(options, log);
    if (const std::string err = server.open(signalFd); !err.empty()) {
        std::fprintf(stderr, "r2sim: %s\n", err.c_str());
        return 1;
    }
    std::printf("bootloader %s ready\n", MacBytesToText(options.config.mac).c_str());
    std::fflush(stdout);
    const int status = server.run();
    std::printf("stopped\n");
    return status;
}

} // namespace r2::sim
