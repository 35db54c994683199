#include "block_codec.h"

#include <algorithm>
#include <optional>

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

namespace {

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

// ---- Encoders ---------------------------------------------------------------------------

std::string EncodeResult::Message() const {
    if (ok()) {
        return {};
    }
    return control + ": \"" + text + "\" " + problem;
}

EncodeResult EncodeFailure(std::string_view control, std::string_view text,
                           std::string_view problem) {
    return EncodeResult{std::string(control), std::string(text), std::string(problem)};
}

namespace {

constexpr std::string_view NotNumber = "is not a decimal number";
constexpr std::string_view NotBaudRate = "is not a baud rate (a 32-bit integer)";
constexpr std::string_view NotIPv4 = "is not an IPv4 address";
constexpr std::string_view NotMac = "is not a MAC address (12 hex digits)";
constexpr std::string_view NotHex = "is not pairs of hex digits";

void PutUInt(ByteField field, std::uint32_t value, ByteOrder order) {
    const std::size_t n = field.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t shift = 8 * (order == ByteOrder::Little ? i : n - 1 - i);
        field[i] = static_cast<std::uint8_t>(value >> shift);
    }
}

} // namespace

FieldWriter::FieldWriter(ByteView start) : m_block(start.begin(), start.end()) {}

void FieldWriter::Zeros(std::size_t offset, std::size_t width) {
    std::fill_n(Field(offset, width).begin(), width, 0);
}

void FieldWriter::Number(std::size_t offset, std::size_t width, ByteOrder order,
                         std::string_view control, std::string_view text) {
    const std::optional<std::uint32_t> value = ParseDecimal(text);
    if (!value) {
        Fail(control, text, NotNumber);
        return;
    }
    PutUInt(Field(offset, width), *value, order);
}

void FieldWriter::NumberOr(std::size_t offset, std::size_t width, std::string_view text,
                           std::uint32_t fallback) {
    PutUInt(Field(offset, width), ParseDecimal(text).value_or(fallback), ByteOrder::Little);
}

void FieldWriter::BaudRate(std::size_t offset, std::size_t width, std::string_view control,
                           std::string_view text) {
    const std::optional<std::int32_t> rate = ParseBaudAnswer(text);
    if (!rate) {
        Fail(control, text, NotBaudRate);
        return;
    }
    PutUInt(Field(offset, width), static_cast<std::uint32_t>(*rate), ByteOrder::Little);
}

void FieldWriter::Ip(std::size_t offset, std::string_view control, std::string_view text) {
    if (!TextToRevIP(text, Field(offset, 4))) {
        Fail(control, text, NotIPv4);
    }
}

void FieldWriter::Mac(std::size_t offset, std::string_view control, std::string_view text) {
    if (!MacTextToBytes(text, Field(offset, MacWidth))) {
        Fail(control, text, NotMac);
    }
}

void FieldWriter::Text(std::size_t offset, std::size_t width, std::string_view text) {
    TextToField(text, Field(offset, width));
}

void FieldWriter::Hex(std::size_t offset, std::size_t width, std::string_view control,
                      std::string_view text) {
    if (!HexToBytes(text, Field(offset, width))) {
        Fail(control, text, NotHex);
    }
}

ByteField FieldWriter::Field(std::size_t offset, std::size_t width) {
    return ByteField(m_block).subspan(offset, width);
}

void FieldWriter::Fail(std::string_view control, std::string_view text, std::string_view problem) {
    if (m_result.ok()) {
        m_result = EncodeFailure(control, text, problem);
    }
}

EncodeResult FieldWriter::CommitTo(ByteField section) const {
    if (m_result.ok()) {
        std::copy_n(m_block.begin(), std::min(section.size(), m_block.size()), section.begin());
    }
    return m_result;
}

namespace {

std::uint8_t IndexByte(const ComboBox& list, int offset = 0) {
    return static_cast<std::uint8_t>(list.index + offset);
}

std::uint8_t BitIf(bool on, int bit) {
    return on ? static_cast<std::uint8_t>(1U << bit) : 0;
}

// Modbus TCP conversion only applies to the TCP work modes (client 1, server 3).
bool ModbusTcpOn(const ComboBox& modbus, const ComboBox& workMode) {
    return modbus.index != 0 && (workMode.index == 1 || workMode.index == 3);
}

// Heartbeat or registration data: a length byte and a 40-byte field, from hex digits (two per
// byte, an odd last digit ignored) or from the text's bytes.
void PutHeartRegData(FieldWriter& w, std::size_t lengthOffset, std::size_t dataOffset,
                     std::string_view control, std::string_view text, bool hex) {
    const std::size_t length = hex ? text.size() / 2 : WholeCharactersLength(text, HeartRegDataLen);
    w.Byte(lengthOffset, static_cast<std::uint8_t>(std::min(length, HeartRegDataLen)));
    if (hex) {
        w.Hex(dataOffset, HeartRegDataLen, control, text);
    } else {
        w.Text(dataOffset, HeartRegDataLen, text);
    }
}

// With no entry selected the byte keeps what the module sent.
void PutFlowControl(FieldWriter& w, const ComboBox& flow) {
    if (flow.index >= 0 && flow.index < static_cast<int>(std::size(FlowControlCodes))) {
        w.Byte(7, FlowControlCodes[flow.index]);
    }
}

// Port bytes 0..45: the serial line and the socket's ports and target, the same on P6 and P7.
struct SerialAndSocket {
    std::string_view baudControl;
    std::string baudText;
    const ComboBox& data;
    const ComboBox& parity;
    const ComboBox& stop;
    const ComboBox& flow;
    std::string_view localControl;
    const std::string& localPort;
    std::string_view remoteControl;
    const std::string& remotePort;
    const std::string& remoteIP;
};

void PutSerialAndSocket(FieldWriter& w, const SerialAndSocket& s) {
    w.BaudRate(0, 4, s.baudControl, s.baudText);
    w.Byte(4, IndexByte(s.data, 5));
    w.Byte(5, IndexByte(s.parity, 1));
    w.Byte(6, IndexByte(s.stop, 1));
    PutFlowControl(w, s.flow);
    w.Zeros(8, 4);
    w.Number(12, 2, ByteOrder::Little, s.localControl, s.localPort);
    w.Number(14, 2, ByteOrder::Little, s.remoteControl, s.remotePort);
    w.Text(16, 30, s.remoteIP);
}

std::uint8_t RegTypeBits(const ComboBox& regType) {
    return (regType.index >= 0 && regType.index <= 2)
               ? static_cast<std::uint8_t>((regType.index + 1) << 2)
               : 0;
}

} // namespace

EncodeResult EncodeBaseP6(const PanelP6& p, ParamMirror& mirror) {
    FieldWriter w(mirror.base);
    w.Byte(3, static_cast<std::uint8_t>(
                  (mirror.SavedBaseFlags & 0x4F) | BitIf(p.cbb_AddrType.index != 0, 7) |
                  BitIf(p.RzCheckBoxShortEnable, 5) | BitIf(p.RzCheckBox2, 4)));
    w.Number(4, 2, ByteOrder::Little, "edt_LocationURLPort", p.edt_LocationURLPort);
    w.Number(6, 2, ByteOrder::Little, "edt_HTTPServerPort", p.edt_HTTPServerPort);
    w.Ip(9, "edt_StaticIP", p.edt_StaticIP);
    w.Ip(13, "edt_GatewayIP", p.edt_GatewayIP);
    w.Ip(17, "edt_SubnetMask", p.edt_SubnetMask);
    w.Text(21, 16, p.edt_ModName);
    w.Text(37, 6, p.edt_username);
    w.Text(BasePasswordOffset, CredentialWidth, p.edt_password);
    w.Byte(52,
           static_cast<std::uint8_t>(BitIf(p.rzchckbx_Reset, 4) | BitIf(p.rzchckbx_Link, 5) |
                                     BitIf(p.rzchckbx_Index, 6) | BitIf(p.rzchckbx_RFC2217, 7)));
    w.Mac(53, "edt_UserMAC", p.edt_UserMAC);
    w.Ip(59, "edtDns", p.edtDns);
    w.NumberOr(63, 1, p.LabeledEditShortTime, 3);
    return w.CommitTo(mirror.base);
}

EncodeResult EncodeBaseP7(const PanelP7& p, ParamMirror& mirror) {
    FieldWriter w(mirror.base);
    w.Byte(3, BitIf(p.cbb_AddrTypeP7.index != 0, 7));
    w.Number(4, 2, ByteOrder::Little, "edt_LocationURLPortP7", p.edt_LocationURLPortP7);
    w.Number(6, 2, ByteOrder::Little, "edt_HTTPServerPortP7", p.edt_HTTPServerPortP7);
    w.Ip(9, "edt_StaticIPP7", p.edt_StaticIPP7);
    w.Ip(13, "edt_GatewayIPP7", p.edt_GatewayIPP7);
    w.Ip(17, "edt_SubnetMaskP7", p.edt_SubnetMaskP7);
    w.Text(21, 16, p.edt_ModNameP7);
    w.Text(37, 6, p.edt_usernameP7);
    w.Text(BasePasswordOffset, CredentialWidth, p.edt_passwordP7);
    w.Number(52, 1, ByteOrder::Little, "edt_IdTypeP7", p.edt_IdTypeP7);
    w.Mac(53, "edt_UserMACP7", p.edt_UserMACP7);
    return w.CommitTo(mirror.base);
}

EncodeResult EncodePortP6(const PanelP6& p, ParamMirror& mirror) {
    FieldWriter w(mirror.port);
    PutSerialAndSocket(w, {"cbb_BaudRate0", p.cbb_BaudRate0.ShownText(), p.cbb_D0, p.cbb_P0,
                           p.cbb_S0, p.cbb_FlowControl0, "edt_LocalPort0", p.edt_LocalPort0,
                           "edt_RemotePort0", p.edt_RemotePort0, p.edt_RemoteIP0});
    w.Byte(50,
           static_cast<std::uint8_t>((mirror.SavedPortFlags & 0x03) |
                                     BitIf(ModbusTcpOn(p.cbb_ModbusTCP0, p.cbb_WorkMode0), 2) |
                                     BitIf(p.chk_RFC22170, 3) | BitIf(p.RzComboBox2.index == 3, 4) |
                                     BitIf(p.RzCheckBox1, 5) | BitIf(p.RzComboBox2.index == 1, 6) |
                                     BitIf(p.cbbHeartPackType.index == 0, 7)));
    w.Byte(51, IndexByte(p.cbb_WorkMode0));
    w.Byte(52, IndexByte(p.cbbGetPost));
    w.Byte(53, IndexByte(p.cbb_TCPSvrCount0, 1));
    w.NumberOr(54, 2, p.LabeledEdit1, 0);
    w.Byte(56, p.RzComboBox2.index == 2 ? 1 : 0);
    w.Byte(58, p.rzchbUdpFrom ? 1 : 0);
    w.Number(59, 2, ByteOrder::Little, "edtUartPackLEN", p.edtUartPackLEN);
    w.Number(61, 2, ByteOrder::Little, "edt_UARTTime0", p.edt_UARTTime0);
    return w.CommitTo(mirror.port);
}

EncodeResult EncodePortP7(const PanelP7& p, ParamMirror& mirror) {
    FieldWriter w(mirror.port);
    PutSerialAndSocket(w, {"cbb_BaudRate0P7", p.cbb_BaudRate0P7.ShownText(), p.cbb_D0P7, p.cbb_P0P7,
                           p.cbb_S0P7, p.cbb_FlowControl0P7, "edt_LocalPort0P7", p.edt_LocalPort0P7,
                           "edt_RemotePort0P7", p.edt_RemotePort0P7, p.edt_RemoteIP0P7});
    w.Byte(50,
           static_cast<std::uint8_t>((w.At(50) & ~0x0CU) |
                                     BitIf(ModbusTcpOn(p.cbb_ModbusTCP0P7, p.cbb_WorkMode0P7), 2) |
                                     BitIf(p.chk_RFC22170P7, 3)));
    w.Byte(51, IndexByte(p.cbb_WorkMode0P7));
    w.Number(52, 4, ByteOrder::Little, "edt_UARTLength0P7", p.edt_UARTLength0P7);
    w.Byte(58, static_cast<std::uint8_t>((p.cbb_TCPSvrCount0P7.index + 1) * 16 +
                                         (p.cbb_TCPStyle0P7.index + 1)));
    return w.CommitTo(mirror.port);
}

EncodeResult EncodeCloud(const PanelP6& p, ParamMirror& mirror) {
    constexpr std::size_t idWidth = 20;
    FieldWriter w(mirror.cloud);
    if (p.edtDid.size() != idWidth) {
        w.Fail("edtDid", p.edtDid, "is not exactly 20 characters long");
    }
    if (p.edtCompass.size() != CloudPasswordLen) {
        w.Fail("edtCompass", p.edtCompass, "is not exactly 8 characters long");
    }
    w.Text(2, idWidth, p.edtDid);
    w.Text(CloudPasswordOffset, CloudPasswordLen, p.edtCompass);
    return w.CommitTo(mirror.cloud);
}

EncodeResult EncodeHeartReg(const PanelP6& p, ParamMirror& mirror) {
    FieldWriter w(mirror.heartReg);
    w.Byte(0, static_cast<std::uint8_t>(
                  BitIf(p.RzComboBox1.index == 2, 0) | BitIf(p.RzComboBox1.index == 1, 1) |
                  RegTypeBits(p.cbbRegType) | BitIf(p.RzCheckBox3, 4) |
                  BitIf(p.rzchckbxComSetEnable, 5) | BitIf(p.rzchckbxHeartDtHex, 6) |
                  BitIf(p.rzchckbxRegDtHex, 7)));
    w.Number(1, 2, ByteOrder::Little, "edtHeartTm", p.edtHeartTm);
    PutHeartRegData(w, 3, 5, "edtHeartDt", p.edtHeartDt, p.rzchckbxHeartDtHex);
    PutHeartRegData(w, 4, 5 + HeartRegDataLen, "edtRegDt", p.edtRegDt, p.rzchckbxRegDtHex);
    return w.CommitTo(mirror.heartReg);
}

namespace {

template <std::size_t N>
void PutLeadingText(std::uint8_t& length, std::array<std::uint8_t, N>& field,
                    std::string_view text) {
    const std::size_t n = WholeCharactersLength(text, N);
    length = static_cast<std::uint8_t>(n);
    std::copy_n(text.begin(), n, field.begin());
}

} // namespace

void EncodeHttpd(const PanelP6& p, ParamMirror& mirror) {
    PutLeadingText(mirror.urlLen, mirror.url, p.LabeledEdit2);
    PutLeadingText(mirror.headLen, mirror.head, p.RzRichEdit1);
}

EncodeResult EncodeModbus(const PanelP6& p, ParamMirror& mirror) {
    FieldWriter w(mirror.modbusSwitches);
    w.Byte(0, p.rzchckbxmodbustcp ? 1 : 0);
    w.Byte(1, p.rzchckbxmodbuspool ? 1 : 0);
    w.Number(2, 2, ByteOrder::Big, "edtwaittime", p.edtwaittime);
    return w.CommitTo(mirror.modbusSwitches);
}

Bytes EncodeModbusShort(const PanelP6& p) {
    return Bytes{static_cast<std::uint8_t>(p.rzchckbxmodbustcp ? 1 : 0)};
}

EncodeResult EncodeModbusPack(const PanelP6& p, ParamMirror& mirror) {
    FieldWriter w(mirror.modbusPack);
    const int type = p.cbbModbusType.index;
    w.Byte(0, IndexByte(p.cbbModbusType));
    if (type == 1 || type == 2) {
        w.Byte(1, IndexByte(p.cbbModbusException));
        if (!p.edtModbusTimeout.empty()) {
            w.Number(2, 2, ByteOrder::Big, "edtModbusTimeout", p.edtModbusTimeout);
        }
        if (!p.edtModbusInterval.empty()) {
            w.Number(4, 2, ByteOrder::Big, "edtModbusInterval", p.edtModbusInterval);
        }
    }
    if (type == 2) {
        w.Byte(6, IndexByte(p.cbbReporproto));
    }
    return w.CommitTo(mirror.modbusPack);
}

} // namespace r2
