// ReceivedLine: a chunk shown cut with the count it leaves out, and a GBK character never cut
// in half.
#include "debugger/received_line.h"

#include <gtest/gtest.h>

namespace r2 {
namespace {

const QString MoreBytes = QStringLiteral("… (%1 more bytes)");

QString Shown(const QByteArray& bytes, bool hex) {
    const QString line = ReceivedLine("12:00:00.000", "127.0.0.1", 7, bytes, hex, MoreBytes);
    const QString prefix = QStringLiteral("12:00:00.000  127.0.0.1:7  [%1]  ").arg(bytes.size());
    EXPECT_TRUE(line.startsWith(prefix)) << line.left(80).toStdString();
    return line.mid(prefix.size());
}

TEST(ReceivedLine, ShowsAtMostTheFirstBytesAndCountsTheRest) {
    struct Case {
        const char* name;
        QByteArray bytes;
        bool hex;
        QString shown;
    };
    const QByteArray gbkRun = QByteArray(255, 'a') + "\xC4\xE3" + "b"; // 'a' x 255, 你, b
    const Case cases[] = {
        {"short text whole", "ok\r\n", false, "ok\\r\\n"},
        {"exactly the limit", QByteArray(256, 'x'), false, QString(256, 'x')},
        {"one byte over", QByteArray(257, 'x'), false, QString(256, 'x') + "… (1 more bytes)"},
        {"8 MiB without a line break", QByteArray(8 << 20, 'x'), false,
         QString(256, 'x') + "… (8388352 more bytes)"},
        {"hex cut", QByteArray(300, '\x01'), true,
         QString("01 ").repeated(256) + "… (44 more bytes)"},
        {"a double-byte character at the cut moves whole to the count", gbkRun, false,
         QString(255, 'a') + "… (3 more bytes)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Shown(c.bytes, c.hex).toStdString(), c.shown.toStdString()) << c.name;
    }
}

} // namespace
} // namespace r2
