#pragma once
// The address plan for cloning one configuration to several modules: the static IP and the
// name each module is to get, worked out in full before anything is sent, so that a plan that
// cannot be kept (it would leave the subnet, a name too long for the module) sends nothing.
//
// Addresses: the first static IP, then one up per module, skipping every address already seen
// in the search (another module holds it) and every address no module may have: the subnet's
// network and broadcast addresses, the file's gateway and DNS server, and this computer's own
// addresses. The plan says which of the latter it skipped, and fails rather than leave the
// subnet the mask gives.
// Names: a pattern with at most one counter, `{n}` or `{n:0W}` (zero-padded to W digits, W
// 1..9), counting from `counterStart`; e.g. "Line1-{n:02}" gives Line1-01, Line1-02, ...
// Each name must fit the module's 16-byte name field as GBK bytes.

#include "protocol/config/config_file.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace r2::config {

// The width of the name field of the base block.
inline constexpr std::size_t ModuleNameBytes = 16;

// Why an address was left out of the plan although no module answered from it.
enum class SkipReason { Network, Broadcast, Gateway, Dns, ThisComputer };

// A word for machine-readable output ("network", "broadcast", "gateway", "dns", "local").
std::string_view SkipReasonName(SkipReason reason);
// English words, e.g. "the file's gateway".
std::string_view SkipReasonText(SkipReason reason);

struct SkippedAddress {
    std::string ip;
    SkipReason reason = SkipReason::Network;

    bool operator==(const SkippedAddress&) const = default;
};

// "192.168.0.1 (the file's gateway), 192.168.0.10 (an address of this computer)".
std::string SkippedText(const std::vector<SkippedAddress>& skipped);

struct PlannedModule {
    std::string ip;
    std::string name;      // UTF-8 text; empty when no pattern was given
    std::string nameBytes; // the GBK bytes that go into the name field
    // The addresses the plan passed over just before this module's, in order.
    std::vector<SkippedAddress> skipped{};
};

struct AddressPlanRequest {
    std::string firstIp; // empty: names only, every module keeps its address (ip empty)
    std::string mask;
    std::vector<std::string> taken; // addresses seen in the search
    std::string namePattern;        // UTF-8; empty: names are not planned
    std::uint32_t counterStart = 1;
    std::size_t count = 0;
    // The file's gateway and DNS server (empty or not an address: none), which every planned
    // module is told to use, and this computer's addresses.
    std::string gateway{};
    std::string dns{};
    std::vector<std::string> localIps{};
};

struct AddressPlan {
    std::vector<PlannedModule> modules;
    std::string error; // set (and modules empty) when the plan cannot be kept
};

AddressPlan PlanAddresses(const AddressPlanRequest& request);

// The file's own subnet mask, gateway and DNS server for its model; empty where it holds none.
struct FileNetwork {
    std::string mask;
    std::string gateway;
    std::string dns;
};
FileNetwork NetworkOfFile(const ModuleConfig& file);

// The name for counter value `n`, or empty with `error` set for a pattern that is not valid.
std::optional<std::string> ExpandNamePattern(std::string_view pattern, std::uint32_t n,
                                             std::string& error);

} // namespace r2::config
