#pragma once
// Conversion between the GBK bytes of our text files and frames and the UTF-8 used inside
// the program. glibc's iconv maps 0x80 to the euro sign, as code page 936 does.

#include <optional>
#include <string>
#include <string_view>

namespace r2 {

// Empty when the bytes are not valid GBK.
std::optional<std::string> GbkToUtf8(std::string_view gbk);
// Empty when the text is not valid UTF-8 or holds a character GBK cannot represent.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

} // namespace r2
