#include "protocol/frame_secrets.h"

#include "protocol/block_codec.h"
#include "protocol/serial_frames.h"
#include "protocol/Unit_Public.h"

#include <algorithm>

namespace r2 {

namespace {

constexpr std::uint8_t CmdFrameStart = 0xFF;
constexpr std::size_t SerCodeOffset = 1;
constexpr std::size_t SerWriteBlockOffset = 2; // after SerHead and the code

// `spans` moved `by` bytes, each cut to a frame of `size` bytes; spans outside it go.
SecretSpans Within(std::size_t size, const SecretSpans& spans, std::size_t by = 0) {
    SecretSpans inside;
    for (const SecretSpan& span : spans) {
        const std::size_t offset = span.offset + by;
        if (offset < size) {
            inside.push_back({offset, std::min(span.length, size - offset)});
        }
    }
    return inside;
}

SecretSpans Joined(SecretSpans first, const SecretSpans& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

} // namespace

SecretSpans BaseBlockSecrets() {
    return {{BasePasswordOffset, CredentialWidth}};
}

SecretSpans CloudBlockSecrets() {
    return {{CloudPasswordOffset, CloudPasswordLen}};
}

SecretSpans CommandFrameSecrets(ByteView frame) {
    if (frame.size() < CmdFrameOverhead || frame[0] != CmdFrameStart) {
        return {};
    }
    const SecretSpans envelope{{CmdPasswordOffset, CredentialWidth}};
    // The checksum after the block is no part of it.
    const std::size_t blockEnd = frame.size() - 1;
    switch (frame[2]) {
    case CmdWriteBase:
        return Joined(envelope, Within(blockEnd, BaseBlockSecrets(), CmdFrameBlockOffset));
    case CmdWriteCloud:
        return Joined(envelope, Within(blockEnd, CloudBlockSecrets(), CmdFrameBlockOffset));
    default:
        return envelope;
    }
}

SecretSpans ParamReplySecrets(ByteView reply) {
    switch (reply.size()) {
    case BasePortReplyLen:
        return BaseBlockSecrets();
    case CloudBlockLen:
        return CloudBlockSecrets();
    default:
        return {};
    }
}

SecretSpans SerialFrameSecrets(ByteView frame, SerialDirection direction) {
    if (direction == SerialDirection::ToModule) {
        const bool baseWrite = frame.size() > SerCodeOffset && frame[0] == SerHead &&
                               frame[SerCodeOffset] == SerWriteBase;
        return baseWrite ? Within(frame.size() - 1, BaseBlockSecrets(), SerWriteBlockOffset)
                         : SecretSpans{};
    }
    switch (ClassifySerialChunk(frame)) {
    case SerialReplyKind::P6Reply:
        return Within(frame.size(), BaseBlockSecrets(), SerReplyBlockOffset);
    case SerialReplyKind::CloudHeart:
        // The device ID and the password sit where they sit in the cloud block.
        return CloudBlockSecrets();
    default:
        return {};
    }
}

} // namespace r2
