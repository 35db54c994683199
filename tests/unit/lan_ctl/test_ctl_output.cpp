// r2ctl's device list, exit statuses and JSON value forms.

#include "tools/r2ctl/ctl_output.h"

#include <gtest/gtest.h>
#include <ostream>
#include <QJsonDocument>
#include <QJsonValue>

namespace r2::ctl {
namespace {

TEST(DeviceList, JsonHasTheContractFieldsAndTypes) {
    const QJsonObject o = DeviceJson({"192.168.0.7", "A", "00 11 22 33 44 55", 4017, 2, 1});
    EXPECT_EQ(o.keys(), QStringList({"flag", "ip", "ipIndex", "mac", "model", "name", "version"}));
    EXPECT_EQ(o["version"], QJsonValue(4017));
    EXPECT_EQ(o["flag"], QJsonValue(2));
    EXPECT_EQ(o["ipIndex"], QJsonValue(1));
    EXPECT_EQ(o["model"], QJsonValue("P6"));
    EXPECT_EQ(DeviceJson({"", "", "", 2001, 0, 0})["model"], QJsonValue("none"));
    EXPECT_EQ(DeviceJson({"", "", "", 5002, 36, 0})["model"], QJsonValue("P7"));
}

struct ExitCase {
    const char* what;
    Outcome outcome;
    int expected;

    friend void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.what; }
};

class ExitStatus : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitStatus, FollowsTheAnswers) {
    EXPECT_EQ(ExitStatusFor(GetParam().outcome), GetParam().expected);
    EXPECT_EQ(ExplainExit(GetParam().outcome).isEmpty(), GetParam().expected == exitcode::Ok);
}

Outcome After(int frames, std::initializer_list<int> statuses) {
    Outcome o;
    o.framesSent = frames;
    for (int code : statuses) {
        CountStatus(o, code);
    }
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, ExitStatus,
    ::testing::Values(
        ExitCase{"all acknowledged", After(3, {StAck, StAck, StAck}), exitcode::Ok},
        ExitCase{"search-sent status is no answer", After(1, {StSearchSent}), exitcode::NoAnswer},
        ExitCase{"nothing answered", After(9, {}), exitcode::NoAnswer},
        ExitCase{"password error wins", After(2, {StAck, StPswdErr, StOtherErr}),
                 exitcode::PasswordError},
        ExitCase{"check error", After(2, {StAck, StCheckErr}), exitcode::OtherError},
        ExitCase{"other error", After(1, {StOtherErr}), exitcode::OtherError},
        ExitCase{"other series", After(1, {StOtherSeries}), exitcode::OtherError},
        ExitCase{"unknown length", After(1, {StAck, StUnknownLen}), exitcode::OtherError},
        ExitCase{"one frame unacknowledged", After(3, {StAck, StAck}), exitcode::OtherError},
        ExitCase{"nothing to send", After(0, {}), exitcode::OtherError},
        ExitCase{"a frame could not be sent",
                 [] {
                     Outcome o = After(1, {StAck});
                     o.framesFailed = 1;
                     return o;
                 }(),
                 exitcode::OtherError}));

TEST(ExitStatus, ExplainsTheOutcomeInWords) {
    Outcome failed = After(2, {StOtherErr});
    failed.framesFailed = 1;
    const struct {
        Outcome outcome;
        const char* text;
    } cases[] = {
        {After(1, {StAck}), ""},
        {After(1, {StPswdErr}), "the module rejected the user name or password; pass the right "
                                "ones with --user and --password"},
        {failed, "1 frame(s) could not be sent"},
        {After(0, {}), "nothing was sent: this command does not apply to the module"},
        {After(2, {StAck, StCheckErr, StOtherErr}), "the module answered with 2 error status(es)"},
        {After(3, {}), "nothing answered the 3 frame(s) sent"},
        {After(3, {StAck, StAck}), "only 2 of 3 frame(s) were acknowledged"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExplainExit(c.outcome).toStdString(), c.text);
    }
}

TEST(PanelValues, ListsAsIndexesBaudAsTextChecksAsBooleansEditsAsText) {
    const ControlInfo table[] = {
        {"cbb_S0", ControlKind::List, "stop bits", "1|2"},
        {"cbb_P0", ControlKind::List, "parity", "NONE|ODD|EVEN"},
        {"cbb_BaudRate0", ControlKind::BaudList, "baud", "rate"},
        {"rzchckbx_Link", ControlKind::CheckBox, "link", "0|1"},
        {"edt_ModName", ControlKind::Edit, "name", "any text"},
    };
    const std::vector<ControlValue> values{{"cbb_S0", "1"},
                                           {"cbb_P0", "-1"},
                                           {"cbb_BaudRate0", "57601"},
                                           {"rzchckbx_Link", "1"},
                                           {"edt_ModName", "\xC4\xA3\xBF\xE9"}};
    const QJsonObject o = PanelJson(table, values);
    EXPECT_EQ(o["cbb_S0"], QJsonValue(0)) << "the entry named 1 is entry 0";
    EXPECT_EQ(o["cbb_P0"], QJsonValue(-1));
    EXPECT_EQ(o["cbb_BaudRate0"], QJsonValue("57601"));
    EXPECT_EQ(o["rzchckbx_Link"], QJsonValue(true));
    EXPECT_EQ(o["edt_ModName"], QJsonValue(QString::fromUtf8("\u6a21\u5757")));
}

TEST(PanelValues, EntryIndexByName) {
    EXPECT_EQ(EntryIndex("UDP|TCP Client|UDP Server", "UDP Server"), 2);
    EXPECT_EQ(EntryIndex("UDP|TCP Client|UDP Server", "UDP"), 0);
    EXPECT_EQ(EntryIndex("UDP|TCP Client|UDP Server", "-1"), -1);
    EXPECT_EQ(EntryIndex("UDP|TCP Client|UDP Server", "TCP"), -1);
}

TEST(FromFile, JsonTypesBecomeSetTexts) {
    EXPECT_EQ(SetTextFromJson(QJsonValue(true)), QString("1"));
    EXPECT_EQ(SetTextFromJson(QJsonValue(false)), QString("0"));
    EXPECT_EQ(SetTextFromJson(QJsonValue(4)), QString("4"));
    EXPECT_EQ(SetTextFromJson(QJsonValue(-1)), QString("-1"));
    EXPECT_EQ(SetTextFromJson(QJsonValue("192.168.0.7")), QString("192.168.0.7"));
    EXPECT_FALSE(SetTextFromJson(QJsonValue(1.5)));
    EXPECT_FALSE(SetTextFromJson(QJsonValue(QJsonValue::Null)));
    EXPECT_FALSE(SetTextFromJson(QJsonValue(QJsonArray{1})));
}

struct ControlTextCase {
    const char* what;
    SetValue value;
    const char* expected; // nullptr: refused

    friend void PrintTo(const ControlTextCase& c, std::ostream* os) { *os << c.what; }
};

class ControlTexts : public ::testing::TestWithParam<ControlTextCase> {};

TEST_P(ControlTexts, AreWhatSetControlTakes) {
    static const ControlInfo table[] = {
        {"cbb_TCPSvrCount0", ControlKind::List, "connections", "1|2|3|4"},
        {"rzchckbx_Link", ControlKind::CheckBox, "link", "0|1"},
        {"edt_ModName", ControlKind::Edit, "name", "any text"},
    };
    QString error;
    const auto text = ControlText(table, GetParam().value, error);
    if (GetParam().expected == nullptr) {
        EXPECT_FALSE(text.has_value());
        EXPECT_TRUE(error.contains(GetParam().value.control)) << error.toStdString();
    } else {
        ASSERT_TRUE(text.has_value()) << error.toStdString();
        EXPECT_EQ(*text, GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, ControlTexts,
    ::testing::Values(
        ControlTextCase{"JSON index 3 on a numbered list is the entry named 4",
                        {"cbb_TCPSvrCount0", "3", true},
                        "4"},
        ControlTextCase{"JSON index -1 clears", {"cbb_TCPSvrCount0", "-1", true}, "-1"},
        ControlTextCase{"JSON index past the end", {"cbb_TCPSvrCount0", "4", true}, nullptr},
        ControlTextCase{"JSON index beyond int is no entry 0",
                        {"cbb_TCPSvrCount0", "4294967296", true},
                        nullptr},
        ControlTextCase{
            "JSON index beyond int, low bits 3", {"cbb_TCPSvrCount0", "4294967299", true}, nullptr},
        ControlTextCase{"JSON index below int", {"cbb_TCPSvrCount0", "-4294967295", true}, nullptr},
        ControlTextCase{"--set text on a list stays a name", {"cbb_TCPSvrCount0", "3", false}, "3"},
        ControlTextCase{"check box", {"rzchckbx_Link", "1", true}, "1"},
        ControlTextCase{"edit as GBK",
                        {"edt_ModName", QString::fromUtf8("\u6a21\u5757"), false},
                        "\xC4\xA3\xBF\xE9"},
        ControlTextCase{"edit with no GBK form",
                        {"edt_ModName", QString::fromUtf8("\U0001F600"), false},
                        nullptr},
        ControlTextCase{"unknown control passes through", {"nope", "x", false}, "x"}));

struct ShownCase {
    const char* what;
    QString text;
    const char* shown;

    friend void PrintTo(const ShownCase& c, std::ostream* os) { *os << c.what; }
};

class TerminalTexts : public ::testing::TestWithParam<ShownCase> {};

TEST_P(TerminalTexts, ShowEveryControlCharacterVisibly) {
    EXPECT_EQ(TerminalText(GetParam().text).toStdString(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, TerminalTexts,
    ::testing::Values(
        ShownCase{"plain and GBK text unchanged", QString::fromUtf8("P6-0001 \u6a21\u5757"),
                  "P6-0001 \u6a21\u5757"},
        ShownCase{"the fake row and the screen clear", QString::fromUtf8("X\n10.6.6.6  \x1b[2J"),
                  R"(X\n10.6.6.6  \x1b[2J)"},
        ShownCase{"carriage return and tab", QString::fromUtf8("a\rb\tc"), R"(a\rb\tc)"},
        ShownCase{"a backslash stays unambiguous", QString::fromUtf8(R"(a\x1b\)"), R"(a\\x1b\\)"},
        ShownCase{"NUL, DEL and the C1 introducer",
                  QString(QChar(0)) + QChar(0x7F) + QChar(0x9B) + "2J", R"(\x00\x7f\x9b2J)"},
        ShownCase{"bidirectional override and line separator",
                  QString(QChar(0x202E)) + "ab" + QChar(0x2028), R"(\u202eab\u2028)"},
        ShownCase{"a format character beyond the BMP", QString::fromUcs4(U"a\U000E0001", 2),
                  R"(a\U000e0001)"}));

// A password byte prints as "**": the dump keeps its length and every other byte; a span
// reaching past a short frame hides what is there and no more.
TEST(FrameDump, HidesThePasswordBytesUnlessAskedToShowThem) {
    // A read command: MAC, user name "admin", password "tulip", checksum.
    const QByteArray frame = QByteArray::fromHex("FF130300112233445561646D696E0074756C697000AB");
    const SecretSpans password{{15, 6}};
    EXPECT_EQ(FrameHex(frame, password, false).toStdString(),
              "FF130300112233445561646D696E00************AB");
    EXPECT_EQ(FrameHex(frame, password, true), HexText(frame));
    EXPECT_EQ(FrameHex(frame.left(17), password, false).toStdString(),
              "FF130300112233445561646D696E00****");
    EXPECT_EQ(FrameHex(frame, {}, false), HexText(frame));
}

TEST(DeviceList, TableRowsCannotBeFakedByAName) {
    const std::vector<FoundModule> rows{{"192.168.0.7", QString::fromUtf8("X\n10.6.6.6  \x1b[2J"),
                                         "00 11 22 33 44 55", 4017, 2, 0}};
    const QString table = DeviceTable(rows);
    EXPECT_EQ(table.count('\n'), 2) << table.toStdString();
    EXPECT_FALSE(table.contains(QChar(0x1B)));
    EXPECT_TRUE(table.contains(R"(X\n10.6.6.6  \x1b[2J)")) << table.toStdString();
}

TEST(JsonOutput, EscapesWhatQtLeavesRaw) {
    const QString name = QString::fromUtf8("a\x1b\n") + QChar(0x7F) + QChar(0x9B) + QChar(0x202E) +
                         QString::fromUcs4(U"\U000E0001", 1) + QString::fromUtf8("\u6a21");
    const QByteArray text = JsonText(QJsonDocument(QJsonObject{{"name", name}}));
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        EXPECT_TRUE((byte >= 0x20 && byte != 0x7F) || byte == '\n') << "raw byte " << int(byte);
    }
    EXPECT_FALSE(text.contains("\xC2\x9B")) << "U+009B is written raw";
    EXPECT_TRUE(text.contains(R"(\u007f\u009b\u202e\udb40\udc01)")) << text.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(text)["name"].toString(), name) << "the value is unchanged";
}

struct ResultCase {
    const char* what;
    QByteArray printed;
    int status;
    QString error;
    QJsonValue expected;

    friend void PrintTo(const ResultCase& c, std::ostream* os) { *os << c.what; }
};

class JsonResults : public ::testing::TestWithParam<ResultCase> {};

TEST_P(JsonResults, AlwaysLeaveJson) {
    const QByteArray text = JsonResult(GetParam().printed, GetParam().status, GetParam().error);
    const QJsonDocument doc = QJsonDocument::fromJson(text);
    const QJsonValue got = doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
    EXPECT_EQ(got, GetParam().expected) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, JsonResults,
    ::testing::Values(
        ResultCase{"a failure that printed nothing", "", exitcode::NotFound,
                   "no module with the MAC 00 11 22 33 44 55 answered the search",
                   QJsonObject{{"error", "no module with the MAC 00 11 22 33 44 55 answered the "
                                         "search"},
                               {"exit", 2}}},
        ResultCase{
            "a failure without a message says what the status means", "", exitcode::PasswordError,
            "",
            QJsonObject{{"error", "the module reported a user-name/password error"}, {"exit", 3}}},
        ResultCase{"a printed document gains error and exit",
                   R"({"device": {"mac": "00"}, "sent": []})", exitcode::OtherError,
                   "only 1 of 2 frame(s) were acknowledged",
                   QJsonObject{{"device", QJsonObject{{"mac", "00"}}},
                               {"sent", QJsonArray()},
                               {"error", "only 1 of 2 frame(s) were acknowledged"},
                               {"exit", 5}}},
        ResultCase{"an error the document names is kept", R"({"error": "own words", "exit": 5})",
                   exitcode::OtherError, "other words",
                   QJsonObject{{"error", "own words"}, {"exit", 5}}},
        ResultCase{"a device list stays a list", R"([{"mac": "00"}])", exitcode::OtherError, "",
                   QJsonArray{QJsonObject{{"mac", "00"}}}},
        ResultCase{"success is the document as printed", R"({"exit": 0})", exitcode::Ok, "",
                   QJsonObject{{"exit", 0}}}));

} // namespace
} // namespace r2::ctl
