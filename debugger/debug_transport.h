#pragma once
// The data debugger's connections: one UDP endpoint, one TCP listener with its clients, one TCP
// client connection. The window drives it from its own thread (start, stop, connect,
// disconnect) and hears the socket events as signals; data received on any of them is reported
// too. Send() may be called from any thread, also while the window's thread stops the
// connection: each connection's socket is duplicated for sending, and the duplicates are
// opened and closed under one lock, so a send never reaches a closed or reused descriptor.
//
// UDP never sends to a broadcast address (the endpoint has no broadcast permission). Error
// numbers in the events are the system's socket error numbers (errno).

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QUdpSocket;

namespace r2 {

// The connection kinds in the order of the window's list.
enum class DebugKind { UdpServer = 0, TcpServer = 1, UdpClient = 2, TcpClient = 3 };
bool IsUdpKind(DebugKind kind);

// A port box's number; empty when the text is not digits or the number is above 65535.
std::optional<std::uint16_t> PortOfText(const QString& text);

struct SendOutcome {
    enum class Result {
        Sent,        // handed to the system (for a TCP server: to every client)
        NotRunning,  // no connection of that kind: nothing sent, nothing to report
        BadAddress,  // the UDP destination is not an IPv4 address
        BadPort,     // the UDP destination port is not a number from 0 to 65535
        SystemError, // the system refused the send; `error` is its text
    };
    Result result = Result::NotRunning;
    QString error{};
};

class DebugTransport final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DebugTransport)

public:
    explicit DebugTransport(QObject* parent = nullptr);
    ~DebugTransport() override;

    // ---- Window thread ----
    // Each Start returns the platform's error text, empty on success.
    QString StartUdp(const QString& localAddress, std::uint16_t port);
    void StopUdp();
    bool UdpRunning() const;
    QString StartServer(std::uint16_t port);
    // Closes the listener and every client connection, without client events.
    void StopServer();
    bool Listening() const;
    int ClientCount() const;
    // Abandons any attempt under way and begins a new one; the outcome comes as an event.
    void ConnectToServer(const QString& host, std::uint16_t port);
    // Closes the connection; clntsckt1Disconnect follows if it was connected.
    void DisconnectFromServer();
    // Closes without any event (the window is closing).
    void AbortClient();
    bool ClientConnected() const;
    // Where UDP sends go; read at each send. Texts as the user typed them.
    void SetUdpDestination(const QString& address, const QString& portText);

    // ---- Any thread ----
    SendOutcome Send(DebugKind kind, const QByteArray& bytes);
    std::uint64_t BytesSent() const { return m_bytesSent.load(); }
    std::uint64_t BytesReceived() const { return m_bytesReceived.load(); }
    void ResetCounters();

signals:
    void ServerSocket1ClientConnect(const QString& address);
    // `wasLast`: it was the only connection left.
    void ServerSocket1ClientDisconnect(bool wasLast);
    void ServerSocket1ClientError(int errorCode);
    void clntsckt1Connect(const QString& address);
    void clntsckt1Disconnect(const QString& address);
    void clntsckt1Error(int errorCode);
    // A datagram or TCP chunk received on the running connection.
    void DataReceived(const QString& peerAddress, std::uint16_t peerPort, const QByteArray& bytes);

private:
    struct ServerClient {
        QTcpSocket* socket = nullptr;
        int sendFd = -1;
    };

    void AcceptClients();
    void DropServerClient(QTcpSocket* socket);
    void ReadUdp();
    void ReadTcp(QTcpSocket& socket);
    void OnClientConnected();
    void OnClientDisconnected();
    void CloseClientSendFd();
    SendOutcome SendUdp(const QByteArray& bytes);
    SendOutcome SendTcp(const std::vector<int>& fds, const QByteArray& bytes);

    std::unique_ptr<QUdpSocket> m_udp;
    std::unique_ptr<QTcpServer> m_server;
    std::vector<ServerClient> m_serverClients; // in connection order
    std::unique_ptr<QTcpSocket> m_client;
    QString m_serverAddress{};
    bool m_clientWasConnected = false;

    // Guards the send descriptors and the UDP destination.
    mutable std::mutex m_sendLock;
    int m_udpSendFd = -1;
    int m_clientSendFd = -1;
    QString m_udpDestAddress{};
    QString m_udpDestPort{};

    std::atomic<std::uint64_t> m_bytesSent{0};
    std::atomic<std::uint64_t> m_bytesReceived{0};
};

// The system error number for a Qt socket error (ECONNREFUSED for a refused connection ...).
int SocketErrorNumber(int qtSocketError);

} // namespace r2
