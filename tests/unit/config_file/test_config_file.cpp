// The module configuration file: what it writes, that it reads back the very bytes of every
// control, and that each fault of a file is refused with the file, the control and the value.
#include "protocol/config/config_file.h"
#include "protocol/panel_p5.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p7.h"

#include <chrono>
#include <gtest/gtest.h>

namespace r2::config {
namespace {

// A P6 panel as a module might hold it: GBK text, bytes that are no GBK text, hex data.
PanelP6 HeldP6() {
    PanelP6 p;
    p.edt_ModName = "\xB3\xB5\xBC\xE4\x31";         // "车间1" in GBK
    p.LabeledEdit2 = std::string("\xFF\xFE\0x", 4); // not GBK: goes as hex
    p.edtHeartDt = "A1B2";
    p.rzchckbxHeartDtHex = true;
    p.edt_StaticIP = "10.0.0.5";
    p.cbb_WorkMode0.Select(3);
    p.cbb_S0.Select(1);
    p.cbb_BaudRate0.SelectText("921600");
    p.RzComboBox1.Select(-1);
    p.RzCheckBox3 = true;
    return p;
}

ModuleConfig ConfigOf(Model model, std::vector<ControlValue> values) {
    return {model, 4017, "02 52 32 06 00 01", "2026-12-10T07:54:24Z", std::move(values)};
}

std::string P6Text() {
    return WriteModuleConfig(ConfigOf(Model::P6, ControlValuesP6(HeldP6())));
}

TEST(ConfigFile, WritesTheValueFormsOfReadJson) {
    const std::string text = P6Text();
    for (const char* line :
         {"\"format\": \"r2config-module\",", "\"version\": 1,", "\"model\": \"P6\",",
          "\"firmware\": 4017,", "\"mac\": \"02 52 32 06 00 01\",",
          "\"time\": \"2026-12-10T07:54:24Z\",", "\"cbb_AddrType\": 1,",
          "\"edt_ModName\": \"\xE8\xBD\xA6\xE9\x97\xB4\x31\",", "\"cbb_WorkMode0\": 3,",
          "\"cbb_S0\": 1,", "\"cbb_BaudRate0\": \"921600\",", "\"RzComboBox1\": -1,",
          "\"RzCheckBox3\": true", "\"rzchckbx_Index\": false,",
          "\"LabeledEdit2\": {\"hex\": \"FFFE0078\"},"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
    EXPECT_EQ(text.back(), '\n');
}

TEST(ConfigFile, ReadsBackEveryControlOfEveryModelByteForByte) {
    const std::vector<ModuleConfig> configs = {
        ConfigOf(Model::P6, ControlValuesP6(HeldP6())),
        ConfigOf(Model::P6, ControlValuesP6(PanelP6{})),
        ConfigOf(Model::P7, ControlValuesP7(PanelP7{})),
        ConfigOf(Model::P5, ControlValuesP5(PanelP5{})),
        ConfigOf(Model::P6, {}),
    };
    for (const ModuleConfig& config : configs) {
        const ReadResult read = ReadModuleConfig(WriteModuleConfig(config), "m.json");
        ASSERT_TRUE(read.config) << read.error;
        EXPECT_EQ(*read.config, config) << WriteModuleConfig(config);
    }
}

TEST(ConfigFile, RefusesEachFaultNamingFileControlAndValue) {
    const std::string good = P6Text();
    const auto with = [&good](std::string_view from, std::string_view to) {
        std::string text = good;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> said;
    } cases[] = {
        {"not JSON", "{\"format\": ", {"cfg.json: is not valid JSON", "line 1"}},
        {"not an object", "[]", {"cfg.json: is not a JSON object"}},
        {"other format",
         with("r2config-module", "r2sim-config"),
         {"cfg.json: is not a module configuration", "r2sim-config"}},
        {"newer version",
         with("\"version\": 1", "\"version\": 2"),
         {"cfg.json: is of format version 2, newer"}},
        {"version zero", with("\"version\": 1", "\"version\": 0"), {"\"version\"", " 0"}},
        {"version as text",
         with("\"version\": 1", "\"version\": \"1\""),
         {"\"version\" must be a number, not a string"}},
        {"unknown model", with("\"P6\"", "\"P9\""), {"\"model\"", "\"P9\""}},
        {"firmware negative", with("4017", "-1"), {"\"firmware\"", "-1"}},
        {"mac short", with("02 52 32 06 00 01", "02 52 32"), {"\"mac\"", "02 52 32"}},
        {"no panel", with("\"panel\"", "\"panels\""), {"unknown key \"panels\""}},
        {"unknown control",
         with("\"edtDns\"", "\"edtDNS\""),
         {"cfg.json: control \"edtDNS\" is not on the P6 panel"}},
        {"control of another model",
         with("\"edtDns\"", "\"edt_StaticIPP7\""),
         {"\"edt_StaticIPP7\" is not on the P6 panel"}},
        {"list index too high",
         with("\"cbb_S0\": 1", "\"cbb_S0\": 2"),
         {"control \"cbb_S0\" (list)", "from -1 to 1", "not 2"}},
        {"list as name",
         with("\"cbb_S0\": 1", "\"cbb_S0\": \"2\""),
         {"control \"cbb_S0\" (list)", "not \"2\""}},
        {"list fraction", with("\"cbb_S0\": 1", "\"cbb_S0\": 1.0"), {"cbb_S0", "not 1.0"}},
        {"box as number",
         with("\"RzCheckBox3\": true", "\"RzCheckBox3\": 1"),
         {"control \"RzCheckBox3\" (check-box) takes true or false, not 1"}},
        {"edit as number",
         with("\"edt_StaticIP\": \"10.0.0.5\"", "\"edt_StaticIP\": 10"),
         {"control \"edt_StaticIP\" (edit) takes a string", "not 10"}},
        {"edit not GBK",
         with("\"edt_StaticIP\": \"10.0.0.5\"", "\"edt_StaticIP\": \"\xF0\x9F\x98\x80\""),
         {"control \"edt_StaticIP\"", "cannot store (GBK)"}},
        {"hex odd", with("\"FFFE0078\"", "\"FFFE007\""), {"control \"LabeledEdit2\"", "FFFE007"}},
        {"hex not hex", with("\"FFFE0078\"", "\"FFFE00GG\""), {"LabeledEdit2"}},
        {"baud as number",
         with("\"cbb_BaudRate0\": \"921600\"", "\"cbb_BaudRate0\": 921600"),
         {"control \"cbb_BaudRate0\" (baud-list)", "not 921600"}},
        {"baud not a rate",
         with("\"cbb_BaudRate0\": \"921600\"", "\"cbb_BaudRate0\": \"fast\""),
         {"control \"cbb_BaudRate0\"", "\"fast\" is not accepted"}},
        {"control twice",
         with("\"edtDns\"", "\"edt_StaticIP\""),
         {"\"edt_StaticIP\" is given twice"}},
    };
    for (const auto& c : cases) {
        const ReadResult read = ReadModuleConfig(c.text, "cfg.json");
        EXPECT_FALSE(read.config) << c.name;
        EXPECT_EQ(read.error.rfind("cfg.json: ", 0), 0u) << c.name << ": " << read.error;
        for (const std::string& part : c.said) {
            EXPECT_NE(read.error.find(part), std::string::npos)
                << c.name << ": \"" << part << "\" not in: " << read.error;
        }
    }
}

TEST(ConfigFile, ModelMustMatchTheTarget) {
    const ModuleConfig p7 = ConfigOf(Model::P7, {});
    EXPECT_EQ(CheckTargetModel(p7, Model::P7, "a.json"), "");
    const std::string refused = CheckTargetModel(p7, Model::P6, "a.json");
    EXPECT_NE(refused.find("a.json: holds a P7 configuration; the target is a P6 module"),
              std::string::npos)
        << refused;
    EXPECT_EQ(ModelFromFlag(2), Model::P6);
    EXPECT_EQ(ModelFromFlag(36), Model::P7);
    EXPECT_FALSE(ModelFromFlag(35)); // a P5 is not found on the LAN
}

TEST(ConfigFile, TimeIsIsoUtc) {
    using namespace std::chrono;
    const sys_seconds when = sys_days{year{2026} / 12 / 10} + hours{7} + minutes{54} + seconds{24};
    EXPECT_EQ(UtcTimeText(when), "2026-12-10T07:54:24Z");
}

} // namespace
} // namespace r2::config
