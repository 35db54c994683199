#include "device_export.h"

#include "Unit_Udp.h"

#include <QDir>
#include <QSaveFile>

namespace r2 {

namespace {

QByteArray CsvField(const QString& text) {
    const QByteArray bytes = QByteArray::fromStdString(ToFrameText(text));
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') &&
        !bytes.contains('\r')) {
        return bytes;
    }
    return '"' + QByteArray(bytes).replace("\"", "\"\"") + '"';
}

} // namespace

QByteArray DeviceListCsv(const std::vector<DeviceRow>& rows) {
    QByteArray out = "IP,Name,MAC,Ver\r\n";
    for (const DeviceRow& row : rows) {
        out += CsvField(row.ip) + ',' + CsvField(row.name) + ',' + CsvField(row.mac) + ',' +
               CsvField(row.version) + "\r\n";
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
