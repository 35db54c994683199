#pragma once
// The simulator's network side: one UDP socket per port the modules use (1500, 1901 and any
// other search-reply port), each bound to the any-address with broadcast allowed, and one
// poll loop that receives, lets the modules answer, and sends their answers when due.
//
// Contract:
// - A search goes to every module; a command frame only to the module whose MAC it names.
// - An answer leaves from the socket of the port the module chose, with the module's own
//   address as the source when the host has that address (otherwise the system's choice),
//   to the sender, or to 255.255.255.255 at the sender's port for a broadcasting module.
// - A module's delay holds its answers back without holding anything else up; copies are
//   sent back to back. Answers due at the same moment leave in the order they were made.
// - A reply marked foreign leaves from the module's second address (or the system's choice).
// - A flood sends its datagrams in bursts between polls, so requests are still answered
//   meanwhile, and ends after its count or its time, whichever comes first.
// - run() returns when SIGTERM or SIGINT arrives (the caller blocks both first).

#include "tools/r2sim/frame_log.h"
#include "tools/r2sim/sim_module.h"

#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <queue>
#include <string>
#include <unordered_map>
#include <vector>

namespace r2::sim {

class SimServer final {
public:
    SimServer(std::vector<SimModule> modules, FrameLog& log);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Binds every port; returns an error text, empty on success.
    std::string open(int signalFd);
    int run();

    const std::vector<SimModule>& modules() const { return m_modules; }

private:
    struct Socket {
        int fd = -1;
        std::uint16_t port = 0;
    };
    struct Pending {
        double due = 0;
        std::uint64_t seq = 0;
        std::size_t module = 0;
        std::uint16_t fromPort = 0;
        sockaddr_in to{};
        Bytes bytes;
        std::string action;
        std::string result;
        bool foreign = false;
        bool operator>(const Pending& o) const { return due != o.due ? due > o.due : seq > o.seq; }
    };
    struct Flood {
        std::size_t module = 0;
        std::uint16_t fromPort = 0;
        sockaddr_in to{};
        std::vector<Bytes> datagrams; // cycled through
        int count = 0;
        int sent = 0;
        double started = 0;
        double endMs = 0;
    };

    bool drain(const Socket& socket);
    void handle(const Bytes& frame, const sockaddr_in& from, std::uint16_t localPort, double now);
    void schedule(std::size_t module, const Answer& answer, const sockaddr_in& from, double now);
    void sendDue();
    void send(const Pending& p);
    // Sends one datagram from the module's own address (or its second one); false when the
    // socket refused it, with errno set.
    bool sendFrom(std::size_t module, bool foreign, int fd, const sockaddr_in& to,
                  const Bytes& bytes, int flags, std::string& source);
    void startFlood(std::size_t module, const Answer& answer, const sockaddr_in& to);
    void sendFloods();
    int socketFor(std::uint16_t port) const;
    int pollTimeoutMs() const;

    std::vector<SimModule> m_modules;
    std::vector<in_addr> m_sourceAddr;
    std::vector<bool> m_ownSourceWorks;
    std::vector<std::optional<in_addr>> m_secondAddr;
    std::unordered_map<std::uint64_t, std::size_t> m_byMac;
    FrameLog& m_log;
    std::vector<Socket> m_sockets;
    int m_signalFd = -1;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> m_pending;
    std::vector<Flood> m_floods;
    std::uint64_t m_seq = 0;
};

std::string AddressText(const sockaddr_in& a);

} // namespace r2::sim
