// Enable and visibility rules of the P6 panel, the hex toggle and the tab switch.
#include "protocol/panel_p6.h"

#include <gtest/gtest.h>
#include <ostream>

namespace r2 {

void PrintTo(HexBox box, std::ostream* os) {
    *os << (box == HexBox::Heart ? "heart" : "reg");
}

namespace {

struct PortModeCase {
    int mode;
    bool lanTab;
    bool modbus, server, remoteIp, getPost, httpdGroup, dataDebug;
};

void PrintTo(const PortModeCase& c, std::ostream* os) {
    *os << "mode " << c.mode << (c.lanTab ? " LAN" : " serial");
}

class P6PortModeRule : public testing::TestWithParam<PortModeCase> {};

TEST_P(P6PortModeRule, EnablesAndShowsByWorkMode) {
    const auto& c = GetParam();
    PanelP6 p;
    ApplyTabSwitchRule(p, c.lanTab);
    p.cbb_WorkMode0.index = c.mode;
    ApplyPortModeRule(p);
    const auto& s = p.state;
    const auto colour = [](bool on) { return on ? TextColour::WindowText : TextColour::Silver; };
    EXPECT_EQ(s.cbb_ModbusTCP0.enabled, c.modbus);
    EXPECT_EQ(s.lbl_ModbusTCP0.colour, colour(c.modbus));
    EXPECT_EQ(s.cbb_TCPSvrCount0.enabled, c.server);
    EXPECT_EQ(s.cbb_TCPStyle0.enabled, c.server);
    EXPECT_EQ(s.lbl_TCPSvrCount0.colour, colour(c.server));
    EXPECT_EQ(s.lbl_TCPStyle0.colour, colour(c.server));
    EXPECT_EQ(s.edt_RemoteIP0.enabled, c.remoteIp);
    EXPECT_EQ(s.lbl_RemoteIP0.colour, colour(c.remoteIp));
    EXPECT_EQ(s.cbbGetPost.enabled, c.getPost);
    EXPECT_EQ(s.lblGetPost.enabled, c.getPost);
    EXPECT_EQ(s.RzGroupBoxHttpd.visible, c.httpdGroup);
    EXPECT_EQ(s.btnDataDebug.visible, c.dataDebug);
    // The never-shown lists stay hidden whatever the rule enables.
    EXPECT_FALSE(s.cbb_TCPStyle0.visible);
    EXPECT_FALSE(s.cbb_ModbusTCP0.visible);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, P6PortModeRule,
    testing::Values(PortModeCase{-1, true, false, false, true, false, false, true},
                    PortModeCase{0, true, false, false, true, false, false, true},
                    PortModeCase{1, true, true, false, true, false, false, true},
                    PortModeCase{2, true, false, false, true, false, false, true},
                    PortModeCase{3, true, true, true, false, false, false, true},
                    PortModeCase{4, true, false, false, true, true, true, false},
                    // HTTPD client on the serial tab: GET/POST enabled, group still hidden.
                    PortModeCase{4, false, false, false, true, true, false, false}));

TEST(P6TabSwitch, SerialTabHidesTheLanOnlySettings) {
    PanelP6 p;
    ApplyTabSwitchRule(p, false);
    const auto& s = p.state;
    for (const ControlState* c :
         {&s.RzGroupBoxHttpd, &s.RzGroupBoxHeart, &s.rzgrpbxRegHeart, &s.rzchckbxComSetEnable,
          &s.lbl_UARTTime0, &s.edt_UARTTime0, &s.lblUartPackLEN, &s.edtUartPackLEN, &s.rzchbUdpFrom,
          &s.RzGroupBox1, &s.rzgrpbxModbus, &s.btn_P6NetSet}) {
        EXPECT_FALSE(c->visible);
    }
    EXPECT_TRUE(s.btn_P6ComSet.visible);
    EXPECT_FALSE(p.lanTabActive);
}

TEST(P6TabSwitch, ReturningToTheLanTabShowsHttpdAndModbusWhateverTheMode) {
    PanelP6 p;
    p.cbb_WorkMode0.index = 1;
    ApplyPortModeRule(p);
    HideModbusGroups(p);
    ApplyTabSwitchRule(p, false);
    ApplyTabSwitchRule(p, true);
    EXPECT_TRUE(p.state.RzGroupBoxHttpd.visible);
    EXPECT_TRUE(p.state.RzGroupBox1.visible);
    EXPECT_TRUE(p.state.rzgrpbxModbus.visible);
    EXPECT_TRUE(p.state.btn_P6NetSet.visible);
    EXPECT_FALSE(p.state.btn_P6ComSet.visible);
    // Until the work-mode rule runs again, or the next row click hides the Modbus groups.
    ApplyPortModeRule(p);
    EXPECT_FALSE(p.state.RzGroupBoxHttpd.visible);
    HideModbusGroups(p);
    EXPECT_FALSE(p.state.RzGroupBox1.visible);
    EXPECT_FALSE(p.state.rzgrpbxModbus.visible);
}

struct AddressCase {
    int entry;
    bool enabled;
    TextColour colour;
};

void PrintTo(const AddressCase& c, std::ostream* os) {
    *os << "entry " << c.entry;
}

class P6AddressTypeRule : public testing::TestWithParam<AddressCase> {};

TEST_P(P6AddressTypeRule, StaticEnablesDhcpGreysOtherwiseUnchanged) {
    PanelP6 p;
    p.cbb_AddrType.index = 0;
    ApplyAddressTypeRule(p); // greyed first, so "unchanged" is visible below
    p.cbb_AddrType.index = GetParam().entry;
    ApplyAddressTypeRule(p);
    const auto& s = p.state;
    for (const ControlState* c :
         {&s.edt_StaticIP, &s.edt_GatewayIP, &s.edt_SubnetMask, &s.edtDns}) {
        EXPECT_EQ(c->enabled, GetParam().enabled);
    }
    for (const ControlState* c :
         {&s.lbl_StaticIP, &s.lbl_GatewayIP, &s.lbl_SubnetMask, &s.lblDns}) {
        EXPECT_EQ(c->colour, GetParam().colour);
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, P6AddressTypeRule,
                         testing::Values(AddressCase{1, true, TextColour::WindowText},
                                         AddressCase{0, false, TextColour::Silver},
                                         AddressCase{-1, false, TextColour::Silver}));

struct RegistrationRuleCase {
    int entry;
    bool cloud, regType, custom;
};

void PrintTo(const RegistrationRuleCase& c, std::ostream* os) {
    *os << "entry " << c.entry;
}

class P6RegistrationRule : public testing::TestWithParam<RegistrationRuleCase> {};

TEST_P(P6RegistrationRule, ShowsTheFieldsOfTheChosenPacket) {
    const auto& c = GetParam();
    PanelP6 p;
    p.RzComboBox2.index = c.entry;
    ApplyRegistrationRule(p);
    const auto& s = p.state;
    for (const ControlState* x : {&s.lblDid, &s.lblCompass, &s.edtDid, &s.edtCompass}) {
        EXPECT_EQ(x->visible, c.cloud);
    }
    EXPECT_EQ(s.lblRegSnd.visible, c.regType);
    EXPECT_EQ(s.cbbRegType.visible, c.regType);
    for (const ControlState* x : {&s.edtRegDt, &s.lblRegTp, &s.rzchckbxRegDtHex}) {
        EXPECT_EQ(x->visible, c.custom);
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, P6RegistrationRule,
                         testing::Values(RegistrationRuleCase{-1, true, true, true}, // untouched
                                         RegistrationRuleCase{0, false, false, false},
                                         RegistrationRuleCase{1, false, true, false},
                                         RegistrationRuleCase{2, false, true, true},
                                         RegistrationRuleCase{3, true, false, false}));

struct HeartbeatCase {
    int heart;
    int packType;
    bool settings; // type list and period
    bool data;     // custom data edit and its hex box
};

void PrintTo(const HeartbeatCase& c, std::ostream* os) {
    *os << "heartbeat " << c.heart << " type " << c.packType;
}

class P6HeartbeatRule : public testing::TestWithParam<HeartbeatCase> {};

TEST_P(P6HeartbeatRule, ShowsPeriodAndCustomData) {
    const auto& c = GetParam();
    PanelP6 p;
    p.RzComboBox1.index = c.heart;
    p.cbbHeartPackType.index = c.packType;
    ApplyHeartbeatRule(p);
    const auto& s = p.state;
    for (const ControlState* x :
         {&s.lblHeartPackType, &s.cbbHeartPackType, &s.lblHeartTm, &s.edtHeartTm}) {
        EXPECT_EQ(x->visible, c.settings);
    }
    for (const ControlState* x : {&s.lblHeartDt, &s.edtHeartDt, &s.rzchckbxHeartDtHex}) {
        EXPECT_EQ(x->visible, c.data);
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, P6HeartbeatRule,
                         testing::Values(HeartbeatCase{-1, 0, true, true}, // untouched
                                         HeartbeatCase{0, 1, false, false},
                                         HeartbeatCase{1, 0, true, false},
                                         HeartbeatCase{2, 1, true, true},
                                         HeartbeatCase{2, -1, true, true})); // none is not 0

TEST(P6HeartbeatTypeRule, CustomTypeShowsTheDataWhateverTheHeartbeatList) {
    PanelP6 p;
    p.RzComboBox1.index = 0;
    ApplyHeartbeatRule(p);
    p.cbbHeartPackType.index = 1;
    ApplyHeartbeatTypeRule(p);
    EXPECT_TRUE(p.state.edtHeartDt.visible);
    EXPECT_FALSE(p.state.edtHeartTm.visible);
    p.cbbHeartPackType.index = 0;
    ApplyHeartbeatTypeRule(p);
    EXPECT_FALSE(p.state.rzchckbxHeartDtHex.visible);
    p.cbbHeartPackType.index = -1;
    p.state.edtHeartDt.visible = true;
    ApplyHeartbeatTypeRule(p);
    EXPECT_TRUE(p.state.edtHeartDt.visible);
}

struct ModbusRuleCase {
    int type;
    bool report, polling;
};

void PrintTo(const ModbusRuleCase& c, std::ostream* os) {
    *os << "type " << c.type;
}

class P6ModbusRule : public testing::TestWithParam<ModbusRuleCase> {};

TEST_P(P6ModbusRule, ShowsTheSettingsOfTheChosenType) {
    const auto& c = GetParam();
    PanelP6 p;
    p.cbbModbusType.index = c.type;
    ApplyModbusRule(p);
    const auto& s = p.state;
    EXPECT_EQ(s.lblReportProto.visible, c.report);
    EXPECT_EQ(s.cbbReporproto.visible, c.report);
    for (const ControlState* x :
         {&s.lblModbusTimeout, &s.edtModbusTimeout, &s.lblModbusInterval, &s.edtModbusInterval,
          &s.lblModbusException, &s.cbbModbusException}) {
        EXPECT_EQ(x->visible, c.polling);
    }
}

INSTANTIATE_TEST_SUITE_P(Types, P6ModbusRule,
                         testing::Values(ModbusRuleCase{-1, true, true}, // untouched
                                         ModbusRuleCase{0, false, false},
                                         ModbusRuleCase{1, false, true},
                                         ModbusRuleCase{2, true, true}));

struct HexCase {
    std::string_view before;
    bool boxNowOn;
    std::string_view after;
};

void PrintTo(const HexCase& c, std::ostream* os) {
    *os << testing::PrintToString(std::string(c.before)) << (c.boxNowOn ? " box on" : " box off");
}

class P6HexToggle : public testing::TestWithParam<std::tuple<HexBox, HexCase>> {};

TEST_P(P6HexToggle, ConvertsTheEditOfItsBox) {
    const auto [box, c] = GetParam();
    PanelP6 p;
    const bool heart = box == HexBox::Heart;
    std::string& edit = heart ? p.edtHeartDt : p.edtRegDt;
    const std::string& other = heart ? p.edtRegDt : p.edtHeartDt;
    (heart ? p.rzchckbxHeartDtHex : p.rzchckbxRegDtHex) = c.boxNowOn;
    (heart ? p.edtRegDt : p.edtHeartDt) = "AB";
    edit = std::string(c.before);
    ApplyHexToggle(p, box);
    EXPECT_EQ(edit, c.after);
    EXPECT_EQ(other, "AB");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, P6HexToggle,
    testing::Combine(testing::Values(HexBox::Heart, HexBox::Reg),
                     testing::Values(HexCase{"AB", true, "4142"}, HexCase{"4142", false, "AB"},
                                     HexCase{"4G", false, "4G"}, HexCase{"414", false, "A"},
                                     HexCase{"", true, ""}, HexCase{"\xB0\n", true, "B00A"},
                                     HexCase{"b00a", false, "\xB0\n"})));

} // namespace
} // namespace r2
