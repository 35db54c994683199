#pragma once
// A hostile module: it answers like a module, then spoils the answer the way broken firmware,
// a second host on the segment or a noisy device would, so that tests can check what a
// configuration tool must hold to whatever comes back.
//
// Contract:
// - Everything is decided by a pseudo-random sequence seeded from the seed and the module's
//   MAC, the same on every platform: the same seed and the same requests give the same
//   datagrams.
// - Each spoil function takes the correct answer and changes it in place: it may keep it,
//   drop it, repeat it, reorder it, send it (or a changed copy) from a second address, or add
//   datagrams of every length around the reply classifier's thresholds with random content.
//   The answer's result names what was done ("K; hostile: repeated 3x"), for the logs.
// - Acknowledgements may go missing, come several times, come from the second address, carry
//   another command byte or another result. Nothing is delayed: every datagram of an answer
//   leaves at once, so a late acknowledgement is never taken for another frame's.

#include "tools/r2sim/sim_answer.h"

#include <cstdint>
#include <span>

namespace r2::sim {

// splitmix64: small, fast and fully specified, unlike the distributions of <random>.
class SeededRandom final {
public:
    explicit SeededRandom(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next();
    // A number in [0, n); n must not be 0.
    std::size_t below(std::size_t n);
    Bytes bytes(std::size_t n);

private:
    std::uint64_t m_state;
};

// Datagram lengths on and beside every length the reply classifier tells apart, and the
// largest UDP datagram.
std::span<const std::size_t> ThresholdLengths();

class Hostility final {
public:
    Hostility(std::uint64_t seed, const MacBytes& mac);

    void spoilSearch(Answer& answer);
    void spoilRead(Answer& answer);
    void spoilAck(Answer& answer);
    // What a flood cycles through: mostly the search reply, now and then junk.
    std::vector<Bytes> floodMix(const Bytes& searchReply);

private:
    // A datagram of a threshold length: random bytes, or random bytes behind the head of an
    // acknowledgement, a check error or a search reply.
    Bytes junk();
    void addJunk(Answer& answer, std::uint16_t fromPort);
    // A base+port reply of another module, or of this one changed: another name, other
    // unknown bytes.
    Bytes otherBasePort(const Bytes& basePort);

    SeededRandom m_random;
};

} // namespace r2::sim
