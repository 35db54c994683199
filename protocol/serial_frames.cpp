#include "protocol/serial_frames.h"

#include <algorithm>

namespace r2 {

namespace {

constexpr bool FromSerial = true;

template <std::size_t N> void CopyBlock(std::array<std::uint8_t, N>& section, ByteView from) {
    std::copy_n(from.begin(), N, section.begin());
}

} // namespace

SerialReplyKind ClassifySerialChunk(ByteView chunk) {
    switch (chunk.size()) {
    case SerAckLen:
        return chunk[0] == SerAccepted ? SerialReplyKind::Accepted : SerialReplyKind::Ignored;
    case SerP5ReplyLen:
        return SerialReplyKind::P5Reply;
    case SerCloudHeartReplyLen:
        return SerialReplyKind::CloudHeart;
    case SerP6ReplyLen:
        return SerialReplyKind::P6Reply;
    default:
        return SerialReplyKind::Other;
    }
}

SerialP6SaveFrames EncodeSerialP6Save(const PanelP6& panel, const ParamMirror& mirror) {
    SerialP6SaveFrames out{{}, {}, mirror};
    out.status = EncodeBaseP6(panel, out.mirror);
    if (out.status.ok()) {
        out.status = EncodePortP6(panel, out.mirror);
    }
    if (!out.status.ok()) {
        out.mirror = mirror;
        return out;
    }
    out.frames = {BuildSerialBaseWrite(out.mirror.base.data()),
                  BuildSerialPortWrite(out.mirror.port.data()), BuildSerialWriteClose()};
    return out;
}

bool HandleSerialReply(ParamMirror& mirror, ByteView chunk, ParamReplySink& sink) {
    switch (ClassifySerialChunk(chunk)) {
    case SerialReplyKind::P6Reply:
        CopyBlock(mirror.base, chunk.subspan(SerReplyBlockOffset, BaseBlockLen));
        CopyBlock(mirror.port, chunk.subspan(SerP6ReplyPortOffset, PortBlockLen));
        RememberSavedFlags(mirror, mirror.base, mirror.port);
        sink.OnBaseParams(DecodeBaseBlock(mirror.base), TarrComParam{DecodePortBlock(mirror.port)},
                          DevFlagP6, FromSerial);
        return true;
    case SerialReplyKind::CloudHeart:
        // The reply opens with the cloud block's layout (two bytes, ID, password).
        sink.OnCloudParams(TarrCloudParam{DecodeCloudBlock(chunk)}, FromSerial, DevFlagP6);
        sink.OnHeartReg(chunk.subspan(SerCloudHeartReplyHeartOffset, HeartRegBlockLen), FromSerial,
                        DevFlagP6);
        return true;
    default:
        return false;
    }
}

} // namespace r2
