// P5 and P7 panel rules, and the custom baud-rate entry shared by all baud lists.
#include "protocol/panel_p5.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p7.h"

#include <gtest/gtest.h>
#include <ostream>

namespace r2 {
namespace {

struct P5WorkModeCase {
    int mode;
    bool enabled;
};

void PrintTo(const P5WorkModeCase& c, std::ostream* os) {
    *os << "mode " << c.mode;
}

class P5WorkModeRule : public testing::TestWithParam<P5WorkModeCase> {};

TEST_P(P5WorkModeRule, ServersGreyTheTarget) {
    PanelP5 p;
    p.cbb_ModuleWork.index = 2;
    ApplyP5WorkModeRule(p);
    p.cbb_ModuleWork.index = GetParam().mode;
    ApplyP5WorkModeRule(p);
    const auto& s = p.state;
    for (const ControlState* c : {&s.edt_DeIP, &s.edt_DePort, &s.lbl_DeIP, &s.lbl_DePort}) {
        EXPECT_EQ(c->enabled, GetParam().enabled);
        EXPECT_EQ(c->colour, TextColour::WindowText); // labels keep their colour
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, P5WorkModeRule,
                         testing::Values(P5WorkModeCase{-1, true}, P5WorkModeCase{0, true},
                                         P5WorkModeCase{1, true}, P5WorkModeCase{2, false},
                                         P5WorkModeCase{3, false}));

TEST(P5Panel, DesignStateAndTabButtons) {
    PanelP5 p;
    EXPECT_EQ(p.edt_ModulePort, "201108"); // longer than the five characters one may type
    EXPECT_EQ(p.cbb_BaudRate.ShownText(), "115200");
    EXPECT_EQ(p.cbb_BaudRate.index, 12);
    EXPECT_TRUE(p.state.btn_P5Set.visible);
    EXPECT_FALSE(p.state.btn_ComSet.visible);
    ApplyTabSwitchRule(p, false);
    EXPECT_FALSE(p.state.btn_P5Set.visible);
    EXPECT_TRUE(p.state.btn_ComSet.visible);
}

struct P7WorkModeCase {
    int mode;
    bool modbus, server, remoteIp;
};

void PrintTo(const P7WorkModeCase& c, std::ostream* os) {
    *os << "mode " << c.mode;
}

class P7WorkModeRule : public testing::TestWithParam<P7WorkModeCase> {};

TEST_P(P7WorkModeRule, EnablesByWorkMode) {
    const auto& c = GetParam();
    PanelP7 p;
    p.cbb_WorkMode0P7.index = c.mode;
    ApplyPortModeRule(p);
    const auto& s = p.state;
    const auto colour = [](bool on) { return on ? TextColour::WindowText : TextColour::Silver; };
    EXPECT_EQ(s.cbb_ModbusTCP0P7.enabled, c.modbus);
    EXPECT_EQ(s.lbl_ModbusTCP0P7.colour, colour(c.modbus));
    EXPECT_EQ(s.cbb_TCPSvrCount0P7.enabled, c.server);
    EXPECT_EQ(s.cbb_TCPStyle0P7.enabled, c.server);
    EXPECT_EQ(s.lbl_TCPSvrCount0P7.colour, colour(c.server));
    EXPECT_EQ(s.lbl_TCPStyle0P7.colour, colour(c.server));
    EXPECT_EQ(s.edt_RemoteIP0P7.enabled, c.remoteIp);
    EXPECT_EQ(s.lbl_RemoteIP0P7.colour, colour(c.remoteIp));
}

INSTANTIATE_TEST_SUITE_P(Modes, P7WorkModeRule,
                         testing::Values(P7WorkModeCase{-1, false, false, true},
                                         P7WorkModeCase{0, false, false, true},
                                         P7WorkModeCase{1, true, false, true},
                                         P7WorkModeCase{3, true, true, false},
                                         P7WorkModeCase{4, false, false, true}));

TEST(P7AddressTypeRule, DhcpGreysTheP7FieldsOnly) {
    PanelP7 p7;
    PanelP6 p6;
    p7.cbb_AddrTypeP7.index = 0;
    ApplyAddressTypeRule(p7);
    const auto& s = p7.state;
    for (const ControlState* c : {&s.edt_StaticIPP7, &s.edt_SubnetMaskP7, &s.edt_GatewayIPP7}) {
        EXPECT_FALSE(c->enabled);
    }
    for (const ControlState* c : {&s.lbl_StaticIPP7, &s.lbl_SubnetMaskP7, &s.lbl_GatewayIPP7}) {
        EXPECT_EQ(c->colour, TextColour::Silver);
    }
    EXPECT_EQ(p6.state, PanelP6State{});
    p7.cbb_AddrTypeP7.index = -1;
    ApplyAddressTypeRule(p7);
    EXPECT_FALSE(s.edt_StaticIPP7.enabled);
    p7.cbb_AddrTypeP7.index = 1;
    ApplyAddressTypeRule(p7);
    EXPECT_TRUE(s.edt_GatewayIPP7.enabled);
    EXPECT_EQ(s.lbl_GatewayIPP7.colour, TextColour::WindowText);
}

TEST(P7Panel, DesignState) {
    PanelP7 p;
    EXPECT_EQ(p.cbb_BaudRate0P7.ShownText(), "115200");
    EXPECT_EQ(p.cbb_WorkMode0P7.index, 1);
    EXPECT_EQ(p.cbb_TCPSvrCount0P7.index, 7);
    EXPECT_TRUE(p.chk_RFC22170P7);
    EXPECT_FALSE(p.state.cbb_TCPStyle0P7.visible);
    p.cbb_BaudRate0P7.index = p.cbb_BaudRate0P7.Count() - 1;
    EXPECT_EQ(p.cbb_BaudRate0P7.ShownText(), "1024000");
}

// ---- Custom baud-rate entry ---------------------------------------------------------------

struct CustomBaudCase {
    std::string_view answer;
    int index;
    std::string_view shown;
};

void PrintTo(const CustomBaudCase& c, std::ostream* os) {
    *os << "answer \"" << c.answer << "\"";
}

class CustomBaudEntry : public testing::TestWithParam<CustomBaudCase> {};

TEST_P(CustomBaudEntry, NumberGoesToEntryZeroOtherwise9600) {
    PanelP6 p;
    p.cbb_BaudRate0.index = 1; // the user picked "Custom"
    ApplyCustomBaudEntry(p.cbb_BaudRate0, GetParam().answer);
    EXPECT_EQ(p.cbb_BaudRate0.index, GetParam().index);
    EXPECT_EQ(p.cbb_BaudRate0.ShownText(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CustomBaudEntry,
    testing::Values(CustomBaudCase{"57601", 0, "57601"}, CustomBaudCase{"abc", 6, "9600"},
                    CustomBaudCase{"-5", 0, "-5"}, CustomBaudCase{"+7", 0, "7"},
                    CustomBaudCase{"0012", 0, "12"}, CustomBaudCase{"$1F", 0, "31"},
                    CustomBaudCase{"$FFFFFFFF", 0, "-1"}, CustomBaudCase{"-$10", 0, "-16"},
                    CustomBaudCase{"$123456789", 6, "9600"},
                    CustomBaudCase{"2147483647", 0, "2147483647"},
                    CustomBaudCase{"2147483648", 6, "9600"},
                    CustomBaudCase{"-2147483648", 0, "-2147483648"}, CustomBaudCase{"", 6, "9600"},
                    CustomBaudCase{"$", 6, "9600"}, CustomBaudCase{"12 ", 6, "9600"},
                    CustomBaudCase{"1e3", 6, "9600"}));

TEST(CustomBaudEntry, CancelKeepsEntryZero) {
    BaudRateList list = PanelP5{}.cbb_BaudRate;
    list.entry0 = "31250";
    list.index = 1;
    ApplyCustomBaudEntry(list, list.entry0);
    EXPECT_EQ(list.index, 0);
    EXPECT_EQ(list.ShownText(), "31250");
}

TEST(BaudRateList, ShownTextOfEveryKindOfEntry) {
    BaudRateList list = PanelP5{}.cbb_BaudRate;
    list.index = 1;
    EXPECT_EQ(list.ShownText(), BaudCustomPrompt);
    list.index = 2;
    EXPECT_EQ(list.ShownText(), "300");
    list.index = -1;
    EXPECT_EQ(list.ShownText(), "");
    list.index = list.Count();
    EXPECT_EQ(list.ShownText(), "");
}

} // namespace
} // namespace r2
