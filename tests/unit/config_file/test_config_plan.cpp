// The plan of one configuration file applied to several modules, as r2ctl clone and the apply
// dialog both make it, and the small configuration a planned address and name become.
#include "protocol/config/config_plan.h"

#include <gtest/gtest.h>

namespace r2::config {
namespace {

const ModuleConfig P6File{Model::P6,
                          4017,
                          "02 52 32 06 00 01",
                          "2026-12-10T07:54:24Z",
                          {{"edt_SubnetMask", "255.255.255.0"},
                           {"edt_GatewayIP", "192.168.0.1"},
                           {"edtDns", "192.168.0.2"},
                           {"edt_ModName", "Pump"}}};

std::vector<std::string> Ips(const ConfigPlan& plan) {
    std::vector<std::string> out;
    for (const PlannedModule& m : plan.modules) {
        out.push_back(m.ip);
    }
    return out;
}

TEST(ConfigPlan, TakesTheFileNetworkAndSkipsWhatIsTaken) {
    const ConfigPlan plan =
        PlanConfig(P6File, {"192.168.0.1", "L-{n}", 7}, 3, {"192.168.0.3"}, {"192.168.0.5"});
    ASSERT_FALSE(plan.noMask);
    ASSERT_EQ(plan.error, "");
    // .1 the file's gateway, .2 its DNS server, .3 taken, .5 this computer.
    EXPECT_EQ(Ips(plan), (std::vector<std::string>{"192.168.0.4", "192.168.0.6", "192.168.0.7"}));
    ASSERT_EQ(plan.modules.size(), 3u);
    EXPECT_EQ(plan.modules[0].name, "L-7");
    EXPECT_EQ(plan.modules[2].name, "L-9");
    EXPECT_EQ(plan.modules[0].skipped,
              (std::vector<SkippedAddress>{{"192.168.0.1", SkipReason::Gateway},
                                           {"192.168.0.2", SkipReason::Dns}}));
}

TEST(ConfigPlan, AFirstIpNeedsTheFileToHoldAMask) {
    const ModuleConfig noMask{Model::P7, 5002, "", "", {{"edt_GatewayIPP7", "10.0.0.1"}}};
    EXPECT_TRUE(PlanLacksMask(noMask, {"10.0.0.5", "", 1}));
    EXPECT_FALSE(PlanLacksMask(noMask, {"", "L-{n}", 1}));
    EXPECT_FALSE(PlanLacksMask(P6File, {"192.168.0.10", "", 1}));
    const ConfigPlan plan = PlanConfig(noMask, {"10.0.0.5", "", 1}, 2, {}, {});
    EXPECT_TRUE(plan.noMask);
    EXPECT_TRUE(plan.modules.empty());
    const ConfigPlan names = PlanConfig(noMask, {"", "L-{n}", 1}, 2, {}, {});
    EXPECT_FALSE(names.noMask);
    EXPECT_EQ(Ips(names), (std::vector<std::string>{"", ""}));
}

TEST(ConfigPlan, AnAddressPlanThatCannotBeKeptSaysWhy) {
    const ConfigPlan plan = PlanConfig(P6File, {"192.168.0.253", "", 1}, 3, {}, {});
    EXPECT_FALSE(plan.noMask);
    EXPECT_NE(plan.error, "");
    EXPECT_TRUE(plan.modules.empty());
}

TEST(ConfigPlan, PlannedConfigSetsTheModelsOwnControls) {
    const PlannedModule planned{"192.168.0.20", "L-1", "L-1"};
    EXPECT_EQ(PlannedConfig(P6File, planned).values,
              (std::vector<ControlValue>{{"cbb_AddrType", "Static IP"},
                                         {"edt_StaticIP", "192.168.0.20"},
                                         {"edt_SubnetMask", "255.255.255.0"},
                                         {"edt_GatewayIP", "192.168.0.1"},
                                         {"edtDns", "192.168.0.2"},
                                         {"edt_ModName", "L-1"}}));
    // A P7 has no DNS server; a file without a gateway gives none.
    const ModuleConfig p7{Model::P7, 5002, "", "", {{"edt_SubnetMaskP7", "255.255.0.0"}}};
    EXPECT_EQ(PlannedConfig(p7, planned).values,
              (std::vector<ControlValue>{{"cbb_AddrTypeP7", "Static IP"},
                                         {"edt_StaticIPP7", "192.168.0.20"},
                                         {"edt_SubnetMaskP7", "255.255.0.0"},
                                         {"edt_ModNameP7", "L-1"}}));
    // Only a name, or nothing at all.
    EXPECT_EQ(PlannedConfig(p7, {"", "L-2", "L-2"}).values,
              (std::vector<ControlValue>{{"edt_ModNameP7", "L-2"}}));
    EXPECT_TRUE(PlannedConfig(P6File, {}).values.empty());
}

TEST(ConfigPlan, FileValueFindsAControlByName) {
    ASSERT_NE(FileValue(P6File, "edt_ModName"), nullptr);
    EXPECT_EQ(*FileValue(P6File, "edt_ModName"), "Pump");
    EXPECT_EQ(FileValue(P6File, "edt_ModNameP7"), nullptr);
}

} // namespace
} // namespace r2::config
