#include "protocol/config/address_plan.h"

#include "lang/gbk_text.h"
#include "protocol/address_text.h"
#include "protocol/Unit_ProFun.h"

#include <algorithm>
#include <map>
#include <set>

namespace r2::config {

namespace {

constexpr std::string_view CounterOpen = "{n";

// A mask is contiguous ones then zeros.
bool IsMask(std::uint32_t mask) {
    const std::uint32_t hosts = ~mask;
    return (hosts & (hosts + 1)) == 0;
}

struct Counter {
    std::size_t begin = 0; // where "{n" starts
    std::size_t end = 0;   // one past "}"
    int width = 0;
};

std::optional<Counter> FindCounter(std::string_view pattern, std::string& error) {
    const std::size_t begin = pattern.find(CounterOpen);
    const auto braceOutside = [&](std::size_t from, std::size_t to) {
        return pattern.substr(from, to - from).find_first_of("{}") != std::string_view::npos;
    };
    if (begin == std::string_view::npos) {
        if (braceOutside(0, pattern.size())) {
            error = "a name pattern may hold { and } only in the counter {n} or {n:0W}";
            return std::nullopt;
        }
        return Counter{pattern.size(), pattern.size(), -1};
    }
    const std::size_t close = pattern.find('}', begin);
    if (close == std::string_view::npos) {
        error = "the counter in the name pattern has no closing }";
        return std::nullopt;
    }
    const std::string_view spec = pattern.substr(begin + 2, close - begin - 2);
    Counter counter{begin, close + 1, 0};
    if (!spec.empty()) {
        const bool form = spec.size() == 3 && spec[0] == ':' && spec[1] == '0' && spec[2] >= '1' &&
                          spec[2] <= '9';
        if (!form) {
            error = "the counter must be {n} or {n:0W} with a width W from 1 to 9, not {n" +
                    std::string(spec) + "}";
            return std::nullopt;
        }
        counter.width = spec[2] - '0';
    }
    if (braceOutside(0, begin) || braceOutside(counter.end, pattern.size())) {
        error = "a name pattern holds one counter, {n} or {n:0W}, and no other { or }";
        return std::nullopt;
    }
    return counter;
}

bool PlanNames(const AddressPlanRequest& request, std::vector<PlannedModule>& modules,
               std::string& error) {
    if (request.namePattern.empty()) {
        return true;
    }
    std::string problem;
    const auto counter = FindCounter(request.namePattern, problem);
    if (!counter) {
        error = problem;
        return false;
    }
    if (counter->width < 0 && modules.size() > 1) {
        error = "the name pattern \"" + request.namePattern +
                "\" has no counter {n}, so every module would get the same name";
        return false;
    }
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const std::uint64_t n = std::uint64_t{request.counterStart} + i;
        if (n > 0xFFFFFFFF) {
            error = "the name counter runs past 4294967295";
            return false;
        }
        auto name = ExpandNamePattern(request.namePattern, static_cast<std::uint32_t>(n), problem);
        auto bytes = name ? Utf8ToGbk(*name) : std::nullopt;
        if (!bytes) {
            error = name ? "the name \"" + *name + "\" has characters the module cannot store (GBK)"
                         : problem;
            return false;
        }
        if (bytes->size() > ModuleNameBytes) {
            error = "the name \"" + *name + "\" takes " + std::to_string(bytes->size()) +
                    " bytes; the module's name field holds " + std::to_string(ModuleNameBytes);
            return false;
        }
        modules[i].name = std::move(*name);
        modules[i].nameBytes = std::move(*bytes);
    }
    return true;
}

// The addresses no module may be given, each with its reason; where one address has several,
// the first listed here is told.
std::map<std::uint32_t, SkipReason> ReservedAddresses(const AddressPlanRequest& request,
                                                      std::uint32_t network,
                                                      std::uint32_t broadcast) {
    std::map<std::uint32_t, SkipReason> reserved{{network, SkipReason::Network},
                                                 {broadcast, SkipReason::Broadcast}};
    const auto add = [&reserved](const std::string& ip, SkipReason reason) {
        if (const auto value = ParseIpv4Text(ip)) {
            reserved.emplace(*value, reason);
        }
    };
    add(request.gateway, SkipReason::Gateway);
    add(request.dns, SkipReason::Dns);
    for (const std::string& ip : request.localIps) {
        add(ip, SkipReason::ThisComputer);
    }
    return reserved;
}

} // namespace

std::string_view SkipReasonName(SkipReason reason) {
    switch (reason) {
    case SkipReason::Network:
        return "network";
    case SkipReason::Broadcast:
        return "broadcast";
    case SkipReason::Gateway:
        return "gateway";
    case SkipReason::Dns:
        return "dns";
    case SkipReason::ThisComputer:
        break;
    }
    return "local";
}

std::string_view SkipReasonText(SkipReason reason) {
    switch (reason) {
    case SkipReason::Network:
        return "the subnet's network address";
    case SkipReason::Broadcast:
        return "the subnet's broadcast address";
    case SkipReason::Gateway:
        return "the file's gateway";
    case SkipReason::Dns:
        return "the file's DNS server";
    case SkipReason::ThisComputer:
        break;
    }
    return "an address of this computer";
}

std::string SkippedText(const std::vector<SkippedAddress>& skipped) {
    std::string text;
    for (const SkippedAddress& s : skipped) {
        text +=
            (text.empty() ? "" : ", ") + s.ip + " (" + std::string(SkipReasonText(s.reason)) + ")";
    }
    return text;
}

FileNetwork NetworkOfFile(const ModuleConfig& file) {
    const AddressControls& controls = AddressControlsOf(file.model);
    const auto value = [&file](std::string_view control) {
        const std::string* found = control.empty() ? nullptr : FileValue(file, control);
        return found ? *found : std::string();
    };
    return {value(controls.mask), value(controls.gateway), value(controls.dns)};
}

std::optional<std::string> ExpandNamePattern(std::string_view pattern, std::uint32_t n,
                                             std::string& error) {
    const auto counter = FindCounter(pattern, error);
    if (!counter) {
        return std::nullopt;
    }
    std::string out(pattern.substr(0, counter->begin));
    if (counter->width >= 0) {
        const std::string digits = std::to_string(n);
        out += std::string(static_cast<std::size_t>(counter->width) > digits.size()
                               ? static_cast<std::size_t>(counter->width) - digits.size()
                               : 0,
                           '0') +
               digits;
    }
    return out + std::string(pattern.substr(counter->end));
}

AddressPlan PlanAddresses(const AddressPlanRequest& request) {
    if (request.firstIp.empty()) {
        AddressPlan names;
        names.modules.resize(request.count);
        if (!PlanNames(request, names.modules, names.error)) {
            names.modules.clear();
        }
        return names;
    }
    const auto first = ParseIpv4Text(request.firstIp);
    const auto mask = ParseIpv4Text(request.mask);
    if (!first) {
        return {{}, "\"" + request.firstIp + "\" is not an IPv4 address"};
    }
    if (!mask || !IsMask(*mask) || *mask == 0 || ~*mask < 3) {
        return {{}, "\"" + request.mask + "\" is not a subnet mask with room for modules"};
    }
    const std::uint32_t network = *first & *mask;
    const std::uint32_t broadcast = network | ~*mask;
    const auto reserved = ReservedAddresses(request, network, broadcast);
    std::set<std::uint32_t> taken;
    for (const std::string& ip : request.taken) {
        if (const auto value = ParseIpv4Text(ip)) {
            taken.insert(*value);
        }
    }
    AddressPlan plan;
    std::vector<SkippedAddress> passed; // since the last planned module
    std::vector<SkippedAddress> allSkipped;
    for (std::uint64_t next = *first; plan.modules.size() < request.count; ++next) {
        if (next > broadcast) {
            std::string error = "the subnet of " + request.firstIp + " with mask " + request.mask +
                                " runs out after " + std::to_string(plan.modules.size()) + " of " +
                                std::to_string(request.count) + " modules (" +
                                std::to_string(taken.size()) + " address(es) already taken";
            if (!allSkipped.empty()) {
                error += "; skipped " + SkippedText(allSkipped);
            }
            return {{}, error + ")"};
        }
        const auto ip = static_cast<std::uint32_t>(next);
        if (const auto it = reserved.find(ip); it != reserved.end()) {
            passed.push_back({IntToIPText(ip), it->second});
            allSkipped.push_back(passed.back());
        } else if (!taken.contains(ip)) {
            plan.modules.push_back({IntToIPText(ip), {}, {}, std::move(passed)});
            passed.clear();
        }
    }
    if (!PlanNames(request, plan.modules, plan.error)) {
        plan.modules.clear();
    }
    return plan;
}

} // namespace r2::config
