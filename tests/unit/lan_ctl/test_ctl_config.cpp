// backup's and restore's files: written whole or not at all, and read back checked.
#include "protocol/panel_p6.h"
#include "tools/r2ctl/ctl_config.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

namespace r2::ctl {
namespace {

config::ModuleConfig P6Config(const PanelP6& panel) {
    return {config::Model::P6, 4017, "02 52 32 06 00 01", "2026-12-10T07:54:24Z",
            ControlValuesP6(panel)};
}

TEST(CtlConfig, SavedFileLoadsBackAsSaved) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("m.json"));
    PanelP6 panel;
    panel.edt_ModName = "\xB3\xB5\xBC\xE4"; // GBK
    QString error;
    ASSERT_TRUE(SaveModuleConfig(path, P6Config(panel), false, error)) << error.toStdString();
    const auto loaded = LoadModuleConfig(path, error);
    ASSERT_TRUE(loaded) << error.toStdString();
    EXPECT_EQ(*loaded, P6Config(panel));
}

TEST(CtlConfig, AValueThePanelDoesNotTakeBackWritesNoFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("m.json"));
    PanelP6 panel;
    panel.cbb_BaudRate0.index = 1; // shows the custom prompt, which is no rate
    QString error;
    EXPECT_FALSE(SaveModuleConfig(path, P6Config(panel), false, error));
    EXPECT_TRUE(error.contains(QStringLiteral("cbb_BaudRate0"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("not written"))) << error.toStdString();
    EXPECT_FALSE(QFile::exists(path));
}

TEST(CtlConfig, UnwritableAndUnreadableFilesAreNamed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("no/such/dir/m.json"));
    QString error;
    EXPECT_FALSE(SaveModuleConfig(missing, P6Config(PanelP6{}), false, error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("cannot write ") + missing)) << error.toStdString();
    EXPECT_FALSE(LoadModuleConfig(missing, error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("cannot read ") + missing)) << error.toStdString();

    const QString broken = dir.filePath(QStringLiteral("broken.json"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"format\": \"r2config-module\", \"version\": 7}");
    file.close();
    EXPECT_FALSE(LoadModuleConfig(broken, error));
    EXPECT_TRUE(error.startsWith(broken + QStringLiteral(": is of format version 7")))
        << error.toStdString();
}

} // namespace
} // namespace r2::ctl
