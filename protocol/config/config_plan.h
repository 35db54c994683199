#pragma once
// The plan of one module configuration file applied to several modules, as r2ctl clone and the
// window's apply dialog both make it: the file's own subnet mask, gateway and DNS server, the
// addresses already taken and this computer's own go into the address plan; a first IP needs
// the file to hold a mask, since every planned module takes it from the file. Then each planned
// address and name becomes a small configuration of its own, applied after the file.

#include "protocol/config/address_plan.h"
#include "protocol/config/config_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace r2::config {

// What is asked of the plan.
struct PlanFields {
    std::string firstIp;     // empty: every module keeps its address
    std::string namePattern; // empty: names are not planned
    std::uint32_t counterStart = 1;
};

// A first IP asked for while the file holds no subnet mask: the plan cannot be made.
bool PlanLacksMask(const ModuleConfig& file, const PlanFields& fields);

struct ConfigPlan {
    std::vector<PlannedModule> modules; // one per module when the plan can be kept
    bool noMask = false;                // PlanLacksMask (each front-end words it)
    std::string error;                  // else why the plan cannot be kept, in English
};

// The plan for `count` modules; `taken`: the addresses seen in the search, `localIps`: this
// computer's own.
ConfigPlan PlanConfig(const ModuleConfig& file, const PlanFields& fields, std::size_t count,
                      std::vector<std::string> taken, std::vector<std::string> localIps);

// A planned address and name as a configuration of their own, applied with the address settings
// after the file: a static address at the planned IP with the file's mask, gateway (and DNS),
// and the planned name's bytes.
ModuleConfig PlannedConfig(const ModuleConfig& file, const PlannedModule& planned);

} // namespace r2::config
