#include "lan/Unit_Udp.h"

#include "lan/frame_text.h"
#include "protocol/Unit_ProFun.h"
#include "qt_bridge/qt_bridge.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

namespace r2 {

Q_LOGGING_CATEGORY(lcUdp, "r2.lan.udp")

namespace {

QStringList SystemAddresses() {
    std::vector<std::string> list;
    GetLocalIPs(list);
    QStringList out;
    for (const std::string& ip : list) {
        out << QString::fromStdString(ip);
    }
    return out;
}

// A MAC text as a table key: without separators, upper case.
QString MacKey(const QString& mac) {
    QString key;
    for (const QChar c : mac) {
        if (c.isLetterOrNumber()) {
            key += c.toUpper();
        }
    }
    return key;
}

void RegisterMetaTypes() {
    qRegisterMetaType<TBaseParam>();
    qRegisterMetaType<TarrComParam>();
    qRegisterMetaType<TarrCloudParam>();
    qRegisterMetaType<TModbusParam>();
    qRegisterMetaType<TModbusPackParam>();
}

} // namespace

// Turns the codec's reports into the endpoint's signals.
class TUdpSvr::Sink final : public ParamReplySink {
public:
    explicit Sink(TUdpSvr& owner) : m_owner(owner) {}

    void OnBaseParams(const TBaseParam& base, const TarrComParam& ports, int devFlag,
                      bool fromSerial) override {
        emit m_owner.OnBaseParams(base, ports, devFlag, fromSerial);
    }
    void OnCloudParams(const TarrCloudParam& clouds, bool fromSerial, int devFlag) override {
        emit m_owner.OnCloudParams(clouds, fromSerial, devFlag);
    }
    void OnHeartReg(ByteView block85, bool fromSerial, int devFlag) override {
        emit m_owner.OnHeartReg(ByteArrayOf(block85), fromSerial, devFlag);
    }
    void OnHttpd(const std::string& url, const std::string& header) override {
        emit m_owner.OnHttpd(QByteArray::fromStdString(url), QByteArray::fromStdString(header));
    }
    void OnModbusParam(const TModbusParam& param, int length) override {
        emit m_owner.OnModbusParam(param, length);
    }
    void OnModbusPack(const TModbusPackParam& param, int length) override {
        emit m_owner.OnModbusPack(param, length);
    }

private:
    TUdpSvr& m_owner;
};

TUdpSvr::TUdpSvr(ParamMirror& mirror, QObject* parent)
    : QObject(parent), m_mirror(mirror), m_sink(std::make_unique<Sink>(*this)),
      m_addressSource(SystemAddresses) {
    RegisterMetaTypes();
}

TUdpSvr::~TUdpSvr() {
    closeSockets();
}

void TUdpSvr::setAddressSource(AddressSource source) {
    m_addressSource = std::move(source);
}

QString TUdpSvr::socketLocalIp(int index) const {
    if (index < 0 || index >= socketCount()) {
        return {};
    }
    return m_sockets[static_cast<size_t>(index)]->localIp();
}

quint16 TUdpSvr::socketLocalPort(int index) const {
    if (index < 0 || index >= socketCount()) {
        return 0;
    }
    return m_sockets[static_cast<size_t>(index)]->localPort();
}

int TUdpSvr::smallestReceiveBuffer() const {
    int smallest = 0;
    for (const auto& sock : m_sockets) {
        if (smallest == 0 || sock->receiveBufferBytes() < smallest) {
            smallest = sock->receiveBufferBytes();
        }
    }
    return smallest;
}

void TUdpSvr::DoSent(const QByteArray& frame, const QString& destIp, quint16 localPort,
                     quint16 destPort, const QString& localIp) {
    emit OnSent(frame, destIp, localPort, destPort, localIp);
}

void TUdpSvr::DoStatus(int code, const QString& text) {
    emit OnStatus(code, text);
}

bool TUdpSvr::BindLocalIPs() {
    const QStringList addresses = m_addressSource();
    if (addresses.isEmpty() || addresses == m_addresses) {
        return true;
    }
    closeSockets();
    if (!openSockets(addresses)) {
        DoStatus(StPortInUse, QString::fromLatin1(StTextPortInUse));
        return false;
    }
    m_addresses = addresses;
    return true;
}

bool TUdpSvr::openSockets(const QStringList& addresses) {
    for (const QString& ip : addresses) {
        QString error;
        auto sock = LanSocket::Open(ip, error);
        if (!sock) {
            qCWarning(lcUdp).noquote() << "cannot open a UDP socket for" << ip << "-" << error;
            return false;
        }
        if (sock->receiveBufferBytes() < LanSocket::WantedReceiveBuffer) {
            qCWarning(lcUdp).noquote()
                << QStringLiteral("the receive buffer of the socket for %1 is %2 bytes, not the "
                                  "%3 asked for; many modules answering at once may be lost. "
                                  "Raise it with: sysctl -w net.core.rmem_max=%3")
                       .arg(ip)
                       .arg(sock->receiveBufferBytes())
                       .arg(LanSocket::WantedReceiveBuffer);
        }
        const int index = static_cast<int>(m_sockets.size());
        auto* notifier = new QSocketNotifier(sock->fd(), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, index] { onReadable(index); });
        m_sockets.push_back(std::move(sock));
        m_notifiers.push_back(notifier);
    }
    return true;
}

void TUdpSvr::closeSockets() {
    // A search started from a reply's handler rebuilds the set while a notifier is still
    // delivering its signal, so notifiers are disabled now and deleted later.
    for (QSocketNotifier* notifier : m_notifiers) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    m_notifiers.clear();
    for (const auto& sock : m_sockets) {
        m_droppedByClosedSockets += sock->kernelDrops();
    }
    m_sockets.clear();
    m_addresses.clear();
}

bool TUdpSvr::SearchDevices() {
    BindLocalIPs();
    if (m_sockets.empty() && !openSockets(QStringList{QString()})) {
        return false;
    }
    m_moduleAddresses.clear();
    m_dropsReported = false;
    m_dropsBeforeSearch = droppedDatagrams();
    const Bytes request = BuildSearchRequest();
    for (int i = 0; i < socketCount(); ++i) {
        sendFrame(i, request, CfgPortP6);
    }
    DoStatus(StSearchSent, QString());
    return true;
}

bool TUdpSvr::DisableConnReset(int socketIndex) const {
    return socketIndex >= 0 && socketIndex < socketCount();
}

bool TUdpSvr::sendFrame(int socketIndex, const Bytes& frame, quint16 destPort) {
    if (frame.empty() || !DisableConnReset(0) || socketIndex < 0 || socketIndex >= socketCount()) {
        return false;
    }
    const LanSocket& sock = *m_sockets[static_cast<size_t>(socketIndex)];
    const QString dest = QString::fromLatin1(BroadcastIP);
    const QByteArray bytes = ByteArrayOf(frame);
    if (!sock.sendTo(bytes, dest, destPort)) {
        return false;
    }
    DoSent(bytes, dest, sock.localPort(), destPort, sock.localIp());
    return true;
}

bool TUdpSvr::SendCommand(int socketIndex, const QString& mac, quint8 command, const QString& user,
                          const QString& password, const Bytes& block, quint16 destPort) {
    const Bytes frame = BuildCommandFrame(command, mac.toStdString(), ToFrameText(user),
                                          ToFrameText(password), block);
    if (!sendFrame(socketIndex, frame, destPort)) {
        return false;
    }
    if (command == CmdRead) {
        beginRead(moduleAddress(mac));
    }
    return true;
}

QString TUdpSvr::moduleAddress(const QString& mac) const {
    const auto it = m_moduleAddresses.find(MacKey(mac));
    return it != m_moduleAddresses.end() ? it->second : QString();
}

void TUdpSvr::beginRead(const QString& moduleIp) {
    m_read = ReadCheck{};
    m_read.active = true;
    m_read.moduleIp = moduleIp;
}

std::optional<SaveRefusal> TUdpSvr::saveRefusal(const QString& mac) const {
    if (!m_read.active) {
        return std::nullopt;
    }
    const QString target = moduleAddress(mac);
    if (!m_read.conflict.isEmpty()) {
        return SaveRefusal{SaveRefusal::Reason::SeveralModules, m_read.moduleIp, mac, target,
                           m_read.conflict};
    }
    if (target != m_read.moduleIp) {
        return SaveRefusal{SaveRefusal::Reason::OtherModule, m_read.moduleIp, mac, target, {}};
    }
    return std::nullopt;
}

quint64 TUdpSvr::droppedDatagrams() const {
    quint64 total = m_droppedHere + m_droppedByClosedSockets;
    for (const auto& sock : m_sockets) {
        total += sock->kernelDrops();
    }
    return total;
}

void TUdpSvr::noteDrops() {
    if (m_dropsReported || droppedDatagrams() <= m_dropsBeforeSearch) {
        return;
    }
    m_dropsReported = true;
    const QString text =
        QStringLiteral("datagrams arrive faster than they can be handled and some are dropped; "
                       "a device on the network may be flooding it");
    emit datagramsDropped(text);
}

bool TUdpSvr::SendCmdP6(int socketIndex, const QString& mac, quint8 command, const QString& user,
                        const QString& password) {
    return SendCommand(socketIndex, mac, command, user, password, {}, CfgPortP6);
}

bool TUdpSvr::SendCmdP7(int socketIndex, const QString& mac, quint8 command, const QString& user,
                        const QString& password) {
    return SendCommand(socketIndex, mac, command, user, password, {}, CfgPortP7);
}

bool TUdpSvr::SendBlockP6(int socketIndex, const QString& mac, quint8 command, const QString& user,
                          const QString& password, const Bytes& block) {
    return SendCommand(socketIndex, mac, command, user, password, block, CfgPortP6);
}

bool TUdpSvr::SendBlockP7(int socketIndex, const QString& mac, quint8 command, const QString& user,
                          const QString& password, const Bytes& block) {
    return SendCommand(socketIndex, mac, command, user, password, block, CfgPortP7);
}

void TUdpSvr::onReadable(int socketIndex) {
    if (socketIndex >= socketCount()) {
        return;
    }
    std::vector<LanDatagram> batch;
    m_sockets[static_cast<size_t>(socketIndex)]->receive(batch, MaxDatagramsPerWake);
    for (LanDatagram& d : batch) {
        if (m_pending.size() >= MaxPendingDatagrams) {
            ++m_droppedHere;
            continue;
        }
        d.socketIndex = socketIndex;
        m_pending.push_back(std::move(d));
    }
    noteDrops();
    dispatchPending();
}

void TUdpSvr::dispatchPending() {
    if (m_dispatching) {
        return;
    }
    m_dispatching = true;
    while (!m_pending.empty()) {
        LanDatagram d = std::move(m_pending.front());
        m_pending.pop_front();
        if (!isOwnSender(d)) {
            UDPRead(d);
        }
    }
    m_dispatching = false;
}

bool TUdpSvr::isOwnSender(const LanDatagram& datagram) const {
    for (const auto& sock : m_sockets) {
        if (sock->localPort() == datagram.senderPort &&
            (sock->localIp().isEmpty() || m_addresses.contains(datagram.senderIp))) {
            return true;
        }
    }
    return false;
}

void TUdpSvr::statusOf(const LanDatagram& datagram, int code, const QString& text) {
    DoStatus(code, text);
    emit statusFrom(code, text, datagram.senderIp,
                    datagram.arrivalNs != 0 ? datagram.arrivalNs : RealTimeNs());
}

bool TUdpSvr::takeParamReply(const LanDatagram& datagram, const Bytes& bytes) {
    if (!m_read.active) {
        return true;
    }
    const int length = static_cast<int>(bytes.size());
    if (datagram.senderIp != m_read.moduleIp) {
        ++m_read.foreignReplies;
        const QString text =
            QStringLiteral("ignored a %1-byte parameter reply from %2: it is not the module "
                           "being read (%3)")
                .arg(length)
                .arg(datagram.senderIp, m_read.moduleIp.isEmpty()
                                            ? QStringLiteral("address unknown")
                                            : m_read.moduleIp);
        emit foreignParamReply(datagram.senderIp, length, text);
        return false;
    }
    const QByteArray reply = datagram.bytes;
    if (length == static_cast<int>(BasePortReplyLen) && m_read.conflict.isEmpty()) {
        const auto earlier = m_read.replies.find(length);
        if (earlier != m_read.replies.end() &&
            earlier->second.left(BaseBlockLen) != reply.left(BaseBlockLen)) {
            m_read.conflict = QStringLiteral("several modules answer from %1: give each its own "
                                             "address first")
                                  .arg(datagram.senderIp);
            emit readConflict(m_read.conflict);
        }
    }
    m_read.replies[length] = reply;
    return true;
}

void TUdpSvr::UDPRead(const LanDatagram& datagram) {
    emit OnReceived(datagram.bytes, datagram.senderIp, datagram.localPort, datagram.senderPort,
                    datagram.localIp);
    const ByteView view = ViewOf(datagram.bytes);
    const Bytes bytes(view.begin(), view.end());
    const int flag = DeviceFlagForPort(datagram.senderPort);
    switch (ClassifyReply(bytes)) {
    case ReplyKind::ParamReply:
        if (takeParamReply(datagram, bytes)) {
            HandleParamReply(m_mirror, bytes, flag, m_reader != nullptr ? *m_reader : *m_sink);
        }
        break;
    case ReplyKind::CheckError:
        statusOf(datagram, StCheckErr,
                 QStringLiteral("%1").arg(bytes[1], 2, 16, QChar('0')).toUpper());
        break;
    case ReplyKind::Ack:
        switch (bytes[3]) {
        case 0x45:
            statusOf(datagram, StOtherErr, QString::fromLatin1(StTextOtherErr));
            break;
        case 0x4B:
            statusOf(datagram, StAck, QString::fromLatin1(StTextAck));
            break;
        case 0x50:
            statusOf(datagram, StPswdErr, QString::fromLatin1(StTextPswdErr));
            break;
        default:
            break;
        }
        break;
    case ReplyKind::SearchReply:
        handleSearchReply(datagram, bytes);
        break;
    case ReplyKind::OtherSeries:
        statusOf(datagram, StOtherSeries, QString::fromLatin1(StTextOtherSeries));
        break;
    case ReplyKind::Unknown:
        statusOf(datagram, StUnknownLen, QString::number(bytes.size()));
        break;
    case ReplyKind::Ignored:
        break;
    }
}

void TUdpSvr::handleSearchReply(const LanDatagram& datagram, const Bytes& bytes) {
    const auto reply = DecodeSearchReply(bytes);
    if (!reply) {
        return;
    }
    const QString mac = QString::fromStdString(reply->mac);
    if (m_moduleAddresses.size() < MaxKnownModules) {
        m_moduleAddresses.try_emplace(MacKey(mac), datagram.senderIp);
    }
    emit OnDeviceFound(QString::fromStdString(reply->ip), FromFrameText(reply->name),
                       datagram.socketIndex, DeviceFlagFor(reply->version, datagram.senderPort),
                       QString::number(reply->version), mac);
}

} // namespace r2
