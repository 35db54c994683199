#include "tools/r2sim/sim_options.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace r2::sim {
namespace {

std::string WriteTemp(const std::string& name, const std::string& text) {
    const auto path =
        std::filesystem::temp_directory_path() / ("r2sim-" + std::to_string(getpid()) + "-" + name);
    std::ofstream(path) << text;
    return path.string();
}

TEST(SimOptionsTest, CountsGiveNumberedModulesWithDefaults) {
    const ParseResult r = ParseArguments({"--p6", "2", "--p7", "1", "--old", "1"});
    ASSERT_EQ(r.error, "");
    const auto& m = r.options.modules;
    ASSERT_EQ(m.size(), 4u);
    struct Want {
        Model model;
        const char* mac;
        const char* ip;
        const char* name;
        unsigned version;
        std::uint16_t searchPort;
    };
    const Want want[] = {
        {Model::P6, "02 52 32 06 00 01", "192.168.0.7", "P6-0001", 4017, 1500},
        {Model::P6, "02 52 32 06 00 02", "192.168.0.8", "P6-0002", 4017, 1500},
        {Model::P7, "02 52 32 07 00 01", "192.168.0.9", "P7-0001", 5002, 1901},
        {Model::Old, "02 52 32 05 00 01", "192.168.0.10", "OLD-0001", 2001, 1500},
    };
    for (std::size_t i = 0; i < m.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m[i].model, want[i].model);
        EXPECT_EQ(MacBytesToText(m[i].mac), want[i].mac);
        EXPECT_EQ(m[i].ip, want[i].ip);
        EXPECT_EQ(m[i].name, want[i].name);
        EXPECT_EQ(m[i].version, want[i].version);
        EXPECT_EQ(m[i].searchPort, want[i].searchPort);
    }
}

TEST(SimOptionsTest, AddressesRunOverIntoTheNextOctet) {
    const ParseResult r = ParseArguments({"--p6", "3", "--first-ip", "10.0.0.254"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.modules[2].ip, "10.0.1.0");
}

TEST(SimOptionsTest, FileSettingsOverrideSharedOnes) {
    const std::string path = WriteTemp("ok.json", R"({"modules": [
        {"model": "P7", "mac": "0A:0B:0C:0D:0E:0F", "ip": "10.0.0.5", "name": "lab P7",
         "version": 2002, "password": "pw", "reply": "unicast", "copies": 3,
         "blocks": {"port": false, "modbus": "01"},
         "raw": {"restart": ["", "45 A7"]}}]})");
    const ParseResult r =
        ParseArguments({"--config", path, "--reply", "broadcast", "--delay", "250", "--p6", "1"});
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.options.modules.size(), 2u);
    const ModuleConfig& m = r.options.modules[0];
    EXPECT_EQ(MacBytesToText(m.mac), "0A 0B 0C 0D 0E 0F");
    EXPECT_EQ(m.ip, "10.0.0.5");
    EXPECT_EQ(m.name, "lab P7");
    EXPECT_EQ(m.password, "pw");
    EXPECT_FALSE(m.broadcastReplies);
    EXPECT_EQ(m.delayMs, 250);
    EXPECT_EQ(m.copies, 3);
    EXPECT_FALSE(m.factoryBlocks[static_cast<std::size_t>(BlockId::Port)]);
    EXPECT_EQ(m.factoryBlocks[static_cast<std::size_t>(BlockId::Modbus)], Bytes{0x01});
    EXPECT_EQ(m.rawReplies.at("restart"), (std::vector<Bytes>{{}, {0x45, 0xA7}}));
    EXPECT_TRUE(r.options.modules[1].broadcastReplies) << "a module without its own setting";
    EXPECT_EQ(r.options.modules[1].ip, "192.168.0.7") << "the next free default address";
}

struct BadCase {
    const char* name;
    std::vector<std::string> args;
    const char* json; // written to a file and passed with --config when not null
    const char* message;
};

class BadArgumentsTest : public testing::TestWithParam<BadCase> {};

TEST_P(BadArgumentsTest, IsRefusedWithAReason) {
    const BadCase& c = GetParam();
    std::vector<std::string> args = c.args;
    if (c.json) {
        args.insert(args.end(), {"--config", WriteTemp(std::string(c.name) + ".json", c.json)});
    }
    const ParseResult r = ParseArguments(args);
    EXPECT_NE(r.error.find(c.message), std::string::npos) << "error: " << r.error;
    EXPECT_TRUE(r.options.modules.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Refused, BadArgumentsTest,
    testing::Values(
        BadCase{"NoModules", {}, nullptr, "no modules"},
        BadCase{"UnknownOption", {"--p8", "1"}, nullptr, "unknown option --p8"},
        BadCase{"CountNotANumber", {"--p6", "x"}, nullptr, "--p6 needs a number"},
        BadCase{"MissingValue", {"--p6"}, nullptr, "--p6 needs a value"},
        BadCase{"ReplyKind", {"--p6", "1", "--reply", "multicast"}, nullptr, "--reply"},
        BadCase{"FirstIp", {"--p6", "1", "--first-ip", "10.0"}, nullptr, "bad --first-ip"},
        BadCase{"MissingFile", {"--config", "/nonexistent/r2sim.json"}, nullptr, "cannot read"},
        BadCase{"NotJson", {}, "{modules", "at offset"},
        BadCase{"BlockLength", {}, R"([{"blocks": {"cloud": "00"}}])", "block cloud has 1"},
        BadCase{"ModbusLength", {}, R"([{"blocks": {"modbus": "0000"}}])", "block modbus has 2"},
        BadCase{"NotHex", {}, R"([{"blocks": {"modbus": "0G"}}])", "is not hex"},
        BadCase{"UnknownBlock", {}, R"([{"blocks": {"cloudy": "00"}}])", "unknown block"},
        BadCase{"UnknownModel", {}, R"([{"model": "P8"}])", "unknown model"},
        BadCase{"BadMac", {}, R"([{"mac": "02 52 32"}])", "bad MAC"},
        BadCase{"BadIp", {}, R"([{"ip": "300.1"}])", "bad IP"},
        BadCase{"RawKind", {}, R"([{"raw": {"upgrade": [""]}}])", "unknown raw reply kind"},
        BadCase{"SameMac",
                {},
                R"([{"mac": "02-52-32-06-00-01"}, {"mac": "025232060001"}])",
                "share the MAC"},
        BadCase{"SerialModel", {"--serial", "p8"}, nullptr, "--serial takes p5, p6 or p7"},
        BadCase{"SerialOptionAlone",
                {"--p6", "1", "--serial-split", "120"},
                nullptr,
                "--serial-split needs --serial"},
        BadCase{"SerialWithModules",
                {"--serial", "p6", "--p6", "1"},
                nullptr,
                "--p6 is for modules on UDP"},
        BadCase{"SerialWithLanOption",
                {"--delay", "5", "--serial", "p5"},
                nullptr,
                "--delay is for modules on UDP"},
        BadCase{"BootLoaderWithSerial",
                {"--bootloader", "025232060001", "--serial", "p6"},
                nullptr,
                "--bootloader and --serial cannot be combined"},
        BadCase{"BootLoaderWithModules",
                {"--bootloader", "025232060001", "--silent", "--p6", "1"},
                nullptr,
                "--p6 is for simulated modules"},
        BadCase{"BootLoaderWithSerialOption",
                {"--bootloader", "025232060001", "--serial-silent"},
                nullptr,
                "--serial-silent needs --serial"},
        BadCase{"BootLoaderOptionAlone",
                {"--p6", "1", "--no-final-ack"},
                nullptr,
                "--no-final-ack needs --bootloader MAC"},
        BadCase{"BootLoaderMac", {"--bootloader", "02-52-32"}, nullptr, "needs a MAC of 12 hex"},
        BadCase{"BootLoaderIdentity",
                {"--bootloader", "025232060001", "--identity", "525032"},
                nullptr,
                "--identity needs 4 bytes"},
        BadCase{"BootLoaderByte26",
                {"--bootloader", "025232060001", "--giaddr-byte26", "256"},
                nullptr,
                "--giaddr-byte26 takes at most 255"},
        BadCase{"BootLoaderBlockList",
                {"--bootloader", "025232060001", "--lose-acks", "3,,7"},
                nullptr,
                "--lose-acks needs a number"},
        BadCase{"BootLoaderBlockZero",
                {"--bootloader", "025232060001", "--duplicate-acks", "0"},
                nullptr,
                "block numbers from 1 on"},
        BadCase{"BootLoaderLoss",
                {"--bootloader", "025232060001", "--loss", "101"},
                nullptr,
                "--loss takes at most 100"},
        BadCase{"BootLoaderRetry",
                {"--bootloader", "025232060001", "--retry-ms", "0"},
                nullptr,
                "--retry-ms needs a number above 0"},
        BadCase{"BootLoaderOtherAddress",
                {"--bootloader", "025232060001", "--read-from-other-address", "host"},
                nullptr,
                "needs an IPv4 address"},
        BadCase{"SerialSplit",
                {"--serial", "p5", "--serial-split", "x"},
                nullptr,
                "--serial-split needs a number"},
        BadCase{"SerialStateFile",
                {"--serial", "p5", "--serial-state", "/nonexistent/s.json"},
                nullptr,
                "cannot read"}),
    [](const testing::TestParamInfo<BadCase>& c) { return c.param.name; });

TEST(SimOptionsTest, SerialOptions) {
    const ParseResult r =
        ParseArguments({"--serial", "P7", "--serial-split", "120", "--serial-bad-checksum",
                        "--serial-silent", "--json-log", "/tmp/x.json", "--quiet"});
    ASSERT_EQ(r.error, "");
    ASSERT_TRUE(r.options.serial);
    const SerialSimOptions& s = *r.options.serial;
    EXPECT_EQ(s.model, SerialModel::P7);
    EXPECT_EQ(s.splitMs, 120);
    EXPECT_TRUE(s.behaviour.badChecksum);
    EXPECT_TRUE(s.behaviour.silent);
    EXPECT_EQ(s.state, DefaultSerialState());
    EXPECT_TRUE(r.options.modules.empty());
    EXPECT_TRUE(r.options.quiet);

    const ParseResult plain = ParseArguments({"--serial", "p6"});
    ASSERT_EQ(plain.error, "");
    EXPECT_EQ(plain.options.serial->splitMs, 0);
    EXPECT_FALSE(plain.options.serial->behaviour.badChecksum);
    EXPECT_FALSE(plain.options.serial->behaviour.silent);
    EXPECT_FALSE(ParseArguments({"--p6", "1"}).options.serial);
}

TEST(SimOptionsTest, SerialStateFileReplacesWhatItNames) {
    const std::string p5(56, 'A');
    const std::string path = WriteTemp(
        "serial.json", R"({"p5": ")" + p5 + R"(", "p5Extra": "7f", "p6Tail": "0102030405"})");
    const ParseResult r = ParseArguments({"--serial", "p5", "--serial-state", path});
    ASSERT_EQ(r.error, "");
    const SerialState& s = r.options.serial->state;
    EXPECT_EQ(s.p5, Bytes(28, 0xAA));
    EXPECT_EQ(s.p5Extra, 0x7F);
    EXPECT_EQ(s.p6Tail, (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(s.base, DefaultSerialState().base) << "what the file leaves out stays as shipped";

    const struct {
        const char* json;
        const char* message;
    } bad[] = {
        {R"({"p5": "00"})", "serial state p5 has 1 bytes, not 28"},
        {R"({"p5Extra": "0000"})", "serial state p5Extra has 2 bytes, not 1"},
        {R"({"modbus": "00"})", "unknown serial state \"modbus\""},
        {R"({"base": 5})", "serial state base must be a hex string"},
        {R"(["p5"])", "must be a JSON object"},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.json);
        const ParseResult e =
            ParseArguments({"--serial", "p6", "--serial-state", WriteTemp("bad.json", c.json)});
        EXPECT_NE(e.error.find(c.message), std::string::npos) << "error: " << e.error;
        EXPECT_FALSE(e.options.serial);
    }
}

TEST(SimOptionsTest, ValuesAfterEqualsSignsAndTheLaterOfRepeatedOptions) {
    const struct {
        std::vector<std::string> args;
        std::size_t modules;
        int copies;
    } cases[] = {
        {{"--p6=2", "--first-ip=10.0.0.1"}, 2, 1},
        {{"--p6", "3", "--p6", "1"}, 1, 1},
        {{"--p6", "1", "--copies", "3", "--duplicate"}, 1, 2},
        {{"--p6", "1", "--duplicate", "--copies", "3"}, 1, 3},
    };
    for (const auto& c : cases) {
        const ParseResult r = ParseArguments(c.args);
        ASSERT_EQ(r.error, "");
        ASSERT_EQ(r.options.modules.size(), c.modules);
        EXPECT_EQ(r.options.modules[0].copies, c.copies);
    }
    EXPECT_EQ(ParseArguments({"--p6=2", "--first-ip=10.0.0.1"}).options.modules[1].ip, "10.0.0.2");
}

TEST(SimOptionsTest, HexAcceptsSpacesAndRefusesHalfBytes) {
    EXPECT_EQ(ParseHexBytes("ff 01 0a"), (Bytes{0xFF, 0x01, 0x0A}));
    EXPECT_EQ(ParseHexBytes(""), Bytes{});
    EXPECT_FALSE(ParseHexBytes("FF0"));
    EXPECT_FALSE(ParseHexBytes("XY"));
}

} // namespace
} // namespace r2::sim
