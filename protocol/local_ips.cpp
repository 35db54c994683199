#include "protocol/local_ips.h"

#include "protocol/Unit_ProFun.h"

#include <algorithm>
#include <arpa/inet.h>
#include <fstream>
#include <ifaddrs.h>
#include <limits>
#include <net/if.h>
#include <netinet/in.h>
#include <optional>
#include <sstream>

namespace r2 {

namespace {

constexpr unsigned RouteUp = 0x0001; // RTF_UP

std::optional<unsigned long> NumberField(const std::string& text, int base) {
    try {
        std::size_t used = 0;
        const unsigned long value = std::stoul(text, &used, base);
        if (used != text.size()) {
            return std::nullopt;
        }
        return value;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool IsLinkLocal(std::uint32_t address) {
    return (address >> 16) == 0xA9FE;
}

bool IsUsable(const InterfaceAddress& entry) {
    const unsigned needed = IFF_UP | IFF_RUNNING;
    return (entry.flags & needed) == needed && !IsLinkLocal(entry.address);
}

bool IsLoopback(const InterfaceAddress& entry) {
    return (entry.flags & IFF_LOOPBACK) != 0 || (entry.address >> 24) == 127;
}

// Every IPv4 address of every interface; empty when the system cannot list them.
std::optional<std::vector<InterfaceAddress>> ReadInterfaces() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return std::nullopt;
    }
    std::vector<InterfaceAddress> entries;
    for (const ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        const auto* in = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        entries.push_back({it->ifa_name, if_nametoindex(it->ifa_name), it->ifa_flags,
                           ntohl(in->sin_addr.s_addr)});
    }
    freeifaddrs(list);
    return entries;
}

std::string ReadRouteTable() {
    std::ifstream file("/proc/net/route");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

std::string DefaultRouteInterface(std::string_view routeTable) {
    std::istringstream lines{std::string(routeTable)};
    std::string line;
    std::getline(lines, line); // column titles
    std::string best;
    unsigned long bestMetric = std::numeric_limits<unsigned long>::max();
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags, refCnt, use, metric, mask;
        if (!(fields >> iface >> destination >> gateway >> flags >> refCnt >> use >> metric >>
              mask)) {
            continue;
        }
        const auto dest = NumberField(destination, 16);
        const auto bits = NumberField(flags, 16);
        const auto netmask = NumberField(mask, 16);
        const auto cost = NumberField(metric, 10);
        if (!dest || !bits || !netmask || !cost || *dest != 0 || *netmask != 0 ||
            (*bits & RouteUp) == 0) {
            continue;
        }
        if (best.empty() || *cost < bestMetric) {
            best = iface;
            bestMetric = *cost;
        }
    }
    return best;
}

std::vector<std::string> SelectLocalIPs(const std::vector<InterfaceAddress>& entries,
                                        std::string_view defaultInterface) {
    std::vector<InterfaceAddress> usable;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(usable), IsUsable);
    const bool onlyLoopback = std::all_of(usable.begin(), usable.end(), IsLoopback);
    if (!onlyLoopback) {
        std::erase_if(usable, IsLoopback);
    }
    const auto rank = [defaultInterface](const InterfaceAddress& e) {
        return std::pair(e.name != defaultInterface, e.index);
    };
    std::stable_sort(usable.begin(), usable.end(),
                     [&rank](const auto& a, const auto& b) { return rank(a) < rank(b); });
    std::vector<std::string> out;
    for (const auto& entry : usable) {
        std::string text = IntToIPText(entry.address);
        if (std::find(out.begin(), out.end(), text) == out.end()) {
            out.push_back(std::move(text));
        }
    }
    return out;
}

std::vector<std::string> ThisComputerAddresses() {
    std::vector<std::string> out;
    for (const InterfaceAddress& entry :
         ReadInterfaces().value_or(std::vector<InterfaceAddress>{})) {
        std::string text = IntToIPText(entry.address);
        if (std::find(out.begin(), out.end(), text) == out.end()) {
            out.push_back(std::move(text));
        }
    }
    return out;
}

int GetLocalIPs(std::vector<std::string>& list) {
    const auto entries = ReadInterfaces();
    if (!entries) {
        return 0;
    }
    list = SelectLocalIPs(*entries, DefaultRouteInterface(ReadRouteTable()));
    return static_cast<int>(list.size());
}

} // namespace r2
