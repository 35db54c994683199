#include "lang/gbk_text.h"
#include "lang/Unit_AppLang.h"
#include "lang/Unit_Baselang.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace r2 {
namespace {

namespace fs = std::filesystem;

// ---- Helpers --------------------------------------------------------------------------------

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Lines of a file whose lines all end with CR LF; a final piece without CR LF is kept so that a
// missing line end shows up as an extra line.
std::vector<std::string> splitCrLf(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = bytes.find("\r\n"); end != std::string_view::npos;
         end = bytes.find("\r\n", start)) {
        lines.emplace_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    if (start < bytes.size()) {
        lines.emplace_back(bytes.substr(start));
    }
    return lines;
}

std::string gbk(std::string_view utf8) {
    const auto bytes = Utf8ToGbk(utf8);
    EXPECT_TRUE(bytes.has_value()) << utf8;
    return bytes.value_or("");
}

std::string joinCrLf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += line + "\r\n";
    }
    return out;
}

struct Row {
    std::string name;
    std::string chinese;
    std::string english;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << '{' << r.name << '|' << r.chinese << '|' << r.english << '}';
}

std::vector<Row> rowsOf(const TLangSet& set) {
    std::vector<Row> rows;
    for (std::size_t i = 0; i < set.size(); ++i) {
        rows.push_back({set.names[i], set.chinese[i], set.english[i]});
    }
    return rows;
}

TLangList builtInOnly() {
    TLangList list;
    BuildBuiltInTexts(list);
    return list;
}

class LangFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "r2lang-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    fs::path langFile() const { return m_dir / "R2Lang.txt"; }
    // A table with the built-in rows and the file at langFile(), written first when missing.
    TLangList load() const {
        TLangList list = builtInOnly();
        EXPECT_EQ(list.LoadLanguageFile(langFile()), "");
        return list;
    }
    fs::path m_dir;
};

// ---- The built-in table ---------------------------------------------------------------------

TEST(LangBuiltInTexts, HoldsEveryRowInOrder) {
    const auto rows = BuiltInTextRows();
    ASSERT_EQ(rows.size(), 374u);
    EXPECT_EQ(rows.front().name, "lang_Main_Title");
    EXPECT_EQ(rows.back().name, "lang_Hint_SettingLineBreak");
    const TLangList list = builtInOnly();
    ASSERT_EQ(list.BuiltInRows().size(), 374u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(list.BuiltInRows().names[i], rows[i].name);
        EXPECT_EQ(list.BuiltInRows().chinese[i], rows[i].chinese);
        EXPECT_EQ(list.BuiltInRows().english[i], rows[i].english);
    }
    EXPECT_EQ(list.FileRows().size(), 0u);
}

// Rows checked by hand: blanks at the ends, runs of blanks, line breaks, "///" kept as text.
TEST(LangBuiltInTexts, SampleRowsAreExact) {
    struct Case {
        std::size_t number;
        std::string_view name, chinese, english;
    };
    const Case cases[] = {
        {3, "lang_Menu_File", "文件", "File"},
        {30, "lang_btn_Search", "搜索设备", "Search Device"},
        {57, "lang_Lbl_PDS", "校验/数据/停止", "Parity/Data/Stop"},
        {70, "lang_Lbl_InfoTimeOut", "秒     (<256, 0为不使用)", "s  (<256, 0 for no uses)"},
        {131, "lang_lbl_H_LocationURLPort", " UPNP端口，一般用不着 ",
         " LocationURLPort \r\n In general ，it's useless "},
        {156, "lang_Hint_ModuleWork",
         "模块工作方式选择：///UDP server "
         "是指不验证来源IP地址，收到UDP数据包后将目标IP改为数据来源IP，类似TCP server的功能。",
         "module work mode: ///UDP server is like TCP server,when receive a UDP packet,change "
         "target IP to sorce IP of the received UDP packet,Does not verify the source IP."},
        {180, "lang_About_Contact", "联系我们", " "},
        {182, "lang_About_Tel", " ", " "},
        {183, "lang_About_Email", " ", " "},
        {201, "lang_Hint_PswdErr", " 用户名密码错误！请重新输入。", " UsrName or Password Error!"},
        {230, "lang_Upgrade_Hint", "注意：请确保已关闭防火墙和杀毒软件，再进行升级!",
         "Notes: Please disable firewall and antivirus software before \r\n           upgrade "
         "firmware!"},
        {267, "lang_CommCode", "请输入8位通讯密码！",
         "Please enter the 8-digit communication Code."},
    };
    const auto rows = BuiltInTextRows();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        const TLangRow& row = rows[c.number - 1];
        EXPECT_EQ(row.name, c.name);
        EXPECT_EQ(row.chinese, c.chinese);
        EXPECT_EQ(row.english, c.english);
    }
}

TEST(LangBuiltInTexts, EveryTextHasGbkBytesAndAddressesAreOurs) {
    for (const TLangRow& row : BuiltInTextRows()) {
        for (std::string_view text : {row.name, row.chinese, row.english}) {
            EXPECT_TRUE(Utf8ToGbk(text).has_value()) << row.name;
            const std::size_t scheme = text.find("://");
            if (scheme != std::string_view::npos) {
                EXPECT_TRUE(text.substr(0, scheme).ends_with("https") &&
                            text.substr(scheme).starts_with("://github.com/r2config/r2config"))
                    << row.name << ": " << text;
            }
        }
    }
}

// ---- Writing the missing file ---------------------------------------------------------------

TEST_F(LangFile, MissingFileIsWrittenInGbkWithCrLf) {
    load();
    const std::string bytes = readBytes(langFile());
    const std::vector<std::string> lines = splitCrLf(bytes);
    ASSERT_EQ(lines.size(), 377u);
    EXPECT_TRUE(bytes.ends_with("\r\n"));

    // Line 1 in GBK, byte for byte; the full-width commas are A3 AC.
    EXPECT_EQ(lines[0], "\x3b\xd3\xef\xd1\xd4\xce\xc4\xbc\xfe\xb8\xf1\xca\xbd\xce\xaa\x3a\x20\xc3"
                        "\xfb\xb3\xc6\x7c\xd6\xd0\xce\xc4\x7c\xd3\xa2\xce\xc4\xa3\xac\xca\xfa\xcf"
                        "\xdf\xb7\xd6\xb8\xee\xa3\xac\xb6\xba\xba\xc5\xd3\xeb\xb7\xd6\xba\xc5\xce"
                        "\xaa\xd7\xa2\xca\xcd\xa3\xac\x2f\x2f\x2f\xce\xaa\xbb\xbb\xd0\xd0\xa3\xac"
                        "\xbf\xd5\xd0\xd0\xd7\xd4\xb6\xaf\xba\xf6\xc2\xd4");
    EXPECT_EQ(lines[1], ";Language file format: Name|Chinese|English\xa3\xacvertical is "
                        "delimiter\xa3\xac comma or semicolon is Comments\xa3\xac///is "
                        "newline\xa3\xac"
                        "Empty lines automatically ignored");
    EXPECT_EQ(lines[2], " ");
    // A Chinese row: 文件 is CE C4 BC FE.
    EXPECT_EQ(lines[3 + 2], "lang_Menu_File|\xce\xc4\xbc\xfe|File");

    // No line break inside a line other than the CR LF ends.
    EXPECT_EQ(bytes.find_first_of("\r\n"), lines[0].size());
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    }
    // One line per row, in order, each starting with its key.
    const auto rows = BuiltInTextRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_TRUE(lines[3 + i].starts_with(std::string(rows[i].name) + "|")) << i;
    }
}

TEST_F(LangFile, LineBreaksAreWrittenAsMarksAndMarksStay) {
    load();
    const std::vector<std::string> lines = splitCrLf(readBytes(langFile()));
    ASSERT_EQ(lines.size(), 377u);
    struct Case {
        std::size_t number;
        std::string_view line;
    };
    const Case cases[] = {
        {131, "lang_lbl_H_LocationURLPort| UPNP端口，一般用不着 | LocationURLPort /// In general "
              "，it's useless "},
        {157, "lang_Hint_ModuleIP|本模块IP地址可在指定网段内任意分配，但网内不允许重复。|Module "
              "IP can fill any ip in LAN, ///just remeber do not repeat."},
        {230, "lang_Upgrade_Hint|注意：请确保已关闭防火墙和杀毒软件，再进行升级!|Notes: Please "
              "disable firewall and antivirus software before ///           upgrade firmware!"},
        {182, "lang_About_Tel| | "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lines[2 + c.number], gbk(c.line)) << c.number;
    }
}

TEST(LangFileText, EveryKindOfLineBreakBecomesAMark) {
    TLangList list;
    list.AddEntry("k", "a\r\nb\nc", "d\re");
    const auto bytes = list.EncodeLanguageFile();
    ASSERT_TRUE(bytes.has_value());
    EXPECT_TRUE(bytes->ends_with(" \r\nk|a///b///c|d///e\r\n"));
}

TEST_F(LangFile, ExistingFileIsNotRewritten) {
    writeBytes(langFile(), "lang_Menu_File|x|y\r\n");
    const TLangList list = load();
    EXPECT_EQ(readBytes(langFile()), "lang_Menu_File|x|y\r\n");
    EXPECT_EQ(rowsOf(list.FileRows()), (std::vector<Row>{{"lang_Menu_File", "x", "y"}}));
}

// ---- Reading the file -----------------------------------------------------------------------

TEST_F(LangFile, WrittenFileReadsBackAsTheBuiltInRows) {
    const TLangList list = load();
    const auto rows = BuiltInTextRows();
    // The one-blank third line is a row too: empty name and texts.
    ASSERT_EQ(list.FileRows().size(), rows.size() + 1);
    EXPECT_EQ(rowsOf(list.FileRows()).front(), (Row{"", "", ""}));
    const auto asRead = [](std::string_view text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text.substr(i).starts_with("\r\n")) {
                out += '\n';
                ++i;
            } else if (text.substr(i).starts_with("///")) {
                out += '\n';
                i += 2;
            } else {
                out += text[i];
            }
        }
        return out;
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row expected{std::string(rows[i].name), asRead(rows[i].chinese),
                           asRead(rows[i].english)};
        EXPECT_EQ(rowsOf(list.FileRows())[i + 1], expected);
    }
}

TEST(LangFileText, LinesAreSplitIntoRows) {
    struct Case {
        std::string_view what;
        std::string_view bytes;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {"comma first, no bar", ",a comment?", {{"", "", ""}}},
        {"semicolon first", ";comment|a|b", {}},
        {"semicolon later", " ;x|a|b", {{" ;x", "a", "b"}}},
        {"empty lines", "\r\n\r\n\n\r", {}},
        {"one blank", " ", {{"", "", ""}}},
        {"two fields", "k|English", {{"k", "", "English"}}},
        {"three fields", "k|中|E", {{"k", "中", "E"}}},
        {"four fields", "k|a|b|c", {{"k", "a", "c"}}},
        {"empty fields", "k||", {{"k", "", ""}}},
        {"bars only", "|||", {{"", "", ""}}},
        {"trailing bar", "k|a|b|", {{"k", "a", ""}}},
        {"blanks kept", " k | a | b ", {{" k ", " a ", " b "}}},
        {"marks in texts", "k|a///b|c///d", {{"k", "a\nb", "c\nd"}}},
        {"marks in name stay", "k///x|a|b", {{"k///x", "a", "b"}}},
        {"four slashes", "k|////|/////", {{"k", "\n/", "\n//"}}},
        {"CR LF ends", "a|b|c\r\nd|e|f\r\n", {{"a", "b", "c"}, {"d", "e", "f"}}},
        {"LF and CR ends",
         "a|b|c\nd|e|f\rg|h|i",
         {{"a", "b", "c"}, {"d", "e", "f"}, {"g", "h", "i"}}},
        {"no end on last line", "a|b|c\r\nd|e", {{"a", "b", "c"}, {"d", "", "e"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TLangList list;
        list.ReadLanguageText(gbk(c.bytes));
        EXPECT_EQ(rowsOf(list.FileRows()), c.rows);
        EXPECT_EQ(list.BuiltInRows().size(), 0u);
    }
}

TEST(LangFileText, BytesAreDecodedAsGbkBeforeSplitting) {
    struct Case {
        std::string_view what;
        std::string_view bytes;
        Row row;
    };
    const Case cases[] = {
        {"Chinese text",
         "lang_Menu_File|\xce\xc4\xbc\xfe|File",
         {"lang_Menu_File", "文件", "File"}},
        // 81 7C is one character whose second byte is the bar's byte.
        {"bar byte inside a character", "k|\x81\x7c|e", {"k", "\xe4\xba\x85", "e"}},
        {"0x80 is the euro sign", "k|\x80|e", {"k", "€", "e"}},
        {"invalid byte kept as a row", "k|\xff|e", {"k", "\xef\xbf\xbd", "e"}},
        {"cut-off character at the end", "k|a|\xce", {"k", "a", "\xef\xbf\xbd"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TLangList list;
        list.ReadLanguageText(c.bytes);
        EXPECT_EQ(rowsOf(list.FileRows()), std::vector<Row>{c.row});
    }
}

TEST_F(LangFile, EditedEnglishTextWinsAfterReload) {
    load();
    std::vector<std::string> lines = splitCrLf(readBytes(langFile()));
    ASSERT_EQ(lines[2 + 30], "lang_btn_Search|" + gbk("搜索设备") + "|Search Device");
    lines[2 + 30] = "lang_btn_Search|" + gbk("搜索设备") + "|Find modules";
    writeBytes(langFile(), joinCrLf(lines));

    TLangList list = load();
    EXPECT_EQ(list.TranslateText("lang_btn_Search"), "Find modules");
    list.UseChinese = true;
    EXPECT_EQ(list.TranslateText("lang_btn_Search"), "搜索设备");

    // Without the file the built-in wording is back, and the file is written again.
    fs::remove(langFile());
    EXPECT_EQ(load().TranslateText("lang_btn_Search"), "Search Device");
    EXPECT_EQ(splitCrLf(readBytes(langFile())).size(), 377u);
}

TEST_F(LangFile, ExtraLineForAKeyWinsOnlyAboveItsRow) {
    load();
    const std::vector<std::string> written = splitCrLf(readBytes(langFile()));
    const std::string extra = "lang_Menu_File|" + gbk("文件");
    struct Case {
        std::string_view what;
        std::size_t position; // index of the inserted line
        std::string chinese, english;
    };
    const Case cases[] = {
        {"above", 3, "", "文件"},
        {"below", written.size(), "文件", "File"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> lines = written;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(c.position), extra);
        writeBytes(langFile(), joinCrLf(lines));
        TLangList list = load();
        EXPECT_EQ(list.TranslateText("lang_Menu_File"), c.english);
        list.UseChinese = true;
        EXPECT_EQ(list.TranslateText("lang_Menu_File"), c.chinese);
    }
}

TEST_F(LangFile, UnreadableFileLeavesTheBuiltInRows) {
    fs::create_directory(langFile()); // exists, but cannot be read as a file
    const TLangList list = load();
    EXPECT_EQ(list.FileRows().size(), 0u);
    EXPECT_EQ(list.TranslateText("lang_Menu_Quit"), "Quit");
}

// ---- Lookups --------------------------------------------------------------------------------

TEST(LangTranslateText, KeysMatchWhateverTheLetterCase) {
    const TLangList list = builtInOnly();
    struct Case {
        std::string_view key, result;
    };
    const Case cases[] = {
        {"lang_Lbl_PDS", "Parity/Data/Stop"},
        {"lang_lbl_PDS", "Parity/Data/Stop"},
        {"LANG_LBL_PDS", "Parity/Data/Stop"},
        {"lang_lbl_pds", "Parity/Data/Stop"},
        {"LaNg_LbL_pDs", "Parity/Data/Stop"},
        {"lang_lbl_BaudRate", "Baudrate"},
        // Blanks count: no trimming.
        {"lang_Lbl_PDS ", "lang_Lbl_PDS "},
        {" lang_Lbl_PDS", " lang_Lbl_PDS"},
        {"lang_Lbl_PD", "lang_Lbl_PD"},
        {"lang_No_Such_Key", "lang_No_Such_Key"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list.TranslateText(c.key), c.result) << c.key;
    }
}

TEST(LangTranslateText, WordingOfEitherLanguageTranslates) {
    struct Case {
        bool chinese;
        std::string_view text, result;
    };
    const Case cases[] = {
        {false, "搜索设备", "Search Device"},
        {true, "Search Device", "搜索设备"},
        {true, "SEARCH DEVICE", "搜索设备"},
        {true, " Upgrade time out!", " 升级超时！"},
        {false, " 升级超时！", " Upgrade time out!"},
        {false, " Upgrade time out!", " Upgrade time out!"},
        // Shared by rows 18 and 50; the first one wins.
        {false, "设备名称", "Device Name"},
        // Wording with a run of blanks.
        {true, "Name:  QOB-R2", "名称：QOB-R2"},
        {false, "Upgrade time out!", "Upgrade time out!"},
    };
    TLangList list = builtInOnly();
    for (const Case& c : cases) {
        list.UseChinese = c.chinese;
        EXPECT_EQ(list.TranslateText(c.text), c.result) << c.text;
    }
}

TEST(LangTranslateText, FileRowsComeFirstAndAnEmptyTextCounts) {
    TLangList list = builtInOnly();
    list.ReadLanguageText("lang_Menu_Quit|x|\r\nlang_menu_quit|y|Leave\r\n");
    EXPECT_EQ(list.TranslateText("lang_Menu_Quit"), "");
    list.UseChinese = true;
    EXPECT_EQ(list.TranslateText("LANG_MENU_QUIT"), "x");
    EXPECT_EQ(list.TranslateText("lang_Menu_Help"), "帮助");
}

TEST(LangSameTextIgnoringCase, FoldsLettersOnly) {
    struct Case {
        std::string_view a, b;
        bool same;
    };
    const Case cases[] = {
        {"abc", "ABC", true},
        {"abc", "abd", false},
        {"abc", "abc ", false},
        {"Élan", "élan", true},
        {"×", "÷", false},
        {"ΩΣ", "ωσ", true},
        {"ЖЁ", "жё", true},
        {"ＡＢ", "ａｂ", true},
        {"文件", "文件", true},
        {"文件", "文牛", false},
        {"\xff", "\xff", true},
        {"\xff", "\xfe", false},
        {"\xc3", "\xc3", true},
        {"a\xc3", "A\xc3", true},
        {"\xc3\x89", "\xc3\xa9", true},
        {"\xc3\x89", "\xc3\x49", false},
        {"@", "`", false},
        {"[", "{", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SameTextIgnoringCase(c.a, c.b), c.same) << c.a << " vs " << c.b;
        EXPECT_EQ(SameTextIgnoringCase(c.b, c.a), c.same) << c.b << " vs " << c.a;
    }
}

// ---- The program's table --------------------------------------------------------------------

TEST_F(LangFile, InitLanguageLoadsTheFileAndFreeLanguageEmpties) {
    EXPECT_EQ(InitLanguage(m_dir), "");
    EXPECT_TRUE(fs::exists(langFile()));
    EXPECT_FALSE(LangList.UseChinese);
    EXPECT_EQ(LangList.BuiltInRows().size(), 374u);
    EXPECT_EQ(LangList.FileRows().size(), 375u);
    // The file's copy of a "///" row wins: its marks are line breaks.
    EXPECT_EQ(GetLangText("lang_Hint_ModuleIP"),
              "Module IP can fill any ip in LAN, \njust remeber do not repeat.");
    LangList.UseChinese = true;
    EXPECT_EQ(GetLangText("lang_lbl_pds"), "校验/数据/停止");
    EXPECT_EQ(GetLangText("lang_Missing"), "lang_Missing");

    FreeLanguage();
    EXPECT_FALSE(LangList.UseChinese);
    EXPECT_EQ(LangList.BuiltInRows().size(), 0u);
    EXPECT_EQ(GetLangText("lang_Menu_File"), "lang_Menu_File");
}

TEST_F(LangFile, FileThatCannotBeWrittenIsReportedAndBuiltInRowsServe) {
    const fs::path missingDir = m_dir / "no-such-dir";
    const std::string error = InitLanguage(missingDir);
    EXPECT_TRUE(error.starts_with("Unable to write to " + (missingDir / "R2Lang.txt").string()))
        << error;
    EXPECT_FALSE(fs::exists(missingDir));
    EXPECT_EQ(LangList.FileRows().size(), 0u);
    EXPECT_EQ(GetLangText("lang_Hint_ModuleIP"),
              "Module IP can fill any ip in LAN, ///just remeber do not repeat.");
    FreeLanguage();
}

// ---- System language ------------------------------------------------------------------------

TEST(LangIsChineseLocale, FirstSetVariableDecides) {
    struct Case {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        bool chinese;
    };
    const Case cases[] = {
        {nullptr, nullptr, "zh_CN.UTF-8", true},
        {nullptr, nullptr, "zh_TW.Big5", true},
        {nullptr, nullptr, "zh", true},
        {nullptr, nullptr, "zh.GBK", true},
        {nullptr, nullptr, "zh@pinyin", true},
        {nullptr, nullptr, "en_US.UTF-8", false},
        {nullptr, nullptr, "zha_CN", false}, // Zhuang, not Chinese
        {nullptr, nullptr, "C", false},
        {nullptr, nullptr, nullptr, false},
        {"", "", "zh_CN", true},
        {"en_GB", nullptr, "zh_CN", false},
        {nullptr, "zh_CN.UTF-8", "en_US", true},
        {"zh_SG", "en_US", "en_US", true},
        {"", "en_US", "zh_CN", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsChineseLocale(c.lcAll, c.lcMessages, c.lang), c.chinese)
            << (c.lcAll ? c.lcAll : "-") << ' ' << (c.lcMessages ? c.lcMessages : "-") << ' '
            << (c.lang ? c.lang : "-");
    }
}

} // namespace
} // namespace r2
