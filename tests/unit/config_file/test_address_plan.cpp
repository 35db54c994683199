// The address plan of a clone: sequential addresses that skip taken ones and the ones no module
// may have and never leave the subnet, and names from a counter pattern that fit the module's
// name field.
#include "protocol/config/address_plan.h"

#include <gtest/gtest.h>

namespace r2::config {
namespace {

std::vector<std::string> Ips(const AddressPlan& plan) {
    std::vector<std::string> out;
    for (const PlannedModule& m : plan.modules) {
        out.push_back(m.ip);
    }
    return out;
}

TEST(AddressPlan, AddressesCountUpSkippingTakenOnesWithinTheSubnet) {
    const struct {
        const char* name;
        AddressPlanRequest request;
        std::vector<std::string> ips;
        const char* error;
    } cases[] = {
        {"plain",
         {"192.168.0.20", "255.255.255.0", {}, "", 1, 3},
         {"192.168.0.20", "192.168.0.21", "192.168.0.22"},
         ""},
        {"taken skipped",
         {"192.168.0.20", "255.255.255.0", {"192.168.0.21", "192.168.0.20", "x"}, "", 1, 2},
         {"192.168.0.22", "192.168.0.23"},
         ""},
        {"across an octet",
         {"10.0.0.254", "255.255.0.0", {}, "", 1, 3},
         {"10.0.0.254", "10.0.0.255", "10.0.1.0"},
         ""},
        {"up to the last host",
         {"192.168.0.253", "255.255.255.0", {}, "", 1, 2},
         {"192.168.0.253", "192.168.0.254"},
         ""},
        {"would reach broadcast",
         {"192.168.0.253", "255.255.255.0", {}, "", 1, 3},
         {},
         "runs out after 2 of 3 modules"},
        {"taken to the end",
         {"192.168.0.253", "255.255.255.0", {"192.168.0.254"}, "", 1, 2},
         {},
         "runs out after 1 of 2"},
        {"network address skipped",
         {"192.168.0.0", "255.255.255.0", {}, "", 1, 1},
         {"192.168.0.1"},
         ""},
        {"broadcast address",
         {"192.168.0.255", "255.255.255.0", {}, "", 1, 1},
         {},
         "broadcast address"},
        {"bad first", {"192.168.0", "255.255.255.0", {}, "", 1, 1}, {}, "not an IPv4 address"},
        {"bad mask", {"192.168.0.5", "255.0.255.0", {}, "", 1, 1}, {}, "not a subnet mask"},
        {"mask without room",
         {"192.168.0.5", "255.255.255.254", {}, "", 1, 1},
         {},
         "not a subnet mask"},
        {"none", {"192.168.0.5", "255.255.255.0", {}, "", 1, 0}, {}, ""},
    };
    for (const auto& c : cases) {
        const AddressPlan plan = PlanAddresses(c.request);
        EXPECT_EQ(Ips(plan), c.ips) << c.name;
        EXPECT_NE(plan.error.find(c.error), std::string::npos) << c.name << ": " << plan.error;
        EXPECT_EQ(plan.error.empty(), std::string(c.error).empty()) << c.name;
    }
}

// The file's gateway and DNS server, this computer's addresses and the subnet's network and
// broadcast addresses are never planned; each one passed over is told with the module planned
// after it (or in the refusal when the subnet runs out). Addresses other modules hold are
// skipped without a word, as before.
TEST(AddressPlan, AddressesNoModuleMayHaveAreSkippedAndTold) {
    using R = SkipReason;
    const std::vector<std::string> thisComputer = {"127.0.0.1", "192.168.0.10", "10.1.0.10"};
    const struct {
        const char* name;
        AddressPlanRequest request;
        std::vector<std::string> ips;
        std::vector<std::vector<SkippedAddress>> skipped; // per planned module
        const char* error;
    } cases[] = {
        {"the gateway",
         {"192.168.0.1", "255.255.255.0", {}, "", 1, 2, "192.168.0.1", "8.8.8.8", thisComputer},
         {"192.168.0.2", "192.168.0.3"},
         {{{"192.168.0.1", R::Gateway}}, {}},
         ""},
        {"the DNS server",
         {"192.168.0.8", "255.255.255.0", {}, "", 1, 2, "192.168.0.1", "192.168.0.9", {}},
         {"192.168.0.8", "192.168.0.10"},
         {{}, {{"192.168.0.9", R::Dns}}},
         ""},
        {"this computer",
         {"192.168.0.9", "255.255.255.0", {}, "", 1, 2, "", "", thisComputer},
         {"192.168.0.9", "192.168.0.11"},
         {{}, {{"192.168.0.10", R::ThisComputer}}},
         ""},
        {"the network address",
         {"192.168.0.0", "255.255.255.0", {}, "", 1, 1, "", "", {}},
         {"192.168.0.1"},
         {{{"192.168.0.0", R::Network}}},
         ""},
        {"several in a row, a taken one untold",
         {"192.168.0.0",
          "255.255.255.0",
          {"192.168.0.4"},
          "",
          1,
          1,
          "192.168.0.1",
          "192.168.0.2",
          {"192.168.0.3"}},
         {"192.168.0.5"},
         {{{"192.168.0.0", R::Network},
           {"192.168.0.1", R::Gateway},
           {"192.168.0.2", R::Dns},
           {"192.168.0.3", R::ThisComputer}}},
         ""},
        {"gateway and DNS on one address, told once",
         {"192.168.0.1", "255.255.255.0", {}, "", 1, 1, "192.168.0.1", "192.168.0.1", {}},
         {"192.168.0.2"},
         {{{"192.168.0.1", R::Gateway}}},
         ""},
        {"outside the plan's way, or no address",
         {"192.168.0.20", "255.255.255.0", {}, "", 1, 2, "10.0.0.1", "x", thisComputer},
         {"192.168.0.20", "192.168.0.21"},
         {{}, {}},
         ""},
        {"the broadcast address ends the subnet",
         {"192.168.0.254", "255.255.255.0", {}, "", 1, 2, "", "", {}},
         {},
         {},
         "runs out after 1 of 2 modules (0 address(es) already taken; skipped 192.168.0.255 (the "
         "subnet's broadcast address))"},
        {"a first address that is the broadcast address",
         {"192.168.0.255", "255.255.255.0", {}, "", 1, 1, "", "", {}},
         {},
         {},
         "skipped 192.168.0.255 (the subnet's broadcast address)"},
        {"run out by this computer's address",
         {"192.168.0.253", "255.255.255.0", {}, "", 1, 2, "", "", {"192.168.0.254"}},
         {},
         {},
         "runs out after 1 of 2 modules (0 address(es) already taken; skipped 192.168.0.254 (an "
         "address of this computer), 192.168.0.255 (the subnet's broadcast address))"},
        {"the top of the address space",
         {"255.255.255.253", "255.255.255.252", {}, "", 1, 3, "", "", {}},
         {},
         {},
         "runs out after 2 of 3"},
    };
    for (const auto& c : cases) {
        const AddressPlan plan = PlanAddresses(c.request);
        EXPECT_EQ(Ips(plan), c.ips) << c.name;
        std::vector<std::vector<SkippedAddress>> skipped;
        for (const PlannedModule& m : plan.modules) {
            skipped.push_back(m.skipped);
        }
        EXPECT_EQ(skipped, c.skipped) << c.name;
        EXPECT_NE(plan.error.find(c.error), std::string::npos) << c.name << ": " << plan.error;
        EXPECT_EQ(plan.error.empty(), std::string(c.error).empty()) << c.name;
    }
    EXPECT_EQ(SkippedText({{"192.168.0.1", R::Gateway}, {"192.168.0.10", R::ThisComputer}}),
              "192.168.0.1 (the file's gateway), 192.168.0.10 (an address of this computer)");
}

// The mask, gateway and DNS server a plan keeps to are the file's, by its model's controls.
TEST(AddressPlan, TheFilesNetworkComesFromItsModelsControls) {
    const ModuleConfig p6{Model::P6,
                          4017,
                          "",
                          "",
                          {{"edt_SubnetMask", "255.255.0.0"},
                           {"edt_GatewayIP", "10.0.0.1"},
                           {"edtDns", "10.0.0.2"},
                           {"edt_GatewayIPP7", "10.9.9.9"}}};
    const FileNetwork fromP6 = NetworkOfFile(p6);
    EXPECT_EQ((std::vector{fromP6.mask, fromP6.gateway, fromP6.dns}),
              (std::vector<std::string>{"255.255.0.0", "10.0.0.1", "10.0.0.2"}));
    const ModuleConfig p7{Model::P7,
                          5002,
                          "",
                          "",
                          {{"edt_SubnetMaskP7", "255.255.255.0"},
                           {"edt_GatewayIPP7", "192.168.1.1"},
                           {"edtDns", "10.0.0.2"}}};
    const FileNetwork fromP7 = NetworkOfFile(p7);
    EXPECT_EQ((std::vector{fromP7.mask, fromP7.gateway, fromP7.dns}),
              (std::vector<std::string>{"255.255.255.0", "192.168.1.1", ""}));
    const FileNetwork none = NetworkOfFile(ModuleConfig{Model::P6, 4017, "", "", {}});
    EXPECT_EQ((std::vector{none.mask, none.gateway, none.dns}), std::vector<std::string>(3));
}

TEST(AddressPlan, NamesFromTheCounterPatternFitTheNameField) {
    const struct {
        const char* pattern;
        std::uint32_t start;
        std::size_t count;
        std::vector<std::string> names;
        const char* error;
    } cases[] = {
        {"Line1-{n}", 1, 3, {"Line1-1", "Line1-2", "Line1-3"}, ""},
        {"Line1-{n:02}", 9, 2, {"Line1-09", "Line1-10"}, ""},
        {"{n:03}-end", 998, 3, {"998-end", "999-end", "1000-end"}, ""},
        {"Solo", 1, 1, {"Solo"}, ""},
        {"", 1, 2, {"", ""}, ""},
        {"\xE8\xBD\xA6\xE9\x97\xB4{n:02}",
         1,
         1,
         {"\xE8\xBD\xA6\xE9\x97\xB4"
          "01"},
         ""},
        {"ABCDEFGHIJKLMN{n:02}", 1, 1, {"ABCDEFGHIJKLMN01"}, ""}, // exactly 16 bytes
        {"ABCDEFGHIJKLMNO{n}", 9, 2, {}, "\"ABCDEFGHIJKLMNO10\" takes 17 bytes"},
        // Eight GBK characters are 16 bytes; the ninth is too many, however short in letters.
        {"\xE8\xBD\xA6\xE8\xBD\xA6\xE8\xBD\xA6\xE8\xBD\xA6\xE8\xBD\xA6\xE8\xBD\xA6\xE8\xBD\xA6\xE8"
         "\xBD\xA6{n}",
         1,
         1,
         {},
         "takes 17 bytes"},
        {"Same", 1, 2, {}, "no counter {n}"},
        {"A{n}{n}", 1, 1, {}, "no other { or }"},
        {"A{n:2}", 1, 1, {}, "{n} or {n:0W}"},
        {"A{n:010}", 1, 1, {}, "{n} or {n:0W}"},
        {"A{n", 1, 1, {}, "no closing }"},
        {"A}{n}", 1, 1, {}, "no other { or }"},
        {"A{x}", 1, 1, {}, "only in the counter"},
        {"\xF0\x9F\x98\x80{n}", 1, 1, {}, "cannot store (GBK)"},
        {"N{n}", 4294967295u, 2, {}, "runs past 4294967295"},
    };
    for (const auto& c : cases) {
        const AddressPlan plan =
            PlanAddresses({"192.168.0.20", "255.255.255.0", {}, c.pattern, c.start, c.count});
        std::vector<std::string> names;
        for (const PlannedModule& m : plan.modules) {
            names.push_back(m.name);
        }
        EXPECT_EQ(names, c.names) << c.pattern;
        EXPECT_NE(plan.error.find(c.error), std::string::npos) << c.pattern << ": " << plan.error;
        EXPECT_EQ(plan.error.empty(), std::string(c.error).empty()) << c.pattern;
    }
    // Without a first address only names are planned; every module keeps its address.
    const AddressPlan namesOnly = PlanAddresses({"", "", {"192.168.0.7"}, "N{n}", 7, 2});
    ASSERT_EQ(namesOnly.modules.size(), 2u) << namesOnly.error;
    EXPECT_EQ(Ips(namesOnly), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(namesOnly.modules[1].name, "N8");
    // The bytes that go into the field are GBK.
    const AddressPlan plan =
        PlanAddresses({"192.168.0.20", "255.255.255.0", {}, "\xE8\xBD\xA6{n}", 1, 1});
    ASSERT_EQ(plan.modules.size(), 1u);
    EXPECT_EQ(plan.modules[0].nameBytes, "\xB3\xB5"
                                         "1");
}

} // namespace
} // namespace r2::config
