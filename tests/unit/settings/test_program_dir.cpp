#include "settings/program_dir.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace r2 {
namespace {

TEST(ProgramDir, WritableExecutableDirectoryIsUsed) {
    QTemporaryDir exe;
    QTemporaryDir data;
    ASSERT_TRUE(exe.isValid() && data.isValid());
    EXPECT_EQ(ResolveProgramDir(exe.path(), data.path()), exe.path());
    EXPECT_EQ(QDir(exe.path()).entryList(QDir::Files), QStringList{}) << "probe file left behind";
}

// Root writes through permission bits, so the unwritable directories are ones the platform
// refuses to anyone: a path below a regular file, and /proc.
TEST(ProgramDir, UnwritableExecutableDirectoryFallsBackToCreatedAppData) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString plainFile = root.filePath("plain");
    QFile f(plainFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    const QString appData = root.filePath("data/r2config");
    for (const QString& exeDir : {plainFile + "/bin", QStringLiteral("/proc")}) {
        EXPECT_EQ(ResolveProgramDir(exeDir, appData), appData) << exeDir.toStdString();
        EXPECT_TRUE(QFileInfo(appData).isDir());
    }
}

TEST(ProgramDir, NeitherUsableKeepsTheExecutableDirectory) {
    EXPECT_EQ(ResolveProgramDir("/proc", "/proc/r2config"), "/proc");
    EXPECT_EQ(ResolveProgramDir("/proc", ""), "/proc");
}

} // namespace
} // namespace r2
