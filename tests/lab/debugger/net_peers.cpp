#include "net_peers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace r2::test {

namespace {

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

std::uint16_t BoundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

int BoundSocket(int type) {
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot bind a loopback socket");
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    return fd;
}

// One read with the kernel's arrival stamp; empty bytes on timeout or end of stream.
bool ReadStamped(int fd, int timeoutMs, Arrival& arrival) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, timeoutMs) <= 0) {
        return false;
    }
    char buffer[65536];
    char control[256];
    iovec io{buffer, sizeof buffer};
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(fd, &message, 0);
    if (n <= 0) {
        return false;
    }
    arrival.bytes.assign(buffer, static_cast<std::size_t>(n));
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec stamp{};
            std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
            arrival.at =
                std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec);
        }
    }
    return true;
}

} // namespace

std::uint16_t FreePort(bool tcp) {
    const int fd = BoundSocket(tcp ? SOCK_STREAM : SOCK_DGRAM);
    const std::uint16_t port = BoundPort(fd);
    ::close(fd);
    return port;
}

UdpListener::UdpListener() : m_fd(BoundSocket(SOCK_DGRAM)), m_port(BoundPort(m_fd)) {
    m_reader = std::thread([this] { Run(); });
}

UdpListener::~UdpListener() {
    {
        const std::lock_guard guard(m_lock);
        m_stop = true;
    }
    m_reader.join();
    ::close(m_fd);
}

void UdpListener::Run() {
    while (true) {
        {
            const std::lock_guard guard(m_lock);
            if (m_stop) {
                return;
            }
        }
        Arrival arrival;
        if (ReadStamped(m_fd, 20, arrival)) {
            const std::lock_guard guard(m_lock);
            m_arrivals.push_back(std::move(arrival));
        }
    }
}

std::vector<Arrival> UdpListener::Received() const {
    const std::lock_guard guard(m_lock);
    return m_arrivals;
}

std::vector<Arrival> UdpListener::WaitFor(std::size_t count,
                                          std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Received().size() >= count) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Received();
}

void UdpListener::SendTo(std::uint16_t port, const std::string& bytes) const {
    const sockaddr_in to = Loopback(port);
    ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
}

TcpPeer::TcpPeer() : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}

TcpPeer::TcpPeer(std::uint16_t port) : TcpPeer() {
    Connect(port);
}

bool TcpPeer::Connect(std::uint16_t port) {
    const sockaddr_in to = Loopback(port);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        Close();
        return false;
    }
    const int on = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    return true;
}

std::size_t TcpPeer::Unread() const {
    int count = 0;
    return ::ioctl(m_fd, FIONREAD, &count) == 0 ? static_cast<std::size_t>(count) : 0;
}

TcpPeer::TcpPeer(int connectedFd) : m_fd(connectedFd) {
    const int on = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
}

TcpPeer::~TcpPeer() {
    Close();
}

void TcpPeer::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

std::vector<Arrival> TcpPeer::ReadBytes(std::size_t count, std::chrono::milliseconds timeout) {
    std::vector<Arrival> reads;
    std::size_t total = 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (total < count && std::chrono::steady_clock::now() < deadline) {
        Arrival arrival;
        if (ReadStamped(m_fd, 20, arrival)) {
            total += arrival.bytes.size();
            reads.push_back(std::move(arrival));
        }
    }
    return reads;
}

bool TcpPeer::WaitClosed(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd entry{m_fd, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0) {
            continue;
        }
        char buffer[4096];
        if (::recv(m_fd, buffer, sizeof buffer, 0) <= 0) {
            return true;
        }
    }
    return false;
}

void TcpPeer::Write(const std::string& bytes) const {
    ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

TcpListener::TcpListener() : m_fd(BoundSocket(SOCK_STREAM)), m_port(BoundPort(m_fd)) {
    ::listen(m_fd, 8);
}

TcpListener::~TcpListener() {
    ::close(m_fd);
}

std::unique_ptr<TcpPeer> TcpListener::Accept(std::chrono::milliseconds timeout) const {
    pollfd entry{m_fd, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(timeout.count())) <= 0) {
        return nullptr;
    }
    const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? nullptr : std::make_unique<TcpPeer>(fd);
}

} // namespace r2::test
