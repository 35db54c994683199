#include "lang/Unit_AppLang.h"
#include "settings/Unit_Ini.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <linux/capability.h>
#include <ostream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace r2 {
namespace {

namespace fs = std::filesystem;

// A fresh directory per test, removed afterwards.
class SettingsDir : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "r2settings.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_dir, ec);
    }

    fs::path Ini() const { return m_dir / SettingsFileName; }

    static void Write(const fs::path& path, std::string_view bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir)) {
            names.push_back(e.path().filename().string());
        }
        return names;
    }

    fs::path m_dir;
};

// The file after a first run in English with model P6 on COM3, nothing else changed.
constexpr std::string_view FirstRunFile = "[System]\r\n"
                                          "Language=0\r\n"
                                          "RealTimeHelp=1\r\n"
                                          "LocalCom=COM3\r\n"
                                          "PNum=2\r\n"
                                          "UserName=admin\r\n"
                                          "Password=tulip\r\n"
                                          "UpgradeIP=\r\n"
                                          "UpgradeMAC=\r\n"
                                          "UpgradeFileName=\r\n"
                                          "FilePath=\r\n";

TEST_F(SettingsDir, FirstSaveWritesEveryKeyInOrderWithCrLf) {
    const R2Settings s{.LocalCom = "COM3", .PNum = 2, .UserName = "admin", .Password = "tulip"};
    ASSERT_EQ(SaveSettings(Ini(), s), std::nullopt);
    EXPECT_EQ(Read(Ini()), FirstRunFile);
}

TEST_F(SettingsDir, SavedValuesLoadBackExceptTheCredentials) {
    const R2Settings saved{.Language = true,
                           .RealTimeHelp = false,
                           .LocalCom = "/dev/ttyUSB0",
                           .PNum = 3,
                           .UserName = "bob",
                           .Password = "s3cret",
                           .UpgradeIP = "192.168.0.7",
                           .UpgradeMAC = "00-11-22-33-44-55",
                           .UpgradeFileName = "/home/u/固件.bin",
                           .FilePath = "/home/u/命令.txt"};
    ASSERT_EQ(SaveSettings(Ini(), saved), std::nullopt);

    R2Settings expected = saved;
    expected.UserName.clear();
    expected.Password.clear();
    EXPECT_EQ(LoadSettings(Ini(), false, "previous.txt"), expected);
    EXPECT_EQ(LoadUpgradeSettings(Ini()),
              (R2UpgradeSettings{"192.168.0.7", "00-11-22-33-44-55", "/home/u/固件.bin"}));

    const std::string bytes = Read(Ini());
    EXPECT_NE(bytes.find("UserName=bob\r\nPassword=s3cret\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("FilePath=/home/u/\xC3\xFC\xC1\xEE.txt\r\n"), std::string::npos)
        << "texts are stored as GBK";
}

struct ReadCase {
    const char* name;
    std::string_view file;
    R2Settings expected; // with systemChinese false and no FilePath held before the read
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadRules : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadRules, ValueReadAsExpected) {
    EXPECT_EQ(ParseSettings(GetParam().file, false, ""), GetParam().expected);
}

const ReadCase readCases[] = {
    {"EmptyFile", "", {}},
    {"NoSystemSection", "[Other]\r\nLocalCom=COM5\r\nPNum=2\r\n", {}},
    {"ModelSevenIsFirstModel", "[System]\r\nPNum=7\r\n", {.PNum = 1}},
    {"ModelZeroIsFirstModel", "[System]\r\nPNum=0\r\n", {.PNum = 1}},
    {"NegativeModelIsFirstModel", "[System]\r\nPNum=-3\r\n", {.PNum = 1}},
    {"ModelThree", "[System]\r\nPNum=3\r\n", {.PNum = 3}},
    {"HexModel", "[System]\r\nPNum=0x2\r\n", {.PNum = 2}},
    {"TextModelIsDefault", "[System]\r\nPNum=two\r\n", {.PNum = 1}},
    {"HintsOff", "[System]\r\nRealTimeHelp=0\r\n", {.RealTimeHelp = false}},
    {"AnyNumberIsTrue", "[System]\r\nLanguage=5\r\n", {.Language = true}},
    {"NegativeNumberIsTrue", "[System]\r\nLanguage=-1\r\n", {.Language = true}},
    {"HexZeroIsFalse", "[System]\r\nRealTimeHelp=0x0\r\n", {.RealTimeHelp = false}},
    {"HexBooleanIsTrue", "[System]\r\nLanguage=0x10\r\n", {.Language = true}},
    {"TextBooleanIsDefault", "[System]\r\nRealTimeHelp=no\r\n", {.RealTimeHelp = true}},
    {"EmptyBooleanIsDefault", "[System]\r\nRealTimeHelp=\r\n", {.RealTimeHelp = true}},
    {"CustomSetByHand", "[System]\r\nCustom=1\r\n", {.Custom = true}},
    {"CredentialsNeverRead", "[System]\r\nUserName=bob\r\nPassword=secret\r\n", {}},
    {"NamesIgnoreCase", "[system]\r\nlocalcom=COM9\r\npnum=3\r\n", {.LocalCom = "COM9", .PNum = 3}},
    {"BlanksAroundNamesAndValues", " [ System ] \r\n\tLocalCom = COM4 \r\n", {.LocalCom = "COM4"}},
    {"FirstKeyWins", "[System]\r\nLocalCom=COM5\r\nLocalCom=COM6\r\n", {.LocalCom = "COM5"}},
    {"FirstSectionWins",
     "[System]\r\nPNum=2\r\n[System]\r\nPNum=3\r\nLocalCom=COM6\r\n",
     {.PNum = 2}},
    {"KeyOfAnotherSection", "[System]\r\n[Other]\r\nLocalCom=COM5\r\n", {}},
    {"CommentedKey", "[System]\r\n;LocalCom=COM7\r\n", {}},
    {"LfLineEnds", "[System]\nLocalCom=COM2\nPNum=3", {.LocalCom = "COM2", .PNum = 3}},
    {"EmptyStringIsKept", "[System]\r\nLocalCom=\r\n", {.LocalCom = ""}},
    {"ValueHoldsEquals", "[System]\r\nFilePath=a=b\r\n", {.FilePath = "a=b"}},
    {"GbkText", "[System]\r\nFilePath=\xC3\xFC\xC1\xEE\r\n", {.FilePath = "命令"}},
    {"BytesThatAreNotGbkAreDefault", "[System]\r\nLocalCom=\xFF\xFF\r\n", {}},
    {"UpgradeKeys",
     "[System]\r\nUpgradeIP=10.0.0.2\r\nUpgradeMAC=AA\r\nUpgradeFileName=f.bin\r\n",
     {.UpgradeIP = "10.0.0.2", .UpgradeMAC = "AA", .UpgradeFileName = "f.bin"}},
};

INSTANTIATE_TEST_SUITE_P(Settings, ReadRules, ::testing::ValuesIn(readCases),
                         [](const auto& c) { return std::string(c.param.name); });

TEST(SettingsDefaults, LanguageFollowsTheSystemAndFilePathKeepsItsValueUntilStored) {
    const R2Settings fresh = ParseSettings("", true, "DataSelf.txt");
    EXPECT_TRUE(fresh.Language);
    EXPECT_EQ(fresh.FilePath, "DataSelf.txt");

    const R2Settings stored = ParseSettings("[System]\r\nLanguage=0\r\nFilePath=\r\n", true, "x");
    EXPECT_FALSE(stored.Language);
    EXPECT_EQ(stored.FilePath, "");

    const R2Settings wrongForm = ParseSettings("[System]\r\nLanguage=yes\r\n", true, "");
    EXPECT_TRUE(wrongForm.Language);
}

TEST_F(SettingsDir, MissingFileGivesDefaults) {
    EXPECT_EQ(LoadSettings(Ini(), true, "p"), (R2Settings{.Language = true, .FilePath = "p"}));
    EXPECT_EQ(LoadUpgradeSettings(Ini()), R2UpgradeSettings{});
}

TEST_F(SettingsDir, LanguageSwitchSurvivesARestart) {
    ASSERT_EQ(LoadSettings(Ini(), true, "").Language, true);
    ASSERT_EQ(SaveLanguageSetting(Ini(), false), std::nullopt);
    EXPECT_EQ(LoadSettings(Ini(), true, "").Language, false);
}

struct IntegerCase {
    std::string_view text;
    std::optional<int> expected;
};

void PrintTo(const IntegerCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class IntegerForm : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerForm, ParsedOrRefused) {
    EXPECT_EQ(ParseIniInteger(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, IntegerForm,
    ::testing::Values(IntegerCase{"10", 10}, IntegerCase{"0x10", 16}, IntegerCase{"0X1f", 31},
                      IntegerCase{"-5", -5}, IntegerCase{"+7", 7}, IntegerCase{"007", 7},
                      IntegerCase{"2147483647", 2147483647},
                      IntegerCase{"-2147483648", -2147483647 - 1},
                      IntegerCase{"0x7FFFFFFF", 2147483647}, IntegerCase{"2147483648", {}},
                      IntegerCase{"-2147483649", {}}, IntegerCase{"0x80000000", {}},
                      IntegerCase{"99999999999999999999999", {}}, IntegerCase{"", {}},
                      IntegerCase{"-", {}}, IntegerCase{"0x", {}}, IntegerCase{"abc", {}},
                      IntegerCase{"12a", {}}, IntegerCase{"1 2", {}}, IntegerCase{"--1", {}},
                      IntegerCase{"0x-1", {}}, IntegerCase{"0x+1", {}}, IntegerCase{"1.5", {}}));

struct RewriteCase {
    const char* name;
    std::string_view before;
    std::string_view after; // after SaveLanguageSetting(true)
};

void PrintTo(const RewriteCase& c, std::ostream* os) {
    *os << c.name;
}

class LanguageRewrite : public SettingsDir, public ::testing::WithParamInterface<RewriteCase> {};

TEST_P(LanguageRewrite, OnlyTheLanguageLineChanges) {
    Write(Ini(), GetParam().before);
    ASSERT_EQ(SaveLanguageSetting(Ini(), true), std::nullopt);
    EXPECT_EQ(Read(Ini()), GetParam().after);
    EXPECT_TRUE(LoadSettings(Ini(), false, "").Language);
}

const RewriteCase rewriteCases[] = {
    {"EmptyFile", "", "[System]\r\nLanguage=1\r\n"},
    {"ReplacedInPlace", "[System]\r\nLanguage=0\r\nPNum=2\r\n",
     "[System]\r\nLanguage=1\r\nPNum=2\r\n"},
    {"SectionAppended", "[Other]\nX=1", "[Other]\r\nX=1\r\n[System]\r\nLanguage=1\r\n"},
    {"KeyAddedBeforeTheBlankLines", "[System]\r\nCustom=1\r\n\r\n[Other]\r\nX=1\r\n",
     "[System]\r\nCustom=1\r\nLanguage=1\r\n\r\n[Other]\r\nX=1\r\n"},
    {"NamesInAnyCase", "[SYSTEM]\r\n language = 0 \r\n", "[SYSTEM]\r\nLanguage=1\r\n"},
    {"CommentsKept", ";c\r\n[System]\r\n;Language=0\r\n",
     ";c\r\n[System]\r\n;Language=0\r\nLanguage=1\r\n"},
    {"FirstSectionOnly", "[System]\r\nA=1\r\n[System]\r\nLanguage=0\r\n",
     "[System]\r\nA=1\r\nLanguage=1\r\n[System]\r\nLanguage=0\r\n"},
    {"UnknownGbkLineKeptByteForByte", "[System]\r\nName=\xC3\xFC\x80\r\n",
     "[System]\r\nName=\xC3\xFC\x80\r\nLanguage=1\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Settings, LanguageRewrite, ::testing::ValuesIn(rewriteCases),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(SettingsDir, FullSaveKeepsCustomAndUnknownLines) {
    Write(Ini(), "[System]\r\nCustom=1\r\nPNum=3\r\nTheme=dark\r\n\r\n[Extra]\r\nK=V\r\n");
    const R2Settings s{.LocalCom = "COM3", .PNum = 2, .UserName = "admin", .Password = "tulip"};
    ASSERT_EQ(SaveSettings(Ini(), s), std::nullopt);
    EXPECT_EQ(Read(Ini()), "[System]\r\n"
                           "Custom=1\r\n"
                           "PNum=2\r\n"
                           "Theme=dark\r\n"
                           "Language=0\r\n"
                           "RealTimeHelp=1\r\n"
                           "LocalCom=COM3\r\n"
                           "UserName=admin\r\n"
                           "Password=tulip\r\n"
                           "UpgradeIP=\r\n"
                           "UpgradeMAC=\r\n"
                           "UpgradeFileName=\r\n"
                           "FilePath=\r\n"
                           "\r\n"
                           "[Extra]\r\n"
                           "K=V\r\n");
    EXPECT_TRUE(LoadSettings(Ini(), false, "").Custom);
}

// The file holds the device password in plain text.
TEST_F(SettingsDir, FileIsReadableByItsOwnerOnly) {
    const R2Settings s{.Password = "tulip"};
    for (const bool existedOpen : {false, true}) {
        if (existedOpen) {
            Write(Ini(), "[System]\r\n");
            fs::permissions(Ini(), fs::perms(0644));
        }
        ASSERT_EQ(SaveSettings(Ini(), s), std::nullopt);
        EXPECT_EQ(fs::status(Ini()).permissions() & fs::perms::all, fs::perms(0600))
            << (existedOpen ? "rewriting a 0644 file" : "creating the file");
    }
}

TEST_F(SettingsDir, SaveLeavesNoTemporaryFileBehind) {
    ASSERT_EQ(SaveSettings(Ini(), {}), std::nullopt);
    ASSERT_EQ(SaveLanguageSetting(Ini(), true), std::nullopt);
    EXPECT_EQ(Entries(), std::vector<std::string>{std::string(SettingsFileName)});
}

TEST_F(SettingsDir, LinkedFileStaysALink) {
    fs::create_directory(m_dir / "elsewhere");
    const fs::path real = m_dir / "elsewhere" / "settings.ini";
    Write(real, "[System]\r\nCustom=1\r\n");
    fs::create_symlink(real, Ini());

    ASSERT_EQ(SaveLanguageSetting(Ini(), true), std::nullopt);
    EXPECT_TRUE(fs::is_symlink(Ini()));
    EXPECT_EQ(Read(real), "[System]\r\nCustom=1\r\nLanguage=1\r\n");
}

// Each case makes a write fail for real, also for root (permission bits do not stop root, so
// the cases use a parent that is a regular file, a missing directory, /proc, a directory in
// the file's place and a file its owner made read-only).
struct FailureCase {
    const char* name;
    fs::path (*prepare)(const fs::path& dir); // returns the settings path to save to
    R2Settings settings;
    const char* detail; // part of the reason
};

const FailureCase failureCases[] = {
    {"ParentIsARegularFile",
     [](const fs::path& dir) {
         std::ofstream(dir / "plain") << "x";
         return dir / "plain" / SettingsFileName;
     },
     {},
     "cannot create"},
    {"MissingDirectory",
     [](const fs::path& dir) { return dir / "gone" / SettingsFileName; },
     {},
     "cannot create"},
    {"DirectoryInPlaceOfTheFile",
     [](const fs::path& dir) {
         fs::create_directory(dir / SettingsFileName);
         return dir / SettingsFileName;
     },
     {},
     "cannot be read"},
    {"FileMadeReadOnly",
     [](const fs::path& dir) {
         std::ofstream(dir / SettingsFileName) << "[System]\r\nPNum=3\r\n";
         fs::permissions(dir / SettingsFileName, fs::perms(0400));
         return dir / SettingsFileName;
     },
     {},
     "read-only"},
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class WriteFailure : public SettingsDir, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(WriteFailure, ReportedWithTheFullPathAndOldFileKept) {
    const fs::path path = GetParam().prepare(m_dir);
    const std::string before = fs::is_regular_file(path) ? Read(path) : "";
    const auto entriesBefore = Entries();

    const SettingsWriteResult result = SaveSettings(path, GetParam().settings);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->message, "Unable to write to " + path.string());
    EXPECT_NE(result->detail.find(GetParam().detail), std::string::npos) << result->detail;
    if (fs::is_regular_file(path)) {
        EXPECT_EQ(Read(path), before);
    }
    EXPECT_EQ(Entries(), entriesBefore);
}

INSTANTIATE_TEST_SUITE_P(Settings, WriteFailure, ::testing::ValuesIn(failureCases),
                         [](const auto& c) { return std::string(c.param.name); });

// A value the file cannot hold costs only its own key: every other key is written, that key's
// line stays as the file had it, and the message names the key and the reason.
struct UnstorableCase {
    const char* name;
    R2Settings settings;
    std::string_view keptLine; // the line of the key that could not be saved, as it was
    const char* message;
};

const UnstorableCase unstorableCases[] = {
    {"FilePathOutsideGbk",
     {.LocalCom = "COM3",
      .UserName = "admin",
      .Password = "tulip",
      .FilePath = "/home/j\xC3\xB6rg/cmds.txt"},
     "FilePath=old.txt",
     "This setting was not saved; the settings file keeps its previous value: FilePath "
     "(it holds a character GBK text cannot store)"},
    {"PasswordOutsideGbk",
     {.LocalCom = "COM3", .UserName = "admin", .Password = "t\xC3\xA4", .FilePath = "new.txt"},
     "Password=secret",
     "This setting was not saved; the settings file keeps its previous value: Password "
     "(it holds a character GBK text cannot store)"},
    {"LineBreakInValue",
     {.LocalCom = "COM3",
      .UserName = "admin",
      .Password = "tulip",
      .UpgradeFileName = "a\n[x]",
      .FilePath = "new.txt"},
     "UpgradeFileName=fw.bin",
     "This setting was not saved; the settings file keeps its previous value: UpgradeFileName "
     "(it holds a line break)"},
};

void PrintTo(const UnstorableCase& c, std::ostream* os) {
    *os << c.name;
}

class UnstorableValue : public SettingsDir, public ::testing::WithParamInterface<UnstorableCase> {
protected:
    void SetUp() override {
        SettingsDir::SetUp();
        LangList = TLangList{};
        BuildBuiltInTexts(LangList);
        LangList.UseChinese = false;
    }
    void TearDown() override {
        FreeLanguage();
        SettingsDir::TearDown();
    }
};

TEST_P(UnstorableValue, OnlyThatKeyKeepsItsOldLine) {
    const UnstorableCase& c = GetParam();
    Write(Ini(), "[System]\r\n"
                 "Language=1\r\n"
                 "LocalCom=COM1\r\n"
                 "Password=secret\r\n"
                 "UpgradeFileName=fw.bin\r\n"
                 "FilePath=old.txt\r\n");

    const SettingsWriteResult result = SaveSettings(Ini(), c.settings);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->message, c.message);
    EXPECT_NE(result->detail.find(Ini().string()), std::string::npos) << result->detail;

    const std::string file = Read(Ini());
    EXPECT_NE(file.find(std::string(c.keptLine) + "\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("Language=0\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("LocalCom=COM3\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("UserName=admin\r\n"), std::string::npos) << file;
    const R2Settings back = LoadSettings(Ini(), true, "");
    EXPECT_EQ(back.LocalCom, "COM3");
    EXPECT_FALSE(back.Language);
}

INSTANTIATE_TEST_SUITE_P(Settings, UnstorableValue, ::testing::ValuesIn(unstorableCases),
                         [](const auto& c) { return std::string(c.param.name); });

TEST(UnstorableSettings, MessageInChineseOneLinePerKey) {
    LangList = TLangList{};
    BuildBuiltInTexts(LangList);
    LangList.UseChinese = true;
    const UnstorableSetting keys[] = {{"UserName", UnstorableReason::NotGbk},
                                      {"FilePath", UnstorableReason::LineBreak}};
    EXPECT_EQ(UnstorableSettingsMessage(keys),
              "此设置未保存，设置文件保留原来的值：UserName (含有GBK编码无法保存的字符)\n"
              "此设置未保存，设置文件保留原来的值：FilePath (含有换行符)");
    FreeLanguage();
}

TEST(SettingsWriteFailure, DirectoryRefusedEvenToRoot) {
    if (!fs::is_directory("/proc/self")) {
        GTEST_SKIP() << "no /proc";
    }
    const auto result = SaveLanguageSetting("/proc/R2Cfg.ini", true);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->message, "Unable to write to /proc/R2Cfg.ini");
}

TEST(SettingsWriteFailure, RelativePathReportedInFull) {
    const fs::path relative = fs::path("r2-no-such-dir") / SettingsFileName;
    const auto result = SaveLanguageSetting(relative, true);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->message, "Unable to write to " + (fs::current_path() / relative).string());
}

constexpr uid_t Nobody = 65534;

// Whether `id` exists in this process's user namespace. In the initial namespace every id
// does; in one made by `unshare --map-root-user` only the caller's own id does, as 0.
bool UidIsMapped(uid_t id) {
    std::ifstream map("/proc/self/uid_map");
    for (uid_t inside = 0, outside = 0, count = 0; map >> inside >> outside >> count;) {
        if (id >= inside && id - inside < count) {
            return true;
        }
    }
    return false;
}

// Permission bits do not stop root, so the check runs in a child that they do stop: a real
// root's child becomes nobody; a root mapped into a user namespace where nobody does not
// exist is an ordinary user outside it, and its child drops every capability instead (the
// namespace's root keeps the directory as owner, whose bits then apply to it).
enum class Demotion { BecomeNobody, DropCapabilities };

bool Demote(Demotion how) {
    if (how == Demotion::BecomeNobody) {
        return ::setgid(Nobody) == 0 && ::setuid(Nobody) == 0;
    }
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    return ::syscall(SYS_capset, &header, none) == 0;
}

TEST_F(SettingsDir, ReadOnlyDirectoryForAnOrdinaryUser) {
    fs::permissions(m_dir, fs::perms(0500));
    const auto refused = [this] {
        const auto result = SaveSettings(Ini(), {});
        return result.has_value() && result->message == "Unable to write to " + Ini().string();
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(refused());
        return;
    }
    const Demotion how = UidIsMapped(Nobody) ? Demotion::BecomeNobody : Demotion::DropCapabilities;
    if (how == Demotion::BecomeNobody) {
        ASSERT_EQ(::chown(m_dir.c_str(), Nobody, Nobody), 0);
    }
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (!Demote(how)) {
            ::_exit(2);
        }
        ::_exit(refused() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << (how == Demotion::BecomeNobody ? "as nobody" : "without capabilities")
        << "; 2: could not drop root's rights; 1: not refused";
}

// A write that fails half way (here: the file size limit) must leave the old file whole and
// no temporary file behind.
TEST_F(SettingsDir, FailedWriteKeepsTheOldFile) {
    const std::string old = "[System]\r\nPNum=3\r\n";
    Write(Ini(), old);

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 8;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto result = SaveSettings(Ini(), {.FilePath = std::string(64, 'x')});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->message, "Unable to write to " + Ini().string());
    EXPECT_EQ(Read(Ini()), old);
    EXPECT_EQ(Entries(), std::vector<std::string>{std::string(SettingsFileName)});
}

} // namespace
} // namespace r2
