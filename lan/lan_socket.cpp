#include "lan/lan_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace r2 {

namespace {

QString SystemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

bool ToInAddr(const QString& ip, in_addr& out) {
    return inet_pton(AF_INET, ip.toLatin1().constData(), &out) == 1;
}

QString FromInAddr(const in_addr& addr) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr, text, sizeof text);
    return QString::fromLatin1(text);
}

int ReadReceiveBuffer(int fd) {
    int value = 0;
    socklen_t len = sizeof value;
    getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &value, &len);
    // Linux reports twice what it grants, the other half being its bookkeeping.
    return value / 2;
}

} // namespace

QString InterfaceOfAddress(const QString& ip) {
    in_addr wanted{};
    if (!ToInAddr(ip, wanted)) {
        return {};
    }
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return {};
    }
    QString name;
    for (ifaddrs* it = list; it != nullptr && name.isEmpty(); it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        const auto* sin = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        if (sin->sin_addr.s_addr == wanted.s_addr) {
            name = QString::fromLocal8Bit(it->ifa_name);
        }
    }
    freeifaddrs(list);
    return name;
}

LanSocket::LanSocket(int fd, QString localIp, QString ifName)
    : m_fd(fd), m_localIp(std::move(localIp)), m_ifName(std::move(ifName)) {}

LanSocket::~LanSocket() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

std::unique_ptr<LanSocket> LanSocket::Open(const QString& localIp, QString& error, quint16 port,
                                           int* systemError) {
    int ignored = 0;
    int& lastErrno = systemError != nullptr ? *systemError : ignored;
    lastErrno = 0;
    QString ifName;
    if (!localIp.isEmpty()) {
        ifName = InterfaceOfAddress(localIp);
        if (ifName.isEmpty()) {
            error = QStringLiteral("no interface holds the address %1").arg(localIp);
            return nullptr;
        }
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        lastErrno = errno;
        error = SystemError("socket");
        return nullptr;
    }
    std::unique_ptr<LanSocket> sock(new LanSocket(fd, localIp, ifName));
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        lastErrno = errno;
        error = SystemError("SO_BROADCAST");
        return nullptr;
    }
    if (!ifName.isEmpty()) {
        const QByteArray dev = ifName.toLocal8Bit();
        if (setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, dev.constData(),
                       static_cast<socklen_t>(dev.size())) != 0) {
            lastErrno = errno;
            error = SystemError("SO_BINDTODEVICE");
            return nullptr;
        }
    }
    // Arrival stamps and the kernel's drop count ride along with every datagram; without
    // them the order of answers and sends, and the loss in a flood, would be guesses.
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
    if (!sock->bindAny(port, error, lastErrno)) {
        return nullptr;
    }
    sock->raiseReceiveBuffer();
    return sock;
}

bool LanSocket::bindAny(quint16 port, QString& error, int& systemError) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(port);
    if (bind(m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        systemError = errno;
        error = SystemError("bind");
        return false;
    }
    socklen_t len = sizeof addr;
    if (getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        systemError = errno;
        error = SystemError("getsockname");
        return false;
    }
    m_localPort = ntohs(addr.sin_port);
    return true;
}

void LanSocket::raiseReceiveBuffer() {
    const int wanted = WantedReceiveBuffer;
    setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted);
    m_receiveBuffer = ReadReceiveBuffer(m_fd);
    if (m_receiveBuffer < wanted) {
        // Only a privileged process may pass net.core.rmem_max; harmless to try.
        setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &wanted, sizeof wanted);
        m_receiveBuffer = ReadReceiveBuffer(m_fd);
    }
}

bool LanSocket::sendTo(const QByteArray& bytes, const QString& ip, quint16 port) const {
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = htons(port);
    if (!ToInAddr(ip, dest.sin_addr)) {
        return false;
    }
    iovec iov{const_cast<char*>(bytes.constData()), static_cast<size_t>(bytes.size())};
    msghdr msg{};
    msg.msg_name = &dest;
    msg.msg_namelen = sizeof dest;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    in_pktinfo source{};
    if (!m_localIp.isEmpty() && ToInAddr(m_localIp, source.ipi_spec_dst)) {
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* cm = CMSG_FIRSTHDR(&msg);
        cm->cmsg_level = IPPROTO_IP;
        cm->cmsg_type = IP_PKTINFO;
        cm->cmsg_len = CMSG_LEN(sizeof source);
        std::memcpy(CMSG_DATA(cm), &source, sizeof source);
    }
    return sendmsg(m_fd, &msg, MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

qint64 RealTimeNs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<qint64>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

int LanSocket::receive(std::vector<LanDatagram>& out, int limit) {
    static constexpr int MaxDatagram = 65536;
    if (m_buffer.size() != MaxDatagram) {
        m_buffer = QByteArray(MaxDatagram, Qt::Uninitialized);
    }
    int count = 0;
    while (count < limit) {
        sockaddr_in from{};
        iovec iov{m_buffer.data(), MaxDatagram};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec)) + CMSG_SPACE(sizeof(quint32))];
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(m_fd, &msg, 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            // An ICMP error report (port unreachable after one of our broadcasts) is not a
            // datagram and must not stop the reading of what follows it.
            if (errno == ECONNREFUSED || errno == EHOSTUNREACH || errno == ENETUNREACH) {
                continue;
            }
            return count;
        }
        LanDatagram d;
        for (cmsghdr* cm = CMSG_FIRSTHDR(&msg); cm != nullptr; cm = CMSG_NXTHDR(&msg, cm)) {
            if (cm->cmsg_level != SOL_SOCKET) {
                continue;
            }
            if (cm->cmsg_type == SCM_TIMESTAMPNS) {
                timespec stamp{};
                std::memcpy(&stamp, CMSG_DATA(cm), sizeof stamp);
                d.arrivalNs = static_cast<qint64>(stamp.tv_sec) * 1'000'000'000 + stamp.tv_nsec;
            } else if (cm->cmsg_type == SO_RXQ_OVFL) {
                std::memcpy(&m_kernelDrops, CMSG_DATA(cm), sizeof m_kernelDrops);
            }
        }
        d.bytes = QByteArray(m_buffer.constData(), static_cast<qsizetype>(n));
        d.senderIp = FromInAddr(from.sin_addr);
        d.senderPort = ntohs(from.sin_port);
        d.localIp = m_localIp;
        d.localPort = m_localPort;
        out.push_back(std::move(d));
        ++count;
    }
    return count;
}

} // namespace r2
