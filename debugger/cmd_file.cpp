#include "debugger/cmd_file.h"

#include "debugger/uTxtLog.h"
#include "lang/gbk_text.h"
#include "protocol/replace_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace r2 {

namespace {

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 1 && byte <= 31;
}

// A GBK lead byte: it and the byte after it are one character, whatever that byte is (a trail
// byte can equal "|").
bool IsLeadByte(char c) {
    return static_cast<unsigned char>(c) >= 0x81;
}

const char* BoolText(bool value) {
    return value ? "true" : "false";
}

// Splits a file into records and fields, one pass over the bytes.
class CmdFileReader final {
public:
    explicit CmdFileReader(std::string_view bytes) : m_bytes(bytes) {}

    std::vector<std::vector<std::string>> Records(std::size_t maxRecords) {
        std::vector<std::vector<std::string>> records;
        while (m_pos < m_bytes.size() && records.size() < maxRecords) {
            records.push_back(Record());
        }
        return records;
    }

private:
    std::vector<std::string> Record() {
        std::vector<std::string> fields;
        while (true) {
            fields.push_back(Field());
            if (m_pos >= m_bytes.size()) {
                return fields;
            }
            const char separator = m_bytes[m_pos++];
            if (separator == '\r') {
                if (m_pos < m_bytes.size() && m_bytes[m_pos] == '\n') {
                    ++m_pos;
                }
                return fields;
            }
            if (separator == '\n') {
                return fields;
            }
        }
    }

    std::string Field() {
        std::string field;
        if (m_pos < m_bytes.size() && m_bytes[m_pos] == '"' && m_quotesClose) {
            if (auto quoted = Quoted(m_pos + 1)) {
                field = std::move(*quoted);
            } else {
                // From here on no quote can be closed; reading later quotes literally keeps
                // the pass linear.
                m_quotesClose = false;
            }
        }
        AppendPlain(field);
        return field;
    }

    // The text of a quoted field whose opening quote is just before `from`, with m_pos moved
    // past the closing quote; empty when the quote is never closed.
    std::optional<std::string> Quoted(std::size_t from) {
        std::string text;
        std::size_t i = from;
        while (i < m_bytes.size()) {
            const char c = m_bytes[i];
            if (c == '"') {
                if (i + 1 < m_bytes.size() && m_bytes[i + 1] == '"') {
                    text += '"';
                    i += 2;
                    continue;
                }
                m_pos = i + 1;
                return text;
            }
            const std::size_t width = IsLeadByte(c) && i + 1 < m_bytes.size() ? 2 : 1;
            text.append(m_bytes.substr(i, width));
            i += width;
        }
        return std::nullopt;
    }

    // Unquoted characters up to the next separator or line end.
    void AppendPlain(std::string& field) {
        while (m_pos < m_bytes.size()) {
            const char c = m_bytes[m_pos];
            if (c == '|' || IsControl(c)) {
                return;
            }
            const std::size_t width = IsLeadByte(c) && m_pos + 1 < m_bytes.size() ? 2 : 1;
            field.append(m_bytes.substr(m_pos, width));
            m_pos += width;
        }
    }

    std::string_view m_bytes;
    std::size_t m_pos = 0;
    bool m_quotesClose = true;
};

std::optional<CmdRow> RowOfFields(const std::vector<std::string>& fields) {
    if (fields.size() != 5) {
        return std::nullopt;
    }
    std::array<std::string, 5> texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        auto text = GbkToUtf8(fields[i]);
        if (!text) {
            return std::nullopt;
        }
        texts[i] = std::move(*text);
    }
    return CmdRow{.chkChoose = texts[0] == "true",
                  .btnExplanation = std::move(texts[1]),
                  .edtCmd = std::move(texts[2]),
                  .chkHex = texts[3] == "true",
                  .edtDelay = std::move(texts[4])};
}

} // namespace

std::string QuoteCmdField(std::string_view field) {
    const bool plain = std::none_of(field.begin(), field.end(),
                                    [](char c) { return c == '|' || c == '"' || IsControl(c); });
    if (plain) {
        return std::string(field);
    }
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::vector<std::string> CmdRowFields(const CmdRow& row) {
    return {BoolText(row.chkChoose), QuoteCmdField(row.btnExplanation), QuoteCmdField(row.edtCmd),
            BoolText(row.chkHex), QuoteCmdField(row.edtDelay)};
}

std::vector<std::vector<std::string>> SplitCmdRecords(std::string_view gbkBytes,
                                                      std::size_t maxRecords) {
    return CmdFileReader(gbkBytes).Records(maxRecords);
}

std::vector<std::optional<CmdRow>> ParseCmdFile(std::string_view gbkBytes) {
    std::vector<std::optional<CmdRow>> rows;
    for (const auto& fields : SplitCmdRecords(gbkBytes, CmdRowCount)) {
        rows.push_back(RowOfFields(fields));
    }
    return rows;
}

void ApplyCmdFile(CmdRows& rows, std::span<const std::optional<CmdRow>> parsed,
                  std::string_view defaultName) {
    ClearCmdRows(rows, defaultName);
    for (std::size_t i = 0; i < parsed.size() && i < rows.size(); ++i) {
        if (parsed[i]) {
            rows[i] = *parsed[i];
        }
    }
}

std::filesystem::path CmdFileForShow(const std::string& filePathSetting,
                                     const std::filesystem::path& programDir) {
    if (!filePathSetting.empty()) {
        return filePathSetting;
    }
    return programDir / CmdFileName;
}

std::filesystem::path CmdFileForClose(const std::string& filePathSetting,
                                      const std::filesystem::path& programDir) {
    std::error_code error;
    if (!filePathSetting.empty() && std::filesystem::is_regular_file(filePathSetting, error)) {
        return filePathSetting;
    }
    return programDir / CmdFileName;
}

CmdFileLoad LoadCmdFile(const std::filesystem::path& path, CmdRows& rows,
                        std::string_view defaultName) {
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
        return CmdFileLoad::Missing;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad() || !in.is_open()) {
        return CmdFileLoad::Unreadable;
    }
    ApplyCmdFile(rows, ParseCmdFile(bytes), defaultName);
    return CmdFileLoad::Loaded;
}

std::string SaveCmdFile(const std::filesystem::path& path, const CmdRows& rows) {
    std::string bytes;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::vector<std::string> fields;
        for (const std::string& field : CmdRowFields(rows[i])) {
            auto gbk = Utf8ToGbk(field);
            if (!gbk) {
                return "Row " + std::to_string(i + 1) +
                       " holds a character the command file cannot store: " + field;
            }
            fields.push_back(std::move(*gbk));
        }
        bytes += TxtLogLine(fields);
    }
    if (path.empty()) {
        return {};
    }
    if (auto failure = ReplaceFile(path, bytes, NewFileAccess::AsBefore)) {
        return "Unable to write to " + path.string() + ": " + *failure;
    }
    return {};
}

} // namespace r2
