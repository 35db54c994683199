#pragma once
// The language table: every visible text of the program is looked up here by key, in Chinese
// or English.
//
// A TLangList holds two sets of rows (key, Chinese text, English text): the built-in rows the
// program adds with AddEntry, and the file rows read from the user's language file. File rows
// come first, so a user can reword any text without rebuilding. TranslateText accepts a key or
// the Chinese or English wording of a row, compares without regard to letter case but otherwise
// exactly (blanks count), lets the first match win and returns its argument unchanged when no
// row matches.
//
// Texts are UTF-8 inside the program; the language file is GBK with CR LF line ends, the same
// bytes on every platform, converted only when it is written or read. A line break inside a
// text is written as "///" and reads back as a single LF.
//
// TLangList is a plain value (tests make their own); the program's one table is LangList,
// filled by InitLanguage and emptied by FreeLanguage. Used on the user-interface thread only.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace r2 {

inline constexpr std::string_view LangFileName = "R2Lang.txt";

// One set of rows; the three lists always have the same length.
struct TLangSet {
    std::vector<std::string> names;
    std::vector<std::string> chinese;
    std::vector<std::string> english;

    std::size_t size() const { return names.size(); }
    void append(std::string name, std::string zh, std::string en);
    // Position of the first row whose name, else Chinese text, else English text equals s
    // (letter case aside); empty when none does.
    std::optional<std::size_t> find(std::string_view s) const;
};

class TLangList final {
public:
    // True: texts come in Chinese; false (the start value): in English.
    bool UseChinese = false;

    // Appends one built-in row; duplicates are allowed and the first one wins.
    void AddEntry(std::string name, std::string chinese, std::string english);
    std::string TranslateText(std::string_view s) const;

    // Writes the file from the built-in rows when nothing exists at path, then appends the rows
    // it holds to the file set. Returns an error text when the missing file cannot be written
    // (the table then works from its built-in rows); a file that cannot be read is ignored.
    std::string LoadLanguageFile(const std::filesystem::path& path);
    // Appends the rows of a language file's bytes (GBK) to the file set.
    void ReadLanguageText(std::string_view gbkBytes);
    // The bytes of a new language file made from the built-in rows; empty when a text holds a
    // character GBK cannot represent.
    std::optional<std::string> EncodeLanguageFile() const;

    const TLangSet& FileRows() const { return m_file; }
    const TLangSet& BuiltInRows() const { return m_builtIn; }

private:
    TLangSet m_file;
    TLangSet m_builtIn;
};

// The program's table.
extern TLangList LangList;

// The text of key in the current language; the key itself when no row has it or anything fails.
std::string GetLangText(std::string_view key);
// Empties LangList, adds the built-in rows and loads programDir/R2Lang.txt. Returns the error
// text when the file was missing and could not be written; LangList works either way.
std::string InitLanguage(const std::filesystem::path& programDir);
void FreeLanguage();

// Equality that ignores letter case (ASCII, Latin-1, Greek, Cyrillic and full-width Latin
// letters) and is otherwise exact.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

// True when the POSIX locale (LC_ALL, else LC_MESSAGES, else LANG: the first one set and not
// empty) names the Chinese language.
bool IsSystemChinese();
bool IsChineseLocale(const char* lcAll, const char* lcMessages, const char* lang);

} // namespace r2
