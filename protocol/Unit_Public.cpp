#include "protocol/Unit_Public.h"

#include "protocol/Unit_ProFun.h"

#include <algorithm>
#include <array>

namespace r2 {

namespace {

constexpr std::uint8_t FrameStart = 0xFF;
constexpr std::size_t CmdFrameHeaderLen = 19; // counted by the length byte besides the block
constexpr std::size_t CmdMacOffset = 3;
constexpr std::size_t CmdUserOffset = 9;

constexpr std::size_t SearchIpOffset = 5;
constexpr std::size_t SearchMacOffset = 9;
constexpr std::size_t SearchVersionOffset = 15;
constexpr std::size_t SearchNameOffset = 19;
constexpr std::size_t SearchNameLen = 14;
constexpr std::array<std::uint8_t, 3> SearchReplyHead = {FrameStart, SearchReplyLen, CmdSearch};
constexpr std::array<std::uint8_t, 2> AckHead = {FrameStart, 0x01};

// SerHead, a code, the block and the sum of the block's bytes. The frame is sized once and
// filled in place: appending to a two-byte vector makes GCC 12 warn about a copy it
// imagines past the end (-Warray-bounds).
Bytes BuildSerialBlockWrite(std::uint8_t code, const std::uint8_t* block, std::size_t length) {
    const ByteView body(block, length);
    Bytes frame(2 + length + 1);
    frame[0] = SerHead;
    frame[1] = code;
    std::copy(body.begin(), body.end(), frame.begin() + 2);
    frame.back() = SumBytes(body);
    return frame;
}

bool StartsWith(const Bytes& data, ByteView head) {
    return data.size() >= head.size() && std::equal(head.begin(), head.end(), data.begin());
}

} // namespace

// ---- Frame builders ---------------------------------------------------------------------

Bytes BuildSearchRequest() {
    return {FrameStart, 0x01, CmdSearch, 0x02};
}

Bytes BuildCommandFrame(std::uint8_t command, std::string_view macText, std::string_view user,
                        std::string_view password, const Bytes& block) {
    const std::size_t length = CmdFrameHeaderLen + block.size();
    if (length > 0xFF) {
        return {};
    }
    Bytes frame(CmdFrameOverhead + block.size(), 0);
    if (!MacTextToBytes(macText, ByteField(frame).subspan(CmdMacOffset, MacWidth))) {
        return {};
    }
    frame[0] = FrameStart;
    frame[1] = static_cast<std::uint8_t>(length);
    frame[2] = command;
    PutCredential(user, frame, CmdUserOffset);
    PutCredential(password, frame, CmdPasswordOffset);
    std::copy(block.begin(), block.end(), frame.begin() + CmdFrameBlockOffset);
    frame.back() = SumBytes(ByteView(frame).subspan(1, frame.size() - 2));
    return frame;
}

Bytes BuildSerialReadRequest(int devFlag) {
    return {SerHead, devFlag == DevFlagP6 ? SerReadP6 : SerReadP5P7};
}

Bytes BuildSerialBaseWrite(const std::uint8_t* baseBlock67) {
    return BuildSerialBlockWrite(SerWriteBase, baseBlock67, BaseBlockLen);
}

Bytes BuildSerialPortWrite(const std::uint8_t* portBlock63) {
    return BuildSerialBlockWrite(SerWritePort, portBlock63, PortBlockLen);
}

Bytes BuildSerialWriteClose() {
    return {SerHead, SerSaveP6[0], SerSaveP6[1]};
}

Bytes BuildSerialReadAck() {
    return {SerHead, SerReadAck};
}

// ---- Device flags -----------------------------------------------------------------------

int DeviceFlagForPort(std::uint16_t senderPort) {
    switch (senderPort) {
    case CfgPortP6:
        return DevFlagP6;
    case CfgPortP7:
        return DevFlagP7;
    default:
        return DevFlagNone;
    }
}

int DeviceFlagFor(unsigned version, std::uint16_t senderPort) {
    return version >= MinCompatibleVersion ? DeviceFlagForPort(senderPort) : DevFlagNone;
}

// ---- Reply classification ---------------------------------------------------------------

ReplyKind ClassifyReply(const Bytes& datagram) {
    switch (datagram.size()) {
    case ModbusShortLen:
    case CloudBlockLen:
    case HeartRegBlockLen:
    case ModbusPackBlockLen:
    case BasePortReplyLen:
    case HttpdReplyLen:
        return ReplyKind::ParamReply;
    case CheckErrLen:
        return datagram[0] == 'E' ? ReplyKind::CheckError : ReplyKind::Ignored;
    case AckLen:
        return StartsWith(datagram, AckHead) ? ReplyKind::Ack : ReplyKind::ParamReply;
    case SearchReplyLen:
        return StartsWith(datagram, SearchReplyHead) ? ReplyKind::SearchReply : ReplyKind::Ignored;
    case IgnoredReplyLen:
        return ReplyKind::Ignored;
    case OtherSeriesLenA:
    case OtherSeriesLenB:
        return ReplyKind::OtherSeries;
    default:
        return ReplyKind::Unknown;
    }
}

// ---- Search reply -----------------------------------------------------------------------

std::optional<SearchReply> DecodeSearchReply(const Bytes& datagram) {
    if (ClassifyReply(datagram) != ReplyKind::SearchReply) {
        return std::nullopt;
    }
    const ByteView bytes(datagram);
    const ByteView ip = bytes.subspan(SearchIpOffset, 4);
    SearchReply reply;
    reply.ip = RevIPToText(std::array<std::uint8_t, 4>{ip[3], ip[2], ip[1], ip[0]});
    reply.mac = MacToText(bytes.subspan(SearchMacOffset, MacWidth));
    reply.version = BytesToInt(bytes.subspan(SearchVersionOffset, 2), 2, ByteOrder::Little);
    reply.name = BytesToText(bytes.subspan(SearchNameOffset, SearchNameLen), SearchNameLen);
    return reply;
}

Bytes BuildSearchReply(const SearchReply& reply) {
    Bytes datagram(SearchReplyLen, 0);
    const ByteField bytes(datagram);
    std::array<std::uint8_t, 4> reversed{};
    if (!TextToRevIP(reply.ip, reversed) ||
        !MacTextToBytes(reply.mac, bytes.subspan(SearchMacOffset, MacWidth))) {
        return {};
    }
    std::copy(SearchReplyHead.begin(), SearchReplyHead.end(), datagram.begin());
    std::reverse_copy(reversed.begin(), reversed.end(), datagram.begin() + SearchIpOffset);
    const auto version = WordToBytes(reply.version);
    std::copy(version.begin(), version.end(), datagram.begin() + SearchVersionOffset);
    TextToField(reply.name, bytes.subspan(SearchNameOffset, SearchNameLen));
    return datagram;
}

} // namespace r2
