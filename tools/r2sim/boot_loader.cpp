#include "tools/r2sim/boot_loader.h"

#include "protocol/Unit_ProFun.h"
#include "tools/r2sim/sim_module.h"

#include <algorithm>
#include <string_view>

namespace r2::sim {
namespace {

constexpr std::uint32_t Broadcast = 0xFFFFFFFF;
constexpr std::string_view ImageName = "firmware.bin";
constexpr std::string_view Mode = "octet";
constexpr std::size_t XidAt = 4, YiaddrAt = 16, SiaddrAt = 20, GiaddrByte3At = 26, ChaddrAt = 28,
                      IdentityAt = 44, FileAt = 108;
constexpr std::uint8_t WakeUpFill = 0xAA;
constexpr std::size_t WakeUpHead = 6;
constexpr std::uint8_t OpData = 3, OpAck = 4, OpError = 5;
constexpr std::uint8_t FlashErrorCode = 3; // TFTP's "disk full or allocation exceeded"
constexpr std::string_view FlashErrorText = "flash write failed";
constexpr std::size_t TftpHeadLen = 4;

std::uint32_t BigEndian32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
           static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

void PutBigEndian32(Bytes& b, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        b[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

Bytes AckBytes(std::uint16_t block) {
    return {0, OpAck, static_cast<std::uint8_t>(block >> 8), static_cast<std::uint8_t>(block)};
}

std::map<std::uint16_t, int> Counts(const std::vector<std::uint16_t>& blocks) {
    std::map<std::uint16_t, int> counts;
    for (const std::uint16_t b : blocks) {
        ++counts[b];
    }
    return counts;
}

std::uint64_t MacSeedBits(const MacBytes& mac) {
    std::uint64_t bits = 0;
    for (const std::uint8_t b : mac) {
        bits = bits << 8 | b;
    }
    return bits;
}

std::string_view ActionOfPort(std::uint16_t port) {
    switch (port) {
    case WakeUpPort:
        return "wake-up";
    case BootClientPort:
        return "boot reply";
    default:
        return "data";
    }
}

} // namespace

BootLoader::BootLoader(BootLoaderConfig config)
    : m_config(std::move(config)), m_loseAcks(Counts(m_config.loseAcks)),
      m_duplicateAcks(Counts(m_config.duplicateAcks)),
      m_random(m_config.seed ^ MacSeedBits(m_config.mac)) {}

BootStep BootLoader::receive(std::uint16_t localPort, std::uint32_t fromIp, std::uint16_t fromPort,
                             const Bytes& bytes, double nowMs) {
    if (m_config.silent) {
        return {std::string(ActionOfPort(localPort)), "ignored: silent", {}};
    }
    switch (localPort) {
    case WakeUpPort:
        return wakeUp(bytes, nowMs);
    case BootClientPort:
        return bootReply(bytes);
    case ModuleTransferPort:
        return data(fromIp, fromPort, bytes);
    default:
        return {"unknown", "ignored: port " + std::to_string(localPort), {}};
    }
}

BootStep BootLoader::wakeUp(const Bytes& bytes, double nowMs) {
    BootStep step{"wake-up", {}, {}};
    if (bytes.size() != WakeUpLen) {
        step.result = "ignored: " + std::to_string(bytes.size()) + " bytes, not 30";
        return step;
    }
    if (!std::all_of(bytes.begin(), bytes.begin() + WakeUpHead,
                     [](std::uint8_t b) { return b == WakeUpFill; })) {
        step.result = "ignored: does not start with six AA";
        return step;
    }
    MacBytes first{};
    std::copy_n(bytes.begin() + WakeUpHead, first.size(), first.begin());
    for (std::size_t at = WakeUpHead; at < WakeUpLen; at += first.size()) {
        if (!std::equal(first.begin(), first.end(), bytes.begin() + static_cast<long>(at))) {
            step.result = "ignored: the four MACs differ";
            return step;
        }
    }
    if (first != m_config.mac) {
        step.result = "ignored: for " + MacBytesToText(first);
        return step;
    }
    // A real module restarts into its boot loader here, forgetting any transfer under way.
    ++m_wakeUps;
    m_phase = Phase::Requesting;
    m_xid = static_cast<std::uint32_t>(MacSeedBits(m_config.mac)) ^
            static_cast<std::uint32_t>(m_wakeUps) * 0x9E3779B9U;
    m_yiaddr = 0;
    m_siaddr = 0;
    m_image.clear();
    m_lastBlock = 0;
    step.result = "for us: restarting into the boot loader";
    m_nextRequestMs = nowMs + m_config.retryMs;
    step.out.push_back(
        {BootClientPort, Broadcast, BootServerPort, 0, bootRequest(), "boot request", {}, true});
    return step;
}

Bytes BootLoader::bootRequest() const {
    Bytes b(BootPacketLen, 0);
    b[0] = 1; // op: request
    b[1] = 1; // htype: Ethernet
    b[2] = static_cast<std::uint8_t>(m_config.mac.size());
    PutBigEndian32(b, XidAt, m_xid);
    b[GiaddrByte3At] = m_config.giaddrByte26;
    std::copy(m_config.mac.begin(), m_config.mac.end(), b.begin() + ChaddrAt);
    std::copy(m_config.identity.begin(), m_config.identity.end(), b.begin() + IdentityAt);
    return b;
}

std::optional<double> BootLoader::deadline() const {
    if (m_phase != Phase::Requesting) {
        return std::nullopt;
    }
    return m_nextRequestMs;
}

BootStep BootLoader::expire(double nowMs) {
    BootStep step;
    if (m_phase != Phase::Requesting || nowMs < m_nextRequestMs) {
        return step;
    }
    m_nextRequestMs = nowMs + m_config.retryMs;
    step.out.push_back({BootClientPort, Broadcast, BootServerPort, 0, bootRequest(), "boot request",
                        "repeated: no boot reply yet", true});
    return step;
}

BootStep BootLoader::bootReply(const Bytes& bytes) {
    BootStep step{"boot reply", {}, {}};
    auto ignore = [&step](std::string why) {
        step.result = "ignored: " + std::move(why);
        return step;
    };
    if (m_phase != Phase::Requesting) {
        return ignore("not waiting for a boot reply");
    }
    if (bytes.size() != BootPacketLen) {
        return ignore(std::to_string(bytes.size()) + " bytes, not 300");
    }
    if (bytes[0] != 2) {
        return ignore("op " + std::to_string(bytes[0]) + ", not 2");
    }
    if (BigEndian32(bytes, XidAt) != m_xid) {
        return ignore("another transaction id");
    }
    if (!std::equal(m_config.mac.begin(), m_config.mac.end(), bytes.begin() + ChaddrAt)) {
        return ignore("chaddr is not our MAC");
    }
    const std::uint32_t yiaddr = BigEndian32(bytes, YiaddrAt);
    const std::uint32_t siaddr = BigEndian32(bytes, SiaddrAt);
    if (yiaddr == 0 || siaddr == 0) {
        return ignore("yiaddr " + IntToIPText(yiaddr) + ", siaddr " + IntToIPText(siaddr));
    }
    if (!std::equal(ImageName.begin(), ImageName.end(), bytes.begin() + FileAt)) {
        return ignore("no \"firmware.bin\" at offset 108");
    }
    m_yiaddr = yiaddr;
    m_siaddr = siaddr;
    step.result = "taken: op 2, our transaction and MAC, yiaddr " + IntToIPText(yiaddr) +
                  ", siaddr " + IntToIPText(siaddr) + ", file firmware.bin";
    if (m_config.stopBeforeRead) {
        m_phase = Phase::Stopped;
        step.result += "; no read request (--stop-before-read)";
        return step;
    }
    m_phase = Phase::Reading;
    ++m_generation;
    if (m_config.staleAck) {
        const std::string number = std::to_string(*m_config.staleAck);
        step.out.push_back({ModuleTransferPort, m_siaddr, ServerTransferPort, m_yiaddr,
                            AckBytes(*m_config.staleAck), "ack " + number,
                            "stale, before the read request (--stale-ack)", true});
    }
    step.out.push_back(readRequest());
    return step;
}

BootDatagram BootLoader::readRequest() const {
    // Opcode 1, then the name and the mode, each ending in a zero byte. Filled in place: g++ 12
    // takes a push_back after an insert for an overflow.
    Bytes b(2 + ImageName.size() + 1 + Mode.size() + 1, 0);
    b[1] = 1;
    std::copy(ImageName.begin(), ImageName.end(), b.begin() + 2);
    std::copy(Mode.begin(), Mode.end(), b.begin() + static_cast<long>(3 + ImageName.size()));
    const std::uint32_t source = m_config.readFromIp != 0 ? m_config.readFromIp : m_yiaddr;
    return {ModuleTransferPort,
            m_siaddr,
            ReadRequestPort,
            source,
            std::move(b),
            "read request",
            m_config.readFromIp != 0 ? "from the other address" : "",
            true};
}

BootStep BootLoader::data(std::uint32_t fromIp, std::uint16_t fromPort, const Bytes& bytes) {
    BootStep step{"data", {}, {}};
    if (m_phase == Phase::Aborted) {
        step.result = "ignored: the transfer was ended with an error";
        return step;
    }
    if (m_phase != Phase::Reading && m_phase != Phase::Done) {
        step.result = "ignored: no read request sent";
        return step;
    }
    if (bytes.size() < TftpHeadLen || bytes[0] != 0 || bytes[1] != OpData) {
        step.result = "ignored: not a data block";
        return step;
    }
    if (bytes.size() > TftpHeadLen + TftpBlockLen) {
        step.result = "ignored: " + std::to_string(bytes.size() - TftpHeadLen) +
                      " bytes of data, more than a block";
        return step;
    }
    const auto block = static_cast<std::uint16_t>(bytes[2] << 8 | bytes[3]);
    const std::size_t length = bytes.size() - TftpHeadLen;
    const bool final = length < TftpBlockLen;
    step.action = "data " + std::to_string(block);
    if (lose()) {
        step.action = "lost data " + std::to_string(block);
        step.result = "dropped (--loss)";
        return step;
    }
    if (m_lastBlock != 0 && block == m_lastBlock) {
        step.result = "repeated, not written";
        acknowledge(block, final, fromIp, fromPort, step);
        return step;
    }
    const auto next = static_cast<std::uint16_t>(m_lastBlock + 1);
    if (m_phase == Phase::Done || block != next) {
        step.result = m_phase == Phase::Done ? "ignored: the transfer has ended"
                                             : "ignored: expecting block " + std::to_string(next);
        return step;
    }
    m_image.insert(m_image.end(), bytes.begin() + TftpHeadLen, bytes.end());
    m_lastBlock = block;
    step.result = std::to_string(length) + " bytes written";
    if (final) {
        m_phase = Phase::Done;
        step.result += "; final block, image of " + std::to_string(m_image.size()) + " bytes";
    }
    if (final && m_config.rrqAfterFinal && !m_restartedAfterFinal) {
        m_restartedAfterFinal = true;
        startOver("--rrq-after-final", step);
    } else if (block == m_config.restartEvery) {
        startOver("--restart-every", step);
    } else if (block == m_config.errorAfterBlock) {
        abortWithError(fromIp, fromPort, step);
    } else {
        acknowledge(block, final, fromIp, fromPort, step);
    }
    return step;
}

void BootLoader::startOver(const char* why, BootStep& step) {
    m_phase = Phase::Reading;
    m_image.clear();
    m_lastBlock = 0;
    ++m_generation;
    step.result += std::string("; not acknowledged, starting over (") + why + ")";
    step.out.push_back(readRequest());
}

void BootLoader::abortWithError(std::uint32_t toIp, std::uint16_t toPort, BootStep& step) {
    m_phase = Phase::Aborted;
    Bytes error(TftpHeadLen + FlashErrorText.size() + 1, 0); // the text ends in a zero byte
    error[1] = OpError;
    error[3] = FlashErrorCode;
    std::copy(FlashErrorText.begin(), FlashErrorText.end(), error.begin() + TftpHeadLen);
    step.result += "; not acknowledged (--error-after-block)";
    step.out.push_back({ModuleTransferPort, toIp, toPort, m_yiaddr, std::move(error),
                        "error " + std::to_string(FlashErrorCode), std::string(FlashErrorText),
                        true});
}

void BootLoader::acknowledge(std::uint16_t block, bool final, std::uint32_t toIp,
                             std::uint16_t toPort, BootStep& step) {
    std::uint16_t named = block;
    std::string jumped;
    if (block == 1 && m_config.ackJump && !m_ackJumped) {
        m_ackJumped = true;
        named = *m_config.ackJump;
        jumped = "for block 1 (--ack-jump)";
    }
    const std::string number = std::to_string(named);
    BootDatagram d{ModuleTransferPort, toIp,   toPort, m_yiaddr, AckBytes(named),
                   "ack " + number,    jumped, true};
    std::string lostWhy;
    if (final && m_config.noFinalAck) {
        lostWhy = "withheld (--no-final-ack)";
    } else if (takeOne(m_loseAcks, block)) {
        lostWhy = "withheld (--lose-acks)";
    } else if (lose()) {
        lostWhy = "dropped (--loss)";
    }
    if (!lostWhy.empty()) {
        d.action = "lost ack " + number;
        d.result = lostWhy;
        d.sent = false;
        step.out.push_back(std::move(d));
        return;
    }
    step.out.push_back(d);
    if (takeOne(m_duplicateAcks, block)) {
        d.result = "duplicate (--duplicate-acks)";
        step.out.push_back(std::move(d));
    }
}

bool BootLoader::takeOne(std::map<std::uint16_t, int>& counts, std::uint16_t block) {
    const auto it = counts.find(block);
    if (it == counts.end() || it->second == 0) {
        return false;
    }
    --it->second;
    return true;
}

bool BootLoader::lose() {
    return m_config.lossPercent > 0 &&
           m_random.below(100) < static_cast<std::size_t>(m_config.lossPercent);
}

} // namespace r2::sim
