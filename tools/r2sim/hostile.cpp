#include "tools/r2sim/hostile.h"

#include <algorithm>
#include <array>

namespace r2::sim {
namespace {

constexpr std::array<std::size_t, 33> Thresholds = {
    0,  1,  2,  3,   4,   5,   35,  36,  37,  39,  40,  41,  49,  50,  51,  84,   85,
    86, 87, 88, 129, 130, 131, 192, 193, 194, 255, 256, 257, 301, 302, 303, 65507};

constexpr std::size_t SearchNameOffset = 19;
constexpr std::size_t SearchNameBytes = 14;
constexpr std::size_t BaseNameOffset = 21;
constexpr std::size_t BaseNameBytes = 16;
// Bytes of the base block that no configuration tool interprets.
constexpr std::size_t BaseUnknownOffset = 64;
constexpr std::size_t BaseUnknownBytes = 3;

constexpr std::array<std::uint8_t, 4> OtherResults = {'E', 'P', 0x00, 0x6B};

std::uint64_t MacBits(const MacBytes& mac) {
    std::uint64_t bits = 0;
    for (const std::uint8_t b : mac) {
        bits = bits << 8 | b;
    }
    return bits;
}

void Note(Answer& answer, const std::string& what) {
    answer.result +=
        (answer.result.find("; hostile: ") == std::string::npos ? "; hostile: " : ", ");
    answer.result += what;
}

bool IsAck(const Bytes& bytes) {
    return ClassifyReply(bytes) == ReplyKind::Ack;
}

} // namespace

std::uint64_t SeededRandom::next() {
    m_state += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = m_state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::size_t SeededRandom::below(std::size_t n) {
    return static_cast<std::size_t>(next() % n);
}

Bytes SeededRandom::bytes(std::size_t n) {
    Bytes out(n);
    for (std::uint8_t& b : out) {
        b = static_cast<std::uint8_t>(next());
    }
    return out;
}

std::span<const std::size_t> ThresholdLengths() {
    return Thresholds;
}

Hostility::Hostility(std::uint64_t seed, const MacBytes& mac) : m_random(seed ^ MacBits(mac)) {}

Bytes Hostility::junk() {
    Bytes bytes = m_random.bytes(Thresholds[m_random.below(Thresholds.size())]);
    if (m_random.below(2) == 0) {
        return bytes;
    }
    if (bytes.size() == AckLen) {
        bytes[0] = AckHead0;
        bytes[1] = AckHead1;
    } else if (bytes.size() == CheckErrLen) {
        bytes[0] = 'E';
    } else if (bytes.size() == SearchReplyLen) {
        bytes[0] = 0xFF;
        bytes[1] = 0x24;
        bytes[2] = 0x01;
    }
    return bytes;
}

void Hostility::addJunk(Answer& answer, std::uint16_t fromPort) {
    const std::size_t count = 1 + m_random.below(3);
    for (std::size_t i = 0; i < count; ++i) {
        const auto at = static_cast<std::ptrdiff_t>(m_random.below(answer.replies.size() + 1));
        answer.replies.insert(answer.replies.begin() + at, Reply{fromPort, junk()});
    }
    Note(answer, std::to_string(count) + " junk");
}

Bytes Hostility::otherBasePort(const Bytes& basePort) {
    Bytes other = basePort;
    const std::string name = "OTHER-" + std::to_string(m_random.below(10000));
    std::fill_n(other.begin() + BaseNameOffset, BaseNameBytes, 0);
    std::copy(name.begin(), name.end(), other.begin() + BaseNameOffset);
    const Bytes unknown = m_random.bytes(BaseUnknownBytes);
    std::copy(unknown.begin(), unknown.end(), other.begin() + BaseUnknownOffset);
    return other;
}

void Hostility::spoilSearch(Answer& answer) {
    if (answer.replies.empty()) {
        return;
    }
    const Reply reply = answer.replies.front();
    switch (m_random.below(8)) {
    case 0:
        answer.replies.clear();
        Note(answer, "no reply");
        break;
    case 1: {
        const std::size_t copies = 2 + m_random.below(3);
        answer.replies.assign(copies, reply);
        Note(answer, "repeated " + std::to_string(copies) + "x");
        break;
    }
    case 2:
        answer.replies.push_back({reply.fromPort, reply.bytes, true});
        Note(answer, "again from the second address");
        break;
    case 3: {
        const Bytes name = m_random.bytes(SearchNameBytes);
        std::copy(name.begin(), name.end(),
                  answer.replies.front().bytes.begin() + SearchNameOffset);
        Note(answer, "random name bytes");
        break;
    }
    case 4:
        addJunk(answer, reply.fromPort);
        break;
    default:
        break;
    }
}

void Hostility::spoilRead(Answer& answer) {
    if (answer.replies.empty()) {
        return;
    }
    const std::uint16_t port = answer.replies.front().fromPort;
    const auto basePort =
        std::find_if(answer.replies.begin(), answer.replies.end(),
                     [](const Reply& r) { return r.bytes.size() == BasePortReplyLen; });
    switch (m_random.below(10)) {
    case 0:
        answer.replies.clear();
        Note(answer, "no reply");
        break;
    case 1:
        for (std::size_t i = answer.replies.size(); i > 1; --i) {
            std::swap(answer.replies[i - 1], answer.replies[m_random.below(i)]);
        }
        Note(answer, "shuffled");
        break;
    case 2:
        answer.replies.erase(answer.replies.begin() +
                             static_cast<std::ptrdiff_t>(m_random.below(answer.replies.size())));
        Note(answer, "one block missing");
        break;
    case 3: {
        const std::vector<Reply> once = answer.replies;
        answer.replies.insert(answer.replies.end(), once.begin(), once.end());
        Note(answer, "every block twice");
        break;
    }
    case 4:
        if (basePort != answer.replies.end()) {
            const Reply foreign{port, otherBasePort(basePort->bytes), true};
            answer.replies.insert(
                m_random.below(2) == 0 ? answer.replies.begin() : answer.replies.end(), foreign);
            Note(answer, "base block from the second address");
        }
        break;
    case 5:
        if (basePort != answer.replies.end()) {
            answer.replies.push_back({port, otherBasePort(basePort->bytes)});
            Note(answer, "a second, different base block");
        }
        break;
    case 6:
        addJunk(answer, port);
        break;
    default:
        break;
    }
}

void Hostility::spoilAck(Answer& answer) {
    if (answer.replies.empty()) {
        return;
    }
    const Reply reply = answer.replies.front();
    switch (m_random.below(10)) {
    case 0:
        answer.replies.clear();
        Note(answer, "no acknowledgement");
        break;
    case 1: {
        const std::size_t copies = 2 + m_random.below(7);
        answer.replies.assign(copies, reply);
        Note(answer, "repeated " + std::to_string(copies) + "x");
        break;
    }
    case 2:
        answer.replies.front().foreign = true;
        Note(answer, "from the second address only");
        break;
    case 3:
        answer.replies.push_back({reply.fromPort, reply.bytes, true});
        Note(answer, "again from the second address");
        break;
    case 4:
        if (IsAck(reply.bytes)) {
            answer.replies.front().bytes[2] = static_cast<std::uint8_t>(m_random.next());
            Note(answer, "another command byte");
        }
        break;
    case 5:
        if (IsAck(reply.bytes)) {
            answer.replies.front().bytes[3] = OtherResults[m_random.below(OtherResults.size())];
            Note(answer, "another result");
        }
        break;
    case 6:
        addJunk(answer, reply.fromPort);
        break;
    default:
        break;
    }
}

std::vector<Bytes> Hostility::floodMix(const Bytes& searchReply) {
    std::vector<Bytes> mix(16, searchReply);
    for (std::size_t i = 0; i < 3; ++i) {
        mix[m_random.below(mix.size())] = junk();
    }
    return mix;
}

} // namespace r2::sim
