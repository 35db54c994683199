#include "debugger/debug_transport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <QAbstractSocket>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <sys/socket.h>
#include <unistd.h>

namespace r2 {

namespace {

// Datagrams read per wake-up at most, however small they are.
constexpr int UdpReadBatch = 256;

int DuplicateForSending(qintptr descriptor) {
    return descriptor < 0 ? -1 : ::fcntl(static_cast<int>(descriptor), F_DUPFD_CLOEXEC, 0);
}

QString Ipv4Text(const QHostAddress& address) {
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    return ok ? QHostAddress(v4).toString() : address.toString();
}

QString ErrnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

using Deadline = std::chrono::steady_clock::time_point;

// Sends all bytes on a stream socket, waiting for room until the deadline; the errno of the
// failure.
int SendAll(int fd, const QByteArray& bytes, Deadline deadline) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done),
                   MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            done += n;
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return errno;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{fd, POLLOUT, 0};
        if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) == 0) {
            return ETIMEDOUT;
        }
    }
    return 0;
}

} // namespace

bool IsUdpKind(DebugKind kind) {
    return kind == DebugKind::UdpServer || kind == DebugKind::UdpClient;
}

std::optional<std::uint16_t> PortOfText(const QString& text) {
    if (text.isEmpty() || text.size() > 5) {
        return std::nullopt;
    }
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
    }
    const uint value = text.toUInt();
    if (value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

int SocketErrorNumber(int qtSocketError) {
    switch (static_cast<QAbstractSocket::SocketError>(qtSocketError)) {
    case QAbstractSocket::ConnectionRefusedError:
        return ECONNREFUSED;
    case QAbstractSocket::RemoteHostClosedError:
        return ECONNRESET;
    case QAbstractSocket::HostNotFoundError:
        return EHOSTUNREACH;
    case QAbstractSocket::SocketAccessError:
        return EACCES;
    case QAbstractSocket::SocketResourceError:
        return EMFILE;
    case QAbstractSocket::SocketTimeoutError:
        return ETIMEDOUT;
    case QAbstractSocket::NetworkError:
        return ENETUNREACH;
    case QAbstractSocket::AddressInUseError:
        return EADDRINUSE;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return EADDRNOTAVAIL;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return EOPNOTSUPP;
    default:
        return EIO;
    }
}

class DebugTransport::SendSocket final {
public:
    explicit SendSocket(int fd) : m_fd(fd) {}
    ~SendSocket() { ::close(m_fd); }
    SendSocket(const SendSocket&) = delete;
    SendSocket& operator=(const SendSocket&) = delete;

    int Fd() const { return m_fd; }
    // Ends the connection for every descriptor of it: a send waiting for room wakes at once.
    void Shutdown() const { ::shutdown(m_fd, SHUT_RDWR); }

    // A duplicate of a Qt socket's descriptor; null when it cannot be made.
    static std::shared_ptr<const SendSocket> Of(qintptr descriptor) {
        const int fd = DuplicateForSending(descriptor);
        return fd < 0 ? nullptr : std::make_shared<const SendSocket>(fd);
    }

private:
    int m_fd;
};

DebugTransport::DebugTransport(QObject* parent) : QObject(parent) {}

DebugTransport::~DebugTransport() {
    StopUdp();
    StopServer();
    AbortClient();
}

// ---- UDP ----

QString DebugTransport::StartUdp(const QString& localAddress, std::uint16_t port) {
    StopUdp();
    const QHostAddress address(localAddress);
    if (address.isNull() || address.protocol() != QAbstractSocket::IPv4Protocol) {
        return tr("%1 is not a local IPv4 address").arg(localAddress);
    }
    auto socket = std::make_unique<QUdpSocket>();
    socket->setProxy(QNetworkProxy::NoProxy);
    if (!socket->bind(address, port)) {
        return socket->errorString();
    }
    // Qt allows broadcasts on every UDP socket; this endpoint must not send any.
    const int off = 0;
    ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_BROADCAST, &off,
                 sizeof off);
    SendSocketPtr send = SendSocket::Of(socket->socketDescriptor());
    if (!send) {
        return ErrnoText(errno);
    }
    connect(socket.get(), &QUdpSocket::readyRead, this, &DebugTransport::ReadUdp);
    {
        const std::lock_guard guard(m_sendLock);
        m_udpSend = std::move(send);
    }
    m_udp = std::move(socket);
    return {};
}

void DebugTransport::StopUdp() {
    {
        // A datagram send never waits, so nothing needs waking.
        const std::lock_guard guard(m_sendLock);
        m_udpSend.reset();
    }
    if (m_udp) {
        m_udp->disconnect(this);
        m_udp->close();
        m_udp.reset();
    }
}

bool DebugTransport::UdpRunning() const {
    return m_udp != nullptr;
}

void DebugTransport::SetUdpDestination(const QString& address, const QString& portText) {
    const std::lock_guard guard(m_sendLock);
    m_udpDestAddress = address;
    m_udpDestPort = portText;
}

void DebugTransport::ReadUdp() {
    qsizetype budget = ReadBudgetBytes;
    for (int i = 0; i < UdpReadBatch && budget > 0 && m_udp && m_udp->hasPendingDatagrams(); ++i) {
        const QNetworkDatagram datagram = m_udp->receiveDatagram();
        budget -= datagram.data().size();
        m_bytesReceived += static_cast<std::uint64_t>(datagram.data().size());
        emit DataReceived(Ipv4Text(datagram.senderAddress()),
                          static_cast<std::uint16_t>(datagram.senderPort()), datagram.data());
    }
    if (m_udp && m_udp->hasPendingDatagrams()) {
        QMetaObject::invokeMethod(this, &DebugTransport::ReadUdp, Qt::QueuedConnection);
    }
}

SendOutcome DebugTransport::SendUdp(const SendSocketPtr& socket, const std::string& address,
                                    const std::string& portText, const QByteArray& bytes) {
    if (!socket) {
        return {};
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    if (::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) {
        return {SendOutcome::Result::BadAddress, QString::fromStdString(address)};
    }
    const auto port = PortOfText(QString::fromStdString(portText));
    if (!port) {
        return {SendOutcome::Result::BadPort, QString::fromStdString(portText)};
    }
    to.sin_port = htons(*port);
    const ssize_t n =
        ::sendto(socket->Fd(), bytes.constData(), static_cast<std::size_t>(bytes.size()),
                 MSG_NOSIGNAL | MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n < 0) {
        return {SendOutcome::Result::SystemError, ErrnoText(errno)};
    }
    m_bytesSent += static_cast<std::uint64_t>(n);
    return {SendOutcome::Result::Sent, {}};
}

// ---- TCP server ----

QString DebugTransport::StartServer(std::uint16_t port) {
    StopServer();
    auto server = std::make_unique<QTcpServer>();
    server->setProxy(QNetworkProxy::NoProxy);
    if (!server->listen(QHostAddress::AnyIPv4, port)) {
        return server->errorString();
    }
    connect(server.get(), &QTcpServer::newConnection, this, &DebugTransport::AcceptClients);
    connect(server.get(), &QTcpServer::acceptError, this,
            [this](QAbstractSocket::SocketError error) { OnAcceptError(error); });
    m_server = std::move(server);
    m_acceptRetry = std::make_unique<QTimer>();
    m_acceptRetry->setSingleShot(true);
    m_acceptRetry->setInterval(AcceptRetryMs);
    connect(m_acceptRetry.get(), &QTimer::timeout, this, [this] {
        if (m_server) {
            m_server->resumeAccepting();
        }
    });
    return {};
}

void DebugTransport::StopServer() {
    std::vector<ServerClient> clients;
    {
        const std::lock_guard guard(m_sendLock);
        for (const ServerClient& client : m_serverClients) {
            if (client.send) {
                client.send->Shutdown();
            }
        }
        clients.swap(m_serverClients);
    }
    for (const ServerClient& client : clients) {
        client.socket->disconnect(this);
        client.socket->abort();
        client.socket->deleteLater();
    }
    m_acceptRetry.reset();
    if (m_server) {
        m_server->close();
        m_server.reset();
    }
}

bool DebugTransport::Listening() const {
    return m_server != nullptr && m_server->isListening();
}

int DebugTransport::ClientCount() const {
    const std::lock_guard guard(m_sendLock);
    return static_cast<int>(m_serverClients.size());
}

void DebugTransport::AcceptClients() {
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket* socket = m_server->nextPendingConnection();
        if (ClientCount() >= MaxServerClients) {
            const QString address = Ipv4Text(socket->peerAddress());
            socket->abort();
            delete socket;
            emit ServerSocket1ClientRefused(address);
            continue;
        }
        socket->setReadBufferSize(ReadBudgetBytes);
        {
            SendSocketPtr send = SendSocket::Of(socket->socketDescriptor());
            const std::lock_guard guard(m_sendLock);
            m_serverClients.push_back({socket, std::move(send)});
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { ReadTcp(*socket); });
        connect(socket, &QTcpSocket::disconnected, this,
                [this, socket] { DropServerClient(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this,
                [this](QAbstractSocket::SocketError error) {
                    // A peer's orderly close is a disconnect, not an error.
                    if (error != QAbstractSocket::RemoteHostClosedError) {
                        emit ServerSocket1ClientError(SocketErrorNumber(error));
                    }
                });
        emit ServerSocket1ClientConnect(Ipv4Text(socket->peerAddress()));
    }
}

void DebugTransport::OnAcceptError(int qtSocketError) {
    // The server has paused accepting; the connection waits in the system's queue meanwhile.
    emit ServerAcceptError(SocketErrorNumber(qtSocketError));
    if (m_acceptRetry) {
        m_acceptRetry->start();
    }
}

void DebugTransport::DropServerClient(QTcpSocket* socket) {
    bool wasLast = false;
    bool found = false;
    {
        const std::lock_guard guard(m_sendLock);
        for (auto it = m_serverClients.begin(); it != m_serverClients.end(); ++it) {
            if (it->socket == socket) {
                wasLast = m_serverClients.size() == 1;
                m_serverClients.erase(it);
                found = true;
                break;
            }
        }
    }
    if (!found) {
        return;
    }
    socket->disconnect(this);
    socket->deleteLater();
    emit ServerSocket1ClientDisconnect(wasLast);
}

void DebugTransport::ReadTcp(QTcpSocket& socket) {
    // A socket closed meanwhile holds nothing (and reading it would only warn).
    if (socket.bytesAvailable() == 0) {
        return;
    }
    const QByteArray bytes = socket.read(ReadBudgetBytes);
    m_bytesReceived += static_cast<std::uint64_t>(bytes.size());
    emit DataReceived(Ipv4Text(socket.peerAddress()), socket.peerPort(), bytes);
    // readyRead comes again only for new bytes: what is left is read on the next turn of the
    // event loop, unless the socket is gone by then.
    if (socket.bytesAvailable() > 0) {
        QMetaObject::invokeMethod(
            this,
            [this, left = QPointer<QTcpSocket>(&socket)] {
                if (left) {
                    ReadTcp(*left);
                }
            },
            Qt::QueuedConnection);
    }
}

// ---- TCP client ----

void DebugTransport::ConnectToServer(const QString& host, std::uint16_t port) {
    AbortClient();
    m_client = std::make_unique<QTcpSocket>();
    QTcpSocket* socket = m_client.get();
    // A module is reached directly on the local network, never through a system proxy.
    socket->setProxy(QNetworkProxy::NoProxy);
    socket->setReadBufferSize(ReadBudgetBytes);
    connect(socket, &QTcpSocket::connected, this, &DebugTransport::OnClientConnected);
    connect(socket, &QTcpSocket::disconnected, this, &DebugTransport::OnClientDisconnected);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { ReadTcp(*socket); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError) {
            emit clntsckt1Error(SocketErrorNumber(error));
        }
    });
    socket->connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::IPv4Protocol);
}

void DebugTransport::OnClientConnected() {
    SendSocketPtr send = SendSocket::Of(m_client->socketDescriptor());
    {
        const std::lock_guard guard(m_sendLock);
        m_clientSend = std::move(send);
    }
    m_clientWasConnected = true;
    m_serverAddress = Ipv4Text(m_client->peerAddress());
    emit clntsckt1Connect(m_serverAddress);
}

void DebugTransport::OnClientDisconnected() {
    ReleaseClientSend(Release::Drop);
    if (m_clientWasConnected) {
        m_clientWasConnected = false;
        emit clntsckt1Disconnect(m_serverAddress);
    }
}

void DebugTransport::ReleaseClientSend(Release how) {
    const std::lock_guard guard(m_sendLock);
    if (m_clientSend && how == Release::Shutdown) {
        m_clientSend->Shutdown();
    }
    m_clientSend.reset();
}

void DebugTransport::DisconnectFromServer() {
    // The duplicate goes first: the connection ends only when its last descriptor closes (a
    // send under way may hold it a moment longer; it then ends after that send).
    ReleaseClientSend(Release::Drop);
    if (m_client) {
        m_client->disconnectFromHost();
    }
}

void DebugTransport::AbortClient() {
    ReleaseClientSend(Release::Shutdown);
    m_clientWasConnected = false;
    if (m_client) {
        m_client->disconnect(this);
        m_client->abort();
        m_client.release()->deleteLater();
    }
}

bool DebugTransport::ClientConnected() const {
    const std::lock_guard guard(m_sendLock);
    return m_clientSend != nullptr;
}

// ---- Sending ----

SendOutcome DebugTransport::SendTcp(const std::vector<SendSocketPtr>& sockets,
                                    const QByteArray& bytes) {
    // One deadline for all: clients that do not read cost one wait together, not one each.
    const Deadline deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(SendRoomWaitMs);
    SendOutcome outcome;
    for (const SendSocketPtr& socket : sockets) {
        if (!socket) {
            continue;
        }
        const int error = SendAll(socket->Fd(), bytes, deadline);
        if (error != 0) {
            // The other clients still get the bytes; the first failure is what is reported.
            if (outcome.result != SendOutcome::Result::SystemError) {
                outcome = {SendOutcome::Result::SystemError, ErrnoText(error)};
            }
            continue;
        }
        m_bytesSent += static_cast<std::uint64_t>(bytes.size());
        if (outcome.result == SendOutcome::Result::NotRunning) {
            outcome.result = SendOutcome::Result::Sent;
        }
    }
    return outcome;
}

SendOutcome DebugTransport::Send(DebugKind kind, const QByteArray& bytes) {
    // The lock is held only to take hold of the descriptors (and the UDP destination); the
    // sending, with its waits, runs without it.
    std::unique_lock guard(m_sendLock);
    switch (kind) {
    case DebugKind::UdpServer:
    case DebugKind::UdpClient: {
        // Deep copies: a shared QString would be freed by whichever thread lets go of it last,
        // inside Qt, where ThreadSanitizer cannot see the hand-over.
        const SendSocketPtr socket = m_udpSend;
        const std::string address = m_udpDestAddress.toStdString();
        const std::string port = m_udpDestPort.toStdString();
        guard.unlock();
        return SendUdp(socket, address, port, bytes);
    }
    case DebugKind::TcpServer: {
        std::vector<SendSocketPtr> sockets;
        for (const ServerClient& client : m_serverClients) {
            sockets.push_back(client.send);
        }
        guard.unlock();
        return SendTcp(sockets, bytes);
    }
    case DebugKind::TcpClient: {
        const std::vector<SendSocketPtr> sockets{m_clientSend};
        guard.unlock();
        return SendTcp(sockets, bytes);
    }
    }
    return {};
}

void DebugTransport::ResetCounters() {
    m_bytesSent = 0;
    m_bytesReceived = 0;
}

} // namespace r2
