#pragma once
// The device list export: a CSV file in the program's directory, one line per listed module,
// GBK text with CR LF after every line. A field holding a comma, a double quote or a line break
// is quoted (RFC 4180), so a module named "A,B" keeps its columns. A field that starts with =,
// +, -, @, TAB or CR gets a ' in front and is quoted, so a spreadsheet shows it as text instead
// of running it as a formula. Every other field is written as it stands.

#include "mainwindow/main_view.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <span>

namespace r2 {

QByteArray DeviceListCsv(std::span<const FoundModule> rows);

// "<dir>/<menu text> yyyyMMdd hhmmss - (<rows>).csv"
QString DeviceListExportPath(const QString& programDir, const QString& menuText,
                             const QDateTime& when, int rowCount);

// Writes the file, replacing one of that name. Empty on success, else the system's reason.
QString WriteDeviceListFile(const QString& path, const QByteArray& bytes);

} // namespace r2
