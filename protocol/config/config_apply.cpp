#include "protocol/config/config_apply.h"

#include <algorithm>

namespace r2::config {

namespace {

// The MAC the target is told to keep.
bool IsIdentityControl(Model model, std::string_view name) {
    switch (model) {
    case Model::P6:
        return name == "edt_UserMAC";
    case Model::P7:
        return name == "edt_UserMACP7";
    case Model::P5:
        break;
    }
    return false;
}

// The target's own address; its name belongs to its work and is taken from the file.
bool IsNetworkControl(Model model, std::string_view name) {
    const AddressControls& c = AddressControlsOf(model);
    return !name.empty() && (name == c.addrType || name == c.staticIp || name == c.mask ||
                             name == c.gateway || name == c.dns);
}

bool IsEdit(std::span<const ControlInfo> table, std::string_view name) {
    const auto it = std::ranges::find(table, name, &ControlInfo::name);
    return it != table.end() && it->kind == ControlKind::Edit;
}

template <class Panel>
bool ApplyTo(Panel& panel, Model model, const ModuleConfig& config, bool withNetwork,
             std::string& error) {
    if (config.model != model) {
        error = "the file holds a " + std::string(ModelName(config.model)) +
                " configuration, not a " + std::string(ModelName(model)) + " one";
        return false;
    }
    const auto table = ControlTable(model);
    Panel working = panel;
    for (const bool edits : {false, true}) {
        for (const ControlValue& v : config.values) {
            if (IsEdit(table, v.name) != edits || IsIdentityControl(model, v.name) ||
                (!withNetwork && IsNetworkControl(model, v.name))) {
                continue;
            }
            std::string problem;
            if (!SetControl(working, v.name, v.value, problem)) {
                error = v.name + ": " + problem;
                return false;
            }
        }
    }
    panel = working;
    return true;
}

} // namespace

bool ApplyModuleConfig(PanelP6& panel, const ModuleConfig& config, bool withNetwork,
                       std::string& error) {
    return ApplyTo(panel, Model::P6, config, withNetwork, error);
}

bool ApplyModuleConfig(PanelP7& panel, const ModuleConfig& config, bool withNetwork,
                       std::string& error) {
    return ApplyTo(panel, Model::P7, config, withNetwork, error);
}

bool ApplyModuleConfig(PanelP5& panel, const ModuleConfig& config, bool withNetwork,
                       std::string& error) {
    return ApplyTo(panel, Model::P5, config, withNetwork, error);
}

bool ApplyModuleConfig(Model model, PanelP6& p6, PanelP7& p7, const ModuleConfig& config,
                       bool withNetwork, std::string& error) {
    return model == Model::P7 ? ApplyModuleConfig(p7, config, withNetwork, error)
                              : ApplyModuleConfig(p6, config, withNetwork, error);
}

void TakeTargetAddress(PanelP7& panel, const TBaseParam& targetBase) {
    panel.cbb_AddrTypeP7.Select(targetBase.AddrType);
    ApplyAddressTypeRule(panel);
    panel.edt_StaticIPP7 = targetBase.StaticIP;
    panel.edt_SubnetMaskP7 = targetBase.SubnetMask;
    panel.edt_GatewayIPP7 = targetBase.GatewayIP;
}

} // namespace r2::config
