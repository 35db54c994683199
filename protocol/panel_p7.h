#pragma once
// The P7 network panel as plain values: one member per control, named after the control and
// initialised to its design state, plus the rule-driven state of the controls its rules touch.
// No reply fills this panel; the user types it and EncodeBaseP7/EncodePortP7 read it.
// Texts are the module's bytes (see panel_controls.h).

#include "protocol/panel_controls.h"

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace r2 {

// Standard rates of cbb_BaudRate0P7 (entries 2..16).
inline constexpr std::array<std::string_view, 15> BaudRatesP7 = {
    "600",   "1200",   "2400",   "4800",   "9600",   "14400",  "19200",  "38400",
    "57600", "115200", "230400", "256000", "460800", "921600", "1024000"};

struct PanelP7State {
    // Address-type rule (no DNS field on this panel).
    ControlState edt_StaticIPP7, edt_SubnetMaskP7, edt_GatewayIPP7;
    ControlState lbl_StaticIPP7, lbl_SubnetMaskP7, lbl_GatewayIPP7;
    // Work-mode rule (the TCP server count and style lists and labels are never shown).
    ControlState cbb_ModbusTCP0P7, lbl_ModbusTCP0P7;
    ControlState cbb_TCPSvrCount0P7 = HiddenControl, lbl_TCPSvrCount0P7 = HiddenControl;
    ControlState cbb_TCPStyle0P7 = HiddenControl, lbl_TCPStyle0P7 = HiddenControl;
    ControlState edt_RemoteIP0P7, lbl_RemoteIP0P7;

    bool operator==(const PanelP7State&) const = default;
};

struct PanelP7 {
    // ---- grp_BaseSaveP7 -----------------------------------------------------------------
    ComboBox cbb_AddrTypeP7{1, 2}; // 0 DHCP, 1 static IP
    std::string edt_StaticIPP7;
    std::string edt_SubnetMaskP7;
    std::string edt_GatewayIPP7;
    std::string edt_ModNameP7;
    std::string edt_UserMACP7; // all F: the module keeps its own MAC
    std::string edt_LocationURLPortP7;
    std::string edt_HTTPServerPortP7;
    std::string edt_Id3P7;    // carried by no block
    std::string edt_IdTypeP7; // 0 not used, 1 ID on connection, 2 ID with data, 3 both
    std::string edt_usernameP7;
    std::string edt_passwordP7;

    // ---- grp_ComParamP7 -----------------------------------------------------------------
    BaudRateList cbb_BaudRate0P7{11, "115200", BaudRatesP7};
    ComboBox cbb_P0P7{0, 5};           // NONE, ODD, EVEN, MARK, SPACE
    ComboBox cbb_D0P7{3, 4};           // 5, 6, 7, 8
    ComboBox cbb_S0P7{0, 2};           // 1, 2
    ComboBox cbb_FlowControl0P7{0, 3}; // None, Hardware, RS485
    ComboBox cbb_WorkMode0P7{1, 5};    // UDP, TCP Client, UDP Server, TCP Server, HTTPD Client
    ComboBox cbb_ModbusTCP0P7{0, 2};   // None, ModbusTCP
    std::string edt_LocalPort0P7 = "5555";
    std::string edt_RemotePort0P7 = "5555";
    std::string edt_RemoteIP0P7 = "192.168.0.131";
    std::string edt_UARTTime0P7 = "10";
    std::string edt_UARTLength0P7 = "200";
    bool chk_RFC22170P7 = true;
    ComboBox cbb_TCPSvrCount0P7{7, 8}; // hidden: "1" .. "8"
    ComboBox cbb_TCPStyle0P7{0, 3};    // hidden

    PanelP7State state;

    bool operator==(const PanelP7&) const = default;
};

// cbb_AddrTypeP7: static IP enables the three address edits, DHCP greys them; no selection:
// nothing.
void ApplyAddressTypeRule(PanelP7& p);
// cbb_WorkMode0P7 (also with no selection). Touches no HTTPD control and no button.
void ApplyPortModeRule(PanelP7& p);

std::span<const ControlInfo> ControlTableP7();
std::vector<ControlValue> ControlValuesP7(const PanelP7& p);
std::vector<NamedState> ControlStatesP7(const PanelP7& p);
// Every control of the table, with direct access to its value and its change rule.
std::vector<ControlBinding<PanelP7>> ControlBindingsP7(PanelP7& p);
bool SetControl(PanelP7& p, std::string_view name, std::string_view value, std::string& error);

} // namespace r2
