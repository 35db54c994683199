#include "protocol/panel_p6.h"

#include "protocol/block_decoders.h"
#include "protocol/panel_table.h"
#include "protocol/Unit_ProFun.h"

#include <algorithm>

namespace r2 {

namespace {

using panel_table::EnableWithLabel;
using panel_table::Show;

bool Bit(std::uint32_t value, int bit) {
    return ((value >> bit) & 1u) != 0;
}

// Entry of the list whose text equals `value` in decimal, or -1.
int EntryWithText(std::span<const std::string_view> items, std::int32_t value) {
    const auto it = std::ranges::find(items, std::string_view(std::to_string(value)));
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void FillBase(PanelP6& p, const TBaseParam& b) {
    p.cbbHeartTp.Select(b.HeartTp);
    p.cbbRegSnd.Select(b.RegSnd);
    p.cbb_AddrType.Select(b.AddrType != 0 ? 1 : 0);
    ApplyAddressTypeRule(p);
    p.edt_LocationURLPort = std::to_string(b.LocationURLPort);
    p.edt_HTTPServerPort = std::to_string(b.HTTPServerPort);
    p.edt_StaticIP = b.StaticIP;
    p.edt_GatewayIP = b.GatewayIP;
    p.edt_SubnetMask = b.SubnetMask;
    p.edt_ModName = b.ModName;
    p.edt_username = b.UserName;
    p.edt_password = b.Password;
    const auto id = static_cast<std::uint32_t>(b.IdFlags);
    p.rzchckbx_Reset = Bit(id, 4);
    p.rzchckbx_Link = Bit(id, 5);
    p.rzchckbx_Index = Bit(id, 6);
    p.rzchckbx_RFC2217 = Bit(id, 7);
    p.edt_UserMAC = b.UserMAC;
    p.edtDns = b.Dns;
    p.LabeledEditShortTime = std::to_string(b.ShortTime);
    p.RzCheckBoxShortEnable = b.ShortEnable;
    p.RzCheckBox2 = b.ClearCache;
}

int RegistrationEntry(const TPortParam& r) {
    int entry = 0;
    if (r.CloudEnable == 1) {
        entry = 3;
    }
    if (r.MacRegister) {
        entry = 1;
    }
    if (r.CustomRegister) {
        entry = 2;
    }
    return entry;
}

void FillPort(PanelP6& p, const TPortParam& r) {
    for (ControlState* c : {&p.state.cbb_TCPStyle0, &p.state.cbb_ModbusTCP0, &p.state.edt_RemoteIP0,
                            &p.state.cbb_TCPSvrCount0}) {
        c->enabled = true;
    }
    p.RzComboBox2.Select(RegistrationEntry(r));
    p.cbbHeartPackType.Select(r.MacHeart ? 0 : 1);
    ApplyHeartbeatTypeRule(p);
    ApplyRegistrationRule(p);
    p.RzCheckBox1 = r.KickOld;
    p.rzchbUdpFrom = r.UdpFrom;
    p.cbb_BaudRate0.SelectText(std::to_string(r.BaudRate));
    p.cbb_D0.Select(r.DataBits - 5);
    p.cbb_P0.Select(r.Parity - 1);
    p.cbb_S0.Select(EntryWithText(StopBitItems, r.StopBits));
    // Flow-control codes other than 1, 3 and 5 have no entry; the list keeps its choice.
    if (const auto it = std::ranges::find(FlowControlCodes, r.FlowControl);
        it != std::end(FlowControlCodes)) {
        p.cbb_FlowControl0.Select(static_cast<int>(it - std::begin(FlowControlCodes)));
    }
    p.edt_LocalPort0 = std::to_string(r.LocalPort);
    p.edt_RemotePort0 = std::to_string(r.RemotePort);
    p.edt_RemoteIP0 = r.RemoteIP;
    p.cbb_ModbusTCP0.Select(r.ModbusTCP);
    if (r.RFC2217 == 0 || r.RFC2217 == 1) {
        p.chk_RFC22170 = r.RFC2217 == 1;
    }
    p.cbb_WorkMode0.Select(r.WorkMode);
    p.edtUartPackLEN = std::to_string(r.UartPackLen);
    p.edt_UARTTime0 = std::to_string(r.UartTime);
    p.cbbGetPost.Select(r.GetPost);
    p.cbb_TCPSvrCount0.Select(r.TCPSvrCount - 1);
    p.LabeledEdit1 = std::to_string(r.RestartTime);
    p.cbb_TCPStyle0.Select(r.TCPStyle - 1);
    ApplyPortModeRule(p);
}

} // namespace

// ---- Fills --------------------------------------------------------------------------------

BaseFillResult FillFromBaseReply(PanelP6& p, const TBaseParam& base, const TarrComParam& ports,
                                 int devFlag, bool fromSerial,
                                 std::optional<std::string_view> selectedMac) {
    if (!fromSerial && (!selectedMac || RemoveSpaces(*selectedMac) != RemoveSpaces(base.UserMAC))) {
        return BaseFillResult::Dropped;
    }
    if (devFlag != DevFlagP6) {
        return BaseFillResult::NotP6;
    }
    FillBase(p, base);
    if (ports.size() == 1) {
        FillPort(p, ports.front());
    }
    return BaseFillResult::FilledP6;
}

bool FillFromCloud(PanelP6& p, const TarrCloudParam& cloud) {
    if (cloud.size() != 1) {
        return false;
    }
    p.edtDid = cloud.front().DeviceId;
    p.edtCompass = cloud.front().CommPassword;
    return true;
}

bool FillFromHeartReg(PanelP6& p, std::span<const std::uint8_t> block, int devFlag) {
    if (devFlag != DevFlagP6 || block.size() < HeartRegBlockLen) {
        return false;
    }
    // The data edits take every byte of the data, zero bytes included: the save writes the
    // edits back, and a packet cut at its first zero would go back to the module shorter.
    const HeartRegFields f = DecodeHeartRegBlock(block);
    p.rzchckbxHeartDtHex = f.heartHex;
    p.rzchckbxRegDtHex = f.regHex;
    p.rzchckbxComSetEnable = f.comSetEnable;
    p.RzCheckBox3 = f.removeHttpdHeader;
    // Registration bits 00 name no entry: the list keeps its choice.
    if (f.regType >= 0) {
        p.cbbRegType.Select(f.regType);
    }
    p.RzComboBox1.Select(f.heartToNetwork ? 2 : f.heartToSerial ? 1 : 0);
    ApplyHeartbeatRule(p);
    p.edtHeartTm = std::to_string(f.heartTime);
    p.edtHeartDt = f.heartData;
    p.edtRegDt = f.regData;
    return true;
}

void FillFromHttpd(PanelP6& p, std::string_view url, std::string_view header) {
    p.LabeledEdit2 = std::string(url);
    p.RzRichEdit1 = std::string(header);
}

void FillFromModbusParam(PanelP6& p, const TModbusParam& record, int length) {
    auto& s = p.state;
    s.rzgrpbxModbus.visible = true;
    if (length == static_cast<int>(ModbusShortLen)) {
        s.rzchckbxmodbustcp.visible = true;
        p.rzchckbxmodbustcp = record.ModbusTCP == 1;
    } else if (length == static_cast<int>(ModbusSwitchLen)) {
        Show(true, {&s.rzchckbxmodbustcp, &s.rzchckbxmodbuspool, &s.lblhearttime, &s.edtwaittime});
        p.rzchckbxmodbustcp = record.ModbusTCP == 1;
        p.rzchckbxmodbuspool = record.ModbusPoll == 1;
        p.edtwaittime = record.PollTime;
    }
}

void FillFromModbusPack(PanelP6& p, const TModbusPackParam& record) {
    p.state.RzGroupBox1.visible = true;
    p.cbbModbusType.Select(record.ModbusType);
    ApplyModbusRule(p);
    p.cbbReporproto.Select(record.ReportProto);
    p.edtModbusTimeout = record.ModbusTimeout;
    p.edtModbusInterval = record.ModbusInterval;
    p.cbbModbusException.Select(record.ModbusException);
}

void HideModbusGroups(PanelP6& p) {
    auto& s = p.state;
    Show(false, {&s.rzgrpbxModbus, &s.RzGroupBox1, &s.rzchckbxmodbustcp, &s.rzchckbxmodbuspool,
                 &s.lblhearttime, &s.edtwaittime});
}

// ---- Rules --------------------------------------------------------------------------------

void ApplyAddressTypeRule(PanelP6& p) {
    const int entry = p.cbb_AddrType.index;
    if (entry != 0 && entry != 1) {
        return;
    }
    auto& s = p.state;
    const bool on = entry == 1;
    EnableWithLabel(on, s.edt_StaticIP, s.lbl_StaticIP);
    EnableWithLabel(on, s.edt_GatewayIP, s.lbl_GatewayIP);
    EnableWithLabel(on, s.edt_SubnetMask, s.lbl_SubnetMask);
    EnableWithLabel(on, s.edtDns, s.lblDns);
}

void ApplyPortModeRule(PanelP6& p) {
    const int w = p.cbb_WorkMode0.index;
    auto& s = p.state;
    const bool tcp = w == 1 || w == 3;
    const bool server = w == 3;
    const bool httpd = w == 4;
    EnableWithLabel(tcp, s.cbb_ModbusTCP0, s.lbl_ModbusTCP0);
    EnableWithLabel(server, s.cbb_TCPSvrCount0, s.lbl_TCPSvrCount0);
    EnableWithLabel(server, s.cbb_TCPStyle0, s.lbl_TCPStyle0);
    EnableWithLabel(!server, s.edt_RemoteIP0, s.lbl_RemoteIP0);
    s.cbbGetPost.enabled = httpd;
    s.lblGetPost.enabled = httpd;
    s.RzGroupBoxHttpd.visible = httpd && p.lanTabActive;
    s.btnDataDebug.visible = !httpd;
}

void ApplyRegistrationRule(PanelP6& p) {
    const int r = p.RzComboBox2.index;
    if (r < 0 || r > 3) {
        return;
    }
    auto& s = p.state;
    Show(r == 3, {&s.lblDid, &s.lblCompass, &s.edtDid, &s.edtCompass});
    Show(r == 1 || r == 2, {&s.lblRegSnd, &s.cbbRegType});
    Show(r == 2, {&s.edtRegDt, &s.lblRegTp, &s.rzchckbxRegDtHex});
}

void ApplyHeartbeatRule(PanelP6& p) {
    const int h = p.RzComboBox1.index;
    if (h < 0 || h > 2) {
        return;
    }
    auto& s = p.state;
    Show(h != 0, {&s.lblHeartPackType, &s.cbbHeartPackType, &s.lblHeartTm, &s.edtHeartTm});
    Show(h != 0 && p.cbbHeartPackType.index != 0,
         {&s.lblHeartDt, &s.edtHeartDt, &s.rzchckbxHeartDtHex});
}

void ApplyHeartbeatTypeRule(PanelP6& p) {
    const int t = p.cbbHeartPackType.index;
    if (t != 0 && t != 1) {
        return;
    }
    auto& s = p.state;
    Show(t == 1, {&s.lblHeartDt, &s.edtHeartDt, &s.rzchckbxHeartDtHex});
}

void ApplyModbusRule(PanelP6& p) {
    const int m = p.cbbModbusType.index;
    if (m < 0 || m > 2) {
        return;
    }
    auto& s = p.state;
    Show(m == 2, {&s.lblReportProto, &s.cbbReporproto});
    Show(m == 1 || m == 2, {&s.lblModbusTimeout, &s.edtModbusTimeout, &s.lblModbusInterval,
                            &s.edtModbusInterval, &s.lblModbusException, &s.cbbModbusException});
}

void ApplyHexToggle(PanelP6& p, HexBox box) {
    const bool heart = box == HexBox::Heart;
    std::string& text = heart ? p.edtHeartDt : p.edtRegDt;
    const bool hexOn = heart ? p.rzchckbxHeartDtHex : p.rzchckbxRegDtHex;
    // HexToText hands back its input when a pair is not hex, which leaves the text as it was.
    text = hexOn ? TextToHex(text) : HexToText(text);
}

void ApplyTabSwitchRule(PanelP6& p, bool lanTab) {
    auto& s = p.state;
    p.lanTabActive = lanTab;
    Show(lanTab,
         {&s.RzGroupBoxHttpd, &s.RzGroupBoxHeart, &s.rzgrpbxRegHeart, &s.rzchckbxComSetEnable,
          &s.lbl_UARTTime0, &s.edt_UARTTime0, &s.lblUartPackLEN, &s.edtUartPackLEN, &s.rzchbUdpFrom,
          &s.RzGroupBox1, &s.rzgrpbxModbus, &s.btn_P6NetSet});
    s.btn_P6ComSet.visible = !lanTab;
}

// ---- By name ------------------------------------------------------------------------------

namespace {

using Row = panel_table::Row<PanelP6>;
using StateRow = panel_table::StateRow<PanelP6State>;

constexpr std::string_view DataBitItems = "5|6|7|8";
constexpr std::string_view ParityItems = "NONE|ODD|EVEN|MARK|SPACE";

#define R2_CONTROL(...) R2_CONTROL_ROW(PanelP6, __VA_ARGS__)
using panel_table::Address;
using panel_table::AnyText;
using panel_table::Number;
using panel_table::OnOff;

const Row Rows[] = {
    R2_CONTROL(cbb_AddrType, "IP address type", "DHCP|Static IP", ApplyAddressTypeRule),
    R2_CONTROL(edt_StaticIP, "module static IP address", Address),
    R2_CONTROL(edt_SubnetMask, "subnet mask", Address),
    R2_CONTROL(edt_GatewayIP, "gateway", Address),
    R2_CONTROL(edtDns, "DNS server", Address),
    R2_CONTROL(LabeledEdit1, "timeout restart time, seconds", Number),
    R2_CONTROL(RzCheckBox2, "clear cached data", OnOff),
    R2_CONTROL(rzchckbxComSetEnable, "serial port sets parameters", OnOff),
    R2_CONTROL(edt_HTTPServerPort, "web server port", Number),
    R2_CONTROL(edt_username, "module login user name (up to 5 typed)", AnyText),
    R2_CONTROL(edt_password, "module login password (up to 5 typed)", AnyText),
    R2_CONTROL(edt_ModName, "module name (up to 14 typed)", AnyText),
    R2_CONTROL(rzchckbx_Index, "ID flag Index", OnOff),
    R2_CONTROL(rzchckbx_Reset, "ID flag Reset", OnOff),
    R2_CONTROL(rzchckbx_Link, "ID flag Link", OnOff),
    R2_CONTROL(rzchckbx_RFC2217, "ID flag RFC2217", OnOff),
    R2_CONTROL(edt_LocationURLPort, "UPnP port (hidden)", Number),
    R2_CONTROL(edt_UserMAC, "module MAC (hidden)",
               "hex digits, spaces allowed; the first 12 are the MAC"),
    R2_CONTROL(cbb_BaudRate0, "serial baud rate", "32-bit integer, decimal or $hex"),
    R2_CONTROL(cbb_P0, "parity", ParityItems),
    R2_CONTROL(cbb_D0, "data bits", DataBitItems),
    R2_CONTROL(cbb_S0, "stop bits", "1|2"),
    R2_CONTROL(cbb_WorkMode0, "work mode",
               "UDP Client|TCP Client|UDP Server|TCP Server|HTTPD Client", ApplyPortModeRule),
    R2_CONTROL(edt_LocalPort0, "module's own port", Number),
    R2_CONTROL(edt_RemoteIP0, "destination IP or domain name (up to 30)", AnyText),
    R2_CONTROL(edt_RemotePort0, "destination port", Number),
    R2_CONTROL(cbb_TCPSvrCount0, "TCP server connections",
               "1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16"),
    R2_CONTROL(LabeledEditShortTime, "short connection time", Number),
    R2_CONTROL(edt_UARTTime0, "serial packing time, ms", Number),
    R2_CONTROL(edtUartPackLEN, "serial packing length, bytes", Number),
    R2_CONTROL(RzCheckBoxShortEnable, "short connection on", OnOff),
    R2_CONTROL(RzCheckBox1, "TCP server drops its oldest connection", OnOff),
    R2_CONTROL(rzchbUdpFrom, "UDP data source check", OnOff),
    R2_CONTROL(cbb_FlowControl0, "flow control (hidden)", "None|Hardware|RS485"),
    R2_CONTROL(cbb_TCPStyle0, "TCP server style (hidden)",
               "Transparent|By ID, drop without ID|By ID, broadcast without ID"),
    R2_CONTROL(cbb_ModbusTCP0, "Modbus TCP (hidden)", "None|ModbusTCP"),
    R2_CONTROL(chk_RFC22170, "baud-rate synchronisation (hidden)", OnOff),
    R2_CONTROL(RzComboBox1, "heartbeat", "Off|Serial|Network", ApplyHeartbeatRule),
    R2_CONTROL(cbbHeartPackType, "heartbeat packet type", "MAC|Custom", ApplyHeartbeatTypeRule),
    R2_CONTROL(edtHeartTm, "heartbeat period, seconds", Number),
    R2_CONTROL(edtHeartDt, "custom heartbeat data", "text, or hex digits when hex is on"),
    R2_CONTROL(rzchckbxHeartDtHex, "heartbeat data as hex", OnOff,
               [](PanelP6& p) { ApplyHexToggle(p, HexBox::Heart); }),
    R2_CONTROL(RzComboBox2, "registration packet", "Off|MAC|Custom|Cloud", ApplyRegistrationRule),
    R2_CONTROL(cbbRegType, "registration sent", "On connection|With data|Both",
               ApplyRegistrationRule),
    R2_CONTROL(edtRegDt, "custom registration data", "text, or hex digits when hex is on"),
    R2_CONTROL(rzchckbxRegDtHex, "registration data as hex", OnOff,
               [](PanelP6& p) { ApplyHexToggle(p, HexBox::Reg); }),
    R2_CONTROL(edtDid, "cloud device ID (20 characters)", AnyText),
    R2_CONTROL(edtCompass, "cloud communication password (8 characters)", AnyText),
    R2_CONTROL(cbbHeartTp, "heartbeat target (hidden, not written)", "Server|Serial terminal"),
    R2_CONTROL(cbbRegSnd, "registration send mode (hidden, not written)",
               "On connection|Every packet"),
    R2_CONTROL(cbbModbusType, "Modbus conversion", "Off|TCP/RTU conversion|RTU polling",
               ApplyModbusRule),
    R2_CONTROL(cbbReporproto, "report protocol", "Transparent|JSON"),
    R2_CONTROL(edtModbusTimeout, "Modbus polling timeout", Number),
    R2_CONTROL(edtModbusInterval, "Modbus polling interval", Number),
    R2_CONTROL(cbbModbusException, "Modbus exception response", "Off|On"),
    R2_CONTROL(rzchckbxmodbustcp, "Modbus TCP switch", OnOff),
    R2_CONTROL(rzchckbxmodbuspool, "Modbus TCP polling switch", OnOff),
    R2_CONTROL(edtwaittime, "polling time, seconds", Number),
    R2_CONTROL(cbbGetPost, "HTTPD method", "GET|POST"),
    R2_CONTROL(LabeledEdit2, "HTTPD URL (at most 100 bytes written)", AnyText),
    R2_CONTROL(RzRichEdit1, "HTTPD header (at most 200 bytes written)", AnyText),
    R2_CONTROL(RzCheckBox3, "remove the HTTPD header", OnOff),
};

#undef R2_CONTROL

#define R2_STATE(member)                                                                           \
    StateRow {                                                                                     \
#member, &PanelP6State::member                                                             \
    }

const StateRow StateRows[] = {
    R2_STATE(edt_StaticIP),
    R2_STATE(edt_GatewayIP),
    R2_STATE(edt_SubnetMask),
    R2_STATE(edtDns),
    R2_STATE(lbl_StaticIP),
    R2_STATE(lbl_GatewayIP),
    R2_STATE(lbl_SubnetMask),
    R2_STATE(lblDns),
    R2_STATE(cbb_ModbusTCP0),
    R2_STATE(lbl_ModbusTCP0),
    R2_STATE(cbb_TCPSvrCount0),
    R2_STATE(lbl_TCPSvrCount0),
    R2_STATE(cbb_TCPStyle0),
    R2_STATE(lbl_TCPStyle0),
    R2_STATE(edt_RemoteIP0),
    R2_STATE(lbl_RemoteIP0),
    R2_STATE(cbbGetPost),
    R2_STATE(lblGetPost),
    R2_STATE(RzGroupBoxHttpd),
    R2_STATE(btnDataDebug),
    R2_STATE(lblDid),
    R2_STATE(lblCompass),
    R2_STATE(edtDid),
    R2_STATE(edtCompass),
    R2_STATE(lblRegSnd),
    R2_STATE(cbbRegType),
    R2_STATE(edtRegDt),
    R2_STATE(lblRegTp),
    R2_STATE(rzchckbxRegDtHex),
    R2_STATE(lblHeartPackType),
    R2_STATE(cbbHeartPackType),
    R2_STATE(lblHeartTm),
    R2_STATE(edtHeartTm),
    R2_STATE(lblHeartDt),
    R2_STATE(edtHeartDt),
    R2_STATE(rzchckbxHeartDtHex),
    R2_STATE(lblReportProto),
    R2_STATE(cbbReporproto),
    R2_STATE(lblModbusTimeout),
    R2_STATE(edtModbusTimeout),
    R2_STATE(lblModbusInterval),
    R2_STATE(edtModbusInterval),
    R2_STATE(lblModbusException),
    R2_STATE(cbbModbusException),
    R2_STATE(RzGroupBox1),
    R2_STATE(rzgrpbxModbus),
    R2_STATE(rzchckbxmodbustcp),
    R2_STATE(rzchckbxmodbuspool),
    R2_STATE(lblhearttime),
    R2_STATE(edtwaittime),
    R2_STATE(RzGroupBoxHeart),
    R2_STATE(rzgrpbxRegHeart),
    R2_STATE(rzchckbxComSetEnable),
    R2_STATE(lbl_UARTTime0),
    R2_STATE(edt_UARTTime0),
    R2_STATE(lblUartPackLEN),
    R2_STATE(edtUartPackLEN),
    R2_STATE(rzchbUdpFrom),
    R2_STATE(btn_P6NetSet),
    R2_STATE(btn_P6ComSet),
};

#undef R2_STATE

} // namespace

std::span<const ControlInfo> ControlTableP6() {
    static const std::vector<ControlInfo> infos = panel_table::Infos<PanelP6>(Rows);
    return infos;
}

std::vector<ControlValue> ControlValuesP6(const PanelP6& p) {
    return panel_table::Values<PanelP6>(p, Rows);
}

std::vector<NamedState> ControlStatesP6(const PanelP6& p) {
    return panel_table::States<PanelP6State>(p.state, StateRows);
}

std::vector<ControlBinding<PanelP6>> ControlBindingsP6(PanelP6& p) {
    return panel_table::Bindings<PanelP6>(p, Rows);
}

bool SetControl(PanelP6& p, std::string_view name, std::string_view value, std::string& error) {
    return panel_table::Set<PanelP6>(p, Rows, name, value, error);
}

} // namespace r2
