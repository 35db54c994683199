// The device list's CSV file: ordinary fields as they stand, RFC 4180 quoting where a field
// holds a separator, and any field a spreadsheet would run as a formula written as text.
#include "mainwindow/device_export.h"

#include <gtest/gtest.h>

namespace r2 {
namespace {

FoundModule Row(const QString& ip, const QString& name, const QString& mac, unsigned version) {
    return FoundModule{ip, name, mac, version, 0, 0};
}

// The line under the header of a file that lists one module of that name.
std::string NameLine(const QString& name) {
    const std::vector<FoundModule> rows{Row("192.168.0.20", name, "02 52 32 06 00 01", 4017)};
    const QByteArray csv = DeviceListCsv(rows);
    return csv.mid(csv.indexOf("\r\n") + 2).toStdString();
}

TEST(DeviceExport, FieldsAreWrittenAsTheyStandOrQuoted) {
    const struct {
        QString name;
        std::string line;
    } cases[] = {
        {"Pump", "192.168.0.20,Pump,02 52 32 06 00 01,4017\r\n"},
        {"A,B", "192.168.0.20,\"A,B\",02 52 32 06 00 01,4017\r\n"},
        {"Say \"hi\"", "192.168.0.20,\"Say \"\"hi\"\"\",02 52 32 06 00 01,4017\r\n"},
        {"A=B-C+D@E", "192.168.0.20,A=B-C+D@E,02 52 32 06 00 01,4017\r\n"},
        {"", "192.168.0.20,,02 52 32 06 00 01,4017\r\n"},
        // GBK bytes, as before.
        {QString::fromUtf8("\xE8\xBD\xA6\xE9\x97\xB4"),
         "192.168.0.20,\xB3\xB5\xBC\xE4,02 52 32 06 00 01,4017\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NameLine(c.name), c.line) << c.name.toStdString();
    }
}

TEST(DeviceExport, AFieldThatStartsLikeAFormulaIsWrittenAsText) {
    const struct {
        QString name;
        std::string field;
    } cases[] = {
        {"=HYPERLINK(\"http://x.test/\",\"open\")",
         "\"'=HYPERLINK(\"\"http://x.test/\"\",\"\"open\"\")\""},
        {"+cmd|' /C calc'!A0", "\"'+cmd|' /C calc'!A0\""},
        {"-2+3", "\"'-2+3\""},
        {"@SUM(A1:A9)", "\"'@SUM(A1:A9)\""},
        {"\t=1", "\"'\t=1\""},
        {"\r=1", "\"'\r=1\""},
        {"=1,2", "\"'=1,2\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NameLine(c.name), "192.168.0.20," + c.field + ",02 52 32 06 00 01,4017\r\n")
            << c.name.toStdString();
    }
    // Every text column, not only the name: each of them comes from the module's answer. The
    // version is a number, written as its digits.
    const std::vector<FoundModule> rows{Row("=1", "+2", "-3", 4017)};
    EXPECT_EQ(DeviceListCsv(rows).toStdString(),
              "IP,Name,MAC,Ver\r\n\"'=1\",\"'+2\",\"'-3\",4017\r\n");
}

} // namespace
} // namespace r2
