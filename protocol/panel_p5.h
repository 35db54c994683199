#pragma once
// The P5 panel (also the serial-side settings of a P7 module) as plain values: one member per
// control, named after the control and initialised to its design state, plus the rule-driven
// state of the controls its rules touch. DecodeP5Reply fills it and EncodeP5Frame reads it.
// Texts are the module's bytes (see panel_controls.h).

#include "protocol/panel_controls.h"

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace r2 {

// Standard rates of cbb_BaudRate (entries 2..14).
inline constexpr std::array<std::string_view, 13> BaudRatesP5 = {
    "300",   "600",   "1200",  "2400",   "4800",   "9600",  "14400",
    "19200", "38400", "57600", "115200", "230400", "460800"};

struct PanelP5State {
    // Work-mode rule: enabled state only; the labels keep their colour.
    ControlState edt_DeIP, edt_DePort, lbl_DeIP, lbl_DePort;
    // Save buttons sharing one place: LAN save on the LAN tab, serial save on the serial tab.
    ControlState btn_P5Set;
    ControlState btn_ComSet = HiddenControl;

    bool operator==(const PanelP5State&) const = default;
};

struct PanelP5 {
    // ---- grp_Param ----------------------------------------------------------------------
    ComboBox cbb_ModuleWork{-1, 4}; // UDP Mode, TCP Client, UDP Server, TCP Server
    std::string edt_ModuleIP = "192.168.0.7";
    std::string edt_Mask = "255.255.255.0";
    std::string edt_Gateway = "192.168.0.201";
    BaudRateList cbb_BaudRate{12, "115200", BaudRatesP5};
    ComboBox cbb_P{0, 5}; // NONE, ODD, EVEN, MARK, SPACE
    ComboBox cbb_D{3, 4}; // 5, 6, 7, 8
    ComboBox cbb_S{0, 2}; // 1, 2
    // Typing is limited to five characters, yet the design text has six.
    std::string edt_ModulePort = "201108";
    std::string edt_DeIP = "192.168.0.201";
    std::string edt_DePort = "8234";

    // ---- grp_Special --------------------------------------------------------------------
    std::string edt_ID = "0";
    bool chk_ConnSendId = false;
    bool chk_DataWithId = false;
    bool chk_RS485 = false;
    bool chk_RS422 = false;
    bool chk_Reset = false;
    bool chk_Index = false;
    bool chk_Link = false;
    bool chk_RFC2217 = false;

    PanelP5State state;

    bool operator==(const PanelP5&) const = default;
};

// cbb_ModuleWork: UDP mode, TCP client or no selection enable the target address and port;
// UDP or TCP server disable them.
void ApplyP5WorkModeRule(PanelP5& p);

// The LAN/serial tab switch: btn_P5Set on the LAN tab, btn_ComSet on the serial tab.
void ApplyTabSwitchRule(PanelP5& p, bool lanTab);

std::span<const ControlInfo> ControlTableP5();
std::vector<ControlValue> ControlValuesP5(const PanelP5& p);
std::vector<NamedState> ControlStatesP5(const PanelP5& p);
// Every control of the table, with direct access to its value and its change rule.
std::vector<ControlBinding<PanelP5>> ControlBindingsP5(PanelP5& p);
bool SetControl(PanelP5& p, std::string_view name, std::string_view value, std::string& error);

} // namespace r2
