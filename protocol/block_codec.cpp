#include "block_codec.h"

#include <algorithm>

namespace r2 {

namespace {

// A block of exactly N bytes from a view of any size: missing bytes read as zero, so no
// decoder can read past what it was given.
template <std::size_t N> std::array<std::uint8_t, N> Fixed(ByteView view) {
    std::array<std::uint8_t, N> block{};
    std::copy_n(view.begin(), std::min(view.size(), N), block.begin());
    return block;
}

ByteView At(ByteView block, std::size_t offset, std::size_t width) {
    return block.subspan(offset, width);
}

std::int32_t Le16(ByteView block, std::size_t offset) {
    return static_cast<std::int32_t>(BytesToInt(At(block, offset, 2), 2, ByteOrder::Little));
}

std::string Be16Text(ByteView block, std::size_t offset) {
    return std::to_string(BytesToInt(At(block, offset, 2), 2, ByteOrder::Big));
}

bool Bit(std::uint8_t value, int bit) {
    return ((value >> bit) & 1U) != 0;
}

std::int32_t BitInt(std::uint8_t value, int bit) {
    return Bit(value, bit) ? 1 : 0;
}

std::string TextAt(ByteView block, std::size_t offset, std::size_t width) {
    return BytesToText(At(block, offset, width), width);
}

std::string RawText(ByteView bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The first `length` data bytes (clipped to the field), as hex digits or as raw bytes.
std::string HeartRegData(ByteView block, std::size_t lengthOffset, std::size_t dataOffset,
                         bool hex) {
    const std::size_t length = std::min<std::size_t>(block[lengthOffset], HeartRegDataLen);
    const ByteView data = At(block, dataOffset, length);
    return hex ? BytesToHexSep(data, "") : RawText(data);
}

int RegTypeIndex(std::uint8_t options) {
    switch ((options >> 2) & 0x03U) {
    case 0x01:
        return 0;
    case 0x02:
        return 1;
    case 0x03:
        return 2;
    default:
        return -1;
    }
}

template <std::size_t N> void CopyInto(std::array<std::uint8_t, N>& section, ByteView from) {
    std::copy_n(from.begin(), N, section.begin());
}

} // namespace

// ---- Mirror -----------------------------------------------------------------------------

Bytes HttpdUrlBlock(const ParamMirror& mirror) {
    Bytes block{mirror.urlLen};
    block.insert(block.end(), mirror.url.begin(), mirror.url.end());
    return block;
}

Bytes HttpdHeadBlock(const ParamMirror& mirror) {
    Bytes block{mirror.headLen};
    block.insert(block.end(), mirror.head.begin(), mirror.head.end());
    return block;
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
    mirror.SavedBaseFlags = Fixed<BaseBlockLen>(baseBlock)[3];
    mirror.SavedPortFlags = Fixed<PortBlockLen>(portBlock)[50];
}

// ---- Decoders ---------------------------------------------------------------------------

TBaseParam DecodeBaseBlock(ByteView view) {
    const auto fixed = Fixed<BaseBlockLen>(view);
    const ByteView b(fixed);
    const std::uint8_t options = b[3];
    TBaseParam p;
    p.HeartTp = BitInt(options, 0);
    p.OptBit1 = BitInt(options, 1);
    p.RegSnd = BitInt(options, 2);
    p.ClearCache = Bit(options, 4);
    p.ShortEnable = Bit(options, 5);
    p.AddrType = BitInt(options, 7);
    p.LocationURLPort = Le16(b, 4);
    p.HTTPServerPort = Le16(b, 6);
    p.StaticIP = RevIPToText(At(b, 9, 4));
    p.GatewayIP = RevIPToText(At(b, 13, 4));
    p.SubnetMask = RevIPToText(At(b, 17, 4));
    p.ModName = TextAt(b, 21, 16);
    p.UserName = TextAt(b, 37, 6);
    p.Password = TextAt(b, 43, 6);
    p.IdFlags = b[52];
    p.UserMAC = MacToText(At(b, 53, 6));
    p.Dns = RevIPToText(At(b, 59, 4));
    p.ShortTime = b[63];
    return p;
}

TPortParam DecodePortBlock(ByteView view) {
    const auto fixed = Fixed<PortBlockLen>(view);
    const ByteView b(fixed);
    const std::uint8_t options = b[50];
    TPortParam p;
    p.BaudRate = static_cast<std::int32_t>(BytesToInt(At(b, 0, 4), 4, ByteOrder::Little));
    p.DataBits = b[4];
    p.Parity = b[5];
    p.StopBits = b[6];
    p.FlowControl = b[7];
    p.LocalPort = Le16(b, 12);
    p.RemotePort = Le16(b, 14);
    p.RemoteIP = TextAt(b, 16, 30);
    p.ModbusTCP = BitInt(options, 2);
    p.RFC2217 = BitInt(options, 3);
    p.CloudEnable = BitInt(options, 4);
    p.KickOld = Bit(options, 5);
    p.MacRegister = Bit(options, 6);
    p.MacHeart = Bit(options, 7);
    p.WorkMode = b[51];
    p.GetPost = b[52];
    p.TCPSvrCount = b[53];
    p.RestartTime = Le16(b, 54);
    p.CustomRegister = b[56] == 1;
    p.UdpFrom = b[58] == 1;
    p.TCPStyle = b[58] & 0x0F;
    p.UartPackLen = Le16(b, 59);
    p.UartTime = Le16(b, 61);
    return p;
}

TCloudParam DecodeCloudBlock(ByteView view) {
    const auto fixed = Fixed<CloudBlockLen>(view);
    const ByteView b(fixed);
    return TCloudParam{TextAt(b, 2, 20), TextAt(b, 22, 8)};
}

TModbusParam DecodeModbusSwitches(ByteView view) {
    const auto fixed = Fixed<ModbusSwitchLen>(view);
    TModbusParam p;
    p.ModbusTCP = fixed[0];
    if (view.size() >= ModbusSwitchLen) {
        p.ModbusPoll = fixed[1];
        p.PollTime = Be16Text(fixed, 2);
    }
    return p;
}

TModbusPackParam DecodeModbusPack(ByteView view) {
    const auto fixed = Fixed<ModbusPackBlockLen>(view);
    const ByteView b(fixed);
    TModbusPackParam p;
    p.ModbusType = b[0];
    p.ModbusException = b[1];
    p.ModbusTimeout = Be16Text(b, 2);
    p.ModbusInterval = Be16Text(b, 4);
    p.ReportProto = b[6];
    return p;
}

HeartRegFields DecodeHeartRegBlock(ByteView view) {
    const auto fixed = Fixed<HeartRegBlockLen>(view);
    const ByteView b(fixed);
    HeartRegFields f;
    f.options = b[0];
    f.heartToNetwork = Bit(f.options, 0);
    f.heartToSerial = Bit(f.options, 1);
    f.regType = RegTypeIndex(f.options);
    f.removeHttpdHeader = Bit(f.options, 4);
    f.comSetEnable = Bit(f.options, 5);
    f.heartHex = Bit(f.options, 6);
    f.regHex = Bit(f.options, 7);
    f.heartTime = static_cast<std::uint32_t>(Le16(b, 1));
    f.heartData = HeartRegData(b, 3, 5, f.heartHex);
    f.regData = HeartRegData(b, 4, 5 + HeartRegDataLen, f.regHex);
    return f;
}

HttpdTexts DecodeHttpd(const ParamMirror& mirror) {
    const std::size_t urlLen = std::min<std::size_t>(mirror.urlLen, HttpdUrlLen);
    const std::size_t headLen = std::min<std::size_t>(mirror.headLen, HttpdHeadLen);
    return HttpdTexts{RawText(ByteView(mirror.url).first(urlLen)),
                      RawText(ByteView(mirror.head).first(headLen))};
}

// ---- Received parameter replies ---------------------------------------------------------

bool HandleParamReply(ParamMirror& mirror, ByteView reply, int devFlag, ParamReplySink& sink) {
    constexpr bool fromSerial = false;
    switch (reply.size()) {
    case ModbusShortLen:
        sink.OnModbusParam(DecodeModbusSwitches(reply), static_cast<int>(ModbusShortLen));
        return true;
    case ModbusSwitchLen:
        if (reply[0] == 0xFF && reply[1] == 0x01) {
            return false;
        }
        sink.OnModbusParam(DecodeModbusSwitches(reply), static_cast<int>(ModbusSwitchLen));
        return true;
    case CloudBlockLen:
        StoreReply(mirror, reply);
        sink.OnCloudParams(TarrCloudParam{DecodeCloudBlock(mirror.cloud)}, fromSerial, devFlag);
        return true;
    case HeartRegBlockLen:
        StoreReply(mirror, reply);
        sink.OnHeartReg(mirror.heartReg, fromSerial, devFlag);
        return true;
    case ModbusPackBlockLen:
        StoreReply(mirror, reply);
        sink.OnModbusPack(DecodeModbusPack(mirror.modbusPack),
                          static_cast<int>(ModbusPackBlockLen));
        return true;
    case BasePortReplyLen:
        StoreReply(mirror, reply);
        RememberSavedFlags(mirror, mirror.base, mirror.port);
        sink.OnBaseParams(DecodeBaseBlock(mirror.base), TarrComParam{DecodePortBlock(mirror.port)},
                          devFlag, fromSerial);
        return true;
    case HttpdReplyLen: {
        StoreReply(mirror, reply);
        const HttpdTexts texts = DecodeHttpd(mirror);
        sink.OnHttpd(texts.url, texts.header);
        return true;
    }
    default:
        return false;
    }
}

} // namespace r2
