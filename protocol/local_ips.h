#pragma once
// How the PC's own IPv4 addresses are chosen and ordered for the search sockets. The choice is
// a pure function over a snapshot of the interfaces, so it can be checked without touching the
// machine it runs on; GetLocalIPs feeds it from getifaddrs and /proc/net/route.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace r2 {

// One IPv4 address of one interface, as the system lists it.
struct InterfaceAddress {
    std::string name;          // interface name, e.g. "eth0"
    unsigned index = 0;        // interface index
    unsigned flags = 0;        // IFF_* bits of the interface
    std::uint32_t address = 0; // first octet in the high byte
};

// The name of the interface that carries the default route in the text of /proc/net/route
// (the one with the lowest metric when there are several); empty when there is none.
std::string DefaultRouteInterface(std::string_view routeTable);

// Addresses of interfaces that are up and running, without 169.254/16 and without loopback
// unless nothing else is left; the default-route interface's addresses first, then the others
// by interface index (the system's order within one interface). Each address appears once.
std::vector<std::string> SelectLocalIPs(const std::vector<InterfaceAddress>& entries,
                                        std::string_view defaultInterface);

// Every IPv4 address of every interface, up or down, each once: this computer's own addresses,
// which no module may be given. Empty when the system cannot list them.
std::vector<std::string> ThisComputerAddresses();

} // namespace r2
