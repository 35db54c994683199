#pragma once
// The far ends of the debugger's connections in these tests: plain sockets on loopback, read
// on threads of their own and stamped by the kernel on arrival, so a busy event loop in the
// test never distorts what was received or when.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace r2::test {

using Stamp = std::chrono::nanoseconds; // CLOCK_REALTIME of the kernel's arrival stamp

struct Arrival {
    Stamp at{};
    std::string bytes;
};

// A loopback port that was free a moment ago.
std::uint16_t FreePort(bool tcp);

// A UDP socket on 127.0.0.1 that records every datagram with its kernel arrival stamp.
class UdpListener final {
public:
    UdpListener();
    ~UdpListener();
    UdpListener(const UdpListener&) = delete;
    UdpListener& operator=(const UdpListener&) = delete;

    std::uint16_t Port() const { return m_port; }
    // Waits up to `timeout` for at least `count` datagrams; returns what arrived.
    std::vector<Arrival> WaitFor(std::size_t count, std::chrono::milliseconds timeout) const;
    std::vector<Arrival> Received() const;
    // Sends a datagram from this socket.
    void SendTo(std::uint16_t port, const std::string& bytes) const;

private:
    void Run();
    int m_fd = -1;
    std::uint16_t m_port = 0;
    mutable std::mutex m_lock;
    std::vector<Arrival> m_arrivals;
    bool m_stop = false;
    std::thread m_reader;
};

// A blocking TCP client socket connected to 127.0.0.1:port.
class TcpPeer final {
public:
    // A socket not yet connected (made while descriptors are still free).
    TcpPeer();
    explicit TcpPeer(std::uint16_t port);
    explicit TcpPeer(int connectedFd);
    ~TcpPeer();
    TcpPeer(const TcpPeer&) = delete;
    TcpPeer& operator=(const TcpPeer&) = delete;

    bool Connected() const { return m_fd >= 0; }
    // Connects the socket made by TcpPeer(); false when refused.
    bool Connect(std::uint16_t port);
    // Bytes that arrived and were not read yet.
    std::size_t Unread() const;
    // Reads until `count` bytes came or `timeout` passed; each read's kernel stamp is kept.
    std::vector<Arrival> ReadBytes(std::size_t count, std::chrono::milliseconds timeout);
    void Write(const std::string& bytes) const;
    // True once the other side has ended the connection (end of stream or reset), within
    // `timeout`; data still arriving is read and dropped.
    bool WaitClosed(std::chrono::milliseconds timeout) const;
    void Close();

private:
    int m_fd = -1;
};

// A TCP listener on 127.0.0.1 that accepts one peer.
class TcpListener final {
public:
    TcpListener();
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    std::uint16_t Port() const { return m_port; }
    // Blocks up to `timeout` for a connection; nullptr when none came.
    std::unique_ptr<TcpPeer> Accept(std::chrono::milliseconds timeout) const;

private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
};

} // namespace r2::test
