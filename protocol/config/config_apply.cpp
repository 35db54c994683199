#include "config_apply.h"

#include <algorithm>

namespace r2::config {

namespace {

constexpr std::string_view IdentityP6[] = {"edt_UserMAC"};
constexpr std::string_view IdentityP7[] = {"edt_UserMACP7"};
constexpr std::string_view NetworkP6[] = {"cbb_AddrType", "edt_StaticIP", "edt_SubnetMask",
                                          "edt_GatewayIP", "edtDns"};
constexpr std::string_view NetworkP7[] = {"cbb_AddrTypeP7", "edt_StaticIPP7", "edt_SubnetMaskP7",
                                          "edt_GatewayIPP7"};
constexpr std::string_view NetworkP5[] = {"edt_ModuleIP", "edt_Mask", "edt_Gateway"};

bool Listed(std::span<const std::string_view> names, std::string_view name) {
    return std::ranges::find(names, name) != names.end();
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
            if (IsEdit(table, v.name) != edits || Listed(IdentityControls(model), v.name) ||
                (!withNetwork && Listed(NetworkControls(model), v.name))) {
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

std::span<const std::string_view> IdentityControls(Model model) {
    switch (model) {
    case Model::P6:
        return IdentityP6;
    case Model::P7:
        return IdentityP7;
    case Model::P5:
        break;
    }
    return {};
}

std::span<const std::string_view> NetworkControls(Model model) {
    switch (model) {
    case Model::P7:
        return NetworkP7;
    case Model::P5:
        return NetworkP5;
    case Model::P6:
        break;
    }
    return NetworkP6;
}

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

void TakeTargetAddress(PanelP7& panel, const TBaseParam& targetBase) {
    panel.cbb_AddrTypeP7.Select(targetBase.AddrType);
    ApplyAddressTypeRule(panel);
    panel.edt_StaticIPP7 = targetBase.StaticIP;
    panel.edt_SubnetMaskP7 = targetBase.SubnetMask;
    panel.edt_GatewayIPP7 = targetBase.GatewayIP;
}

} // namespace r2::config
