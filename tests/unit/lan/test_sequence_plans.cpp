// Which frames a sequence sends, in which order, to whom and with which pauses; and that a
// value that does not convert stops a save before its first frame.

#include "lan/lan_sequences.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace r2 {
namespace {

const LanTarget Row{1, QStringLiteral("001122334455")};
const LanTarget Sel{0, QStringLiteral("AABBCCDDEEFF")};

// One step as "command/block length/port/target socket/gap", or "msg key".
std::vector<std::string> Describe(const SequencePlan& plan) {
    std::vector<std::string> out;
    for (const SequenceStep& s : plan.steps) {
        if (!s.frame) {
            out.push_back("msg " + s.messageKey.toStdString());
            continue;
        }
        const LanFrame& f = *s.frame;
        out.push_back(std::to_string(f.command) + "/" + std::to_string(f.block.size()) + "/" +
                      std::to_string(f.port) + "/" + std::to_string(f.target.socketIndex) + "/" +
                      std::to_string(s.gapAfterMs));
    }
    return out;
}

// A P6 panel as a module with every optional block would leave it.
PanelP6 ReadPanel() {
    PanelP6 p;
    p.edt_StaticIP = "192.168.0.7";
    p.edt_SubnetMask = "255.255.255.0";
    p.edt_GatewayIP = "192.168.0.1";
    p.edtDns = "8.8.8.8";
    p.LabeledEdit1 = "0";
    p.edt_HTTPServerPort = "80";
    p.edt_username = "admin";
    p.edt_password = "tulip";
    p.edt_ModName = "R2";
    p.edt_LocationURLPort = "1900";
    p.edt_UserMAC = "FF FF FF FF FF FF";
    p.cbb_WorkMode0.Select(1);
    p.LabeledEditShortTime = "3";
    p.RzComboBox1.Select(0);
    p.cbbHeartPackType.Select(0);
    p.edtHeartTm = "60";
    p.RzComboBox2.Select(0);
    p.edtCompass = "12345678";
    p.edtwaittime = "5";
    // A click on the row hid the Modbus controls; no Modbus reply came.
    p.state.rzgrpbxModbus.visible = false;
    p.state.RzGroupBox1.visible = false;
    p.state.rzchckbxmodbustcp.visible = false;
    p.state.rzchckbxmodbuspool.visible = false;
    p.state.lblhearttime.visible = false;
    p.state.edtwaittime.visible = false;
    return p;
}

// Steps by command code.
const std::string Base = "5/67/1500/1/500";
const std::string Port = "6/63/1500/1/500";
const std::string PortLast = "6/63/1500/1/2000";
const std::string Cloud = "12/50/1500/0/500";
const std::string HeartReg = "33/85/1500/0/500";
const std::string HeartRegLast = "33/85/1500/0/2000";
const std::string Url = "34/101/1500/0/500";
const std::string HeadLast = "35/201/1500/0/2000";
const std::string Restart = "2/0/1500/1/0";

struct P6SaveCase {
    const char* what;
    unsigned version;
    void (*adjust)(PanelP6&);
    std::vector<std::string> expected;

    friend void PrintTo(const P6SaveCase& c, std::ostream* os) { *os << c.what; }
};

class P6Save : public ::testing::TestWithParam<P6SaveCase> {};

TEST_P(P6Save, SendsTheseFramesInThisOrder) {
    const P6SaveCase& c = GetParam();
    PanelP6 p = ReadPanel();
    c.adjust(p);
    const PlanResult r = PlanP6Save(p, ParamMirror{}, Row, Sel, c.version);
    ASSERT_TRUE(r.plan) << c.what << ": " << r.error.toStdString();
    EXPECT_EQ(Describe(*r.plan), c.expected) << c.what;
    ASSERT_TRUE(r.plan->mirror.has_value());
}

void Keep(PanelP6&) {}
void CloudOk(PanelP6& p) {
    p.RzComboBox2.Select(3);
}
void CloudShortId(PanelP6& p) {
    p.RzComboBox2.Select(3);
    p.edtDid = "1234567890123456789";
}
void CloudShortCode(PanelP6& p) {
    p.RzComboBox2.Select(3);
    p.edtCompass = "1234567";
}
void Httpd(PanelP6& p) {
    p.cbb_WorkMode0.Select(4);
}
void HttpdAndCloud(PanelP6& p) {
    Httpd(p);
    CloudOk(p);
}
void ModbusShort(PanelP6& p) {
    p.state.rzgrpbxModbus.visible = true;
    p.state.rzchckbxmodbustcp.visible = true;
    p.rzchckbxmodbustcp = true;
}
void ModbusLong(PanelP6& p) {
    ModbusShort(p);
    p.state.rzchckbxmodbuspool.visible = true;
    p.state.edtwaittime.visible = true;
}
void ModbusLongAndPack(PanelP6& p) {
    ModbusLong(p);
    p.state.RzGroupBox1.visible = true;
}
void BadPollTimeHidden(PanelP6& p) {
    p.edtwaittime = "5s";
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, P6Save,
    ::testing::Values(
        P6SaveCase{"4016: base, port, restart", 4016, Keep, {Base, PortLast, Restart}},
        P6SaveCase{
            "4017 adds heartbeat/registration", 4017, Keep, {Base, Port, HeartRegLast, Restart}},
        P6SaveCase{
            "4016 with the cloud", 4016, CloudOk, {Base, Port, "12/50/1500/0/2000", Restart}},
        P6SaveCase{"19-byte device ID skips the cloud block only",
                   4017,
                   CloudShortId,
                   {Base, Port, "msg lang_DeviceId", HeartRegLast, Restart}},
        P6SaveCase{"7-byte code skips the cloud block only",
                   4017,
                   CloudShortCode,
                   {Base, Port, "msg lang_CommCode", HeartRegLast, Restart}},
        P6SaveCase{
            "HTTPD mode at 4016 sends no HTTPD block", 4016, Httpd, {Base, PortLast, Restart}},
        P6SaveCase{"full write at 4017",
                   4017,
                   HttpdAndCloud,
                   {Base, Port, Cloud, HeartReg, Url, HeadLast, Restart}},
        P6SaveCase{"1-byte Modbus switches, no pause",
                   4017,
                   ModbusShort,
                   {Base, Port, HeartReg, "36/1/1500/0/1500", Restart}},
        P6SaveCase{"4-byte Modbus switches",
                   4017,
                   ModbusLong,
                   {Base, Port, HeartReg, "36/4/1500/0/1500", Restart}},
        P6SaveCase{"Modbus switches and pack",
                   4016,
                   ModbusLongAndPack,
                   {Base, Port, "36/4/1500/0/0", "36/87/1500/0/1500", Restart}},
        P6SaveCase{"a bad poll time does not matter when not sent",
                   4016,
                   BadPollTimeHidden,
                   {Base, PortLast, Restart}}));

TEST(P6SaveBlocks, OneByteModbusFormCarriesTheTcpSwitch) {
    PanelP6 p = ReadPanel();
    ModbusShort(p);
    const PlanResult on = PlanP6Save(p, ParamMirror{}, Row, Sel, 4016);
    p.rzchckbxmodbustcp = false;
    const PlanResult off = PlanP6Save(p, ParamMirror{}, Row, Sel, 4016);
    ASSERT_TRUE(on.plan && off.plan);
    EXPECT_EQ(on.plan->steps[2].frame->block, Bytes{1});
    EXPECT_EQ(off.plan->steps[2].frame->block, Bytes{0});
}

TEST(P6SaveBlocks, SendsTheEncodedMirrorAndKeepsUnknownBytes) {
    PanelP6 p = ReadPanel();
    ParamMirror mirror;
    mirror.base[0] = 0xAB; // a byte no control sets
    const PlanResult r = PlanP6Save(p, mirror, Row, Sel, 4016);
    ASSERT_TRUE(r.plan);
    const Bytes& base = r.plan->steps[0].frame->block;
    EXPECT_EQ(base[0], 0xAB);
    EXPECT_EQ(Bytes(r.plan->mirror->base.begin(), r.plan->mirror->base.end()), base);
    EXPECT_EQ(r.plan->steps[0].frame->target.mac, Row.mac);
}

struct BadValueCase {
    const char* what;
    void (*adjust)(PanelP6&);
    unsigned version;
    const char* control;

    friend void PrintTo(const BadValueCase& c, std::ostream* os) { *os << c.what; }
};

class P6SaveBadValue : public ::testing::TestWithParam<BadValueCase> {};

TEST_P(P6SaveBadValue, PlansNothingAndNamesTheControl) {
    const BadValueCase& c = GetParam();
    PanelP6 p = ReadPanel();
    c.adjust(p);
    const PlanResult r = PlanP6Save(p, ParamMirror{}, Row, Sel, c.version);
    EXPECT_FALSE(r.plan) << c.what;
    EXPECT_TRUE(r.error.startsWith(QLatin1String(c.control))) << r.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    AllOrNothing, P6SaveBadValue,
    ::testing::Values(BadValueCase{"static IP", [](PanelP6& p) { p.edt_StaticIP = "300.1.2"; },
                                   4017, "edt_StaticIP"},
                      BadValueCase{"local port", [](PanelP6& p) { p.edt_LocalPort0 = "55x"; }, 4017,
                                   "edt_LocalPort0"},
                      BadValueCase{"heartbeat time, a late block",
                                   [](PanelP6& p) { p.edtHeartTm = "abc"; }, 4017, "edtHeartTm"},
                      BadValueCase{
                          "poll time of the 4-byte Modbus form, the block before the restart",
                          [](PanelP6& p) {
                              ModbusLong(p);
                              p.edtwaittime = "5s";
                          },
                          4016, "edtwaittime"},
                      BadValueCase{"Modbus timeout",
                                   [](PanelP6& p) {
                                       ModbusLongAndPack(p);
                                       p.cbbModbusType.Select(2);
                                       p.edtModbusTimeout = "2x";
                                   },
                                   4016, "edtModbusTimeout"}));

PanelP7 ReadyP7() {
    PanelP7 p;
    p.edt_StaticIPP7 = "192.168.0.8";
    p.edt_SubnetMaskP7 = "255.255.255.0";
    p.edt_GatewayIPP7 = "192.168.0.1";
    p.edt_ModNameP7 = "P7";
    p.edt_UserMACP7 = "FF FF FF FF FF FF";
    p.edt_LocationURLPortP7 = "1900";
    p.edt_HTTPServerPortP7 = "80";
    p.edt_IdTypeP7 = "1";
    p.edt_usernameP7 = "admin";
    p.edt_passwordP7 = "tulip";
    return p;
}

TEST(P7Save, SendsBasePortAndEndToPort1901) {
    const PlanResult r = PlanP7Save(ReadyP7(), ParamMirror{}, Row);
    ASSERT_TRUE(r.plan) << r.error.toStdString();
    EXPECT_EQ(Describe(*r.plan),
              (std::vector<std::string>{"5/67/1901/1/500", "6/63/1901/1/500", "4/0/1901/1/0"}));
}

TEST(P7Save, BadValuePlansNothing) {
    PanelP7 p = ReadyP7();
    p.edt_HTTPServerPortP7 = "eighty";
    const PlanResult r = PlanP7Save(p, ParamMirror{}, Row);
    EXPECT_FALSE(r.plan);
    EXPECT_TRUE(r.error.contains(QLatin1String("edt_HTTPServerPortP7"))) << r.error.toStdString();
}

struct SingleCase {
    const char* what;
    SequencePlan plan;
    std::vector<std::string> expected;

    friend void PrintTo(const SingleCase& c, std::ostream* os) { *os << c.what; }
};

class SingleCommand : public ::testing::TestWithParam<SingleCase> {};

TEST_P(SingleCommand, GoesToThePortOfTheFlag) {
    EXPECT_EQ(Describe(GetParam().plan), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    ReadRestartReset, SingleCommand,
    ::testing::Values(
        SingleCase{"read P6", PlanRead(DevFlagP6, Row), {"3/0/1500/1/0"}},
        SingleCase{"read P7", PlanRead(DevFlagP7, Row), {"3/0/1901/1/0"}},
        SingleCase{"read of an incompatible module sends nothing", PlanRead(DevFlagNone, Row), {}},
        SingleCase{"restart P7 goes to 1500", PlanRestart(Row), {"2/0/1500/1/0"}},
        SingleCase{"reset P6", PlanFactoryReset(DevFlagP6, Row), {"11/0/1500/1/0"}},
        SingleCase{"reset P7", PlanFactoryReset(DevFlagP7, Row), {"11/0/1901/1/0"}},
        SingleCase{"reset of an incompatible module sends nothing",
                   PlanFactoryReset(DevFlagNone, Row),
                   {}}));

} // namespace
} // namespace r2
