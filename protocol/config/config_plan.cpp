#include "protocol/config/config_plan.h"

#include <utility>

namespace r2::config {

namespace {

// The address type list's entry for a static address, as SetControl takes it.
constexpr std::string_view StaticEntry = "Static IP";

} // namespace

bool PlanLacksMask(const ModuleConfig& file, const PlanFields& fields) {
    return !fields.firstIp.empty() && NetworkOfFile(file).mask.empty();
}

ConfigPlan PlanConfig(const ModuleConfig& file, const PlanFields& fields, std::size_t count,
                      std::vector<std::string> taken, std::vector<std::string> localIps) {
    ConfigPlan out;
    if (PlanLacksMask(file, fields)) {
        out.noMask = true;
        return out;
    }
    FileNetwork network = NetworkOfFile(file);
    AddressPlan plan =
        PlanAddresses({fields.firstIp, std::move(network.mask), std::move(taken),
                       fields.namePattern, fields.counterStart, count, std::move(network.gateway),
                       std::move(network.dns), std::move(localIps)});
    out.modules = std::move(plan.modules);
    out.error = std::move(plan.error);
    return out;
}

ModuleConfig PlannedConfig(const ModuleConfig& file, const PlannedModule& planned) {
    const AddressControls& c = AddressControlsOf(file.model);
    ModuleConfig out{file.model, file.firmware, file.mac, file.time, {}};
    if (!planned.ip.empty()) {
        out.values.push_back({std::string(c.addrType), std::string(StaticEntry)});
        out.values.push_back({std::string(c.staticIp), planned.ip});
        for (const std::string_view control : {c.mask, c.gateway, c.dns}) {
            if (const std::string* value = control.empty() ? nullptr : FileValue(file, control)) {
                out.values.push_back({std::string(control), *value});
            }
        }
    }
    if (!planned.name.empty()) {
        out.values.push_back({std::string(c.name), planned.nameBytes});
    }
    return out;
}

} // namespace r2::config
