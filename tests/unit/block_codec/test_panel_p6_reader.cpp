// PanelP6Reader: which base and port reply fills the panel and sets the filled state a save
// over the read depends on; what each reply reports as changed; what a new read resets.

#include "block_fixtures.h"
#include "protocol/panel_p6_reader.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace r2 {
namespace {

using test::ModuleBaseParam;

constexpr const char* ModuleMac = "D8 B0 4C 00 00 01"; // the fixture's base block

TarrComParam OnePort() {
    TPortParam port;
    port.LocalPort = 8234;
    return TarrComParam{port};
}

TEST(PanelP6Reader, WhichBaseReplyFillsThePanel) {
    struct Case {
        const char* what;
        std::optional<std::string> module; // the MAC named by ReadModule
        int devFlag;
        bool fromSerial;
        BaseFillResult result;
    };
    const Case cases[] = {
        {"the module read", ModuleMac, DevFlagP6, false, BaseFillResult::FilledP6},
        {"the module read, MAC written without spaces", "D8B04C000001", DevFlagP6, false,
         BaseFillResult::FilledP6},
        {"another module", "D8 B0 4C 00 00 02", DevFlagP6, false, BaseFillResult::Dropped},
        {"no module named", std::nullopt, DevFlagP6, false, BaseFillResult::Dropped},
        {"the module read, a P7", ModuleMac, DevFlagP7, false, BaseFillResult::NotP6},
        {"a serial reply, no module named", std::nullopt, DevFlagP6, true,
         BaseFillResult::FilledP6},
        {"a serial reply, another module named", "D8 B0 4C 00 00 02", DevFlagP6, true,
         BaseFillResult::FilledP6},
    };
    for (const Case& c : cases) {
        PanelP6 panel;
        PanelP6Reader reader(panel);
        reader.ReadModule(c.module, c.devFlag);
        const PanelP6 before = panel;
        reader.OnBaseParams(ModuleBaseParam(), OnePort(), c.devFlag, c.fromSerial);
        const bool filled = c.result == BaseFillResult::FilledP6;
        EXPECT_EQ(reader.LastBaseResult(), c.result) << c.what;
        EXPECT_EQ(reader.Filled(), filled) << c.what;
        EXPECT_EQ(reader.LastReplyChanged(), filled) << c.what;
        if (filled) {
            EXPECT_EQ(panel.edt_StaticIP, "192.168.0.7") << c.what;
            EXPECT_EQ(panel.edt_LocalPort0, "8234") << c.what;
        } else {
            EXPECT_EQ(panel, before) << c.what;
        }
    }
}

TEST(PanelP6Reader, FilledLastsUntilTheNextReadBegins) {
    PanelP6 panel;
    PanelP6Reader reader(panel);
    reader.ReadModule(ModuleMac, DevFlagP6);
    reader.OnBaseParams(ModuleBaseParam(), OnePort(), DevFlagP6, false);
    TBaseParam other = ModuleBaseParam();
    other.UserMAC = "D8 B0 4C 00 00 02";
    reader.OnBaseParams(other, OnePort(), DevFlagP6, false);
    EXPECT_EQ(reader.LastBaseResult(), BaseFillResult::Dropped);
    EXPECT_TRUE(reader.Filled()) << "a later reply of another module does not undo the fill";

    reader.ReadModule("D8 B0 4C 00 00 02", DevFlagP6);
    EXPECT_FALSE(reader.Filled());
    reader.OnBaseParams(other, OnePort(), DevFlagP6, false);
    EXPECT_TRUE(reader.Filled());
}

TEST(PanelP6Reader, SetModuleRenamesTheModuleWithoutStartingARead) {
    PanelP6 panel;
    PanelP6Reader reader(panel);
    reader.ReadModule(ModuleMac, DevFlagP6);
    reader.OnBaseParams(ModuleBaseParam(), OnePort(), DevFlagP6, false);
    reader.SetModule(std::nullopt);
    reader.OnBaseParams(ModuleBaseParam(), OnePort(), DevFlagP6, false);
    EXPECT_EQ(reader.LastBaseResult(), BaseFillResult::Dropped);
    EXPECT_TRUE(reader.Filled());
}

TEST(PanelP6Reader, AReadOfAP6HidesTheModbusGroupsUntilTheModuleSendsThem) {
    for (const int devFlag : {DevFlagP6, DevFlagP7}) {
        PanelP6 panel;
        panel.state.rzgrpbxModbus.visible = true;
        panel.state.RzGroupBox1.visible = true;
        PanelP6Reader reader(panel);
        reader.ReadModule(ModuleMac, devFlag);
        const bool shown = devFlag != DevFlagP6;
        EXPECT_EQ(panel.state.rzgrpbxModbus.visible, shown) << devFlag;
        EXPECT_EQ(panel.state.RzGroupBox1.visible, shown) << devFlag;
    }
    PanelP6 panel;
    PanelP6Reader reader(panel);
    reader.ReadModule(ModuleMac, DevFlagP6);
    reader.OnModbusParam(TModbusParam{1, 0, ""}, static_cast<int>(ModbusShortLen));
    reader.OnModbusPack(TModbusPackParam{1, 1, 0, "200", "10"},
                        static_cast<int>(ModbusPackBlockLen));
    EXPECT_TRUE(panel.state.rzgrpbxModbus.visible);
    EXPECT_TRUE(panel.state.RzGroupBox1.visible);
    EXPECT_TRUE(panel.rzchckbxmodbustcp);
}

// The window shows the panel again only after a reply that changed it.
TEST(PanelP6Reader, WhichOtherRepliesChangeThePanel) {
    const Bytes heartReg(HeartRegBlockLen, 0x01);
    struct Case {
        const char* what;
        void (*deliver)(PanelP6Reader&, const Bytes&);
        bool changed;
    };
    const Case cases[] = {
        {"one cloud record",
         [](PanelP6Reader& r, const Bytes&) {
             r.OnCloudParams(TarrCloudParam{{"ABCDEFGHIJ0123456789", "87654321"}}, false,
                             DevFlagP6);
         },
         true},
        {"two cloud records",
         [](PanelP6Reader& r, const Bytes&) {
             r.OnCloudParams(TarrCloudParam{{"A", "B"}, {"C", "D"}}, false, DevFlagP6);
         },
         false},
        {"a heartbeat block of a P6",
         [](PanelP6Reader& r, const Bytes& b) { r.OnHeartReg(b, false, DevFlagP6); }, true},
        {"a heartbeat block of a P7",
         [](PanelP6Reader& r, const Bytes& b) { r.OnHeartReg(b, false, DevFlagP7); }, false},
        {"a heartbeat block cut short",
         [](PanelP6Reader& r, const Bytes& b) {
             r.OnHeartReg(ByteView(b).first(HeartRegBlockLen - 1), false, DevFlagP6);
         },
         false},
        {"the HTTPD texts", [](PanelP6Reader& r, const Bytes&) { r.OnHttpd("/api", "H:"); }, true},
    };
    for (const Case& c : cases) {
        PanelP6 panel;
        PanelP6Reader reader(panel);
        const PanelP6 before = panel;
        c.deliver(reader, heartReg);
        EXPECT_EQ(reader.LastReplyChanged(), c.changed) << c.what;
        EXPECT_EQ(panel != before, c.changed) << c.what;
        EXPECT_FALSE(reader.Filled()) << c.what;
    }
}

} // namespace
} // namespace r2
