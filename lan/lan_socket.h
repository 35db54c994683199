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
// small datagrams); `receiveBufferBytes()` tells what the system granted. `drain()` reads
// every datagram waiting at the moment, so one wake-up never leaves replies behind.

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
};

class LanSocket final {
public:
    static constexpr int WantedReceiveBuffer = 4 * 1024 * 1024;

    // Opens a socket for `localIp` (empty: any-address, no interface pinning). On failure
    // returns null and says why in `error`.
    static std::unique_ptr<LanSocket> Open(const QString& localIp, QString& error);
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
    // Appends every datagram waiting now, in arrival order; returns how many.
    int drain(std::vector<LanDatagram>& out) const;

private:
    LanSocket(int fd, QString localIp, QString ifName);
    bool bindAny(QString& error);
    void raiseReceiveBuffer();

    int m_fd = -1;
    QString m_localIp;
    QString m_ifName;
    quint16 m_localPort = 0;
    int m_receiveBuffer = 0;
};

// Name of the interface that holds the IPv4 address `ip`; empty when none does.
QString InterfaceOfAddress(const QString& ip);

} // namespace r2
