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
//   a time, in arrival order. Receiving stays on the owning thread's event loop instead of a
//   thread per socket: bench/search_scale lists 2000 modules answering one search at once
//   within a few milliseconds of the last reply.
// - Receiving is bounded so that a flood cannot stall the owner or eat its memory
//   (bench/flood): one wake-up reads at most MaxDatagramsPerWake datagrams from a socket and
//   returns to the event loop, which comes back for the rest, so timers and the window keep
//   running. A handler that re-enters the event loop only appends to one queue, and that
//   queue holds at most MaxPendingDatagrams; what does not fit is dropped. Datagrams dropped
//   here or by the kernel (buffer full) are counted in droppedDatagrams(), and the first drop
//   after a search is reported once through datagramsDropped.
// - The ten events are Qt signals with the names and arguments of the protocol's endpoint.
//   Parameter replies are stored in the ParamMirror given at construction and reported by the
//   block codec straight to the reader the caller gave for its read (setReplyReader: a batch's
//   or r2ctl's PanelP6Reader), or, while none is given, through an internal sink that re-emits
//   them as the six parameter signals (the window's path).
// - The four senders build a command frame, send it from the socket of the given index to
//   255.255.255.255 and emit OnSent. A frame that cannot be built or sent is dropped without
//   a report, exactly as a lost datagram would be; the senders return whether it went out.
//
// Which module answered (additions to the protocol's endpoint; the ten events are unchanged):
// - The address each MAC's search reply came from is kept until the next search, the first
//   reply winning as in the device list (moduleAddress). It is "the module's own address":
//   only answers from it acknowledge a command (LanSequence) or fill the mirror in a read.
// - Every status a datagram raises is also raised as statusFrom, with the sender's address
//   and the kernel's arrival stamp, right after OnStatus.
// - A read command sent through SendCommand (or any of the four senders) starts a read check
//   (beginRead) for the module's address. Until the next read, parameter replies from any
//   other address are only echoed (OnReceived) and named (foreignParamReply): they neither
//   reach the mirror nor raise a parameter event. When the module's address sends two
//   different base blocks within one read, several modules share that address and the
//   mirror mixes them: readConflict is raised once and saveRefusal() refuses every save
//   until the next read. saveRefusal() also refuses a save to another module than the one
//   read, whose blocks the mirror holds. Before the first read every parameter reply is
//   taken and every save allowed, as before.

#include "lan/lan_socket.h"
#include "lan/read_check.h"
#include "lan/save_refusal.h"
#include "protocol/block_codec.h"
#include "protocol/Unit_Public.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
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

    static constexpr int MaxDatagramsPerWake = 256;
    static constexpr std::size_t MaxPendingDatagrams = 4096;
    // Addresses kept per search; a flood of invented MACs must not grow the table for ever.
    static constexpr std::size_t MaxKnownModules = 65536;

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

    // The address the search reply of `mac` (MAC text, spaces optional) came from since the
    // last search; empty when none came.
    QString moduleAddress(const QString& mac) const;
    // Starts the check of a read of the module at `moduleIp` (empty: its address is not known,
    // so no parameter reply is taken). SendCommand calls it for every read frame it sends.
    void beginRead(const QString& moduleIp);
    const ReadCheck& readCheck() const { return m_read; }
    // Where the parameter replies taken from now on go: to `reader`, which must outlive the
    // setting, or to the parameter signals when it is null (the default). A read's owner gives
    // its reader before it sends the read and takes it back when the read is over.
    void setReplyReader(ParamReplySink* reader) { m_reader = reader; }
    // Why writing the mirror back to the module of `mac` must not happen now; nothing when
    // nothing speaks against it.
    std::optional<SaveRefusal> saveRefusal(const QString& mac) const;
    // Datagrams dropped because they came faster than they could be handled: by the kernel
    // (receive buffer full) and by the endpoint (queue full), since the sockets were opened.
    quint64 droppedDatagrams() const;

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

    // The status a datagram raised (same code and text as OnStatus), its sender and the
    // kernel's arrival stamp (LanDatagram::arrivalNs; the time of handling when it has none).
    void statusFrom(int code, const QString& text, const QString& senderIp, qint64 arrivalNs);
    // A parameter reply from another address than the module being read; `text` names both.
    void foreignParamReply(const QString& senderIp, int length, const QString& text);
    // The module's address sent two different base blocks within one read.
    void readConflict(const QString& text);
    // Datagrams are being dropped; raised once after a search.
    void datagramsDropped(const QString& text);

private:
    class Sink;

    void DoSent(const QByteArray& frame, const QString& destIp, quint16 localPort, quint16 destPort,
                const QString& localIp);
    void DoStatus(int code, const QString& text);
    void statusOf(const LanDatagram& datagram, int code, const QString& text);
    bool takeParamReply(const LanDatagram& datagram, const Bytes& bytes);
    void noteDrops();
    bool openSockets(const QStringList& addresses);
    void closeSockets();
    void onReadable(int socketIndex);
    void dispatchPending();
    bool isOwnSender(const LanDatagram& datagram) const;
    void handleSearchReply(const LanDatagram& datagram, const Bytes& bytes);
    bool sendFrame(int socketIndex, const Bytes& frame, quint16 destPort);

    ParamMirror& m_mirror;
    std::unique_ptr<Sink> m_sink;
    ParamReplySink* m_reader = nullptr;
    AddressSource m_addressSource;
    QStringList m_addresses;
    std::vector<std::unique_ptr<LanSocket>> m_sockets;
    std::vector<QSocketNotifier*> m_notifiers;
    std::deque<LanDatagram> m_pending;
    bool m_dispatching = false;
    quint64 m_droppedHere = 0;
    quint64 m_droppedByClosedSockets = 0;
    quint64 m_dropsBeforeSearch = 0;
    bool m_dropsReported = false;
    std::map<QString, QString> m_moduleAddresses; // MAC without spaces -> address
    ReadCheck m_read;
};

} // namespace r2
