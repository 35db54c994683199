#pragma once
// A small strict JSON reader and the string quoting its writers need, standard library only,
// for the module configuration files. Strict means RFC 8259 and nothing more: no comments, no
// trailing commas, no duplicate member names, strings of valid UTF-8 with paired surrogate
// escapes, nesting at most MaxDepth deep. A file a person edited by hand is either read as
// written or refused with the line and column of the first fault, never read half-way.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace r2::json {

inline constexpr int MaxDepth = 32;

enum class Type { Null, Bool, Number, String, Array, Object };

std::string_view TypeName(Type type);

struct Member;

struct Value {
    Type type = Type::Null;
    bool boolean = false;
    // A string's UTF-8 text, or a number's literal exactly as written.
    std::string text;
    std::vector<Value> items;
    // An object's members in the order written; names are unique.
    std::vector<Member> members;

    // The member named `name` of an object, or null.
    const Value* Find(std::string_view name) const;
    // A number written as an integer (no fraction, no exponent) that fits 64 bits.
    std::optional<std::int64_t> Integer() const;
};

struct Member {
    std::string name;
    Value value;
};

struct ParseResult {
    std::optional<Value> value;
    std::string error; // "line L, column C: what is wrong" when value is empty
};

ParseResult Parse(std::string_view text);

// A JSON string literal of UTF-8 text, quotes included. Control characters, DEL and the C1
// controls are written as \u escapes, so a file shown on a terminal cannot act on it.
std::string Quote(std::string_view utf8);

} // namespace r2::json
