#include "fake_module.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace r2::lab {

namespace {

constexpr std::uint16_t ListenPorts[] = {1500, 1901, 7000};

int OpenPort(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        throw std::runtime_error("fake module: cannot bind port " + std::to_string(port) + ": " +
                                 strerror(errno));
    }
    return fd;
}

} // namespace

FakeModule::FakeModule(std::string netnsPath, Handler handler)
    : m_netnsPath(std::move(netnsPath)), m_handler(std::move(handler)) {
    m_stopFd = eventfd(0, EFD_CLOEXEC);
    std::promise<std::string> setup;
    auto setupDone = setup.get_future();
    m_thread = std::thread([this, &setup] {
        // setns moves only this thread into the lab; the test's own thread stays on the pc.
        const int ns = open(m_netnsPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (ns < 0 || setns(ns, CLONE_NEWNET) != 0) {
            setup.set_value("fake module: cannot enter " + m_netnsPath + ": " + strerror(errno));
            return;
        }
        close(ns);
        try {
            for (std::uint16_t port : ListenPorts) {
                m_sockets.emplace_back(OpenPort(port), port);
            }
        } catch (const std::exception& e) {
            setup.set_value(e.what());
            return;
        }
        setup.set_value({});
        run();
    });
    const std::string error = setupDone.get();
    if (!error.empty()) {
        m_thread.join();
        throw std::runtime_error(error);
    }
}

FakeModule::~FakeModule() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = write(m_stopFd, &one, sizeof one);
    if (m_thread.joinable()) {
        m_thread.join();
    }
    for (const auto& [fd, port] : m_sockets) {
        close(fd);
    }
    close(m_stopFd);
}

std::vector<Arrival> FakeModule::arrivals() const {
    std::lock_guard lock(m_mutex);
    return m_arrivals;
}

void FakeModule::run() {
    std::vector<pollfd> fds{{m_stopFd, POLLIN, 0}};
    for (const auto& [fd, port] : m_sockets) {
        fds.push_back({fd, POLLIN, 0});
    }
    for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents & POLLIN) {
                serve(m_sockets[i - 1].first, m_sockets[i - 1].second);
            }
        }
    }
}

void FakeModule::serve(int fd, std::uint16_t localPort) {
    std::uint8_t buffer[2048];
    sockaddr_in from{};
    iovec iov{buffer, sizeof buffer};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo)) + CMSG_SPACE(sizeof(timespec))];
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(fd, &msg, 0);
    if (n < 0) {
        return;
    }
    // Gaps are measured between the kernel's stamps, not between the moments this thread got
    // the CPU, so a busy machine cannot make a sender's pause look shorter than it was.
    Arrival a;
    int ifIndex = 0;
    for (cmsghdr* cm = CMSG_FIRSTHDR(&msg); cm != nullptr; cm = CMSG_NXTHDR(&msg, cm)) {
        if (cm->cmsg_level == IPPROTO_IP && cm->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(cm), sizeof info);
            ifIndex = info.ipi_ifindex;
        } else if (cm->cmsg_level == SOL_SOCKET && cm->cmsg_type == SCM_TIMESTAMPNS) {
            timespec stamp{};
            std::memcpy(&stamp, CMSG_DATA(cm), sizeof stamp);
            a.time = std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec);
        }
    }
    a.bytes.assign(buffer, buffer + n);
    char ip[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
    a.senderIp = ip;
    a.senderPort = ntohs(from.sin_port);
    a.localPort = localPort;
    char ifName[IF_NAMESIZE] = {};
    if (ifIndex > 0 && if_indextoname(static_cast<unsigned>(ifIndex), ifName) != nullptr) {
        a.interfaceName = ifName;
    }
    {
        std::lock_guard lock(m_mutex);
        m_arrivals.push_back(a);
    }
    for (const Reply& r : m_handler(a)) {
        for (const auto& [replyFd, port] : m_sockets) {
            if (port == r.fromPort) {
                send(replyFd, r, a, ifIndex);
            }
        }
    }
}

void FakeModule::send(int fd, const Reply& reply, const Arrival& to, int ifIndex) {
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = htons(to.senderPort);
    inet_pton(AF_INET, reply.broadcast ? "255.255.255.255" : to.senderIp.c_str(), &dest.sin_addr);
    iovec iov{const_cast<std::uint8_t*>(reply.bytes.data()), reply.bytes.size()};
    msghdr msg{};
    msg.msg_name = &dest;
    msg.msg_namelen = sizeof dest;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    if (reply.broadcast) {
        // Out of the interface the request came in on, as a module on that segment would.
        in_pktinfo out{};
        out.ipi_ifindex = ifIndex;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* cm = CMSG_FIRSTHDR(&msg);
        cm->cmsg_level = IPPROTO_IP;
        cm->cmsg_type = IP_PKTINFO;
        cm->cmsg_len = CMSG_LEN(sizeof out);
        std::memcpy(CMSG_DATA(cm), &out, sizeof out);
    }
    sendmsg(fd, &msg, 0);
}

} // namespace r2::lab
