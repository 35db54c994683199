#pragma once
// TUdpSvr: the program's one UDP endpoint towards the modules.
//
// Contract:
// - One socket per local IPv4 address (GetLocalIPs order; index 0 is the primary socket), each
//   with a system-chosen port, broadcast allowed. Sockets are opened by the first search and
//   rebuilt only when the PC's address list changes (BindLocalIPs).
// - How a socket receives broadcasts on Linux: see lan_socket.h. Each socket is pinned to the
//   interface of its address and bound to the any-address, so a module may answer unicast to
//   our address and port or by broadcast to 255.255.255.255 at our port; both arrive. A
//   datagram whose sender is one of our own sockets is dropped before anything else.
// - Every received datagram goes through UDPRead on the thread that owns this object, one at
//   a time, in arrival order (each readable socket is drained completely into one queue; a
//   handler that re-enters the event loop only appends to that queue). Receiving stays on the
//   owning thread's event loop instead of a thread per socket: bench/search_scale lists 2000
//   modules answering one search at once within a few milliseconds of the last reply.
// - The ten events are Qt signals with the names and arguments of the protocol's endpoint.
//   Parameter replies are stored in the ParamMirror given at construction and reported by the
//   block codec through an internal sink that re-emits them as these signals.
// - The four senders build a command frame, send it from the socket of the given index to
//   255.255.255.255 and emit OnSent. A frame that cannot be built or sent is dropped without
//   a report, exactly as a lost datagram would be; the senders return whether it went out.

#include "block_codec.h"
#include "lan_socket.h"
#include "Unit_Public.h"

#include <deque>
#include <functional>
#include <memory>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

class QSocketNotifier;

Q_DECLARE_METATYPE(r2::TBaseParam)
Q_DECLARE_METATYPE(r2::TarrComParam)
Q_DECLARE_METATYPE(r2::TarrCloudParam)
Q_DECLARE_METATYPE(r2::TModbusParam)
Q_DECLARE_METATYPE(r2::TModbusPackParam)

namespace r2 {

class TUdpSvr final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TUdpSvr)

public:
    // Where the endpoint learns the PC's addresses; tests pass a fixed list.
    using AddressSource = std::function<QStringList()>;

    explicit TUdpSvr(ParamMirror& mirror, QObject* parent = nullptr);
    ~TUdpSvr() override;

    void setAddressSource(AddressSource source);

    // Brings the socket set in line with the PC's addresses; false when (re)binding failed
    // (OnStatus with StPortInUse has been raised then).
    bool BindLocalIPs();
    // Broadcasts the search request from every socket; replies arrive as OnDeviceFound.
    bool SearchDevices();
    // The reference platform has to switch off ICMP "connection reset" reports on its
    // sockets; Linux never turns them into receive errors, so there is nothing to do.
    bool DisableConnReset(int socketIndex) const;

    bool SendCmdP6(int socketIndex, const QString& mac, quint8 command, const QString& user,
                   const QString& password);
    bool SendCmdP7(int socketIndex, const QString& mac, quint8 command, const QString& user,
                   const QString& password);
    bool SendBlockP6(int socketIndex, const QString& mac, quint8 command, const QString& user,
                     const QString& password, const Bytes& block);
    bool SendBlockP7(int socketIndex, const QString& mac, quint8 command, const QString& user,
                     const QString& password, const Bytes& block);
    // The four senders above in one: a command frame carrying `block` (none when empty) to
    // `destPort`, the port of the module's model.
    bool SendCommand(int socketIndex, const QString& mac, quint8 command, const QString& user,
                     const QString& password, const Bytes& block, quint16 destPort);

    // Handles one received datagram (the receive path calls it; tests may too).
    void UDPRead(const LanDatagram& datagram);

    int socketCount() const { return static_cast<int>(m_sockets.size()); }
    QString socketLocalIp(int index) const;
    quint16 socketLocalPort(int index) const;
    // The smallest receive buffer the system granted to our sockets, in bytes.
    int smallestReceiveBuffer() const;

signals:
    void OnSent(const QByteArray& frame, const QString& destIp, quint16 localPort, quint16 destPort,
                const QString& localIp);
    void OnReceived(const QByteArray& frame, const QString& senderIp, quint16 localPort,
                    quint16 senderPort, const QString& localIp);
    void OnDeviceFound(const QString& ip, const QString& name, int socketIndex, int devFlag,
                       const QString& version, const QString& mac);
    void OnBaseParams(const r2::TBaseParam& base, const r2::TarrComParam& ports, int devFlag,
                      bool fromSerial);
    void OnCloudParams(const r2::TarrCloudParam& clouds, bool fromSerial, int devFlag);
    void OnHeartReg(const QByteArray& block85, bool fromSerial, int devFlag);
    // The HTTPD texts are the module's bytes (GBK); they go back into frames unchanged.
    void OnHttpd(const QByteArray& url, const QByteArray& header);
    void OnStatus(int code, const QString& text);
    void OnModbusParam(const r2::TModbusParam& param, int length);
    void OnModbusPack(const r2::TModbusPackParam& param, int length);

private:
    class Sink;

    void DoSent(const QByteArray& frame, const QString& destIp, quint16 localPort, quint16 destPort,
                const QString& localIp);
    void DoStatus(int code, const QString& text);
    bool openSockets(const QStringList& addresses);
    void closeSockets();
    void onReadable(int socketIndex);
    void dispatchPending();
    bool isOwnSender(const LanDatagram& datagram) const;
    void handleSearchReply(const LanDatagram& datagram, const Bytes& bytes);
    bool sendFrame(int socketIndex, const Bytes& frame, quint16 destPort);

    ParamMirror& m_mirror;
    std::unique_ptr<Sink> m_sink;
    AddressSource m_addressSource;
    QStringList m_addresses;
    std::vector<std::unique_ptr<LanSocket>> m_sockets;
    std::vector<QSocketNotifier*> m_notifiers;
    std::deque<LanDatagram> m_pending;
    bool m_dispatching = false;
};

// Text as the bytes a frame carries: GBK when it converts, else its UTF-8 bytes.
std::string ToFrameText(const QString& text);
// Bytes from a frame shown as text: decoded as GBK, or byte by byte when they are not GBK.
QString FromFrameText(const std::string& bytes);

} // namespace r2
