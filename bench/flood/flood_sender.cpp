// One noisy host for the flood benchmark: it waits for the next search request on the lab's
// veth end, then sends search replies to the searching socket as fast as it can for a given
// time. Run it only inside the lab namespace (flood.py starts it there).
//
// The modules' port 1500 belongs to r2sim in the same namespace, so the request is seen on
// the wire (a packet socket), not on a bound port; the replies leave from FROM_IP.
//
// usage: bench_flood_sender INTERFACE FROM_IP SECONDS
// Prints "ready" once it watches, "flooding IP:PORT" when the search came, and at the end one
// JSON line: {"sent": N, "seconds": S}.

#include "protocol/Unit_Public.h"

#include <arpa/inet.h>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Batch = 64;

struct Searcher {
    in_addr ip{};
    std::uint16_t port = 0; // network order
};

// Blocks until a search request to port 1500 comes in on `ifName`.
bool WaitForSearch(const char* ifName, Searcher& out) {
    const int fd = socket(AF_PACKET, SOCK_DGRAM, htons(ETH_P_IP));
    if (fd < 0) {
        std::perror("packet socket");
        return false;
    }
    sockaddr_ll where{};
    where.sll_family = AF_PACKET;
    where.sll_protocol = htons(ETH_P_IP);
    where.sll_ifindex = static_cast<int>(if_nametoindex(ifName));
    if (where.sll_ifindex == 0 ||
        bind(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
        std::perror(ifName);
        close(fd);
        return false;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    const std::vector<std::uint8_t> request = r2::BuildSearchRequest();
    std::array<std::uint8_t, 2048> packet{};
    for (;;) {
        sockaddr_ll from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = recvfrom(fd, packet.data(), packet.size(), 0,
                                   reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) {
            std::perror("recvfrom");
            close(fd);
            return false;
        }
        if (from.sll_pkttype == PACKET_OUTGOING || n < 20) {
            continue;
        }
        iphdr ip{};
        std::memcpy(&ip, packet.data(), sizeof ip);
        const std::size_t ipLen = ip.ihl * 4u;
        if (ip.protocol != IPPROTO_UDP || static_cast<std::size_t>(n) < ipLen + 8) {
            continue;
        }
        udphdr udp{};
        std::memcpy(&udp, packet.data() + ipLen, sizeof udp);
        const std::uint8_t* payload = packet.data() + ipLen + 8;
        const std::size_t payloadLen = static_cast<std::size_t>(n) - ipLen - 8;
        if (ntohs(udp.dest) == r2::CfgPortP6 && payloadLen == request.size() &&
            std::memcmp(payload, request.data(), request.size()) == 0) {
            out.ip.s_addr = ip.saddr;
            out.port = udp.source;
            close(fd);
            return true;
        }
    }
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_flood_sender INTERFACE FROM_IP SECONDS\n");
        return 1;
    }
    const double seconds = std::atof(argv[3]);
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (fd < 0 || inet_pton(AF_INET, argv[2], &local.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    Searcher searcher;
    if (!WaitForSearch(argv[1], searcher)) {
        return 1;
    }
    char target[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &searcher.ip, target, sizeof target);
    std::printf("flooding %s:%u\n", target, ntohs(searcher.port));
    std::fflush(stdout);

    // One noisy device: the same reply over and over, as a looping or hostile host sends it.
    std::vector<std::uint8_t> reply =
        r2::BuildSearchReply(r2::SearchReply{argv[2], "FLOOD", "02 66 66 66 66 66", 4017});
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_addr = searcher.ip;
    dest.sin_port = searcher.port;
    std::array<iovec, Batch> iov{};
    std::array<mmsghdr, Batch> msgs{};
    for (int i = 0; i < Batch; ++i) {
        iov[i] = iovec{reply.data(), reply.size()};
        msgs[i].msg_hdr.msg_name = &dest;
        msgs[i].msg_hdr.msg_namelen = sizeof dest;
        msgs[i].msg_hdr.msg_iov = &iov[i];
        msgs[i].msg_hdr.msg_iovlen = 1;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    unsigned long long sent = 0;
    while (Clock::now() < end) {
        const int n = sendmmsg(fd, msgs.data(), Batch, 0);
        if (n > 0) {
            sent += static_cast<unsigned>(n);
        }
    }
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("{\"sent\": %llu, \"seconds\": %.3f}\n", sent, took);
    close(fd);
    return 0;
}
