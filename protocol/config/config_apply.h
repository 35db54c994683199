#pragma once
// Applying a module configuration over a panel read from the target module. Pure functions
// over the panel structs: the caller reads the target first, so every byte the panels do not
// show keeps the target's own value, and only then saves the panel as usual.
//
// Two groups of controls are not taken from the file:
// - the target's identity, never: the MAC it is told to keep (edt_UserMAC, edt_UserMACP7);
// - the target's own network address, unless asked (withNetwork): the address type, static
//   IP, subnet mask, gateway and (P6) DNS server. Twenty modules given one file must not all
//   take the address of the module it was read from. The module's data ports and remote
//   address belong to its work, not to its address, and are taken from the file.
//
// Lists and check boxes are applied before edits, each with the rule the window runs on that
// change. A hex check box turns its data edit's text into hex digits when it flips, so the
// data edit must come after its box to end up holding the file's text.

#include "protocol/config/config_file.h"
#include "protocol/panel_p5.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p7.h"
#include "protocol/Unit_Public.h"

#include <span>
#include <string>
#include <string_view>

namespace r2::config {

// Applies the file's values to `panel`, all or nothing: false, with `error` naming the
// control and the value, leaves `panel` as it was. The file must be of the panel's model
// (CheckTargetModel).
bool ApplyModuleConfig(PanelP6& panel, const ModuleConfig& config, bool withNetwork,
                       std::string& error);
bool ApplyModuleConfig(PanelP7& panel, const ModuleConfig& config, bool withNetwork,
                       std::string& error);
bool ApplyModuleConfig(PanelP5& panel, const ModuleConfig& config, bool withNetwork,
                       std::string& error);
// The same over the panel of `model`: `p7` for a P7, `p6` otherwise.
bool ApplyModuleConfig(Model model, PanelP6& p6, PanelP7& p7, const ModuleConfig& config,
                       bool withNetwork, std::string& error);

// A P7's read fills no panel, so its own address settings (address type, static IP, mask,
// gateway) are taken from the base block it sent; a restore without withNetwork then keeps
// them, as it keeps a P6's.
void TakeTargetAddress(PanelP7& panel, const TBaseParam& targetBase);

} // namespace r2::config
