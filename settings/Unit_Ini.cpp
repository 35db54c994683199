#include "settings/Unit_Ini.h"

#include "lang/gbk_text.h"
#include "lang/Unit_Baselang.h"
#include "protocol/replace_file.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <fstream>
#include <iterator>

namespace r2 {
namespace {

constexpr std::string_view SectionName = "System";

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (std::tolower(ca) != std::tolower(cb)) {
            return false;
        }
    }
    return true;
}

// Only blanks and tabs: neither byte can be the second byte of a GBK character.
std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// Lines end at LF, with one CR before it dropped; a last line without LF still counts.
std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        const auto lf = bytes.find('\n');
        std::string_view line = bytes.substr(0, lf);
        bytes = lf == std::string_view::npos ? std::string_view{} : bytes.substr(lf + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
    }
    return lines;
}

enum class LineKind { Section, Key, Other };

struct IniLine {
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::string_view value;
};

IniLine ClassifyLine(std::string_view raw) {
    const std::string_view line = Trim(raw);
    if (line.starts_with('[')) {
        const std::string_view inner = line.substr(1);
        return {LineKind::Section, Trim(inner.substr(0, inner.find(']'))), {}};
    }
    if (line.starts_with(';')) {
        return {};
    }
    const auto eq = line.find('=');
    if (eq == std::string_view::npos || Trim(line.substr(0, eq)).empty()) {
        return {};
    }
    return {LineKind::Key, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

// Line indexes [header, end) of the first System section; header == lines.size() when none.
struct SectionSpan {
    std::size_t header;
    std::size_t end;
};

template <typename Lines> SectionSpan FindSystemSection(const Lines& lines) {
    const std::size_t n = std::size(lines);
    std::size_t header = 0;
    while (header < n) {
        const IniLine l = ClassifyLine(lines[header]);
        if (l.kind == LineKind::Section && EqualsNoCase(l.name, SectionName)) {
            break;
        }
        ++header;
    }
    std::size_t end = header == n ? n : header + 1;
    while (end < n && ClassifyLine(lines[end]).kind != LineKind::Section) {
        ++end;
    }
    return {header, end};
}

// Index of the first line in the section that sets `key`, or span.end when none does.
template <typename Lines>
std::size_t FindKey(const Lines& lines, SectionSpan span, std::string_view key) {
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        const IniLine l = ClassifyLine(lines[i]);
        if (l.kind == LineKind::Key && EqualsNoCase(l.name, key)) {
            return i;
        }
    }
    return span.end;
}

// Typed reads over the System section of one file's bytes.
class SectionReader final {
public:
    explicit SectionReader(std::string_view bytes)
        : m_lines(SplitLines(bytes)), m_span(FindSystemSection(m_lines)) {}

    std::string String(std::string_view key, std::string fallback) const {
        const auto raw = Raw(key);
        if (!raw) {
            return fallback;
        }
        // Bytes that are not GBK are of the wrong form, like text where a number belongs.
        auto text = GbkToUtf8(*raw);
        return text ? std::move(*text) : std::move(fallback);
    }

    int Integer(std::string_view key, int fallback) const {
        const auto raw = Raw(key);
        const auto value = raw ? ParseIniInteger(*raw) : std::nullopt;
        return value.value_or(fallback);
    }

    bool Boolean(std::string_view key, bool fallback) const {
        return Integer(key, fallback ? 1 : 0) != 0;
    }

private:
    std::optional<std::string_view> Raw(std::string_view key) const {
        if (m_span.header == m_lines.size()) {
            return std::nullopt;
        }
        const std::size_t i = FindKey(m_lines, m_span, key);
        if (i == m_span.end) {
            return std::nullopt;
        }
        return ClassifyLine(m_lines[i]).value;
    }

    std::vector<std::string_view> m_lines;
    SectionSpan m_span;
};

R2UpgradeSettings ReadUpgradeKeys(const SectionReader& reader) {
    return {reader.String("UpgradeIP", {}), reader.String("UpgradeMAC", {}),
            reader.String("UpgradeFileName", {})};
}

// The model selector knows models 1 to 3; anything else selects the first.
int NormalisedModel(int pnum) {
    return pnum >= 1 && pnum <= 3 ? pnum : 1;
}

std::string BoolText(bool value) {
    return value ? "1" : "0";
}

std::optional<UnstorableReason> EncodeValue(std::string_view utf8, std::string& gbk) {
    if (utf8.find_first_of("\r\n") != std::string_view::npos) {
        return UnstorableReason::LineBreak;
    }
    auto encoded = Utf8ToGbk(utf8);
    if (!encoded) {
        return UnstorableReason::NotGbk;
    }
    gbk = std::move(*encoded);
    return std::nullopt;
}

std::string_view ReasonKey(UnstorableReason reason) {
    return reason == UnstorableReason::LineBreak ? "lang_Hint_SettingLineBreak"
                                                 : "lang_Hint_SettingNotGbk";
}

std::string FullPath(const std::filesystem::path& path) {
    std::error_code ec;
    const auto full = std::filesystem::absolute(path, ec);
    return (ec ? path : full.lexically_normal()).string();
}

SettingsWriteError WriteError(const std::filesystem::path& path, std::string detail) {
    return {"Unable to write to " + FullPath(path), std::move(detail)};
}

enum class ReadState { Missing, Read, Unreadable };

ReadState ReadFileBytes(const std::filesystem::path& path, std::string& bytes) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        return ReadState::Missing;
    }
    if (ec || status.type() != std::filesystem::file_type::regular) {
        return ReadState::Unreadable;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return ReadState::Unreadable;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.bad() ? ReadState::Unreadable : ReadState::Read;
}

std::string FileBytesOrEmpty(const std::filesystem::path& path) {
    std::string bytes;
    return ReadFileBytes(path, bytes) == ReadState::Read ? bytes : std::string{};
}

bool OwnerMayWrite(const std::filesystem::path& path) {
    std::error_code ec;
    const auto perms = std::filesystem::status(path, ec).permissions();
    return !ec && (perms & std::filesystem::perms::owner_write) != std::filesystem::perms::none;
}

SettingsWriteResult WriteLines(const std::filesystem::path& path,
                               std::span<const SettingsLine> lines) {
    const std::filesystem::path target = ReplacementTarget(path);
    std::string old;
    switch (ReadFileBytes(target, old)) {
    case ReadState::Unreadable:
        // Rewriting a file we cannot read would lose whatever else it holds.
        return WriteError(path, "the existing file cannot be read");
    case ReadState::Read:
        if (!OwnerMayWrite(target)) {
            return WriteError(path, "the file is read-only");
        }
        break;
    case ReadState::Missing:
        break;
    }
    if (auto failure =
            ReplaceFile(target, UpdateSystemSection(old, lines), NewFileAccess::OwnerOnly)) {
        return WriteError(path, std::move(*failure));
    }
    return std::nullopt;
}

} // namespace

std::optional<int> ParseIniInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    // An unsigned parse refuses a second sign, which a signed one would accept.
    unsigned long long magnitude = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    if (magnitude > static_cast<unsigned long long>(INT_MAX) + 1) {
        return std::nullopt;
    }
    const long long value =
        negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (value > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

R2Settings ParseSettings(std::string_view fileBytes, bool systemChinese,
                         std::string currentFilePath) {
    const SectionReader reader(fileBytes);
    const R2Settings defaults;
    R2Settings s;
    s.Custom = reader.Boolean("Custom", defaults.Custom);
    s.Language = reader.Boolean("Language", systemChinese);
    s.RealTimeHelp = reader.Boolean("RealTimeHelp", defaults.RealTimeHelp);
    s.LocalCom = reader.String("LocalCom", defaults.LocalCom);
    s.PNum = NormalisedModel(reader.Integer("PNum", defaults.PNum));
    s.FilePath = reader.String("FilePath", std::move(currentFilePath));
    const R2UpgradeSettings upgrade = ReadUpgradeKeys(reader);
    s.UpgradeIP = upgrade.UpgradeIP;
    s.UpgradeMAC = upgrade.UpgradeMAC;
    s.UpgradeFileName = upgrade.UpgradeFileName;
    return s;
}

R2UpgradeSettings ParseUpgradeSettings(std::string_view fileBytes) {
    return ReadUpgradeKeys(SectionReader(fileBytes));
}

SettingsToWrite SettingsLines(const R2Settings& settings) {
    const std::pair<std::string_view, std::string> values[] = {
        {"Language", BoolText(settings.Language)},
        {"RealTimeHelp", BoolText(settings.RealTimeHelp)},
        {"LocalCom", settings.LocalCom},
        {"PNum", std::to_string(settings.PNum)},
        {"UserName", settings.UserName},
        {"Password", settings.Password},
        {"UpgradeIP", settings.UpgradeIP},
        {"UpgradeMAC", settings.UpgradeMAC},
        {"UpgradeFileName", settings.UpgradeFileName},
        {"FilePath", settings.FilePath},
    };
    SettingsToWrite out;
    for (const auto& [key, text] : values) {
        std::string value;
        if (const auto reason = EncodeValue(text, value)) {
            out.unstorable.push_back({key, *reason});
        } else {
            out.lines.push_back({key, std::move(value)});
        }
    }
    return out;
}

std::string UnstorableSettingsMessage(std::span<const UnstorableSetting> unstorable) {
    std::string message;
    for (const UnstorableSetting& setting : unstorable) {
        if (!message.empty()) {
            message += '\n';
        }
        message += GetLangText("lang_Hint_SettingKept") + std::string(setting.key) + " (" +
                   GetLangText(ReasonKey(setting.reason)) + ")";
    }
    return message;
}

std::string UpdateSystemSection(std::string_view fileBytes, std::span<const SettingsLine> lines) {
    std::vector<std::string> out;
    for (const auto line : SplitLines(fileBytes)) {
        out.emplace_back(line);
    }
    SectionSpan span = FindSystemSection(out);
    if (span.header == out.size()) {
        out.push_back("[" + std::string(SectionName) + "]");
        span = {out.size() - 1, out.size()};
    }
    for (const SettingsLine& line : lines) {
        std::string text = std::string(line.key) + "=" + line.value;
        const std::size_t at = FindKey(out, span, line.key);
        if (at != span.end) {
            out[at] = std::move(text);
            continue;
        }
        // After the section's last non-blank line, so blank lines keep separating sections.
        std::size_t insert = span.end;
        while (insert > span.header + 1 && Trim(out[insert - 1]).empty()) {
            --insert;
        }
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(insert), std::move(text));
        ++span.end;
    }
    std::string bytes;
    for (const std::string& line : out) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

R2Settings LoadSettings(const std::filesystem::path& path, bool systemChinese,
                        std::string currentFilePath) {
    return ParseSettings(FileBytesOrEmpty(path), systemChinese, std::move(currentFilePath));
}

R2UpgradeSettings LoadUpgradeSettings(const std::filesystem::path& path) {
    return ParseUpgradeSettings(FileBytesOrEmpty(path));
}

SettingsWriteResult SaveLanguageSetting(const std::filesystem::path& path, bool useChinese) {
    const SettingsLine line{"Language", BoolText(useChinese)};
    return WriteLines(path, std::span(&line, 1));
}

SettingsWriteResult SaveSettings(const std::filesystem::path& path, const R2Settings& settings) {
    const SettingsToWrite toWrite = SettingsLines(settings);
    if (auto failure = WriteLines(path, toWrite.lines)) {
        return failure;
    }
    if (toWrite.unstorable.empty()) {
        return std::nullopt;
    }
    return SettingsWriteError{UnstorableSettingsMessage(toWrite.unstorable),
                              "the other settings were written to " + FullPath(path)};
}

} // namespace r2
