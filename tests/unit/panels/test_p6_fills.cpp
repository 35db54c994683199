// Filling the P6 panel from module replies.
#include "protocol/panel_p6.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

namespace r2 {
namespace {

constexpr std::string_view Mac = "00 11 22 33 44 55";

TBaseParam Base() {
    TBaseParam b;
    b.AddrType = 1;
    b.HeartTp = 1;
    b.RegSnd = 1;
    b.LocationURLPort = 1900;
    b.HTTPServerPort = 80;
    b.StaticIP = "192.168.0.7";
    b.GatewayIP = "192.168.0.1";
    b.SubnetMask = "255.255.255.0";
    b.ModName = "R2-P6";
    b.UserName = "admin";
    b.Password = "tulip";
    b.IdFlags = 0x50; // Reset and Index
    b.ClearCache = true;
    b.ShortEnable = true;
    b.UserMAC = std::string(Mac);
    b.Dns = "8.8.8.8";
    b.ShortTime = 7;
    return b;
}

TPortParam Port() {
    TPortParam r;
    r.BaudRate = 9600;
    r.DataBits = 8;
    r.Parity = 3;
    r.StopBits = 2;
    r.FlowControl = 5;
    r.LocalPort = 20108;
    r.RemotePort = 8234;
    r.RemoteIP = "example.org";
    r.ModbusTCP = 1;
    r.RFC2217 = 0;
    r.WorkMode = 3;
    r.UartPackLen = 512;
    r.UartTime = 20;
    r.TCPSvrCount = 8;
    r.RestartTime = 300;
    r.TCPStyle = 2;
    r.GetPost = 1;
    r.MacHeart = true;
    r.KickOld = true;
    r.UdpFrom = true;
    return r;
}

PanelP6 FilledWith(const TPortParam& r, PanelP6 p = {}) {
    EXPECT_EQ(FillFromBaseReply(p, Base(), {r}, DevFlagP6, false, Mac), BaseFillResult::FilledP6);
    return p;
}

TEST(P6BaseFill, CopiesEveryBaseAndPortValue) {
    const PanelP6 p = FilledWith(Port());
    EXPECT_EQ(p.cbb_AddrType.index, 1);
    EXPECT_EQ(p.cbbHeartTp.index, 1);
    EXPECT_EQ(p.cbbRegSnd.index, 1);
    EXPECT_EQ(p.edt_LocationURLPort, "1900");
    EXPECT_EQ(p.edt_HTTPServerPort, "80");
    EXPECT_EQ(p.edt_StaticIP, "192.168.0.7");
    EXPECT_EQ(p.edt_GatewayIP, "192.168.0.1");
    EXPECT_EQ(p.edt_SubnetMask, "255.255.255.0");
    EXPECT_EQ(p.edt_ModName, "R2-P6");
    EXPECT_EQ(p.edt_username, "admin");
    EXPECT_EQ(p.edt_password, "tulip");
    EXPECT_TRUE(p.rzchckbx_Reset);
    EXPECT_FALSE(p.rzchckbx_Link);
    EXPECT_TRUE(p.rzchckbx_Index);
    EXPECT_FALSE(p.rzchckbx_RFC2217); // design state is on; bit 7 is clear
    EXPECT_EQ(p.edt_UserMAC, Mac);
    EXPECT_EQ(p.edtDns, "8.8.8.8");
    EXPECT_EQ(p.LabeledEditShortTime, "7");
    EXPECT_TRUE(p.RzCheckBoxShortEnable);
    EXPECT_TRUE(p.RzCheckBox2);

    EXPECT_EQ(p.cbb_BaudRate0.ShownText(), "9600");
    EXPECT_EQ(p.cbb_D0.index, 3);
    EXPECT_EQ(p.cbb_P0.index, 2);
    EXPECT_EQ(p.cbb_S0.index, 1);
    EXPECT_EQ(p.cbb_FlowControl0.index, 2);
    EXPECT_EQ(p.edt_LocalPort0, "20108");
    EXPECT_EQ(p.edt_RemotePort0, "8234");
    EXPECT_EQ(p.edt_RemoteIP0, "example.org");
    EXPECT_EQ(p.cbb_ModbusTCP0.index, 1);
    EXPECT_FALSE(p.chk_RFC22170);
    EXPECT_EQ(p.cbb_WorkMode0.index, 3);
    EXPECT_EQ(p.edtUartPackLEN, "512");
    EXPECT_EQ(p.edt_UARTTime0, "20");
    EXPECT_EQ(p.cbbGetPost.index, 1);
    EXPECT_EQ(p.cbb_TCPSvrCount0.index, 7);
    EXPECT_EQ(p.LabeledEdit1, "300");
    EXPECT_EQ(p.cbb_TCPStyle0.index, 1);
    EXPECT_EQ(p.cbbHeartPackType.index, 0);
    EXPECT_TRUE(p.RzCheckBox1);
    EXPECT_TRUE(p.rzchbUdpFrom);
    EXPECT_EQ(p.RzComboBox2.index, 0);
    // The rules ran: TCP server greys the remote address, registration off hides its fields.
    EXPECT_FALSE(p.state.edt_RemoteIP0.enabled);
    EXPECT_TRUE(p.state.cbb_TCPSvrCount0.enabled);
    EXPECT_FALSE(p.state.lblRegSnd.visible);
    EXPECT_FALSE(p.state.lblHeartDt.visible);
    EXPECT_TRUE(p.state.edt_StaticIP.enabled);
}

TEST(P6BaseFill, DhcpGreysTheAddressFields) {
    TBaseParam b = Base();
    b.AddrType = 0;
    PanelP6 p;
    ASSERT_EQ(FillFromBaseReply(p, b, {Port()}, DevFlagP6, false, Mac), BaseFillResult::FilledP6);
    EXPECT_EQ(p.cbb_AddrType.index, 0);
    EXPECT_FALSE(p.state.edtDns.enabled);
    EXPECT_EQ(p.state.lbl_StaticIP.colour, TextColour::Silver);
}

struct BaudCase {
    std::int32_t rate;
    int index;
    std::string_view entry0;
};

void PrintTo(const BaudCase& c, std::ostream* os) {
    *os << c.rate;
}

class P6BaudFill : public testing::TestWithParam<BaudCase> {};

TEST_P(P6BaudFill, SelectsTheFirstEqualEntryOrWritesEntryZero) {
    TPortParam r = Port();
    r.BaudRate = GetParam().rate;
    const PanelP6 p = FilledWith(r);
    EXPECT_EQ(p.cbb_BaudRate0.index, GetParam().index);
    EXPECT_EQ(p.cbb_BaudRate0.entry0, GetParam().entry0);
    EXPECT_EQ(p.cbb_BaudRate0.ShownText(), std::to_string(GetParam().rate));
}

INSTANTIATE_TEST_SUITE_P(Rates, P6BaudFill,
                         testing::Values(BaudCase{9600, 6, "115200"},
                                         BaudCase{115200, 0, "115200"}, // entry 0 matches first
                                         BaudCase{57601, 0, "57601"},
                                         BaudCase{921600, 15, "115200"}, BaudCase{-1, 0, "-1"}));

TEST(P6BaudFill, StandardEntryWinsOnceEntryZeroHoldsAnotherValue) {
    TPortParam r = Port();
    r.BaudRate = 57601;
    PanelP6 p = FilledWith(r);
    r.BaudRate = 115200;
    p = FilledWith(r, p);
    EXPECT_EQ(p.cbb_BaudRate0.index, 11);
    EXPECT_EQ(p.cbb_BaudRate0.entry0, "57601");
}

// A port code mapped onto a list entry; out-of-range codes leave no selection.
struct ListCodeCase {
    std::string_view what;
    std::int32_t TPortParam::*field;
    std::int32_t code;
    ComboBox PanelP6::*list;
    int index;
};

void PrintTo(const ListCodeCase& c, std::ostream* os) {
    *os << c.what;
}

class P6ListCodes : public testing::TestWithParam<ListCodeCase> {};

TEST_P(P6ListCodes, SelectsTheEntryOrNone) {
    const auto& c = GetParam();
    TPortParam r = Port();
    r.*c.field = c.code;
    const PanelP6 p = FilledWith(r);
    EXPECT_EQ((p.*c.list).index, c.index) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, P6ListCodes,
    testing::Values(
        ListCodeCase{"data bits 5", &TPortParam::DataBits, 5, &PanelP6::cbb_D0, 0},
        ListCodeCase{"data bits 4", &TPortParam::DataBits, 4, &PanelP6::cbb_D0, -1},
        ListCodeCase{"data bits 9", &TPortParam::DataBits, 9, &PanelP6::cbb_D0, -1},
        ListCodeCase{"parity 0", &TPortParam::Parity, 0, &PanelP6::cbb_P0, -1},
        ListCodeCase{"parity 5", &TPortParam::Parity, 5, &PanelP6::cbb_P0, 4},
        ListCodeCase{"stop bits 1", &TPortParam::StopBits, 1, &PanelP6::cbb_S0, 0},
        ListCodeCase{"stop bits 3", &TPortParam::StopBits, 3, &PanelP6::cbb_S0, -1},
        ListCodeCase{"stop bits 0", &TPortParam::StopBits, 0, &PanelP6::cbb_S0, -1},
        ListCodeCase{"work mode 5", &TPortParam::WorkMode, 5, &PanelP6::cbb_WorkMode0, -1},
        ListCodeCase{"connections 16", &TPortParam::TCPSvrCount, 16, &PanelP6::cbb_TCPSvrCount0,
                     15},
        ListCodeCase{"connections 17", &TPortParam::TCPSvrCount, 17, &PanelP6::cbb_TCPSvrCount0,
                     -1},
        ListCodeCase{"style 0", &TPortParam::TCPStyle, 0, &PanelP6::cbb_TCPStyle0, -1},
        ListCodeCase{"Modbus 2", &TPortParam::ModbusTCP, 2, &PanelP6::cbb_ModbusTCP0, -1},
        ListCodeCase{"GET/POST 2", &TPortParam::GetPost, 2, &PanelP6::cbbGetPost, -1}));

// Codes without an entry keep what the control held before the fill.
struct KeepCase {
    std::int32_t code;
    int flowBefore;
    int flowAfter;
};

void PrintTo(const KeepCase& c, std::ostream* os) {
    *os << "code " << c.code << " from " << c.flowBefore;
}

class P6FlowControlFill : public testing::TestWithParam<KeepCase> {};

TEST_P(P6FlowControlFill, MapsOneThreeFiveAndKeepsOtherCodes) {
    TPortParam r = Port();
    r.FlowControl = GetParam().code;
    PanelP6 before;
    before.cbb_FlowControl0.index = GetParam().flowBefore;
    EXPECT_EQ(FilledWith(r, before).cbb_FlowControl0.index, GetParam().flowAfter);
}

INSTANTIATE_TEST_SUITE_P(Codes, P6FlowControlFill,
                         testing::Values(KeepCase{1, 2, 0}, KeepCase{3, 0, 1}, KeepCase{5, 0, 2},
                                         KeepCase{2, 1, 1}, KeepCase{0, 2, 2}));

TEST(P6PortFill, Rfc2217OutsideZeroOneKeepsTheBox) {
    TPortParam r = Port();
    for (const bool before : {false, true}) {
        PanelP6 p;
        p.chk_RFC22170 = before;
        r.RFC2217 = 2;
        EXPECT_EQ(FilledWith(r, p).chk_RFC22170, before);
        r.RFC2217 = 1;
        EXPECT_TRUE(FilledWith(r, p).chk_RFC22170);
    }
}

struct RegistrationCase {
    std::int32_t cloud;
    bool mac;
    bool custom;
    int entry;
};

void PrintTo(const RegistrationCase& c, std::ostream* os) {
    *os << "cloud " << c.cloud << " mac " << c.mac << " custom " << c.custom;
}

class P6RegistrationFill : public testing::TestWithParam<RegistrationCase> {};

TEST_P(P6RegistrationFill, LastTrueFlagWins) {
    TPortParam r = Port();
    r.CloudEnable = GetParam().cloud;
    r.MacRegister = GetParam().mac;
    r.CustomRegister = GetParam().custom;
    const PanelP6 p = FilledWith(r);
    EXPECT_EQ(p.RzComboBox2.index, GetParam().entry);
    // The registration rule ran for the new entry.
    EXPECT_EQ(p.state.edtDid.visible, GetParam().entry == 3);
    EXPECT_EQ(p.state.edtRegDt.visible, GetParam().entry == 2);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, P6RegistrationFill,
    testing::Values(RegistrationCase{0, false, false, 0}, RegistrationCase{1, false, false, 3},
                    RegistrationCase{1, true, false, 1}, RegistrationCase{1, true, true, 2},
                    RegistrationCase{0, false, true, 2}, RegistrationCase{2, false, false, 0}));

TEST(P6PortFill, CustomHeartbeatShowsItsData) {
    TPortParam r = Port();
    r.MacHeart = false;
    const PanelP6 p = FilledWith(r);
    EXPECT_EQ(p.cbbHeartPackType.index, 1);
    EXPECT_TRUE(p.state.edtHeartDt.visible);
}

// When the reply is not for the selected module, or not a P6 reply, the panel stays as it is.
struct GuardCase {
    std::string_view what;
    int devFlag;
    bool fromSerial;
    std::optional<std::string_view> selectedMac;
    BaseFillResult result;
};

void PrintTo(const GuardCase& c, std::ostream* os) {
    *os << c.what;
}

class P6BaseFillGuard : public testing::TestWithParam<GuardCase> {};

TEST_P(P6BaseFillGuard, ChangesThePanelOnlyForTheSelectedP6) {
    const auto& c = GetParam();
    PanelP6 p;
    EXPECT_EQ(FillFromBaseReply(p, Base(), {Port()}, c.devFlag, c.fromSerial, c.selectedMac),
              c.result)
        << c.what;
    EXPECT_EQ(p == PanelP6{}, c.result != BaseFillResult::FilledP6) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, P6BaseFillGuard,
                         testing::Values(GuardCase{"no row selected", DevFlagP6, false,
                                                   std::nullopt, BaseFillResult::Dropped},
                                         GuardCase{"another module", DevFlagP6, false,
                                                   "00 11 22 33 44 56", BaseFillResult::Dropped},
                                         GuardCase{"same MAC, other spacing", DevFlagP6, false,
                                                   "001122334455", BaseFillResult::FilledP6},
                                         GuardCase{"serial ignores the row", DevFlagP6, true,
                                                   std::nullopt, BaseFillResult::FilledP6},
                                         GuardCase{"P7 reply", DevFlagP7, false, Mac,
                                                   BaseFillResult::NotP6}));

TEST(P6BaseFill, PortsOnlyWithExactlyOneRecord) {
    for (const TarrComParam& ports : {TarrComParam{}, TarrComParam{Port(), Port()}}) {
        PanelP6 p;
        ASSERT_EQ(FillFromBaseReply(p, Base(), ports, DevFlagP6, false, Mac),
                  BaseFillResult::FilledP6);
        EXPECT_EQ(p.edt_StaticIP, "192.168.0.7");
        EXPECT_EQ(p.edt_LocalPort0, "5555");
        EXPECT_EQ(p.cbb_WorkMode0.index, -1);
    }
}

// ---- Heartbeat/registration block --------------------------------------------------------

std::array<std::uint8_t, HeartRegBlockLen> HeartRegBlock(std::uint8_t options) {
    std::array<std::uint8_t, HeartRegBlockLen> b{};
    b[0] = options;
    b[1] = 0x2C; // 300 s
    b[2] = 0x01;
    b[3] = 2;
    b[4] = 3;
    b[5] = 'h';
    b[6] = 'i';
    b[45] = 0x0A;
    b[46] = 0xB0;
    b[47] = 'r';
    return b;
}

struct HeartOptionsCase {
    std::uint8_t options;
    int heartEntry;
    int regTypeBefore;
    int regTypeAfter;
};

void PrintTo(const HeartOptionsCase& c, std::ostream* os) {
    *os << "options " << int(c.options);
}

class P6HeartRegFill : public testing::TestWithParam<HeartOptionsCase> {};

TEST_P(P6HeartRegFill, OptionBitsSelectTheLists) {
    const auto& c = GetParam();
    PanelP6 p;
    p.cbbRegType.index = c.regTypeBefore;
    ASSERT_TRUE(FillFromHeartReg(p, HeartRegBlock(c.options), DevFlagP6));
    EXPECT_EQ(p.RzComboBox1.index, c.heartEntry);
    EXPECT_EQ(p.cbbRegType.index, c.regTypeAfter);
    EXPECT_EQ(p.state.edtHeartTm.visible, c.heartEntry != 0);
}

INSTANTIATE_TEST_SUITE_P(Bits, P6HeartRegFill,
                         testing::Values(HeartOptionsCase{0x00, 0, 1, 1}, // 00 keeps the choice
                                         HeartOptionsCase{0x02, 1, 1, 1},
                                         HeartOptionsCase{0x01, 2, 1, 1},
                                         HeartOptionsCase{0x03, 2, 1, 1}, // bit 0 wins
                                         HeartOptionsCase{0x04, 0, 2, 0},
                                         HeartOptionsCase{0x08, 0, 0, 1},
                                         HeartOptionsCase{0x0C, 0, 0, 2}));

TEST(P6HeartRegFill, DataAsTextOrHexAndTheCheckBoxes) {
    PanelP6 p;
    ASSERT_TRUE(FillFromHeartReg(p, HeartRegBlock(0x80 | 0x20), DevFlagP6));
    EXPECT_EQ(p.edtHeartTm, "300");
    EXPECT_FALSE(p.rzchckbxHeartDtHex);
    EXPECT_TRUE(p.rzchckbxRegDtHex);
    EXPECT_TRUE(p.rzchckbxComSetEnable);
    EXPECT_FALSE(p.RzCheckBox3);
    EXPECT_EQ(p.edtHeartDt, "hi");
    EXPECT_EQ(p.edtRegDt, "0AB072");

    ASSERT_TRUE(FillFromHeartReg(p, HeartRegBlock(0x40 | 0x10), DevFlagP6));
    EXPECT_EQ(p.edtHeartDt, "6869");
    EXPECT_EQ(p.edtRegDt, "\n\xB0r");
    EXPECT_TRUE(p.RzCheckBox3);
}

// The save writes the edits back, so a text edit cut at a zero byte would shorten the packet.
TEST(P6HeartRegFill, TextDataKeepsItsZeroBytes) {
    auto block = HeartRegBlock(0x00);
    block[3] = 3;
    block[5] = 0;
    block[4] = 40;
    block[45 + 10] = 0;
    PanelP6 p;
    ASSERT_TRUE(FillFromHeartReg(p, block, DevFlagP6));
    EXPECT_EQ(p.edtHeartDt, std::string("\0i\0", 3));
    ASSERT_EQ(p.edtRegDt.size(), 40u);
    EXPECT_EQ(p.edtRegDt.substr(0, 3), "\n\xB0r");
    EXPECT_EQ(p.edtRegDt[10], '\0');
}

TEST(P6HeartRegFill, LengthAboveFortyIsClippedToTheField) {
    auto block = HeartRegBlock(0x40 | 0x80);
    block[3] = 200;
    block[4] = 255;
    std::fill(block.begin() + 5, block.end(), 0x11);
    PanelP6 p;
    ASSERT_TRUE(FillFromHeartReg(p, block, DevFlagP6));
    EXPECT_EQ(p.edtHeartDt.size(), 80u);
    EXPECT_EQ(p.edtRegDt.size(), 80u);
}

TEST(P6HeartRegFill, OnlyAWholeBlockFromAP6) {
    const auto block = HeartRegBlock(0x03);
    PanelP6 p;
    EXPECT_FALSE(FillFromHeartReg(p, block, DevFlagP7));
    EXPECT_FALSE(FillFromHeartReg(p, std::span(block).first(HeartRegBlockLen - 1), DevFlagP6));
    EXPECT_EQ(p, PanelP6{});
}

// ---- Cloud, HTTPD and Modbus -------------------------------------------------------------

TEST(P6CloudFill, OnlyWithExactlyOneRecord) {
    PanelP6 p;
    const TCloudParam one{"12345678901234567890", "pass1234"};
    EXPECT_FALSE(FillFromCloud(p, {}));
    EXPECT_FALSE(FillFromCloud(p, {one, one}));
    EXPECT_EQ(p.edtDid, "11111111111111111110");
    EXPECT_TRUE(FillFromCloud(p, {one}));
    EXPECT_EQ(p.edtDid, one.DeviceId);
    EXPECT_EQ(p.edtCompass, one.CommPassword);
}

TEST(P6HttpdFill, KeepsTheBytes) {
    PanelP6 p;
    FillFromHttpd(p, "http://x/\xC4\xE3", "A: b\r\nC: d");
    EXPECT_EQ(p.LabeledEdit2, "http://x/\xC4\xE3");
    EXPECT_EQ(p.RzRichEdit1, "A: b\r\nC: d");
}

TEST(P6ModbusFill, ShortFormShowsOnlyTheTcpSwitch) {
    PanelP6 p;
    p.rzchckbxmodbustcp = true;
    HideModbusGroups(p);
    FillFromModbusParam(p, TModbusParam{0, 0, ""}, 1);
    EXPECT_TRUE(p.state.rzgrpbxModbus.visible);
    EXPECT_TRUE(p.state.rzchckbxmodbustcp.visible);
    EXPECT_FALSE(p.state.rzchckbxmodbuspool.visible); // decides the 1-byte write back
    EXPECT_FALSE(p.state.edtwaittime.visible);
    EXPECT_FALSE(p.rzchckbxmodbustcp); // a module reporting off shows off
    EXPECT_FALSE(p.state.RzGroupBox1.visible);
}

TEST(P6ModbusFill, LongFormShowsAllFourSwitchControls) {
    PanelP6 p;
    HideModbusGroups(p);
    FillFromModbusParam(p, TModbusParam{2, 1, "100"}, 4);
    EXPECT_TRUE(p.state.rzchckbxmodbuspool.visible);
    EXPECT_TRUE(p.state.lblhearttime.visible);
    EXPECT_TRUE(p.state.edtwaittime.visible);
    EXPECT_FALSE(p.rzchckbxmodbustcp); // 2 is not "on"
    EXPECT_TRUE(p.rzchckbxmodbuspool);
    EXPECT_EQ(p.edtwaittime, "100");
}

TEST(P6ModbusFill, PackShowsTheConversionGroup) {
    PanelP6 p;
    HideModbusGroups(p);
    FillFromModbusPack(p, TModbusPackParam{2, 0, 0, "300", "20"});
    EXPECT_TRUE(p.state.RzGroupBox1.visible);
    EXPECT_FALSE(p.state.rzgrpbxModbus.visible);
    EXPECT_EQ(p.cbbModbusType.index, 2);
    EXPECT_EQ(p.cbbModbusException.index, 0);
    EXPECT_EQ(p.cbbReporproto.index, 0);
    EXPECT_EQ(p.edtModbusTimeout, "300");
    EXPECT_EQ(p.edtModbusInterval, "20");
    EXPECT_TRUE(p.state.cbbReporproto.visible);

    FillFromModbusPack(p, TModbusPackParam{7, 3, 2, "1", "2"});
    EXPECT_EQ(p.cbbModbusType.index, -1);
    EXPECT_EQ(p.cbbModbusException.index, -1);
    EXPECT_EQ(p.cbbReporproto.index, -1);
}

} // namespace
} // namespace r2
