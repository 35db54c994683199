// A module configuration file on disk: a save leaves the old file or the whole new one, makes a
// new file private and keeps an existing file's mode and links, refuses a file without write
// permission and a link another user may have planted, leaves no temporary behind, and every
// failure names the file.
#include "protocol/config/config_store.h"
#include "protocol/panel_p6.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
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

// The files hold the module's passwords: a new one is private whatever the umask lets through,
// and a save never widens (nor narrows) what the user chose for an existing one.
TEST_F(ConfigStore, NewFileIsPrivateAndAnExistingFileKeepsItsMode) {
    const mode_t umaskBefore = ::umask(022);
    struct Case {
        const char* name;
        std::optional<fs::perms> existing;
        fs::perms after;
    };
    using P = fs::perms;
    const Case cases[] = {
        {"new.json", std::nullopt, P::owner_read | P::owner_write},
        {"group.json", P::owner_read | P::owner_write | P::group_read,
         P::owner_read | P::owner_write | P::group_read},
        {"world.json", P::owner_read | P::owner_write | P::group_read | P::others_read,
         P::owner_read | P::owner_write | P::group_read | P::others_read},
    };
    for (const Case& c : cases) {
        const fs::path path = m_dir / c.name;
        if (c.existing) {
            Put(path, "old");
            fs::permissions(path, *c.existing);
        }
        EXPECT_EQ(SaveModuleConfig(path, P6Config(PanelP6{})), "") << c.name;
        EXPECT_EQ(fs::status(path).permissions() & P::all, c.after) << c.name;
        EXPECT_EQ(Contents(path), WriteModuleConfig(P6Config(PanelP6{}))) << c.name;
    }
    ::umask(umaskBefore);
}

// Checked on the mode bits, so that the rule holds for root too (whom access() lets write).
TEST_F(ConfigStore, AFileWithoutWritePermissionIsReplacedOnlyWhenAsked) {
    const fs::path path = m_dir / "kept.json";
    Put(path, "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_TRUE(IsWriteProtected(path));
    const std::string refused = SaveModuleConfig(path, P6Config(PanelP6{}));
    EXPECT_EQ(refused, path.string() + " has no write permission (mode 0440), so it was not "
                                       "replaced and nothing was written");
    EXPECT_EQ(Contents(path), "old");
    EXPECT_EQ(EntriesInDir(), 1u);

    ASSERT_EQ(SaveModuleConfig(path, P6Config(PanelP6{}), ReplaceReadOnly::Replace), "");
    EXPECT_EQ(Contents(path), WriteModuleConfig(P6Config(PanelP6{})));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(IsWriteProtected(m_dir / "missing.json")) << "a new file is no replaced one";
}

// In a directory where anyone may create names and only the owner may remove them (like /tmp),
// a link is refused rather than followed; the file it names is left alone.
TEST_F(ConfigStore, ALinkInAStickyWorldWritableDirectoryIsRefused) {
    const fs::path shared = m_dir / "shared";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    const fs::path victim = m_dir / "victim.json";
    Put(victim, "victim");
    const fs::path planted = shared / "backup.json";
    fs::create_symlink(victim, planted);
    EXPECT_TRUE(IsLinkInSharedDirectory(planted));
    const std::string refused = SaveModuleConfig(planted, P6Config(PanelP6{}));
    EXPECT_EQ(refused.rfind(planted.string() + " is a symbolic link in " + shared.string(), 0), 0u)
        << refused;
    EXPECT_NE(refused.find("nothing was written"), std::string::npos) << refused;
    EXPECT_EQ(Contents(victim), "victim");
    EXPECT_TRUE(fs::is_symlink(planted));

    // A plain file in the same directory is written as anywhere else, and so is a link in a
    // directory of its owner's.
    const fs::path plain = shared / "plain.json";
    EXPECT_FALSE(IsLinkInSharedDirectory(plain));
    const fs::path ownLink = m_dir / "own-link.json";
    fs::create_symlink(victim, ownLink);
    EXPECT_FALSE(IsLinkInSharedDirectory(ownLink));
    ASSERT_EQ(SaveModuleConfig(plain, P6Config(PanelP6{})), "");
    EXPECT_EQ(Contents(plain), WriteModuleConfig(P6Config(PanelP6{})));
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
