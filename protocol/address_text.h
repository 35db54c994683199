#pragma once
// The strict text forms of an IPv4 address and a MAC: what a person types or a file stores and
// the program must not guess at (r2ctl's and r2sim's arguments, r2sim's modules file, the
// module configuration file, the upgrade dialog's addresses, the address plan). The panels'
// address and MAC boxes keep the module's own loose reading (TextToRevIP, IPTextToInt,
// MacTextToBytes in Unit_ProFun), which is what the module's own tools accept.
//
// IPv4: exactly four decimal numbers 0..255 joined by single dots, nothing before, between or
// after them. Refused, and why:
// - a number with a leading zero ("010.0.0.1"): many tools (inet_aton, ping) read it as octal,
//   so the same text names 8.0.0.1 there and 10.0.0.1 to the module; the text is ambiguous;
// - blanks anywhere, a sign, an empty number, more than three digits, fewer or more than four
//   numbers: a typing error, never an address.
//
// MAC: exactly 12 hexadecimal digits (either case). Blanks (spaces, tabs, line breaks), colons
// and dashes may stand anywhere between them, as people copy MACs from a label, the device list
// ("00 11 22 AA BB CC"), `ip link` ("00:11:22:aa:bb:cc") or Windows ("00-11-22-AA-BB-CC"). Refused:
// fewer or more digits (the module's own reader takes the first 12 and ignores the rest, which
// hides a typing error), any other character (a dot, a letter beyond F).

#include "protocol/Unit_Public.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace r2 {

// The address as a host-order number (192.168.0.7 is 0xC0A80007).
std::optional<std::uint32_t> ParseIpv4Text(std::string_view text);

std::optional<std::array<std::uint8_t, MacWidth>> ParseMacText(std::string_view text);

} // namespace r2
