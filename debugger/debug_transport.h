#pragma once
// The data debugger's connections: one UDP endpoint, one TCP listener with its clients, one TCP
// client connection. The window drives it from its own thread (start, stop, connect,
// disconnect) and hears the socket events as signals; data received on any of them is reported
// too. Send() may be called from any thread, also while the window's thread stops the
// connection: each connection's socket is duplicated for sending, and a send takes shared
// hold of the duplicates under one lock, so it never reaches a closed or reused descriptor.
// The lock is never held while a send waits for a peer that does not read: a send waits at
// most SendRoomWaitMs in all, whatever the number of clients, and stopping a connection wakes
// a send waiting on it at once.
//
// Whatever a peer sends, the window's thread stays free: at most ReadBudgetBytes are read per
// wake-up (the rest waits in the socket, so a TCP peer is slowed down by its own window), and a
// TCP server keeps at most MaxServerClients clients: it listens on every local address, so any
// host on any attached network can connect, and each client costs descriptors. A client
// beyond the limit is closed at once (ServerSocket1ClientRefused); an accept the system refuses
// (no descriptor left) is reported (ServerAcceptError) and accepting resumes a second later.
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
#include <string>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QTimer;
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
    // A module connects once; this leaves ample room for a few test tools beside it.
    static constexpr int MaxServerClients = 32;
    // Bytes read from the sockets per wake-up of the window's thread.
    static constexpr qsizetype ReadBudgetBytes = 64 * 1024;
    // How long one Send may wait for room in the send buffers of peers that do not read.
    static constexpr int SendRoomWaitMs = 1000;
    // After an accept the system refused, accepting resumes this much later.
    static constexpr int AcceptRetryMs = 1000;

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
    // A client beyond MaxServerClients was closed as soon as it was accepted.
    void ServerSocket1ClientRefused(const QString& address);
    // The system refused to accept a connection (EMFILE: no descriptor left); accepting
    // resumes after AcceptRetryMs.
    void ServerAcceptError(int errorCode);
    void clntsckt1Connect(const QString& address);
    void clntsckt1Disconnect(const QString& address);
    void clntsckt1Error(int errorCode);
    // A datagram or TCP chunk received on the running connection.
    void DataReceived(const QString& peerAddress, std::uint16_t peerPort, const QByteArray& bytes);

private:
    // A duplicate of a connection's socket, closed when its last holder lets go.
    class SendSocket;
    using SendSocketPtr = std::shared_ptr<const SendSocket>;
    // How a connection's duplicate is let go of: Shutdown also ends the connection, so a send
    // waiting on it returns at once.
    enum class Release { Drop, Shutdown };

    struct ServerClient {
        QTcpSocket* socket = nullptr;
        SendSocketPtr send{};
    };

    void AcceptClients();
    void OnAcceptError(int qtSocketError);
    void DropServerClient(QTcpSocket* socket);
    void ReadUdp();
    void ReadTcp(QTcpSocket& socket);
    void OnClientConnected();
    void OnClientDisconnected();
    void ReleaseClientSend(Release how);
    SendOutcome SendUdp(const SendSocketPtr& socket, const std::string& address,
                        const std::string& portText, const QByteArray& bytes);
    SendOutcome SendTcp(const std::vector<SendSocketPtr>& sockets, const QByteArray& bytes);

    std::unique_ptr<QUdpSocket> m_udp;
    std::unique_ptr<QTcpServer> m_server;
    std::unique_ptr<QTimer> m_acceptRetry;
    std::vector<ServerClient> m_serverClients; // in connection order
    std::unique_ptr<QTcpSocket> m_client;
    QString m_serverAddress{};
    bool m_clientWasConnected = false;

    // Guards the send descriptors and the UDP destination; held only to copy or change them.
    mutable std::mutex m_sendLock;
    SendSocketPtr m_udpSend{};
    SendSocketPtr m_clientSend{};
    QString m_udpDestAddress{};
    QString m_udpDestPort{};

    std::atomic<std::uint64_t> m_bytesSent{0};
    std::atomic<std::uint64_t> m_bytesReceived{0};
};

// The system error number for a Qt socket error (ECONNREFUSED for a refused connection ...).
int SocketErrorNumber(int qtSocketError);

} // namespace r2
