#pragma once
// "The program's directory", where the settings file, the language file, the data debugger's
// command file and device-list exports live: the executable's own directory when the program
// may write there (a portable install, the build tree), otherwise the per-user application
// data directory, created when missing. Writability is tried with a real file, because
// permission bits do not tell about read-only mounts and do not bind a privileged user.

#include <QString>

namespace r2 {

// The rule itself, over the two candidates. When the application data directory cannot be
// created either, the executable's directory is kept: the files there can still be read, and
// each write reports its own failure.
QString ResolveProgramDir(const QString& executableDir, const QString& appDataDir);

// The rule applied to this process: QCoreApplication's directory and the writable
// QStandardPaths::AppDataLocation. Needs a QCoreApplication.
QString ProgramDir();

} // namespace r2
