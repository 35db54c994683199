#include "settings/program_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace r2 {
namespace {

bool CanCreateFilesIn(const QString& dir) {
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral("r2probe")));
    return probe.open();
}

} // namespace

QString ResolveProgramDir(const QString& executableDir, const QString& appDataDir) {
    if (CanCreateFilesIn(executableDir)) {
        return executableDir;
    }
    if (!appDataDir.isEmpty() && QDir().mkpath(appDataDir) && CanCreateFilesIn(appDataDir)) {
        return appDataDir;
    }
    return executableDir;
}

QString ProgramDir() {
    return ResolveProgramDir(QCoreApplication::applicationDirPath(),
                             QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

} // namespace r2
