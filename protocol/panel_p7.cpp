#include "protocol/panel_p7.h"

#include "protocol/panel_table.h"

namespace r2 {

using panel_table::EnableWithLabel;

void ApplyAddressTypeRule(PanelP7& p) {
    const int entry = p.cbb_AddrTypeP7.index;
    if (entry != 0 && entry != 1) {
        return;
    }
    auto& s = p.state;
    const bool on = entry == 1;
    EnableWithLabel(on, s.edt_StaticIPP7, s.lbl_StaticIPP7);
    EnableWithLabel(on, s.edt_SubnetMaskP7, s.lbl_SubnetMaskP7);
    EnableWithLabel(on, s.edt_GatewayIPP7, s.lbl_GatewayIPP7);
}

void ApplyPortModeRule(PanelP7& p) {
    const int w = p.cbb_WorkMode0P7.index;
    auto& s = p.state;
    const bool server = w == 3;
    EnableWithLabel(w == 1 || server, s.cbb_ModbusTCP0P7, s.lbl_ModbusTCP0P7);
    EnableWithLabel(server, s.cbb_TCPSvrCount0P7, s.lbl_TCPSvrCount0P7);
    EnableWithLabel(server, s.cbb_TCPStyle0P7, s.lbl_TCPStyle0P7);
    EnableWithLabel(!server, s.edt_RemoteIP0P7, s.lbl_RemoteIP0P7);
}

namespace {

using Row = panel_table::Row<PanelP7>;
using StateRow = panel_table::StateRow<PanelP7State>;

#define R2_CONTROL(...) R2_CONTROL_ROW(PanelP7, __VA_ARGS__)
using panel_table::Address;
using panel_table::AnyText;
using panel_table::Number;
using panel_table::OnOff;

const Row Rows[] = {
    R2_CONTROL(cbb_AddrTypeP7, "IP address type", "DHCP|Static IP", ApplyAddressTypeRule),
    R2_CONTROL(edt_StaticIPP7, "module static IP address", Address),
    R2_CONTROL(edt_SubnetMaskP7, "subnet mask", Address),
    R2_CONTROL(edt_GatewayIPP7, "gateway", Address),
    R2_CONTROL(edt_ModNameP7, "module name (up to 16)", AnyText),
    R2_CONTROL(edt_UserMACP7, "module MAC (all F: the module's own)",
               "hex digits, spaces allowed; the first 12 are the MAC"),
    R2_CONTROL(edt_LocationURLPortP7, "UPnP port", Number),
    R2_CONTROL(edt_HTTPServerPortP7, "web server port", Number),
    R2_CONTROL(edt_Id3P7, "device ID (not written)", AnyText),
    R2_CONTROL(edt_IdTypeP7, "device ID type",
               "0 not used, 1 ID on connection, 2 ID with data, 3 both"),
    R2_CONTROL(edt_usernameP7, "module login user name (up to 5 typed)", AnyText),
    R2_CONTROL(edt_passwordP7, "module login password (up to 5 typed)", AnyText),
    R2_CONTROL(cbb_BaudRate0P7, "serial baud rate", "32-bit integer, decimal or $hex"),
    R2_CONTROL(cbb_P0P7, "parity", "NONE|ODD|EVEN|MARK|SPACE"),
    R2_CONTROL(cbb_D0P7, "data bits", "5|6|7|8"),
    R2_CONTROL(cbb_S0P7, "stop bits", "1|2"),
    R2_CONTROL(cbb_FlowControl0P7, "flow control", "None|Hardware|RS485"),
    R2_CONTROL(cbb_WorkMode0P7, "work mode", "UDP|TCP Client|UDP Server|TCP Server|HTTPD Client",
               ApplyPortModeRule),
    R2_CONTROL(cbb_ModbusTCP0P7, "Modbus TCP", "None|ModbusTCP"),
    R2_CONTROL(edt_LocalPort0P7, "module's own port", Number),
    R2_CONTROL(edt_RemotePort0P7, "destination port", Number),
    R2_CONTROL(edt_RemoteIP0P7, "destination IP or domain name (up to 30)", AnyText),
    R2_CONTROL(edt_UARTTime0P7, "serial packing time, ms", Number),
    R2_CONTROL(edt_UARTLength0P7, "serial packing length, bytes", Number),
    R2_CONTROL(chk_RFC22170P7, "baud-rate synchronisation", OnOff),
    R2_CONTROL(cbb_TCPSvrCount0P7, "TCP server connections (hidden)", "1|2|3|4|5|6|7|8"),
    R2_CONTROL(cbb_TCPStyle0P7, "TCP server style (hidden)",
               "Transparent|By ID, drop without ID|By ID, broadcast without ID"),
};

#undef R2_CONTROL

#define R2_STATE(member)                                                                           \
    StateRow {                                                                                     \
#member, &PanelP7State::member                                                             \
    }

const StateRow StateRows[] = {
    R2_STATE(edt_StaticIPP7),     R2_STATE(edt_SubnetMaskP7), R2_STATE(edt_GatewayIPP7),
    R2_STATE(lbl_StaticIPP7),     R2_STATE(lbl_SubnetMaskP7), R2_STATE(lbl_GatewayIPP7),
    R2_STATE(cbb_ModbusTCP0P7),   R2_STATE(lbl_ModbusTCP0P7), R2_STATE(cbb_TCPSvrCount0P7),
    R2_STATE(lbl_TCPSvrCount0P7), R2_STATE(cbb_TCPStyle0P7),  R2_STATE(lbl_TCPStyle0P7),
    R2_STATE(edt_RemoteIP0P7),    R2_STATE(lbl_RemoteIP0P7),
};

#undef R2_STATE

} // namespace

std::span<const ControlInfo> ControlTableP7() {
    static const std::vector<ControlInfo> infos = panel_table::Infos<PanelP7>(Rows);
    return infos;
}

std::vector<ControlValue> ControlValuesP7(const PanelP7& p) {
    return panel_table::Values<PanelP7>(p, Rows);
}

std::vector<NamedState> ControlStatesP7(const PanelP7& p) {
    return panel_table::States<PanelP7State>(p.state, StateRows);
}

std::vector<ControlBinding<PanelP7>> ControlBindingsP7(PanelP7& p) {
    return panel_table::Bindings<PanelP7>(p, Rows);
}

bool SetControl(PanelP7& p, std::string_view name, std::string_view value, std::string& error) {
    return panel_table::Set<PanelP7>(p, Rows, name, value, error);
}

} // namespace r2
