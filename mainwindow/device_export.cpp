#include "mainwindow/device_export.h"

#include "lan/frame_text.h"

#include <QDir>
#include <QSaveFile>
#include <string_view>

namespace r2 {

namespace {

// A spreadsheet takes a cell that starts with one of these for a formula (a module may name
// itself "=HYPERLINK(...)"), so such a field is written as text: after a ' and quoted.
bool StartsLikeFormula(const QByteArray& bytes) {
    constexpr std::string_view starts = "=+-@\t\r";
    return !bytes.isEmpty() && starts.find(bytes.front()) != std::string_view::npos;
}

QByteArray CsvField(const QString& text) {
    QByteArray bytes = QByteArray::fromStdString(ToFrameText(text));
    const bool formula = StartsLikeFormula(bytes);
    if (!formula && !bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') &&
        !bytes.contains('\r')) {
        return bytes;
    }
    if (formula) {
        bytes.prepend('\'');
    }
    return '"' + bytes.replace("\"", "\"\"") + '"';
}

} // namespace

QByteArray DeviceListCsv(std::span<const FoundModule> rows) {
    QByteArray out = "IP,Name,MAC,Ver\r\n";
    for (const FoundModule& row : rows) {
        out += CsvField(row.ip) + ',' + CsvField(row.name) + ',' + CsvField(row.mac) + ',' +
               CsvField(row.versionText()) + "\r\n";
    }
    return out;
}

QString DeviceListExportPath(const QString& programDir, const QString& menuText,
                             const QDateTime& when, int rowCount) {
    const QString name = QStringLiteral("%1 %2 - (%3).csv")
                             .arg(menuText, when.toString(QStringLiteral("yyyyMMdd hhmmss")))
                             .arg(rowCount);
    return QDir(programDir).filePath(name);
}

QString WriteDeviceListFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return file.errorString();
    }
    return {};
}

} // namespace r2
