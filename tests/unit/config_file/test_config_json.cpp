// The strict JSON reader under the configuration files: what it refuses, with where, and the
// quoting its writer uses.
#include "protocol/config/config_json.h"

#include <gtest/gtest.h>

namespace r2::json {
namespace {

TEST(ConfigJson, RefusesWhatIsNotStrictJsonAndSaysWhere) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "line 1, column 1: not a JSON value"},
        {"{\"a\": 1,}", "line 1, column 9: expected a member name"},
        {"[1, 2,]", "line 1, column 7: not a JSON value"},
        {"{\"a\": 1}\n// note", "line 2, column 1: text after the end"},
        {"{\"a\": 1, \"a\": 2}", "\"a\" is given twice"},
        {"{\"a\": 01}", "line 1, column 8: expected ',' or '}'"},
        {"{\"a\": 1.}", "expected a digit"},
        {"{\"a\": -}", "expected a digit"},
        {"{\"a\": tru}", "not a JSON value"},
        {"{\"a\": \"x\ty\"}", "a control character inside a string"},
        {"{\"a\": \"\\x41\"}", "unknown escape"},
        {"{\"a\": \"\\u12G4\"}", "\\u needs four hex digits"},
        {"{\"a\": \"\\ud800\"}", "a high surrogate without its low surrogate"},
        {"{\"a\": \"\\udc00\"}", "a low surrogate without its high surrogate"},
        {"{\"a\": \"\xC3\"}", "not UTF-8"},
        {"{\"a\": \"\xC0\xAF\"}", "not UTF-8"},         // overlong '/'
        {"{\"a\": \"\xED\xA0\x80\"}", "not UTF-8"},     // an encoded surrogate
        {"{\"a\": \"\xF4\x90\x80\x80\"}", "not UTF-8"}, // above U+10FFFF
        {"{\"a\": \"open", "a string without its closing quote"},
        {"{\"a\" 1}", "expected ':'"},
        {"[1 2]", "expected ',' or ']'"},
    };
    for (const auto& c : cases) {
        const ParseResult r = Parse(c.text);
        EXPECT_FALSE(r.value) << c.text;
        EXPECT_NE(r.error.find(c.error), std::string::npos) << c.text << " -> " << r.error;
    }
}

TEST(ConfigJson, NestingIsBounded) {
    const std::string deep = std::string(MaxDepth + 2, '[') + std::string(MaxDepth + 2, ']');
    EXPECT_NE(Parse(deep).error.find("nested deeper"), std::string::npos);
    const std::string fine = std::string(MaxDepth, '[') + std::string(MaxDepth, ']');
    EXPECT_TRUE(Parse(fine).value);
}

TEST(ConfigJson, ReadsValuesAsWritten) {
    const ParseResult r =
        Parse(" {\"s\": \"a\\\"\\\\\\/\\b\\f\\n\\r\\t\\u0000\\u00e9\\ud83d\\ude00\","
              " \"n\": -12, \"f\": 1.5e3, \"t\": true, \"z\": null, \"l\": [1, {}]}\r\n");
    ASSERT_TRUE(r.value) << r.error;
    const Value& doc = *r.value;
    ASSERT_EQ(doc.members.size(), 6u);
    EXPECT_EQ(doc.members[0].name, "s"); // member order kept
    EXPECT_EQ(doc.Find("s")->text, std::string("a\"\\/\b\f\n\r\t\0\xC3\xA9\xF0\x9F\x98\x80", 16));
    EXPECT_EQ(doc.Find("n")->Integer(), -12);
    EXPECT_EQ(doc.Find("f")->text, "1.5e3");
    EXPECT_FALSE(doc.Find("f")->Integer()); // not written as an integer
    EXPECT_TRUE(doc.Find("t")->boolean);
    EXPECT_EQ(doc.Find("z")->type, Type::Null);
    EXPECT_EQ(doc.Find("l")->items.size(), 2u);
    EXPECT_EQ(doc.Find("missing"), nullptr);
}

TEST(ConfigJson, IntegerBeyond64BitsIsNoInteger) {
    const ParseResult r = Parse("99999999999999999999");
    ASSERT_TRUE(r.value);
    EXPECT_FALSE(r.value->Integer());
}

TEST(ConfigJson, QuoteEscapesWhatATerminalActsOnAndReadsBack) {
    EXPECT_EQ(Quote("a\"b\\c\n\x1b[2J\x7f"), "\"a\\\"b\\\\c\\u000a\\u001b[2J\\u007f\"");
    EXPECT_EQ(Quote("\xC2\x9B"
                    "x\xC2\xA0"),
              "\"\\u009bx\xC2\xA0\""); // CSI escaped, NBSP kept
    for (const std::string& text :
         {std::string("plain"), std::string("\0\x01\x1f", 3),
          std::string("\xE8\xBD\xA6\xE9\x97\xB4"), std::string("\xC2\x85")}) {
        const ParseResult r = Parse(Quote(text));
        ASSERT_TRUE(r.value) << r.error;
        EXPECT_EQ(r.value->text, text);
    }
}

} // namespace
} // namespace r2::json
