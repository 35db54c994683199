#pragma once
// One UDP socket of the LAN endpoint, tied to one local IPv4 address of the PC.
//
// Why the socket is built natively: on Linux a socket bound to a unicast address receives no
// broadcasts, yet a module may answer by broadcast to 255.255.255.255 at our port. So each
// socket binds the any-address with a system-chosen port and is pinned to the interface that
// holds its address (SO_BINDTODEVICE, set once before bind, which needs no privilege). A
// broadcast sent from it leaves through that interface only, and every send carries the
// socket's own address as its source (IP_PKTINFO), so a PC with two addresses on one segment
// is answered at both. Without a local address the socket is a plain any-address socket.
//
// The receive buffer is raised to 4 MiB after binding (the default holds only a few hundred
// small datagrams); `receiveBufferBytes()` tells what the system granted.
//
// `receive()` reads at most a given number of the datagrams waiting, never "until empty": a
// device flooding the segment keeps the socket readable for ever, and a reader that waits for
// it to empty never returns to its event loop (no timer runs) while its batch grows without
// bound. The caller comes back for the rest on its next wake-up. Each datagram carries the
// kernel's arrival stamp (SO_TIMESTAMPNS), so the order of an answer and a send is known even
// when the answer was read late; the kernel's count of datagrams it dropped because the buffer
// was full (SO_RXQ_OVFL) is kept in `kernelDrops()`.

#include <memory>
#include <QByteArray>
#include <QString>
#include <vector>

namespace r2 {

struct LanDatagram {
    QByteArray bytes;
    QString senderIp;
    quint16 senderPort = 0;
    int socketIndex = -1;
    QString localIp;
    quint16 localPort = 0;
    // When the kernel took the datagram in, in nanoseconds of the real-time clock (the clock
    // of RealTimeNs); 0 when it gave no stamp.
    qint64 arrivalNs = 0;
};

// Now on the clock of LanDatagram::arrivalNs.
qint64 RealTimeNs();

class LanSocket final {
public:
    static constexpr int WantedReceiveBuffer = 4 * 1024 * 1024;

    // Opens a socket for `localIp` (empty: any-address, no interface pinning) on `port`
    // (0: the system chooses). On failure returns null, says why in `error` and, when the
    // system refused, puts its errno in `*systemError` (EACCES, EADDRINUSE ... for a caller
    // that can tell the user what to do about it; 0 otherwise). The port is never shared:
    // another socket already on it makes the bind fail.
    static std::unique_ptr<LanSocket> Open(const QString& localIp, QString& error, quint16 port = 0,
                                           int* systemError = nullptr);
    ~LanSocket();
    LanSocket(const LanSocket&) = delete;
    LanSocket& operator=(const LanSocket&) = delete;

    int fd() const { return m_fd; }
    // The address this socket stands for (empty for the any-address socket).
    const QString& localIp() const { return m_localIp; }
    quint16 localPort() const { return m_localPort; }
    const QString& interfaceName() const { return m_ifName; }
    int receiveBufferBytes() const { return m_receiveBuffer; }

    // Sends one datagram; false when the system refused it.
    bool sendTo(const QByteArray& bytes, const QString& ip, quint16 port) const;
    // Appends up to `limit` of the datagrams waiting now, in arrival order; returns how many.
    int receive(std::vector<LanDatagram>& out, int limit);
    // Datagrams the kernel dropped for this socket because its buffer was full, as of the
    // last receive.
    quint32 kernelDrops() const { return m_kernelDrops; }

private:
    LanSocket(int fd, QString localIp, QString ifName);
    bool bindAny(quint16 port, QString& error, int& systemError);
    void raiseReceiveBuffer();

    int m_fd = -1;
    QString m_localIp;
    QString m_ifName;
    quint16 m_localPort = 0;
    int m_receiveBuffer = 0;
    quint32 m_kernelDrops = 0;
    QByteArray m_buffer;
};

// Name of the interface that holds the IPv4 address `ip`; empty when none does.
QString InterfaceOfAddress(const QString& ip);

} // namespace r2
