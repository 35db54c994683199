#include "protocol/config/config_json.h"

#include <charconv>
#include <cstdio>
#include <unordered_set>

namespace r2::json {

std::string_view TypeName(Type type) {
    switch (type) {
    case Type::Null:
        return "null";
    case Type::Bool:
        return "true/false";
    case Type::Number:
        return "a number";
    case Type::String:
        return "a string";
    case Type::Array:
        return "an array";
    case Type::Object:
        return "an object";
    }
    return "unknown";
}

const Value* Value::Find(std::string_view name) const {
    for (const Member& m : members) {
        if (m.name == name) {
            return &m.value;
        }
    }
    return nullptr;
}

std::optional<std::int64_t> Value::Integer() const {
    if (type != Type::Number || text.find_first_of(".eE") != std::string::npos) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

namespace {

class Parser final {
public:
    explicit Parser(std::string_view text) : m_text(text) {}

    ParseResult Run() {
        Value value;
        skipSpace();
        if (!parseValue(value, 0)) {
            return {std::nullopt, m_error};
        }
        skipSpace();
        if (m_pos != m_text.size()) {
            fail("text after the end of the document");
            return {std::nullopt, m_error};
        }
        return {std::move(value), {}};
    }

private:
    bool fail(std::string_view what) {
        std::size_t line = 1;
        std::size_t column = 1;
        for (std::size_t i = 0; i < m_pos && i < m_text.size(); ++i) {
            if (m_text[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        m_error = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
                  std::string(what);
        return false;
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }

    void skipSpace() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) {
            ++m_pos;
        }
    }

    bool literal(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word) {
            return fail("not a JSON value");
        }
        m_pos += word.size();
        return true;
    }

    bool parseValue(Value& out, int depth) {
        if (depth > MaxDepth) {
            return fail("nested deeper than " + std::to_string(MaxDepth) + " levels");
        }
        switch (peek()) {
        case '{':
            return parseObject(out, depth);
        case '[':
            return parseArray(out, depth);
        case '"':
            out.type = Type::String;
            return parseString(out.text);
        case 't':
            out.type = Type::Bool;
            out.boolean = true;
            return literal("true");
        case 'f':
            out.type = Type::Bool;
            return literal("false");
        case 'n':
            out.type = Type::Null;
            return literal("null");
        default:
            return parseNumber(out);
        }
    }

    bool parseObject(Value& out, int depth) {
        out.type = Type::Object;
        ++m_pos;
        skipSpace();
        if (peek() == '}') {
            ++m_pos;
            return true;
        }
        // The names so far, so that a duplicate is found without going through every member
        // for each new one (80 000 members took seconds that way).
        std::unordered_set<std::string> names;
        for (;;) {
            skipSpace();
            if (peek() != '"') {
                return fail("expected a member name in quotes");
            }
            std::string name;
            if (!parseString(name)) {
                return false;
            }
            if (!names.insert(name).second) {
                return fail("\"" + name + "\" is given twice");
            }
            skipSpace();
            if (peek() != ':') {
                return fail("expected ':' after a member name");
            }
            ++m_pos;
            skipSpace();
            Value value;
            if (!parseValue(value, depth + 1)) {
                return false;
            }
            out.members.push_back({std::move(name), std::move(value)});
            skipSpace();
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == '}') {
                ++m_pos;
                return true;
            }
            return fail("expected ',' or '}'");
        }
    }

    bool parseArray(Value& out, int depth) {
        out.type = Type::Array;
        ++m_pos;
        skipSpace();
        if (peek() == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            skipSpace();
            Value value;
            if (!parseValue(value, depth + 1)) {
                return false;
            }
            out.items.push_back(std::move(value));
            skipSpace();
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == ']') {
                ++m_pos;
                return true;
            }
            return fail("expected ',' or ']'");
        }
    }

    bool digits() {
        const std::size_t start = m_pos;
        while (peek() >= '0' && peek() <= '9') {
            ++m_pos;
        }
        return m_pos > start || fail("expected a digit");
    }

    bool parseNumber(Value& out) {
        const std::size_t start = m_pos;
        out.type = Type::Number;
        if (peek() == '-') {
            ++m_pos;
        }
        if (peek() == '0') {
            ++m_pos;
        } else if (peek() < '1' || peek() > '9') {
            return fail(m_pos > start ? "expected a digit" : "not a JSON value");
        } else if (!digits()) {
            return false;
        }
        if (peek() == '.') {
            ++m_pos;
            if (!digits()) {
                return false;
            }
        }
        if (peek() == 'e' || peek() == 'E') {
            ++m_pos;
            if (peek() == '+' || peek() == '-') {
                ++m_pos;
            }
            if (!digits()) {
                return false;
            }
        }
        out.text = std::string(m_text.substr(start, m_pos - start));
        return true;
    }

    std::optional<std::uint32_t> hex4() {
        if (m_text.size() - m_pos < 4) {
            return std::nullopt;
        }
        std::uint32_t unit = 0;
        const char* first = m_text.data() + m_pos;
        const auto [end, ec] = std::from_chars(first, first + 4, unit, 16);
        if (ec != std::errc{} || end != first + 4) {
            return std::nullopt;
        }
        m_pos += 4;
        return unit;
    }

    static void appendUtf8(std::string& out, std::uint32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    bool parseEscape(std::string& out) {
        const char c = peek();
        ++m_pos;
        constexpr std::string_view from = "\"\\/bfnrt";
        constexpr std::string_view to = "\"\\/\b\f\n\r\t";
        if (const auto at = from.find(c); at != std::string_view::npos && c != '\0') {
            out += to[at];
            return true;
        }
        if (c != 'u') {
            --m_pos;
            return fail("unknown escape in a string");
        }
        auto unit = hex4();
        if (!unit) {
            return fail("\\u needs four hex digits");
        }
        std::uint32_t code = *unit;
        if (code >= 0xDC00 && code <= 0xDFFF) {
            return fail("a low surrogate without its high surrogate");
        }
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (m_text.substr(m_pos, 2) != "\\u") {
                return fail("a high surrogate without its low surrogate");
            }
            m_pos += 2;
            const auto low = hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) {
                return fail("a high surrogate without its low surrogate");
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
        }
        appendUtf8(out, code);
        return true;
    }

    // One UTF-8 sequence starting at the current byte, copied when it is well formed (no
    // overlong forms, no surrogates, nothing above U+10FFFF).
    bool copyUtf8(std::string& out) {
        const auto byte = [this](std::size_t i) {
            return static_cast<unsigned char>(m_pos + i < m_text.size() ? m_text[m_pos + i] : 0);
        };
        const unsigned char lead = byte(0);
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return fail("a string holds bytes that are not UTF-8");
        }
        for (std::size_t i = 1; i < length; ++i) {
            const unsigned char b = byte(i);
            const unsigned char min = i == 1 ? low : 0x80;
            const unsigned char max = i == 1 ? high : 0xBF;
            if (b < min || b > max) {
                return fail("a string holds bytes that are not UTF-8");
            }
        }
        out.append(m_text.substr(m_pos, length));
        m_pos += length;
        return true;
    }

    bool parseString(std::string& out) {
        ++m_pos; // the opening quote
        for (;;) {
            if (atEnd()) {
                return fail("a string without its closing quote");
            }
            const auto c = static_cast<unsigned char>(peek());
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (c < 0x20) {
                return fail("a control character inside a string (write it as an escape)");
            }
            if (c == '\\') {
                ++m_pos;
                if (!parseEscape(out)) {
                    return false;
                }
            } else if (c < 0x80) {
                out += static_cast<char>(c);
                ++m_pos;
            } else if (!copyUtf8(out)) {
                return false;
            }
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::string m_error;
};

std::string Escape(unsigned code) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", code);
    return buffer;
}

} // namespace

ParseResult Parse(std::string_view text) {
    return Parser(text).Run();
}

std::string Quote(std::string_view utf8) {
    std::string out = "\"";
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            out += Escape(c);
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += Escape(next); // a C1 control, U+0080 .. U+009F
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + '"';
}

} // namespace r2::json
