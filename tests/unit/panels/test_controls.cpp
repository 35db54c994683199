// Listing and setting panel controls by name, as r2ctl does.
#include "protocol/panel_p5.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p7.h"

#include <gtest/gtest.h>
#include <ostream>
#include <set>
#include <variant>

namespace r2 {
namespace {

template <class Panel> struct PanelApi;

template <> struct PanelApi<PanelP5> {
    static auto Table() { return ControlTableP5(); }
    static auto Values(const PanelP5& p) { return ControlValuesP5(p); }
    static auto States(const PanelP5& p) { return ControlStatesP5(p); }
    static auto Bindings(PanelP5& p) { return ControlBindingsP5(p); }
};
template <> struct PanelApi<PanelP6> {
    static auto Table() { return ControlTableP6(); }
    static auto Values(const PanelP6& p) { return ControlValuesP6(p); }
    static auto States(const PanelP6& p) { return ControlStatesP6(p); }
    static auto Bindings(PanelP6& p) { return ControlBindingsP6(p); }
};
template <> struct PanelApi<PanelP7> {
    static auto Table() { return ControlTableP7(); }
    static auto Values(const PanelP7& p) { return ControlValuesP7(p); }
    static auto States(const PanelP7& p) { return ControlStatesP7(p); }
    static auto Bindings(PanelP7& p) { return ControlBindingsP7(p); }
};

template <class Panel> class ControlTable : public testing::Test {};
using Panels = testing::Types<PanelP5, PanelP6, PanelP7>;
TYPED_TEST_SUITE(ControlTable, Panels);

// The window writes through a binding and reads the control's value by name: both must reach the
// same member, for every control of the table.
TYPED_TEST(ControlTable, BindingsReachTheMemberTheTableNames) {
    using Api = PanelApi<TypeParam>;
    TypeParam panel;
    const auto bindings = Api::Bindings(panel);
    const auto table = Api::Table();
    ASSERT_EQ(bindings.size(), table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(bindings[i].name, table[i].name);
        struct Poke {
            void operator()(std::string* text) const { *text = "poked"; }
            void operator()(ComboBox* list) const { list->Select((list->index + 1) % list->count); }
            void operator()(BaudRateList* list) const { list->SelectText("12345"); }
            void operator()(bool* box) const { *box = !*box; }
        };
        const auto before = Api::Values(panel)[i].value;
        std::visit(Poke{}, bindings[i].value);
        EXPECT_NE(Api::Values(panel)[i].value, before) << bindings[i].name;
    }
}

TYPED_TEST(ControlTable, NamesAreUniqueAndValuesFollowTheTable) {
    using Api = PanelApi<TypeParam>;
    const auto table = Api::Table();
    const auto values = Api::Values(TypeParam{});
    ASSERT_EQ(values.size(), table.size());
    std::set<std::string_view> names;
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_TRUE(names.insert(table[i].name).second) << table[i].name;
        EXPECT_EQ(values[i].name, table[i].name);
        EXPECT_FALSE(table[i].meaning.empty()) << table[i].name;
    }
    std::set<std::string_view> stateNames;
    for (const auto& s : Api::States(TypeParam{})) {
        EXPECT_TRUE(stateNames.insert(s.name).second) << s.name;
    }
}

// Every printed value is accepted back and leaves the panel as it was. This catches a list
// whose entry names do not match its entry count, and values printed in a form SetControl
// would read differently.
TYPED_TEST(ControlTable, PrintedValuesSetBackUnchanged) {
    using Api = PanelApi<TypeParam>;
    TypeParam p;
    const TypeParam before = p;
    for (const auto& v : Api::Values(p)) {
        std::string error;
        EXPECT_TRUE(SetControl(p, v.name, v.value, error)) << v.name << ": " << error;
    }
    // Setting lists runs their rules, which may change states; the values must not move.
    EXPECT_EQ(Api::Values(p).size(), Api::Values(before).size());
    const auto after = Api::Values(p);
    const auto original = Api::Values(before);
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].value, original[i].value) << after[i].name;
    }
}

TYPED_TEST(ControlTable, EveryListEntryNameSelectsItsOwnEntry) {
    using Api = PanelApi<TypeParam>;
    for (const auto& info : Api::Table()) {
        if (info.kind != ControlKind::List) {
            continue;
        }
        std::size_t start = 0;
        for (int entry = 0; start <= info.accepted.size(); ++entry) {
            const auto bar = std::min(info.accepted.find('|', start), info.accepted.size());
            const std::string name(info.accepted.substr(start, bar - start));
            TypeParam p;
            std::string error;
            ASSERT_TRUE(SetControl(p, info.name, name, error)) << info.name << ": " << error;
            bool found = false;
            for (const auto& v : Api::Values(p)) {
                if (v.name == info.name) {
                    EXPECT_EQ(v.value, name) << info.name << " entry " << entry;
                    found = true;
                }
            }
            EXPECT_TRUE(found);
            start = bar + 1;
        }
    }
}

struct SetCase {
    std::string_view name;
    std::string_view value;
    bool accepted;
    std::string_view shownAfter; // the control's printed value afterwards
};

void PrintTo(const SetCase& c, std::ostream* os) {
    *os << c.name << "=" << c.value;
}

class SetControlP6 : public testing::TestWithParam<SetCase> {};

TEST_P(SetControlP6, AcceptsWhatTheControlHolds) {
    const auto& c = GetParam();
    PanelP6 p;
    std::string error;
    EXPECT_EQ(SetControl(p, c.name, c.value, error), c.accepted) << c.name << "=" << c.value;
    EXPECT_EQ(error.empty(), c.accepted) << error;
    for (const auto& v : ControlValuesP6(p)) {
        if (v.name == c.name) {
            EXPECT_EQ(v.value, c.shownAfter);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, SetControlP6,
    testing::Values(
        SetCase{"edt_StaticIP", "10.0.0.254", true, "10.0.0.254"},
        SetCase{"cbb_S0", "1", true, "1"}, // the entry "1", not entry 1
        SetCase{"cbb_S0", "2", true, "2"}, SetCase{"cbb_S0", "3", false, "1"},
        SetCase{"cbb_TCPSvrCount0", "16", true, "16"},
        SetCase{"cbb_TCPSvrCount0", "0", true, "1"}, // index when no name matches
        SetCase{"cbb_TCPSvrCount0", "-1", true, "-1"},
        SetCase{"cbb_WorkMode0", "tcp server", true, "TCP Server"},
        SetCase{"cbb_WorkMode0", "5", false, "-1"}, SetCase{"cbb_WorkMode0", "TCP", false, "-1"},
        SetCase{"cbb_BaudRate0", "57601", true, "57601"},
        SetCase{"cbb_BaudRate0", "$10", true, "16"},
        SetCase{"cbb_BaudRate0", "fast", false, "115200"}, SetCase{"RzCheckBox1", "on", true, "1"},
        SetCase{"rzchckbx_RFC2217", "false", true, "0"},
        SetCase{"RzCheckBox1", "maybe", false, "0"}, SetCase{"edt_Nothing", "1", false, ""}));

TEST(SetControlP6, ListChangeRunsItsRule) {
    PanelP6 p;
    std::string error;
    ASSERT_TRUE(SetControl(p, "cbb_WorkMode0", "HTTPD Client", error));
    EXPECT_TRUE(p.state.RzGroupBoxHttpd.visible);
    EXPECT_FALSE(p.state.btnDataDebug.visible);
    ASSERT_TRUE(SetControl(p, "cbb_AddrType", "DHCP", error));
    EXPECT_FALSE(p.state.edt_StaticIP.enabled);
    ASSERT_TRUE(SetControl(p, "RzComboBox2", "Cloud", error));
    EXPECT_FALSE(p.state.cbbRegType.visible);
    ASSERT_TRUE(SetControl(p, "cbbModbusType", "Off", error));
    EXPECT_FALSE(p.state.edtModbusTimeout.visible);
}

TEST(SetControlP6, HexBoxConvertsOnlyWhenItFlips) {
    PanelP6 p;
    std::string error;
    ASSERT_TRUE(SetControl(p, "edtHeartDt", "AB", error));
    ASSERT_TRUE(SetControl(p, "rzchckbxHeartDtHex", "0", error)); // already off
    EXPECT_EQ(p.edtHeartDt, "AB");
    ASSERT_TRUE(SetControl(p, "rzchckbxHeartDtHex", "1", error));
    EXPECT_EQ(p.edtHeartDt, "4142");
    ASSERT_TRUE(SetControl(p, "rzchckbxHeartDtHex", "1", error));
    EXPECT_EQ(p.edtHeartDt, "4142");
    ASSERT_TRUE(SetControl(p, "rzchckbxRegDtHex", "1", error));
    EXPECT_EQ(p.edtHeartDt, "4142");
    ASSERT_TRUE(SetControl(p, "rzchckbxHeartDtHex", "off", error));
    EXPECT_EQ(p.edtHeartDt, "AB");
}

TEST(SetControlP5, WorkModeRunsTheP5Rule) {
    PanelP5 p;
    std::string error;
    ASSERT_TRUE(SetControl(p, "cbb_ModuleWork", "UDP Server", error));
    EXPECT_FALSE(p.state.edt_DeIP.enabled);
    ASSERT_TRUE(SetControl(p, "cbb_ModuleWork", "TCP Client", error));
    EXPECT_TRUE(p.state.lbl_DePort.enabled);
    EXPECT_FALSE(SetControl(p, "cbb_WorkMode0", "TCP Client", error)); // a P6 control
    EXPECT_NE(error.find("cbb_WorkMode0"), std::string::npos);
}

TEST(SetControlP7, WorkModeAndAddressRunTheP7Rules) {
    PanelP7 p;
    std::string error;
    ASSERT_TRUE(SetControl(p, "cbb_WorkMode0P7", "TCP Server", error));
    EXPECT_FALSE(p.state.edt_RemoteIP0P7.enabled);
    ASSERT_TRUE(SetControl(p, "cbb_AddrTypeP7", "0", error));
    EXPECT_FALSE(p.state.edt_SubnetMaskP7.enabled);
}

TEST(ControlStates, ReportTheRuleStateByName) {
    PanelP6 p;
    p.cbb_WorkMode0.index = 3;
    ApplyPortModeRule(p);
    bool seen = false;
    for (const auto& s : ControlStatesP6(p)) {
        if (s.name == "edt_RemoteIP0") {
            EXPECT_FALSE(s.state.enabled);
            seen = true;
        }
    }
    EXPECT_TRUE(seen);
}

} // namespace
} // namespace r2
