#include "debugger/received_line.h"

#include "lang/gbk_text.h"
#include "protocol/Unit_ProFun.h"
#include "qt_bridge/qt_bridge.h"

namespace r2 {

namespace {

bool IsGbkLeadByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x81 && byte <= 0xFE;
}

// How many of the first `limit` bytes to show: never half of a GBK double-byte character.
qsizetype ShownLength(const QByteArray& bytes, qsizetype limit) {
    if (bytes.size() <= limit) {
        return bytes.size();
    }
    qsizetype at = 0;
    while (at < limit) {
        const qsizetype width = IsGbkLeadByte(bytes[at]) ? 2 : 1;
        if (at + width > limit) {
            break;
        }
        at += width;
    }
    return at;
}

QString EscapedText(const QByteArray& bytes) {
    const auto decoded = GbkToUtf8(bytes.toStdString());
    const QString text = decoded ? QString::fromStdString(*decoded) : QString::fromLatin1(bytes);
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\r')) {
            shown += QStringLiteral("\\r");
        } else if (c == QLatin1Char('\n')) {
            shown += QStringLiteral("\\n");
        } else if (c == QLatin1Char('\t')) {
            shown += QStringLiteral("\\t");
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            shown += c;
        }
    }
    return shown;
}

QString HexText(const QByteArray& bytes) {
    return QString::fromStdString(BytesToHexSep(ViewOf(bytes), " "));
}

} // namespace

QString ReceivedLine(const QString& stamp, const QString& address, std::uint16_t port,
                     const QByteArray& bytes, bool hex, const QString& moreBytes) {
    const QByteArray shownBytes = bytes.first(ShownLength(bytes, ReceivedShownBytes));
    QString shown = hex ? HexText(shownBytes) : EscapedText(shownBytes);
    if (shownBytes.size() < bytes.size()) {
        shown += moreBytes.arg(bytes.size() - shownBytes.size());
    }
    return QStringLiteral("%1  %2:%3  [%4]  %5")
        .arg(stamp, address, QString::number(port), QString::number(bytes.size()), shown);
}

} // namespace r2
