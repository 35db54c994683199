#pragma once
// A scriptable stand-in for modules, run on a thread that has entered the lab's network
// namespace. It listens on ports 1500, 1901 and 7000 of the lab side, records every datagram
// with its arrival time and the interface it came in on, and answers through a handler the
// test supplies: unicast to the sender, or broadcast to 255.255.255.255 at the sender's port
// out of the interface the request came in on.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace r2::lab {

struct Arrival {
    // When the kernel took the datagram in (real-time clock); zero when it gave no stamp.
    std::chrono::nanoseconds time{0};
    std::vector<std::uint8_t> bytes;
    std::string senderIp;
    std::uint16_t senderPort = 0;
    std::uint16_t localPort = 0;
    std::string interfaceName;
};

struct Reply {
    std::uint16_t fromPort = 1500;
    std::vector<std::uint8_t> bytes;
    bool broadcast = false;
};

class FakeModule final {
public:
    using Handler = std::function<std::vector<Reply>(const Arrival&)>;

    // `netnsPath`: /proc/PID/ns/net of the lab side. Throws when it cannot set up.
    FakeModule(std::string netnsPath, Handler handler);
    ~FakeModule();
    FakeModule(const FakeModule&) = delete;
    FakeModule& operator=(const FakeModule&) = delete;

    std::vector<Arrival> arrivals() const;

private:
    void run();
    void serve(int fd, std::uint16_t localPort);
    void send(int fd, const Reply& reply, const Arrival& to, int ifIndex);

    std::string m_netnsPath;
    Handler m_handler;
    int m_stopFd = -1;
    std::vector<std::pair<int, std::uint16_t>> m_sockets;
    mutable std::mutex m_mutex;
    std::vector<Arrival> m_arrivals;
    std::thread m_thread;
};

} // namespace r2::lab
