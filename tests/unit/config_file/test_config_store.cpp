// A module configuration file on disk: a save leaves the old file or the whole new one, keeps the
// file's mode and links, leaves no temporary behind, and every failure names the file.
#include "config_store.h"
#include "panel_p6.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace r2::config {
namespace {

namespace fs = std::filesystem;

class ConfigStore : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "r2store-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    static ModuleConfig P6Config(const PanelP6& panel) {
        return {Model::P6, 4017, "02 52 32 06 00 01", "2026-12-10T07:54:24Z",
                ControlValuesP6(panel)};
    }
    static std::string Contents(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    static void Put(const fs::path& path, std::string_view text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::size_t EntriesInDir() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()));
    }

    fs::path m_dir;
};

TEST_F(ConfigStore, SavedFileLoadsBackAsSavedAndLeavesNoTemporary) {
    PanelP6 panel;
    panel.edt_ModName = "\xB3\xB5\xBC\xE4"; // GBK
    panel.edt_StaticIP = "10.1.2.3";
    const fs::path path = m_dir / "m.json";
    Put(path, "old");
    ASSERT_EQ(SaveModuleConfig(path, P6Config(panel)), "");
    const LoadResult loaded = LoadModuleConfig(path);
    ASSERT_TRUE(loaded.config) << loaded.error;
    EXPECT_EQ(*loaded.config, P6Config(panel));
    EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(ConfigStore, ReplacingKeepsTheFilesModeAndItsLink) {
    const fs::path real = m_dir / "real.json";
    const fs::path link = m_dir / "link.json";
    Put(real, "old");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(real, link);
    ASSERT_EQ(SaveModuleConfig(link, P6Config(PanelP6{})), "");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Contents(real), WriteModuleConfig(P6Config(PanelP6{})));
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(EntriesInDir(), 2u);
}

TEST_F(ConfigStore, ARefusedOrFailedSaveLeavesTheOldFile) {
    const fs::path path = m_dir / "m.json";
    Put(path, "old");
    PanelP6 panel;
    panel.cbb_BaudRate0.index = 1; // shows the custom prompt, which is no rate
    const std::string refused = SaveModuleConfig(path, P6Config(panel));
    EXPECT_NE(refused.find("cbb_BaudRate0"), std::string::npos) << refused;
    EXPECT_NE(refused.find("not written"), std::string::npos) << refused;
    EXPECT_EQ(Contents(path), "old");

    // The rename fails (a directory stands where the file would go): the temporary goes too.
    const fs::path taken = m_dir / "taken.json";
    fs::create_directory(taken);
    Put(taken / "inside", "kept");
    const std::string failed = SaveModuleConfig(taken, P6Config(PanelP6{}));
    EXPECT_EQ(failed.rfind("cannot write " + taken.string() + ": ", 0), 0u) << failed;
    EXPECT_EQ(Contents(taken / "inside"), "kept");
    EXPECT_EQ(EntriesInDir(), 2u);
}

TEST_F(ConfigStore, UnwritableUnreadableAndRefusedFilesAreNamed) {
    const fs::path missing = m_dir / "no/such/dir/m.json";
    const std::string written = SaveModuleConfig(missing, P6Config(PanelP6{}));
    EXPECT_EQ(written.rfind("cannot write " + missing.string() + ": No such file", 0), 0u)
        << written;
    const LoadResult unread = LoadModuleConfig(missing);
    EXPECT_FALSE(unread.config);
    EXPECT_EQ(unread.error.rfind("cannot read " + missing.string() + ": No such file", 0), 0u)
        << unread.error;

    const fs::path newer = m_dir / "newer.json";
    Put(newer, R"({"format": "r2config-module", "version": 7})");
    const LoadResult refused = LoadModuleConfig(newer);
    EXPECT_FALSE(refused.config);
    EXPECT_EQ(refused.error.rfind(newer.string() + ": is of format version 7", 0), 0u)
        << refused.error;
}

// A file is read no further than one byte past the size cap: a huge file, or a device that never
// ends, is refused by its size instead of being parsed (or read) whole.
TEST_F(ConfigStore, AFileOverTheSizeCapIsRefusedUnparsed) {
    const std::string text = WriteModuleConfig(P6Config(PanelP6{}));
    const auto padded = [&text](std::size_t size) {
        return text + std::string(size - text.size(), ' ');
    };
    const fs::path atCap = m_dir / "at-cap.json";
    Put(atCap, padded(MaxFileBytes));
    const LoadResult fits = LoadModuleConfig(atCap);
    EXPECT_TRUE(fits.config) << fits.error;

    const fs::path huge = m_dir / "huge.json";
    Put(huge, text);
    fs::resize_file(huge, 20 * 1024 * 1024);
    const struct {
        fs::path path;
        std::string content; // written unless empty
        std::string says;
    } cases[] = {
        {m_dir / "one-over.json", padded(MaxFileBytes + 1),
         ": is 262145 bytes, more than the 262144 bytes (256 KiB) a module configuration file"},
        {huge, "", ": is 20971520 bytes, more than the 262144 bytes"},
        {"/dev/zero", "", ": is larger than the 262144 bytes (256 KiB)"},
    };
    for (const auto& c : cases) {
        if (!c.content.empty()) {
            Put(c.path, c.content);
        }
        const LoadResult refused = LoadModuleConfig(c.path);
        EXPECT_FALSE(refused.config) << c.path;
        EXPECT_EQ(refused.error.rfind(c.path.string() + c.says, 0), 0u) << refused.error;
    }
    // The text reader keeps the same cap for callers that hold the text already.
    const ReadResult read = ReadModuleConfig(padded(MaxFileBytes + 1), "big.json");
    EXPECT_FALSE(read.config);
    EXPECT_EQ(read.error.rfind("big.json: is 262145 bytes", 0), 0u) << read.error;
}

// Nesting is bounded, so a small file of brackets cannot exhaust the stack.
TEST_F(ConfigStore, DeepNestingIsRefused) {
    const fs::path path = m_dir / "deep.json";
    Put(path, R"({"panel": )" + std::string(100000, '[') + std::string(100000, ']') + "}");
    const LoadResult refused = LoadModuleConfig(path);
    EXPECT_FALSE(refused.config);
    EXPECT_NE(refused.error.find("nested deeper than"), std::string::npos) << refused.error;
}

} // namespace
} // namespace r2::config
