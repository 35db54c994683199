#include "lang/Unit_Baselang.h"

#include "lang/gbk_text.h"
#include "lang/Unit_AppLang.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace r2 {

constinit TLangList LangList;

namespace {

constexpr std::string_view LineBreakMark = "///";
constexpr std::string_view ReplacementChar = "\xEF\xBF\xBD";

// The two header lines of a new language file. They are comments, so a user who edits the
// file sees how it is read.
constexpr std::string_view FileHeaderChinese =
    ";语言文件格式为: 名称|中文|英文，竖线分割，逗号与分号为注释，///为换行，空行自动忽略";
constexpr std::string_view FileHeaderEnglish =
    ";Language file format: Name|Chinese|English，vertical is delimiter， comma or semicolon is "
    "Comments，///is newline，Empty lines automatically ignored";

// ---- Case-insensitive comparison ----------------------------------------------------------

struct CodePoint {
    char32_t value;
    std::size_t length;
};

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// A byte that starts no valid UTF-8 sequence decodes to a value above U+10FFFF, so it only
// ever equals the same byte.
CodePoint decodeAt(std::string_view s, std::size_t i) {
    const auto byteAt = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char lead = byteAt(0);
    const CodePoint invalid{0x110000u + lead, 1};
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        return {lead, 1};
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return invalid;
    }
    if (i + length > s.size()) {
        return invalid;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (!isContinuation(byteAt(k))) {
            return invalid;
        }
        value = (value << 6) | (byteAt(k) & 0x3Fu);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value < minimum || value > 0x10FFFF || surrogate) {
        return invalid;
    }
    return {value, length};
}

// Lower case of the letters that have a case in GBK's repertoire. Each pair has the same
// UTF-8 length, so texts of different byte lengths are never equal.
char32_t foldCase(char32_t c) {
    const auto in = [c](char32_t first, char32_t last) { return c >= first && c <= last; };
    if (in(U'A', U'Z') || (in(0xC0, 0xDE) && c != 0xD7) || (in(0x391, 0x3A9) && c != 0x3A2) ||
        in(0x410, 0x42F) || in(0xFF21, 0xFF3A)) {
        return c + 0x20;
    }
    if (in(0x400, 0x40F)) {
        return c + 0x50;
    }
    return c;
}

// ---- Language file lines ------------------------------------------------------------------

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t hit = text.find(from); hit != std::string_view::npos;
         hit = text.find(from, start)) {
        out.append(text.substr(start, hit - start)).append(to);
        start = hit + from.size();
    }
    out.append(text.substr(start));
    return out;
}

// Every line break of a text (CR LF, or a lone LF or CR) as the file's line-break mark, so a
// text always stays on its own line.
std::string markLineBreaks(std::string_view text) {
    return replaceAll(replaceAll(replaceAll(text, "\r\n", LineBreakMark), "\n", LineBreakMark),
                      "\r", LineBreakMark);
}

// A line that is not valid GBK still becomes a row (its key is usually plain ASCII): each
// byte sequence that does not convert becomes U+FFFD.
std::string decodeGbkLine(std::string_view line) {
    if (auto whole = GbkToUtf8(line)) {
        return *whole;
    }
    std::string out;
    std::size_t i = 0;
    while (i < line.size()) {
        if (static_cast<unsigned char>(line[i]) < 0x80) {
            out.push_back(line[i++]);
            continue;
        }
        std::size_t used = 0;
        for (std::size_t width : {2u, 1u}) {
            if (used == 0 && i + width <= line.size()) {
                if (auto part = GbkToUtf8(line.substr(i, width))) {
                    out.append(*part);
                    used = width;
                }
            }
        }
        if (used == 0) {
            out.append(ReplacementChar);
            used = 1;
        }
        i += used;
    }
    return out;
}

std::string textField(std::string_view field) {
    return replaceAll(field, LineBreakMark, "\n");
}

// name|Chinese|English: the name before the first bar, the Chinese text between the first and
// the second, the English text after the last; missing parts are empty.
void appendFileLine(TLangSet& set, std::string_view line) {
    const std::size_t first = line.find('|');
    if (first == std::string_view::npos) {
        set.append({}, {}, {});
        return;
    }
    const std::size_t second = line.find('|', first + 1);
    const std::size_t last = line.rfind('|');
    std::string chinese;
    if (second != std::string_view::npos) {
        chinese = textField(line.substr(first + 1, second - first - 1));
    }
    set.append(std::string(line.substr(0, first)), std::move(chinese),
               textField(line.substr(last + 1)));
}

// ---- Files ---------------------------------------------------------------------------------

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string writeError(const std::filesystem::path& path, std::string_view reason) {
    return "Unable to write to " + path.string() + " (" + std::string(reason) + ")";
}

bool writeAll(const std::filesystem::path& path, std::string_view bytes) {
    std::FILE* raw = std::fopen(path.c_str(), "wb");
    if (raw == nullptr) {
        return false;
    }
    FilePtr file(raw);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fflush(file.get()) != 0) {
        return false;
    }
    return std::fclose(file.release()) == 0;
}

// Written under a temporary name and renamed, so an interrupted start never leaves a cut-off
// file whose last row would override a built-in text.
std::string writeNewFile(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    errno = 0;
    if (!writeAll(temporary, bytes)) {
        const int error = errno != 0 ? errno : EIO;
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return writeError(path, std::strerror(error));
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return writeError(path, ec.message());
    }
    return {};
}

// The file's bytes; after a read error, only the lines read completely before it.
std::string readFileLines(const std::filesystem::path& path) {
    std::FILE* raw = std::fopen(path.c_str(), "rb");
    if (raw == nullptr) {
        return {};
    }
    FilePtr file(raw);
    std::string bytes;
    char chunk[16384];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        bytes.append(chunk, got);
    }
    if (std::ferror(file.get()) != 0) {
        const std::size_t lastBreak = bytes.find_last_of("\r\n");
        bytes.resize(lastBreak == std::string::npos ? 0 : lastBreak + 1);
    }
    return bytes;
}

bool isChineseLanguageName(std::string_view locale) {
    if (!locale.starts_with("zh")) {
        return false;
    }
    return locale.size() == 2 || std::string_view("_.@-").find(locale[2]) != std::string::npos;
}

} // namespace

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    std::size_t i = 0;
    while (i < a.size()) {
        if (a[i] == b[i] && static_cast<unsigned char>(a[i]) < 0x80) {
            ++i;
            continue;
        }
        const CodePoint ca = decodeAt(a, i);
        const CodePoint cb = decodeAt(b, i);
        if (ca.length != cb.length || foldCase(ca.value) != foldCase(cb.value)) {
            return false;
        }
        i += ca.length;
    }
    return true;
}

void TLangSet::append(std::string name, std::string zh, std::string en) {
    names.push_back(std::move(name));
    chinese.push_back(std::move(zh));
    english.push_back(std::move(en));
}

std::optional<std::size_t> TLangSet::find(std::string_view s) const {
    for (const std::vector<std::string>* list : {&names, &chinese, &english}) {
        for (std::size_t i = 0; i < list->size(); ++i) {
            if (SameTextIgnoringCase((*list)[i], s)) {
                return i;
            }
        }
    }
    return std::nullopt;
}

void TLangList::AddEntry(std::string name, std::string chinese, std::string english) {
    m_builtIn.append(std::move(name), std::move(chinese), std::move(english));
}

std::string TLangList::TranslateText(std::string_view s) const {
    for (const TLangSet* set : {&m_file, &m_builtIn}) {
        if (const auto row = set->find(s)) {
            return UseChinese ? set->chinese[*row] : set->english[*row];
        }
    }
    return std::string(s);
}

void TLangList::ReadLanguageText(std::string_view gbkBytes) {
    std::size_t start = 0;
    while (start < gbkBytes.size()) {
        std::size_t end = gbkBytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            end = gbkBytes.size();
        }
        const std::string_view line = gbkBytes.substr(start, end - start);
        if (!line.empty() && line.front() != ';') {
            appendFileLine(m_file, decodeGbkLine(line));
        }
        start = gbkBytes.substr(end).starts_with("\r\n") ? end + 2 : end + 1;
    }
}

std::optional<std::string> TLangList::EncodeLanguageFile() const {
    std::string text;
    text.append(FileHeaderChinese).append("\r\n");
    text.append(FileHeaderEnglish).append("\r\n");
    text.append(" \r\n");
    for (std::size_t i = 0; i < m_builtIn.size(); ++i) {
        text.append(m_builtIn.names[i]).append("|");
        text.append(markLineBreaks(m_builtIn.chinese[i])).append("|");
        text.append(markLineBreaks(m_builtIn.english[i])).append("\r\n");
    }
    return Utf8ToGbk(text);
}

std::string TLangList::LoadLanguageFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        const std::optional<std::string> bytes = EncodeLanguageFile();
        if (!bytes) {
            return writeError(path, "a built-in text has a character GBK cannot hold");
        }
        if (std::string error = writeNewFile(path, *bytes); !error.empty()) {
            return error;
        }
    }
    ReadLanguageText(readFileLines(path));
    return {};
}

std::string GetLangText(std::string_view key) {
    try {
        return LangList.TranslateText(key);
    } catch (...) {
        return std::string(key);
    }
}

std::string InitLanguage(const std::filesystem::path& programDir) {
    LangList = TLangList{};
    BuildBuiltInTexts(LangList);
    return LangList.LoadLanguageFile(programDir / LangFileName);
}

void FreeLanguage() {
    LangList = TLangList{};
}

bool IsChineseLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value != nullptr && *value != '\0') {
            return isChineseLanguageName(value);
        }
    }
    return false;
}

bool IsSystemChinese() {
    return IsChineseLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

} // namespace r2
