#include "protocol/param_mirror.h"

#include "protocol/block_bytes.h"

#include <algorithm>

namespace r2 {

namespace {

template <std::size_t N> void CopyInto(std::array<std::uint8_t, N>& section, ByteView from) {
    std::copy_n(from.begin(), N, section.begin());
}

// A length byte, then the text field: sized once, so no reallocation (which also keeps g++ 12's
// optimiser from warning about a copy it cannot rule out).
template <std::size_t N>
Bytes LengthAndField(std::uint8_t length, const std::array<std::uint8_t, N>& field) {
    Bytes block(1 + N);
    block[0] = length;
    std::copy(field.begin(), field.end(), block.begin() + 1);
    return block;
}

} // namespace

Bytes HttpdUrlBlock(const ParamMirror& mirror) {
    return LengthAndField(mirror.urlLen, mirror.url);
}

Bytes HttpdHeadBlock(const ParamMirror& mirror) {
    return LengthAndField(mirror.headLen, mirror.head);
}

bool StoreReply(ParamMirror& mirror, ByteView reply) {
    switch (reply.size()) {
    case CloudBlockLen:
        CopyInto(mirror.cloud, reply);
        return true;
    case HeartRegBlockLen:
        CopyInto(mirror.heartReg, reply);
        return true;
    case ModbusPackBlockLen:
        CopyInto(mirror.modbusPack, reply);
        return true;
    case BasePortReplyLen:
        CopyInto(mirror.base, reply);
        CopyInto(mirror.port, reply.subspan(BaseBlockLen));
        return true;
    case HttpdReplyLen:
        mirror.urlLen = reply[0];
        CopyInto(mirror.url, reply.subspan(1));
        mirror.headLen = reply[HttpdUrlBlockLen];
        CopyInto(mirror.head, reply.subspan(HttpdUrlBlockLen + 1));
        return true;
    default:
        return false;
    }
}

void RememberSavedFlags(ParamMirror& mirror, ByteView baseBlock, ByteView portBlock) {
    mirror.SavedBaseFlags = block_bytes::Fixed<BaseBlockLen>(baseBlock)[3];
    mirror.SavedPortFlags = block_bytes::Fixed<PortBlockLen>(portBlock)[50];
}

} // namespace r2
