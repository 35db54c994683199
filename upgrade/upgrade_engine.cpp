#include "upgrade/upgrade_engine.h"

#include "lan/lan_socket.h"

#include <cerrno>
#include <cstring>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <sys/file.h>
#include <vector>

namespace r2 {

namespace {

using namespace upgrade;

constexpr std::array<quint16, 4> EndpointPorts = {WakeUpPort, BootServerPort, ReadRequestPort,
                                                  TransferPort};
// Datagrams read per wake-up of an endpoint; a flood must not keep the timer from running.
constexpr int MaxDatagramsPerWake = 64;

QString ProgramPath() {
    const QString path =
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    return path.isEmpty() ? QStringLiteral("$(command -v r2config)") : path;
}

// Why a port could not be opened, and what the user can do about it.
QString BindFailure(quint16 port, const QString& localIp, int systemError, const QString& error) {
    const QString head = QStringLiteral("cannot open UDP port %1 on %2: ").arg(port).arg(localIp);
    const QString portText = QString::number(port);
    switch (systemError) {
    case EACCES:
        return head + QStringLiteral("no privilege for ports below 1024. Allow this program "
                                     "with `sudo setcap cap_net_bind_service=+ep %1`, or allow "
                                     "every program with `sudo sysctl "
                                     "net.ipv4.ip_unprivileged_port_start=0`, or run it as root.")
                          .arg(ProgramPath());
    case EADDRINUSE:
        return head +
               QStringLiteral("another server holds the port (dnsmasq, tftpd-hpa, xinetd or a "
                              "DHCP server). See which with `ss -ulpn 'sport = :%1'`, stop it "
                              "for the upgrade, and try again.")
                   .arg(portText);
    default:
        return head + error;
    }
}

} // namespace

UpgradeEngine::UpgradeEngine(QObject* parent) : QObject(parent) {
    qRegisterMetaType<r2::UpgradeEnding>();
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(SearchTimeMs);
    connect(&m_timer, &QTimer::timeout, this, &UpgradeEngine::tmr_TmrOutTimer);
}

UpgradeEngine::~UpgradeEngine() {
    CloseEndpoints();
}

qint64 UpgradeEngine::payloadBytes() const {
    return m_imageSize < IdentityLength ? -1 : m_imageSize - IdentityLength;
}

bool UpgradeEngine::endpointsOpen() const {
    for (const auto& endpoint : m_endpoints) {
        if (endpoint) {
            return true;
        }
    }
    return false;
}

void UpgradeEngine::Start(const UpgradeRequest& request) {
    emit buttonsEnabled(false);
    m_request = request;
    m_phase = Phase::Searching;
    m_lastBlockSent = false;
    m_curBlock = 0;
    m_retryCount = -1;
    m_restarts = 0;
    m_timer.start(SearchTimeMs);
    emit statusChanged(QStringLiteral("lang_Hint_UpSearching"), {});
    closeImage();
    m_imageSize = -1;
    QString detail;
    const auto target = DottedBytes(request.targetIp);
    const auto local = DottedBytes(request.localIp);
    if (!target || !local) {
        endFailure(QStringLiteral("the %1 address \"%2\" is not four dotted numbers")
                       .arg(target ? QStringLiteral("local") : QStringLiteral("module"),
                            target ? request.localIp : request.targetIp));
        return;
    }
    m_targetBytes = *target;
    m_localBytes = *local;
    if (!openEndpoints(detail) || !openImage(detail)) {
        endFailure(detail);
        return;
    }
    emit progressChanged(0);
    const auto wakeUp = WakeUpPacket(request.targetMac);
    if (!wakeUp) {
        endFailure(QStringLiteral("the MAC \"%1\" is not 12 hexadecimal digits (spaces between "
                                  "them are allowed)")
                       .arg(request.targetMac));
        return;
    }
    if (!send(WakeUp, *wakeUp, QString::fromLatin1(BroadcastIp), WakeUpPort, detail)) {
        endFailure(detail);
    }
}

bool UpgradeEngine::openEndpoints(QString& detail) {
    closeSockets();
    for (int i = 0; i < EndpointCount; ++i) {
        const quint16 port = EndpointPorts[static_cast<std::size_t>(i)];
        QString error;
        int systemError = 0;
        auto socket = LanSocket::Open(m_request.localIp, error, port, &systemError);
        if (!socket) {
            detail = systemError == 0
                         ? QStringLiteral("cannot open UDP port %1 on %2: %3; choose one of this "
                                          "computer's own addresses as the local address")
                               .arg(port)
                               .arg(m_request.localIp, error)
                         : BindFailure(port, m_request.localIp, systemError, error);
            closeSockets();
            return false;
        }
        auto* notifier = new QSocketNotifier(socket->fd(), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, i] { onReadable(i); });
        m_endpoints[static_cast<std::size_t>(i)] = std::move(socket);
        m_notifiers[static_cast<std::size_t>(i)] = notifier;
    }
    return true;
}

void UpgradeEngine::CloseEndpoints() {
    m_phase = Phase::Idle;
    m_timer.stop();
    closeImage();
    closeSockets();
}

void UpgradeEngine::Cancel() {
    CloseEndpoints();
    emit statusChanged(QStringLiteral("lang_Hint_UpCancelled"), {});
    emit progressChanged(0);
    emit buttonsEnabled(true);
}

void UpgradeEngine::closeSockets() {
    ++m_endpointGeneration;
    for (std::size_t i = 0; i < m_endpoints.size(); ++i) {
        if (QSocketNotifier* notifier = m_notifiers[i]) {
            // It may be the notifier whose signal is running now.
            notifier->setEnabled(false);
            notifier->deleteLater();
            m_notifiers[i] = nullptr;
        }
        m_endpoints[i].reset();
    }
}

bool UpgradeEngine::openImage(QString& detail) {
    m_image.setFileName(m_request.imagePath);
    if (!m_image.open(QIODevice::ReadOnly)) {
        detail = QStringLiteral("cannot open the image file \"%1\": %2")
                     .arg(m_request.imagePath, m_image.errorString());
        return false;
    }
    if (flock(m_image.handle(), LOCK_EX | LOCK_NB) != 0) {
        detail = QStringLiteral("the image file \"%1\" is held by another program; close it "
                                "there and try again")
                     .arg(m_request.imagePath);
        closeImage();
        return false;
    }
    m_imageSize = m_image.size();
    if (m_imageSize < IdentityLength) {
        detail = QStringLiteral("the image file \"%1\" has %2 bytes, fewer than the %3 bytes of "
                                "its hardware identity; it is no firmware image")
                     .arg(m_request.imagePath)
                     .arg(m_imageSize)
                     .arg(IdentityLength);
        closeImage();
        return false;
    }
    if (m_imageSize > LargestImage) {
        detail = QStringLiteral("the image file \"%1\" has %2 bytes; at most %3 can be served "
                                "with 16-bit block numbers")
                     .arg(m_request.imagePath)
                     .arg(m_imageSize)
                     .arg(LargestImage);
        closeImage();
        return false;
    }
    const QByteArray head = m_image.read(IdentityLength);
    m_hasBinHead = head.size() == IdentityLength;
    for (int i = 0; i < IdentityLength && m_hasBinHead; ++i) {
        m_binHead[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(head[i]);
    }
    return true;
}

void UpgradeEngine::closeImage() {
    // Closing the descriptor gives the lock back.
    if (m_image.isOpen()) {
        m_image.close();
    }
}

void UpgradeEngine::onReadable(int endpoint) {
    LanSocket* socket = m_endpoints[static_cast<std::size_t>(endpoint)].get();
    if (socket == nullptr) {
        return;
    }
    std::vector<LanDatagram> batch;
    socket->receive(batch, MaxDatagramsPerWake);
    const quint64 generation = m_endpointGeneration;
    for (const LanDatagram& datagram : batch) {
        if (generation != m_endpointGeneration) {
            return;
        }
        UDPRead(endpoint, datagram);
    }
}

void UpgradeEngine::UDPRead(int endpoint, const LanDatagram& datagram) {
    switch (endpoint) {
    case BootServer:
        onBootRequest(datagram.bytes);
        break;
    case ReadRequest:
        onReadRequest(datagram);
        break;
    case Transfer:
        onTransferReply(datagram);
        break;
    default:
        // The wake-up endpoint hears our own wake-up and nothing else of interest.
        break;
    }
}

void UpgradeEngine::onBootRequest(const QByteArray& bytes) {
    if (!IsBootRequest(bytes) ||
        (m_request.onlyTargetMac && !RequestFromMac(bytes, m_request.targetMac))) {
        return;
    }
    m_bootBuf = bytes;
    if (m_hasBinHead && AnnouncedIdentity(m_bootBuf) == m_binHead) {
        emit statusChanged(QStringLiteral("lang_Hint_UpReady"), {});
        m_bootBuf = BootReply(m_bootBuf, m_targetBytes, m_localBytes);
        QString detail;
        if (!send(BootServer, m_bootBuf, QString::fromLatin1(BroadcastIp), BootClientPort,
                  detail)) {
            endFailure(detail);
        }
        return;
    }
    if (AsksForMismatchReport(m_bootBuf)) {
        endMismatch();
    }
}

void UpgradeEngine::onReadRequest(const LanDatagram& datagram) {
    if (datagram.bytes.size() != ReadRequestLength || datagram.senderIp != m_request.targetIp ||
        !IsReadRequest(datagram.bytes)) {
        return;
    }
    switch (m_phase) {
    case Phase::Searching:
        m_phase = Phase::Transferring;
        m_retryCount = 0;
        SendUpgradeData(1);
        break;
    case Phase::Transferring:
        restartTransfer();
        break;
    case Phase::Idle:
        // The upgrade has ended; a boot loader starting over afterwards is served no more.
        break;
    }
}

// The module asks for the image again in mid-transfer, as a boot loader that starts over does.
// It gets block 1 again, but the retransmission budget is not renewed and the restarts are
// counted, so a loader that keeps starting over cannot hold the upgrade open for ever.
void UpgradeEngine::restartTransfer() {
    if (m_restarts >= RestartsAllowed) {
        endFailure(QStringLiteral("the module restarted the transfer %1 times (the last time at "
                                  "block %2); its boot loader keeps starting over, so the image "
                                  "never completes: switch the module off and on, then try again")
                       .arg(m_restarts + 1)
                       .arg(m_curBlock),
                   "lang_Hint_UpRestarted");
        return;
    }
    ++m_restarts;
    QString detail;
    if (!m_image.isOpen() && !reopenImage(detail)) {
        endFailure(detail);
        return;
    }
    m_lastBlockSent = false;
    SendUpgradeData(1);
}

// The image was closed after its final block was read; a restart reads it again, and it must
// still be the image the module was offered.
bool UpgradeEngine::reopenImage(QString& detail) {
    const qint64 size = m_imageSize;
    const upgrade::Identity identity = m_binHead;
    if (!openImage(detail)) {
        return false;
    }
    if (m_imageSize != size || m_binHead != identity) {
        detail = QStringLiteral("the image file \"%1\" changed during the upgrade; start the "
                                "upgrade again")
                     .arg(m_request.imagePath);
        closeImage();
        return false;
    }
    return true;
}

void UpgradeEngine::onTransferReply(const LanDatagram& datagram) {
    // Before the read request nothing is in flight: an acknowledgement then is left over from an
    // earlier transfer and must not start this one in mid-image.
    if (m_phase != Phase::Transferring || datagram.senderIp != m_request.targetIp) {
        return;
    }
    if (const auto error = ErrorPacket(datagram.bytes)) {
        endFailure(QStringLiteral("the module's boot loader stopped the transfer at block %1 with "
                                  "error %2 \"%3\"; the image was not taken: mend what the "
                                  "module names, then try again")
                       .arg(m_curBlock)
                       .arg(error->code)
                       .arg(error->text),
                   "lang_Hint_UpModuleError",
                   QStringLiteral(" %1 \"%2\"").arg(error->code).arg(error->text));
        return;
    }
    // Only the block in flight may be acknowledged. Any other number (a late duplicate, a
    // number never sent) is ignored and the reply timer keeps running: it neither moves the
    // transfer nor passes for the final block's acknowledgement.
    const auto acked = AcknowledgedBlock(datagram.bytes);
    if (!acked || *acked != m_curBlock) {
        return;
    }
    if (m_lastBlockSent) {
        endSuccess();
        return;
    }
    SendUpgradeData(m_curBlock + 1);
}

void UpgradeEngine::tmr_TmrOutTimer() {
    if (m_retryCount < 0 || m_retryCount >= RetransmissionsAllowed) {
        endTimeout();
        return;
    }
    ++m_retryCount;
    SendUpgradeData(m_curBlock, true);
}

void UpgradeEngine::SendUpgradeData(int block, bool retransmission) {
    m_curBlock = block;
    if (!m_image.isOpen()) {
        return;
    }
    const BlockPlan plan = PlanBlock(m_imageSize, block);
    QByteArray payload;
    if (plan.length > 0) {
        if (!m_image.seek(plan.position) ||
            (payload = m_image.read(plan.length)).size() != plan.length) {
            endFailure(QStringLiteral("cannot read block %1 of the image file \"%2\" (%3); was it "
                                      "changed during the upgrade?")
                           .arg(block)
                           .arg(m_request.imagePath, m_image.errorString()));
            return;
        }
    }
    if (plan.final) {
        m_lastBlockSent = true;
        emit statusChanged(QStringLiteral("lang_Hint_UpProgress"), QStringLiteral("100%"));
        emit progressChanged(100);
        closeImage();
    } else {
        const int percent = ProgressPercent(m_imageSize, block);
        emit statusChanged(QStringLiteral("lang_Hint_UpProgress"),
                           QStringLiteral("%1%").arg(percent));
        emit progressChanged(percent);
    }
    QString detail;
    if (!send(Transfer, DataBlock(block, payload), m_request.targetIp, ModuleTransferPort,
              detail)) {
        endFailure(detail);
        return;
    }
    emit blockSent(block, plan.length, retransmission);
    m_timer.start(BlockReplyTimeMs);
}

bool UpgradeEngine::send(Endpoint endpoint, const QByteArray& bytes, const QString& ip,
                         quint16 port, QString& detail) {
    LanSocket* socket = m_endpoints[static_cast<std::size_t>(endpoint)].get();
    if (socket != nullptr && socket->sendTo(bytes, ip, port)) {
        return true;
    }
    const int systemError = errno;
    detail = QStringLiteral("cannot send %1 bytes from port %2 to %3 port %4: %5")
                 .arg(bytes.size())
                 .arg(EndpointPorts[static_cast<std::size_t>(endpoint)])
                 .arg(ip)
                 .arg(port)
                 .arg(socket == nullptr ? QStringLiteral("the endpoint is closed")
                                        : QString::fromLocal8Bit(strerror(systemError)));
    return false;
}

void UpgradeEngine::endSuccess() {
    m_timer.stop();
    finish(UpgradeEnding::Success, "lang_Hint_UpSuccess", {});
}

void UpgradeEngine::endTimeout() {
    CloseEndpoints();
    finish(UpgradeEnding::Timeout, "lang_Hint_UpTimeOut", {});
}

void UpgradeEngine::endFailure(const QString& detail, const char* key, const QString& suffix) {
    CloseEndpoints();
    finish(UpgradeEnding::Failure, key, detail, suffix);
}

void UpgradeEngine::endMismatch() {
    emit statusChanged(QStringLiteral("lang_Hint_BinNotMatch"), {});
    emit buttonsEnabled(true);
    emit ended(UpgradeEnding::Mismatch, {});
}

QString UpgradeEndingName(UpgradeEnding ending) {
    switch (ending) {
    case UpgradeEnding::Success:
        return QStringLiteral("success");
    case UpgradeEnding::Timeout:
        return QStringLiteral("timeout");
    case UpgradeEnding::Mismatch:
        return QStringLiteral("mismatch");
    case UpgradeEnding::Failure:
        break;
    }
    return QStringLiteral("failure");
}

QString ExplainUpgradeOutcome(const UpgradeOutcome& outcome) {
    switch (outcome.ending) {
    case UpgradeEnding::Success:
        return {};
    case UpgradeEnding::Failure:
        return QStringLiteral("upgrade failed: %1").arg(outcome.failureDetail);
    case UpgradeEnding::Mismatch:
    case UpgradeEnding::Timeout:
        break;
    }
    if (outcome.mismatchSeen || outcome.ending == UpgradeEnding::Mismatch) {
        return QStringLiteral("the module's boot loader announced another hardware identity than "
                              "the image's first 4 bytes, and no module took the image within "
                              "%1 s; choose the image built for this module")
            .arg(UpgradeEngine::SearchTimeMs / 1000);
    }
    if (outcome.blocksSent == 0) {
        return QStringLiteral("no read request came from %1 within %2 s: check the MAC, that "
                              "the module is on the segment of %3, and that no firewall blocks "
                              "UDP ports 67, 69 and 40300 here")
            .arg(outcome.targetIp)
            .arg(UpgradeEngine::SearchTimeMs / 1000)
            .arg(outcome.localIp);
    }
    return QStringLiteral("the module stopped acknowledging at block %1 (%2 retransmissions in "
                          "all); the upgrade did not complete")
        .arg(outcome.currentBlock)
        .arg(outcome.retransmissions);
}

void UpgradeEngine::finish(UpgradeEnding ending, const char* key, const QString& detail,
                           const QString& suffix) {
    // Before the signals: a handler may start the next upgrade from them.
    m_phase = Phase::Idle;
    emit statusChanged(QString::fromLatin1(key), suffix);
    emit progressChanged(0);
    emit buttonsEnabled(true);
    emit ended(ending, detail);
}

} // namespace r2
