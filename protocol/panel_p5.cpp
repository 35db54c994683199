#include "protocol/panel_p5.h"

#include "protocol/panel_table.h"

namespace r2 {

void ApplyP5WorkModeRule(PanelP5& p) {
    const int w = p.cbb_ModuleWork.index;
    if (w > 3) {
        return;
    }
    const bool client = w < 2; // UDP mode, TCP client, or nothing chosen
    auto& s = p.state;
    for (ControlState* c : {&s.edt_DeIP, &s.edt_DePort, &s.lbl_DeIP, &s.lbl_DePort}) {
        c->enabled = client;
    }
}

void ApplyTabSwitchRule(PanelP5& p, bool lanTab) {
    p.state.btn_P5Set.visible = lanTab;
    p.state.btn_ComSet.visible = !lanTab;
}

namespace {

using Row = panel_table::Row<PanelP5>;
using StateRow = panel_table::StateRow<PanelP5State>;

#define R2_CONTROL(...) R2_CONTROL_ROW(PanelP5, __VA_ARGS__)
using panel_table::Address;
using panel_table::Number;
using panel_table::OnOff;

const Row Rows[] = {
    R2_CONTROL(cbb_ModuleWork, "work mode", "UDP Mode|TCP Client|UDP Server|TCP Server",
               ApplyP5WorkModeRule),
    R2_CONTROL(edt_ModuleIP, "module IP address", Address),
    R2_CONTROL(edt_Mask, "subnet mask", Address),
    R2_CONTROL(edt_Gateway, "module default gateway", Address),
    R2_CONTROL(cbb_BaudRate, "serial baud rate", "32-bit integer, decimal or $hex"),
    R2_CONTROL(cbb_P, "parity", "NONE|ODD|EVEN|MARK|SPACE"),
    R2_CONTROL(cbb_D, "data bits", "5|6|7|8"),
    R2_CONTROL(cbb_S, "stop bits", "1|2"),
    R2_CONTROL(edt_ModulePort, "module's own port", Number),
    R2_CONTROL(edt_DeIP, "destination IP address", Address),
    R2_CONTROL(edt_DePort, "destination port", Number),
    R2_CONTROL(edt_ID, "device ID (empty: 0)", Number),
    R2_CONTROL(chk_ConnSendId, "send the ID when the connection is made", OnOff),
    R2_CONTROL(chk_DataWithId, "send the ID with the data", OnOff),
    R2_CONTROL(chk_RS485, "RS485", OnOff),
    R2_CONTROL(chk_RS422, "RS422", OnOff),
    R2_CONTROL(chk_Reset, "Reset", OnOff),
    R2_CONTROL(chk_Index, "Index", OnOff),
    R2_CONTROL(chk_Link, "Link", OnOff),
    R2_CONTROL(chk_RFC2217, "RFC2217", OnOff),
};

#undef R2_CONTROL

#define R2_STATE(member)                                                                           \
    StateRow {                                                                                     \
#member, &PanelP5State::member                                                             \
    }

const StateRow StateRows[] = {
    R2_STATE(edt_DeIP),   R2_STATE(edt_DePort), R2_STATE(lbl_DeIP),
    R2_STATE(lbl_DePort), R2_STATE(btn_P5Set),  R2_STATE(btn_ComSet),
};

#undef R2_STATE

} // namespace

std::span<const ControlInfo> ControlTableP5() {
    static const std::vector<ControlInfo> infos = panel_table::Infos<PanelP5>(Rows);
    return infos;
}

std::vector<ControlValue> ControlValuesP5(const PanelP5& p) {
    return panel_table::Values<PanelP5>(p, Rows);
}

std::vector<NamedState> ControlStatesP5(const PanelP5& p) {
    return panel_table::States<PanelP5State>(p.state, StateRows);
}

std::vector<ControlBinding<PanelP5>> ControlBindingsP5(PanelP5& p) {
    return panel_table::Bindings<PanelP5>(p, Rows);
}

bool SetControl(PanelP5& p, std::string_view name, std::string_view value, std::string& error) {
    return panel_table::Set<PanelP5>(p, Rows, name, value, error);
}

} // namespace r2
