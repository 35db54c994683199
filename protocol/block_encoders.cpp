#include "protocol/block_encoders.h"

#include <algorithm>

namespace r2 {

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
