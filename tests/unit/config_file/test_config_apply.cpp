// A configuration applied over a panel read from the target: the file's values win, but never
// the target's identity, and its address only when asked.
#include "protocol/config/config_apply.h"

#include <gtest/gtest.h>

namespace r2::config {
namespace {

ModuleConfig FileOf(Model model, std::vector<ControlValue> values) {
    return {model, 4017, "02 52 32 06 00 01", "2026-12-10T07:54:24Z", std::move(values)};
}

// The module the file was read from, and the target it goes to.
PanelP6 Source() {
    PanelP6 p;
    p.cbb_AddrType.Select(0);
    p.edt_StaticIP = "192.168.0.7";
    p.edt_SubnetMask = "255.255.0.0";
    p.edt_GatewayIP = "192.168.0.1";
    p.edtDns = "8.8.8.8";
    p.edt_UserMAC = "02 52 32 06 00 01";
    p.edt_ModName = "Line1";
    p.edt_LocalPort0 = "4001";
    p.edt_RemoteIP0 = "10.1.1.1";
    p.cbb_WorkMode0.Select(3);
    return p;
}

PanelP6 Target() {
    PanelP6 p;
    p.cbb_AddrType.Select(1);
    p.edt_StaticIP = "192.168.0.42";
    p.edt_SubnetMask = "255.255.255.0";
    p.edt_GatewayIP = "192.168.0.254";
    p.edtDns = "1.1.1.1";
    p.edt_UserMAC = "02 52 32 06 00 2A";
    p.edt_ModName = "Old";
    p.state.RzGroupBox1.visible = true; // shown by the target's own Modbus reply
    return p;
}

TEST(ConfigApply, FileValuesWinButIdentityNeverAndAddressOnlyWhenAsked) {
    const ModuleConfig file = FileOf(Model::P6, ControlValuesP6(Source()));
    for (const bool withNetwork : {false, true}) {
        SCOPED_TRACE(withNetwork ? "with network" : "without network");
        PanelP6 p = Target();
        std::string error;
        ASSERT_TRUE(ApplyModuleConfig(p, file, withNetwork, error)) << error;
        const PanelP6 address = withNetwork ? Source() : Target();
        EXPECT_EQ(p.cbb_AddrType, address.cbb_AddrType);
        EXPECT_EQ(p.edt_StaticIP, address.edt_StaticIP);
        EXPECT_EQ(p.edt_SubnetMask, address.edt_SubnetMask);
        EXPECT_EQ(p.edt_GatewayIP, address.edt_GatewayIP);
        EXPECT_EQ(p.edtDns, address.edtDns);
        EXPECT_EQ(p.edt_UserMAC, "02 52 32 06 00 2A");
        EXPECT_EQ(p.edt_ModName, "Line1");
        EXPECT_EQ(p.edt_LocalPort0, "4001");
        EXPECT_EQ(p.edt_RemoteIP0, "10.1.1.1");
        // The rules ran for the changes: TCP server mode greys the remote address.
        EXPECT_FALSE(p.state.edt_RemoteIP0.enabled);
        EXPECT_TRUE(p.state.RzGroupBox1.visible);
        // DHCP from the file greys the address edits only when the file's address type was taken.
        EXPECT_EQ(p.state.edt_StaticIP.enabled, !withNetwork);
    }
}

TEST(ConfigApply, ControlsTheFileDoesNotNameKeepTheTargetsValues) {
    PanelP6 p = Target();
    std::string error;
    ASSERT_TRUE(ApplyModuleConfig(p, FileOf(Model::P6, {{"edt_ModName", "New"}}), true, error));
    PanelP6 expected = Target();
    expected.edt_ModName = "New";
    EXPECT_EQ(p, expected);
}

TEST(ConfigApply, HexDataKeepsTheFilesTextWhateverTheTargetsBoxHeld) {
    // In table order the data edit comes before its hex box; the box's flip turns the text
    // into hex digits, so a naive order would store "41314232" instead of "A1B2".
    for (const bool targetHex : {false, true}) {
        PanelP6 p;
        p.rzchckbxHeartDtHex = targetHex;
        p.edtHeartDt = "zz";
        p.rzchckbxRegDtHex = !targetHex;
        std::string error;
        const ModuleConfig file = FileOf(Model::P6, {{"edtHeartDt", "A1B2"},
                                                     {"rzchckbxHeartDtHex", "1"},
                                                     {"edtRegDt", "text"},
                                                     {"rzchckbxRegDtHex", "0"}});
        ASSERT_TRUE(ApplyModuleConfig(p, file, false, error)) << error;
        EXPECT_EQ(p.edtHeartDt, "A1B2");
        EXPECT_TRUE(p.rzchckbxHeartDtHex);
        EXPECT_EQ(p.edtRegDt, "text");
        EXPECT_FALSE(p.rzchckbxRegDtHex);
    }
}

TEST(ConfigApply, AllOrNothing) {
    PanelP6 p = Target();
    std::string error;
    const ModuleConfig file =
        FileOf(Model::P6, {{"edt_ModName", "New"}, {"cbb_P0", "bogus"}, {"edtDns", "9.9.9.9"}});
    EXPECT_FALSE(ApplyModuleConfig(p, file, true, error));
    EXPECT_NE(error.find("cbb_P0"), std::string::npos) << error;
    EXPECT_NE(error.find("bogus"), std::string::npos) << error;
    EXPECT_EQ(p, Target());

    PanelP7 p7;
    EXPECT_FALSE(ApplyModuleConfig(p7, FileOf(Model::P6, {}), true, error));
    EXPECT_NE(error.find("P6 configuration, not a P7"), std::string::npos) << error;
    EXPECT_EQ(p7, PanelP7{});
}

TEST(ConfigApply, P7AndP5KeepIdentityAndAddressTheSameWay) {
    PanelP7 source;
    source.edt_StaticIPP7 = "10.0.0.1";
    source.edt_UserMACP7 = "FFFFFFFFFFFF";
    source.edt_ModNameP7 = "P7-a";
    PanelP7 p7;
    p7.edt_StaticIPP7 = "10.0.0.2";
    p7.edt_UserMACP7 = "02 52 32 06 00 07";
    std::string error;
    ASSERT_TRUE(ApplyModuleConfig(p7, FileOf(Model::P7, ControlValuesP7(source)), false, error));
    EXPECT_EQ(p7.edt_StaticIPP7, "10.0.0.2");
    EXPECT_EQ(p7.edt_UserMACP7, "02 52 32 06 00 07");
    EXPECT_EQ(p7.edt_ModNameP7, "P7-a");

    PanelP5 source5;
    source5.edt_ModuleIP = "10.0.0.1";
    source5.edt_ID = "77";
    PanelP5 p5;
    ASSERT_TRUE(ApplyModuleConfig(p5, FileOf(Model::P5, ControlValuesP5(source5)), false, error));
    EXPECT_EQ(p5.edt_ModuleIP, PanelP5{}.edt_ModuleIP);
    EXPECT_EQ(p5.edt_ID, "77");
    ASSERT_TRUE(ApplyModuleConfig(p5, FileOf(Model::P5, ControlValuesP5(source5)), true, error));
    EXPECT_EQ(p5.edt_ModuleIP, "10.0.0.1");
}

TEST(ConfigApply, P7TakesItsOwnAddressFromItsBaseBlock) {
    for (const int addrType : {0, 1}) {
        TBaseParam base;
        base.AddrType = addrType;
        base.StaticIP = "10.0.0.9";
        base.SubnetMask = "255.0.0.0";
        base.GatewayIP = "10.0.0.1";
        PanelP7 p;
        TakeTargetAddress(p, base);
        EXPECT_EQ(p.cbb_AddrTypeP7.index, addrType);
        EXPECT_EQ(p.state.edt_StaticIPP7.enabled, addrType == 1);
        EXPECT_EQ(p.edt_StaticIPP7, "10.0.0.9");
        EXPECT_EQ(p.edt_SubnetMaskP7, "255.0.0.0");
        EXPECT_EQ(p.edt_GatewayIPP7, "10.0.0.1");
    }
}

} // namespace
} // namespace r2::config
