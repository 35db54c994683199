#pragma once
// One module's boot loader as a pure byte machine: datagrams and timer expiries in, datagrams
// to send and log lines out. No descriptors and no clock of its own, so unit tests drive it
// directly and the socket runner (boot_loader_server.h) only moves bytes.
//
// Contract:
// - It waits for a 30-byte wake-up on port 9 (six 0xAA, then its MAC four times). Any other
//   wake-up is logged and ignored. A wake-up for it starts afresh, also in mid-transfer, as a
//   real module restarts into its boot loader: a new transaction id, no boot reply, no image.
// - After a wake-up it broadcasts a 300-byte BOOTP boot request from port 68 to port 67 and
//   repeats it every retryMs until a boot reply is taken. The request carries op 1, htype 1,
//   hlen 6, hops 0, flags 0, the transaction id, its MAC as chaddr, the configured byte 26
//   (third byte of giaddr) and its hardware identity in bytes 44..47 (first bytes of sname).
// - A boot reply is taken on port 68 when it is 300 bytes with op 2, the request's
//   transaction id and chaddr, a yiaddr and siaddr that are not 0.0.0.0 and "firmware.bin"
//   at offset 108. Then it sends the 21-byte TFTP read request from port 13633 to siaddr
//   port 69, from yiaddr (or from readFromIp when set), unless stopBeforeRead. Later replies
//   are ignored.
// - Data blocks arrive on port 13633. Block n is written when it is the next one, acknowledged
//   (to the address and port it came from), and a block of fewer than 512 bytes ends the
//   transfer. The block written last, coming again, is acknowledged again and not written.
//   Any other block number is ignored.
// - Test options: loseAcks and duplicateAcks hold block numbers; each occurrence withholds
//   one acknowledgement of that block, or sends one acknowledgement of it twice. noFinalAck
//   never acknowledges the final block. lossPercent drops that share of incoming data blocks
//   and outgoing acknowledgements, from a sequence seeded by seed. A silent boot loader logs
//   what arrives and sends nothing.
// - Lying and unruly loaders, for the boot server's defences: ackJump names another block in
//   the first acknowledgement of block 1; staleAck sends an acknowledgement of that block to
//   siaddr port 40300 just before the read request; rrqAfterFinal (once) and restartEvery
//   (each time block N is written) withhold the acknowledgement, send the read request again
//   and start the image afresh; errorAfterBlock answers that block with TFTP error 3 "flash
//   write failed" and takes no more data blocks.

#include "protocol/Unit_Public.h"
#include "tools/r2sim/hostile.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace r2::sim {

inline constexpr std::uint16_t WakeUpPort = 9;
inline constexpr std::uint16_t BootServerPort = 67;
inline constexpr std::uint16_t BootClientPort = 68;
inline constexpr std::uint16_t ReadRequestPort = 69;
inline constexpr std::uint16_t ModuleTransferPort = 13633;
// Where a boot server takes acknowledgements; only --stale-ack sends there unasked.
inline constexpr std::uint16_t ServerTransferPort = 40300;
inline constexpr std::size_t BootPacketLen = 300;
inline constexpr std::size_t WakeUpLen = 30;
inline constexpr std::size_t TftpBlockLen = 512;
// "R2P6": what a P6 module's boot loader announces unless told otherwise.
inline constexpr std::array<std::uint8_t, 4> DefaultIdentity = {0x52, 0x32, 0x50, 0x36};

struct BootLoaderConfig {
    MacBytes mac{};
    std::array<std::uint8_t, 4> identity = DefaultIdentity;
    std::uint8_t giaddrByte26 = 0;
    int retryMs = 1000;
    std::vector<std::uint16_t> loseAcks;
    std::vector<std::uint16_t> duplicateAcks;
    bool noFinalAck = false;
    bool silent = false;
    bool stopBeforeRead = false;
    std::uint32_t readFromIp = 0; // 0: from yiaddr
    int lossPercent = 0;
    std::uint64_t seed = 1;
    std::optional<std::uint16_t> ackJump;
    std::optional<std::uint16_t> staleAck;
    bool rrqAfterFinal = false;
    std::uint16_t restartEvery = 0; // 0: never
    std::optional<std::uint16_t> errorAfterBlock;
};

// IPv4 addresses here are host-order numbers.
struct BootDatagram {
    std::uint16_t fromPort = 0;
    std::uint32_t toIp = 0;
    std::uint16_t toPort = 0;
    std::uint32_t sourceIp = 0; // the address it should leave from; 0: the system's choice
    Bytes bytes;                // empty for a datagram that is not sent
    std::string action;
    std::string result;
    bool sent = true; // false: logged as lost, never sent
};

struct BootStep {
    std::string action; // of the datagram received; empty after a timer expiry
    std::string result;
    std::vector<BootDatagram> out;
};

class BootLoader final {
public:
    explicit BootLoader(BootLoaderConfig config);

    // A datagram that arrived on localPort from fromIp:fromPort.
    BootStep receive(std::uint16_t localPort, std::uint32_t fromIp, std::uint16_t fromPort,
                     const Bytes& bytes, double nowMs);
    // When the boot request is due again; none while no request is being repeated.
    std::optional<double> deadline() const;
    BootStep expire(double nowMs);

    const BootLoaderConfig& config() const { return m_config; }
    // The image received so far in this transfer; generation() counts the transfers started,
    // so a reader can tell a new image from a longer one.
    const Bytes& image() const { return m_image; }
    int generation() const { return m_generation; }
    bool transferDone() const { return m_phase == Phase::Done; }
    // The port the data blocks come to is opened once the read request is due.
    bool wantsTransferPort() const {
        return m_phase == Phase::Reading || m_phase == Phase::Done || m_phase == Phase::Aborted;
    }
    std::uint32_t ownIp() const { return m_yiaddr; }

private:
    enum class Phase { Waiting, Requesting, Stopped, Reading, Done, Aborted };

    BootStep wakeUp(const Bytes& bytes, double nowMs);
    BootStep bootReply(const Bytes& bytes);
    BootStep data(std::uint32_t fromIp, std::uint16_t fromPort, const Bytes& bytes);
    Bytes bootRequest() const;
    BootDatagram readRequest() const;
    // Withholds the acknowledgement of the block just written and asks for the image again.
    void startOver(const char* why, BootStep& step);
    // Sends the TFTP error where the data block came from, and takes no more blocks.
    void abortWithError(std::uint32_t toIp, std::uint16_t toPort, BootStep& step);
    void acknowledge(std::uint16_t block, bool final, std::uint32_t toIp, std::uint16_t toPort,
                     BootStep& step);
    bool takeOne(std::map<std::uint16_t, int>& counts, std::uint16_t block);
    bool lose();

    BootLoaderConfig m_config;
    std::map<std::uint16_t, int> m_loseAcks;
    std::map<std::uint16_t, int> m_duplicateAcks;
    SeededRandom m_random;
    Phase m_phase = Phase::Waiting;
    std::uint32_t m_xid = 0;
    int m_wakeUps = 0;
    double m_nextRequestMs = 0;
    std::uint32_t m_yiaddr = 0;
    std::uint32_t m_siaddr = 0;
    Bytes m_image;
    int m_generation = 0;
    std::uint16_t m_lastBlock = 0; // the block written last; 0 before the first
    bool m_ackJumped = false;
    bool m_restartedAfterFinal = false;
};

} // namespace r2::sim
