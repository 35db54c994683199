#pragma once
// The P6 parameter panel as plain values. PanelP6 holds one member per control, named after the
// control, initialised to the control's design state; `state` holds the enabled state,
// visibility and label colour of every control a rule touches. The fills copy a module's
// replies into the panel, the rules recompute `state` from the panel's values, and the block
// encoders read the panel back. Nothing here touches a widget or sends a frame.
//
// Texts are the module's bytes (see panel_controls.h). A fill overwrites only what its reply
// carries; everything else keeps its value.

#include "protocol/panel_controls.h"
#include "protocol/Unit_Public.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace r2 {

// Standard rates of cbb_BaudRate0 (entries 2..15).
inline constexpr std::array<std::string_view, 14> BaudRatesP6 = {
    "600",   "1200",  "2400",   "4800",   "9600",   "14400",  "19200",
    "38400", "57600", "115200", "230400", "256000", "460800", "921600"};
// Entries of the stop-bit lists (cbb_S0, cbb_S0P7, cbb_S).
inline constexpr std::array<std::string_view, 2> StopBitItems = {"1", "2"};

// Rule-driven state of the P6 panel's controls, by control name.
struct PanelP6State {
    // Address-type rule.
    ControlState edt_StaticIP, edt_GatewayIP, edt_SubnetMask, edtDns;
    ControlState lbl_StaticIP, lbl_GatewayIP, lbl_SubnetMask, lblDns;
    // Work-mode rule (cbb_ModbusTCP0, cbb_TCPStyle0 and their labels are never shown).
    ControlState cbb_ModbusTCP0 = HiddenControl, lbl_ModbusTCP0 = HiddenControl;
    ControlState cbb_TCPSvrCount0, lbl_TCPSvrCount0;
    ControlState cbb_TCPStyle0 = HiddenControl, lbl_TCPStyle0 = HiddenControl;
    ControlState edt_RemoteIP0, lbl_RemoteIP0;
    ControlState cbbGetPost, lblGetPost;
    ControlState RzGroupBoxHttpd, btnDataDebug;
    // Registration rule.
    ControlState lblDid, lblCompass, edtDid, edtCompass;
    ControlState lblRegSnd, cbbRegType;
    ControlState edtRegDt, lblRegTp, rzchckbxRegDtHex;
    // Heartbeat and heartbeat-type rules.
    ControlState lblHeartPackType, cbbHeartPackType, lblHeartTm, edtHeartTm;
    ControlState lblHeartDt, edtHeartDt, rzchckbxHeartDtHex;
    // Modbus rule.
    ControlState lblReportProto, cbbReporproto;
    ControlState lblModbusTimeout, edtModbusTimeout, lblModbusInterval, edtModbusInterval;
    ControlState lblModbusException, cbbModbusException;
    // Modbus replies show these; a click on a P6 row hides them.
    ControlState RzGroupBox1, rzgrpbxModbus;
    ControlState rzchckbxmodbustcp, rzchckbxmodbuspool, lblhearttime, edtwaittime;
    // LAN-only settings, hidden on the serial tab.
    ControlState RzGroupBoxHeart, rzgrpbxRegHeart, rzchckbxComSetEnable;
    ControlState lbl_UARTTime0, edt_UARTTime0, lblUartPackLEN, edtUartPackLEN, rzchbUdpFrom;
    // Save buttons sharing one place: LAN save on the LAN tab, serial save on the serial tab.
    ControlState btn_P6NetSet;
    ControlState btn_P6ComSet = HiddenControl;

    bool operator==(const PanelP6State&) const = default;
};

struct PanelP6 {
    // ---- grp_BaseSave -------------------------------------------------------------------
    ComboBox cbb_AddrType{1, 2}; // 0 DHCP, 1 static IP
    std::string edt_StaticIP;
    std::string edt_SubnetMask;
    std::string edt_GatewayIP;
    std::string edtDns;
    std::string LabeledEdit1; // timeout restart time, seconds
    bool RzCheckBox2 = false; // clear cached data
    bool rzchckbxComSetEnable = false;
    std::string edt_HTTPServerPort;
    std::string edt_username;
    std::string edt_password;
    std::string edt_ModName;
    bool rzchckbx_Index = false;
    bool rzchckbx_Reset = false;
    bool rzchckbx_Link = false;
    bool rzchckbx_RFC2217 = true;
    std::string edt_LocationURLPort; // hidden
    std::string edt_UserMAC;         // hidden

    // ---- grp_ComParam -------------------------------------------------------------------
    BaudRateList cbb_BaudRate0{11, "115200", BaudRatesP6};
    ComboBox cbb_P0{0, 5};         // NONE, ODD, EVEN, MARK, SPACE
    ComboBox cbb_D0{3, 4};         // 5, 6, 7, 8
    ComboBox cbb_S0{0, 2};         // 1, 2
    ComboBox cbb_WorkMode0{-1, 5}; // UDP Client, TCP Client, UDP Server, TCP Server, HTTPD Client
    std::string edt_LocalPort0 = "5555";
    std::string edt_RemoteIP0 = "192.168.0.131";
    std::string edt_RemotePort0 = "5555";
    ComboBox cbb_TCPSvrCount0{3, 16}; // "1" .. "16"
    std::string LabeledEditShortTime;
    std::string edt_UARTTime0 = "10";
    std::string edtUartPackLEN = "400";
    bool RzCheckBoxShortEnable = false;
    bool RzCheckBox1 = false; // TCP server drops its oldest connection
    bool rzchbUdpFrom = false;
    ComboBox cbb_FlowControl0{0, 3}; // hidden: None, Hardware, RS485
    ComboBox cbb_TCPStyle0{0, 3};    // hidden
    ComboBox cbb_ModbusTCP0{0, 2};   // hidden: None, ModbusTCP
    bool chk_RFC22170 = true;        // hidden

    // ---- RzGroupBoxHeart ----------------------------------------------------------------
    ComboBox RzComboBox1{-1, 3};      // heartbeat off, towards the serial side, to the network
    ComboBox cbbHeartPackType{-1, 2}; // MAC heartbeat, custom heartbeat
    std::string edtHeartTm;
    std::string edtHeartDt;
    bool rzchckbxHeartDtHex = false;

    // ---- rzgrpbxRegHeart ----------------------------------------------------------------
    ComboBox RzComboBox2{-1, 4}; // off, MAC, custom, cloud
    ComboBox cbbRegType{0, 3};   // on connection, with data, both
    std::string edtRegDt;
    bool rzchckbxRegDtHex = false;
    std::string edtDid = "11111111111111111110";
    std::string edtCompass;
    ComboBox cbbHeartTp{0, 2}; // hidden
    ComboBox cbbRegSnd{-1, 2}; // hidden

    // ---- RzGroupBox1 (Modbus conversion) ------------------------------------------------
    ComboBox cbbModbusType{0, 3}; // off, TCP/RTU conversion, RTU polling
    ComboBox cbbReporproto{1, 2}; // transparent, JSON
    std::string edtModbusTimeout = "200";
    std::string edtModbusInterval = "10";
    ComboBox cbbModbusException{1, 2}; // off, on

    // ---- rzgrpbxModbus (Modbus switches) ------------------------------------------------
    bool rzchckbxmodbustcp = false;
    bool rzchckbxmodbuspool = false;
    std::string edtwaittime;

    // ---- RzGroupBoxHttpd ----------------------------------------------------------------
    ComboBox cbbGetPost{0, 2}; // GET, POST
    std::string LabeledEdit2;  // URL
    std::string RzRichEdit1;   // header
    bool RzCheckBox3 = false;  // remove the HTTPD header

    // Whether the LAN tab (not the serial tab) of the window is active; the work-mode rule
    // shows the HTTPD group only there. Set by ApplyTabSwitchRule.
    bool lanTabActive = true;

    PanelP6State state;

    bool operator==(const PanelP6&) const = default;
};

// ---- Fills --------------------------------------------------------------------------------

// What the caller does after a base and port reply.
enum class BaseFillResult {
    Dropped,  // no row selected, or the reply is for another module: log nothing
    FilledP6, // switch to the P6 layout and log "Read OK " in green
    NotP6,    // the panel is untouched; log "Read OK " in green
};

// Fills the panel from a base and port reply. `selectedMac` is the MAC text of the selected
// device-list row (nullopt when none is selected); it is ignored for a serial reply. The port
// settings are filled only when `ports` holds exactly one record.
BaseFillResult FillFromBaseReply(PanelP6& p, const TBaseParam& base, const TarrComParam& ports,
                                 int devFlag, bool fromSerial,
                                 std::optional<std::string_view> selectedMac);

// edtDid and edtCompass, when the list holds exactly one record. False when nothing changed.
bool FillFromCloud(PanelP6& p, const TarrCloudParam& cloud);

// The heartbeat/registration block (85 bytes), for a P6 module only. A data length byte above
// 40 is read as 40. In text mode edtHeartDt and edtRegDt hold all length bytes of their data,
// zero bytes included, so an unchanged save sends them back as they came. False (nothing
// changed) for another device or a shorter block.
bool FillFromHeartReg(PanelP6& p, std::span<const std::uint8_t> block, int devFlag);

void FillFromHttpd(PanelP6& p, std::string_view url, std::string_view header);

// Modbus switches reply of `length` 1 or 4 bytes; shows the switch controls it carries.
void FillFromModbusParam(PanelP6& p, const TModbusParam& record, int length);

// Modbus conversion reply: shows RzGroupBox1 and runs the Modbus rule.
void FillFromModbusPack(PanelP6& p, const TModbusPackParam& record);

// A click on a P6 row: both Modbus groups and the four switch controls are hidden until the
// module sends Modbus blocks again.
void HideModbusGroups(PanelP6& p);

// ---- Rules --------------------------------------------------------------------------------

// cbb_AddrType: static IP enables the address edits, DHCP greys them; no selection: nothing.
void ApplyAddressTypeRule(PanelP6& p);
// cbb_WorkMode0 (also with no selection), and the HTTPD group from lanTabActive.
void ApplyPortModeRule(PanelP6& p);
// RzComboBox2 (change of it or of cbbRegType); no selection: nothing.
void ApplyRegistrationRule(PanelP6& p);
// RzComboBox1; no selection: nothing.
void ApplyHeartbeatRule(PanelP6& p);
// cbbHeartPackType; no selection: nothing.
void ApplyHeartbeatTypeRule(PanelP6& p);
// cbbModbusType; no selection: nothing.
void ApplyModbusRule(PanelP6& p);

enum class HexBox { Heart = 1, Reg = 2 }; // the boxes' tags
// Run after the user clicked rzchckbxHeartDtHex or rzchckbxRegDtHex (the box already holds
// its new state): on turns the edit's text into hex digits, off reads them back when they
// convert and otherwise leaves the text.
void ApplyHexToggle(PanelP6& p, HexBox box);

// The LAN/serial tab switch: the LAN-only groups and controls are visible on the LAN tab and
// hidden on the serial tab, as are the matching save buttons.
void ApplyTabSwitchRule(PanelP6& p, bool lanTab);

// ---- By name (r2ctl) ----------------------------------------------------------------------

std::span<const ControlInfo> ControlTableP6();
std::vector<ControlValue> ControlValuesP6(const PanelP6& p);
std::vector<NamedState> ControlStatesP6(const PanelP6& p);
// Every control of the table, with direct access to its value and its change rule.
std::vector<ControlBinding<PanelP6>> ControlBindingsP6(PanelP6& p);
// Sets a control from text and runs the rule the window runs for that change: an edit takes
// the text, a list an entry name (case ignored) or else an entry index (-1 for none), a baud
// list a 32-bit integer (decimal or $hex), a check box 1/0, on/off, true/false. False with a
// message in `error` for an unknown name or a value the control does not accept.
bool SetControl(PanelP6& p, std::string_view name, std::string_view value, std::string& error);

} // namespace r2
