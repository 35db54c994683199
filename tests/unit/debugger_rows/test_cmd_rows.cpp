// The command rows' rules: renaming, hex toggles, the delay box and the bytes a row sends.
#include "debugger/cmd_rows.h"

#include <gtest/gtest.h>

namespace r2 {
namespace {

struct HexToggleCase {
    const char* text;
    bool toHex;
    const char* expected;
};

TEST(CmdRows, HexToggleConvertsAndLeavesBadHexAlone) {
    const HexToggleCase cases[] = {
        {"AB", true, "4142"}, {"4142", false, "AB"}, {"4G41", false, "4G41"},
        {"41G", false, "A"},  {"", true, ""},        {"a b", true, "612062"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ConvertCmdText(c.text, c.toHex), c.expected) << c.text;
    }
}

struct PayloadCase {
    const char* command;
    bool hex;
    std::string bytes;
};

TEST(CmdRows, PayloadOfTextAndHexRows) {
    const PayloadCase cases[] = {
        {"41 42 4", true, std::string("\x41\x42\x04", 3)},
        {"ZZ41", true, ""},
        {"41ZZ42", true, "AB"},
        {"00FF", true, std::string("\x00\xFF", 2)},
        {"AT+CMD 1", false, "AT+CMD 1"},
        {"41 42", false, "41 42"},
    };
    for (const auto& c : cases) {
        const CmdRow row{.chkChoose = false,
                         .btnExplanation = "n",
                         .edtCmd = c.command,
                         .chkHex = c.hex,
                         .edtDelay = ""};
        EXPECT_EQ(CmdRowPayload(row), c.bytes) << c.command;
    }
}

TEST(CmdRows, RenameRefusesAmpersand) {
    EXPECT_EQ(RenameCmdRow("Pump start").name, "Pump start");
    EXPECT_FALSE(RenameCmdRow("Pump start").refused);
    const RenameResult refused = RenameCmdRow("A&B");
    EXPECT_TRUE(refused.refused);
    EXPECT_EQ(refused.name, "");
}

TEST(CmdRows, DelayBoxEmptiesAboveTheLimit) {
    const std::pair<const char*, const char*> cases[] = {
        {"70000", ""}, {"65535", "65535"},  {"65536", ""},  {"", ""},
        {"0", "0"},    {"99999999999", ""}, {"007", "007"},
    };
    for (const auto& [typed, kept] : cases) {
        EXPECT_EQ(CheckDelayText(typed), kept) << typed;
    }
}

TEST(CmdRows, BoxMillisecondsReadsNumbersOnly) {
    EXPECT_EQ(BoxMilliseconds("1000"), 1000u);
    EXPECT_EQ(BoxMilliseconds("99999999999"), 4294967295u);
    EXPECT_FALSE(BoxMilliseconds(""));
    EXPECT_FALSE(BoxMilliseconds("12a"));
    EXPECT_FALSE(BoxMilliseconds("-1"));
}

TEST(CmdRows, SetAllHexConvertsOnlyRowsInTheOtherMode) {
    CmdRows rows;
    ClearCmdRows(rows, "n");
    rows[0].edtCmd = "AB";
    rows[1].edtCmd = "4142";
    rows[1].chkHex = true;
    SetAllHex(rows, true);
    EXPECT_EQ(rows[0].edtCmd, "4142");
    EXPECT_EQ(rows[1].edtCmd, "4142");
    EXPECT_TRUE(rows[0].chkHex && rows[1].chkHex && rows[49].chkHex);
    SetAllHex(rows, false);
    EXPECT_EQ(rows[0].edtCmd, "AB");
    EXPECT_EQ(rows[1].edtCmd, "AB");
}

TEST(CmdRows, NamesAndDigitKeys) {
    EXPECT_EQ(CmdRowName(0), "C0");
    EXPECT_EQ(CmdRowName(49), "C49");
    EXPECT_TRUE(IsDigitKeyText("7"));
    EXPECT_FALSE(IsDigitKeyText("a"));
    EXPECT_FALSE(IsDigitKeyText("-"));
    EXPECT_FALSE(IsDigitKeyText("12"));
}

} // namespace
} // namespace r2
