#include "protocol/block_decoders.h"

#include "protocol/block_bytes.h"

#include <algorithm>

namespace r2 {

using namespace block_bytes;

namespace {

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

} // namespace

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
    p.Password = TextAt(b, BasePasswordOffset, CredentialWidth);
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
    return TCloudParam{TextAt(b, 2, 20), TextAt(b, CloudPasswordOffset, CloudPasswordLen)};
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

} // namespace r2
