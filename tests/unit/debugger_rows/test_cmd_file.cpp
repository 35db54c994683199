// The command file: writing, reading (quoted and older unquoted files), the files used on show
// and close, and uTxtLog.
#include "debugger/cmd_file.h"
#include "debugger/uTxtLog.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/resource.h>
#include <thread>

namespace r2 {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view DefaultName = "Right custom name";

class CmdFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("r2_cmdfile_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Write(const fs::path& path, std::string_view bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static CmdRows Cleared() {
        CmdRows rows;
        ClearCmdRows(rows, DefaultName);
        return rows;
    }

    fs::path m_dir;
};

TEST_F(CmdFileTest, UntouchedRowsWriteTheFamiliarLinesAndComeBackWhole) {
    const fs::path file = m_dir / "DataSelf.txt";
    ASSERT_EQ(SaveCmdFile(file, Cleared()), "");
    std::string expected;
    for (std::size_t i = 0; i < CmdRowCount; ++i) {
        expected += "false|Right custom name||false|\r\n";
    }
    EXPECT_EQ(Read(file), expected);

    CmdRows loaded{};
    ASSERT_EQ(LoadCmdFile(file, loaded, "other"), CmdFileLoad::Loaded);
    EXPECT_EQ(loaded, Cleared());
}

TEST_F(CmdFileTest, SpacesSeparatorsQuotesAndLineBreaksSurviveARoundTrip) {
    CmdRows rows = Cleared();
    rows[0] = {true, "Pump start", "AT+CMD 1", false, "100"};
    rows[1] = {false, "a|b", "x|y|z", false, ""};
    rows[2] = {true, "\"quoted\" name", "say \"hi\"", false, "5"};
    rows[3] = {false, "two\r\nlines", "tab\there", false, ""};
    rows[4] = {true, "泵启动", "01 02 03", true, "65535"};
    rows[5] = {false, "\"", "\"\"", false, ""};
    rows[6] = {false, " padded ", "", false, " "};
    const fs::path file = m_dir / "rows.txt";
    ASSERT_EQ(SaveCmdFile(file, rows), "");

    CmdRows loaded = Cleared();
    ASSERT_EQ(LoadCmdFile(file, loaded, DefaultName), CmdFileLoad::Loaded);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(loaded[i], rows[i]) << "row " << i;
    }
    // Plain fields stay unquoted, so older readers still see them as before.
    EXPECT_EQ(Read(file).substr(0, 36), "true|Pump start|AT+CMD 1|false|100\r\n");
}

TEST_F(CmdFileTest, QuotingRule) {
    const std::pair<const char*, const char*> cases[] = {
        {"plain", "plain"},   {"a|b", "\"a|b\""}, {"\"x", "\"\"\"x\""}, {"a\"b", "\"a\"\"b\""},
        {"a\nb", "\"a\nb\""}, {"", ""},           {" sp ", " sp "},
    };
    for (const auto& [field, written] : cases) {
        EXPECT_EQ(QuoteCmdField(field), written) << field;
    }
}

struct ParseCase {
    const char* name;
    std::string bytes;
    std::vector<std::optional<CmdRow>> rows;
};

TEST(CmdFileParse, LinesToRows) {
    const CmdRow a{true, "A", "B", false, "10"};
    const ParseCase cases[] = {
        {"four fields leave the row empty, the next line keeps its row",
         "true|A|B|false\r\ntrue|A|B|false|10\r\n",
         {std::nullopt, a}},
        {"capital True is not ticked",
         "True|A|B|TRUE|10\r\n",
         {CmdRow{false, "A", "B", false, "10"}}},
        {"unquoted older file with a quote inside a field",
         "true|say \"x|B|false|10\r\n",
         {CmdRow{true, "say \"x", "B", false, "10"}}},
        {"a quote never closed is an ordinary character",
         "true|\"A|B|false|10\r\n",
         {CmdRow{true, "\"A", "B", false, "10"}}},
        {"lone LF and lone CR end lines, no line after the last break",
         "true|A|B|false|10\ntrue|A|B|false|10\rtrue|A|B|false|10\r\n",
         {a, a, a}},
        {"a tab separates fields", "true\tA|B|false|10", {a}},
        {"an empty line is a line", "\r\ntrue|A|B|false|10\r\n", {std::nullopt, a}},
        {"a GBK trail byte equal to | is not a separator",
         "true|\x81\x7C|B|false|10\r\n",
         {CmdRow{true, "亅", "B", false, "10"}}},
        {"a field that is not GBK leaves the row empty",
         "true|\x80\xFF|B|false|10\r\n",
         {std::nullopt}},
        {"a quoted field may hold a line break",
         "true|\"x\r\ny\"|B|false|10\r\ntrue|A|B|false|10\r\n",
         {CmdRow{true, "x\r\ny", "B", false, "10"}, a}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseCmdFile(c.bytes), c.rows) << c.name;
    }
}

TEST(CmdFileParse, OnlyTheFirstFiftyLinesAreUsed) {
    std::string bytes;
    for (int i = 0; i < 60; ++i) {
        bytes += "true|row" + std::to_string(i) + "||false|\r\n";
    }
    const auto parsed = ParseCmdFile(bytes);
    ASSERT_EQ(parsed.size(), CmdRowCount);
    EXPECT_EQ(parsed[49]->btnExplanation, "row49");

    CmdRows rows;
    ApplyCmdFile(rows, parsed, DefaultName);
    EXPECT_EQ(rows[0].btnExplanation, "row0");
    EXPECT_EQ(rows[49].btnExplanation, "row49");
}

TEST(CmdFileParse, ShortFileClearsTheRowsItDoesNotName) {
    CmdRows rows;
    rows.fill(CmdRow{true, "old", "old", true, "1"});
    ApplyCmdFile(rows, ParseCmdFile("true|A|B|false|10\r\n"), DefaultName);
    EXPECT_EQ(rows[0], (CmdRow{true, "A", "B", false, "10"}));
    EXPECT_EQ(rows[1], ClearedCmdRow(DefaultName));
}

TEST_F(CmdFileTest, MissingFileLeavesRowsAlone) {
    CmdRows rows;
    rows.fill(CmdRow{true, "kept", "", false, ""});
    const CmdRows before = rows;
    EXPECT_EQ(LoadCmdFile(m_dir / "nothing.txt", rows, DefaultName), CmdFileLoad::Missing);
    EXPECT_EQ(LoadCmdFile("", rows, DefaultName), CmdFileLoad::Missing);
    EXPECT_EQ(rows, before);
}

TEST_F(CmdFileTest, FilesUsedOnShowAndClose) {
    const fs::path exported = m_dir / "exported.txt";
    EXPECT_EQ(CmdFileForShow("", m_dir), m_dir / "DataSelf.txt");
    EXPECT_EQ(CmdFileForShow(exported.string(), m_dir), exported);
    // On close a setting naming a deleted file falls back to the program's file.
    EXPECT_EQ(CmdFileForClose(exported.string(), m_dir), m_dir / "DataSelf.txt");
    EXPECT_EQ(CmdFileForClose("", m_dir), m_dir / "DataSelf.txt");
    Write(exported, "");
    EXPECT_EQ(CmdFileForClose(exported.string(), m_dir), exported);
}

TEST_F(CmdFileTest, TextGbkCannotHoldFailsBeforeTheOldFileIsTouched) {
    const fs::path file = m_dir / "DataSelf.txt";
    Write(file, "old\r\n");
    CmdRows rows = Cleared();
    rows[3].btnExplanation = "smile \xF0\x9F\x98\x80";
    const std::string error = SaveCmdFile(file, rows);
    EXPECT_NE(error.find("Row 4"), std::string::npos) << error;
    EXPECT_EQ(Read(file), "old\r\n");
}

TEST_F(CmdFileTest, UnwritablePlaceIsReported) {
    const std::string error = SaveCmdFile(m_dir / "no_such_dir" / "x.txt", Cleared());
    EXPECT_NE(error.find("Unable to write"), std::string::npos) << error;
    EXPECT_EQ(SaveCmdFile("", Cleared()), "");
}

// A save that fails part way, for real and also for root: the process out of descriptors, or
// the file size limit reached after a few lines. The old file must stay whole, with no
// temporary file left beside it.
struct InjectedFailure {
    const char* name;
    int resource;
    rlim_t limit;
};

const InjectedFailure injectedFailures[] = {
    {"NoDescriptorLeft", RLIMIT_NOFILE, 0},
    {"FileSizeLimitAfterAFewLines", RLIMIT_FSIZE, 100},
};

TEST_F(CmdFileTest, FailedSaveKeepsTheOldFileWhole) {
    const fs::path file = m_dir / "DataSelf.txt";
    CmdRows stored = Cleared();
    for (std::size_t i = 0; i < stored.size(); ++i) {
        stored[i].edtCmd = "stored command " + std::to_string(i);
    }
    ASSERT_EQ(SaveCmdFile(file, stored), "");
    const std::string old = Read(file);

    for (const InjectedFailure& failure : injectedFailures) {
        rlimit saved{};
        ASSERT_EQ(::getrlimit(failure.resource, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = failure.limit;
        ASSERT_EQ(::setrlimit(failure.resource, &small), 0);
        const std::string error = SaveCmdFile(file, Cleared());
        ::setrlimit(failure.resource, &saved);
        std::signal(SIGXFSZ, oldHandler);

        EXPECT_EQ(error.rfind("Unable to write to " + file.string(), 0), 0u)
            << failure.name << ": " << error;
        EXPECT_EQ(Read(file), old) << failure.name;
        std::vector<std::string> entries;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            entries.push_back(entry.path().filename().string());
        }
        EXPECT_EQ(entries, std::vector<std::string>{"DataSelf.txt"}) << failure.name;
    }
}

// The file is replaced, not rewritten in place: a link stays a link, and the permissions the
// user gave the file stay.
TEST_F(CmdFileTest, SaveKeepsALinkAndThePermissions) {
    fs::create_directory(m_dir / "elsewhere");
    const fs::path real = m_dir / "elsewhere" / "rows.txt";
    Write(real, "old\r\n");
    fs::permissions(real, fs::perms(0640));
    const fs::path link = m_dir / "DataSelf.txt";
    fs::create_symlink(real, link);

    ASSERT_EQ(SaveCmdFile(link, Cleared()), "");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(real).substr(0, 33), "false|Right custom name||false|\r\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, fs::perms(0640));
}

TEST_F(CmdFileTest, TxtLogLinesFromManyThreadsNeverInterleave) {
    const fs::path file = m_dir / "log.txt";
    constexpr int Threads = 4;
    constexpr int Lines = 200;
    std::vector<std::thread> writers;
    for (int t = 0; t < Threads; ++t) {
        writers.emplace_back([&file, t] {
            const std::vector<std::string> texts{"thread" + std::to_string(t),
                                                 std::string(300, static_cast<char>('a' + t))};
            for (int i = 0; i < Lines; ++i) {
                std::error_code error;
                ASSERT_TRUE(AppendTxtLog(file, texts, error)) << error.message();
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    const std::string bytes = Read(file);
    std::size_t count = 0;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = bytes.substr(start, end - start);
        const char letter = line.back();
        EXPECT_EQ(line, "thread" + std::to_string(letter - 'a') + "|" + std::string(300, letter));
        ++count;
        start = end + 2;
    }
    EXPECT_EQ(count, static_cast<std::size_t>(Threads * Lines));

    std::error_code error;
    ASSERT_TRUE(AppendTxtLog(m_dir / "empty.txt", {}, error));
    EXPECT_EQ(Read(m_dir / "empty.txt"), "\r\n");
    ASSERT_TRUE(EnsureTxtFile(m_dir / "empty.txt", error));
    EXPECT_EQ(Read(m_dir / "empty.txt"), "\r\n");
}

} // namespace
} // namespace r2
