// Feeds arbitrary bytes to the language-file reader as the content of R2Lang.txt and checks
// what every row it makes must satisfy: three lists of one length, no bar or line end left in
// a name or text, no line-break mark left in a text, and a write-then-read of the rows giving
// them back unchanged. A lookup with the first bytes must not fail either.

#include "lang/Unit_Baselang.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void checkRows(const r2::TLangSet& rows) {
    require(rows.chinese.size() == rows.size() && rows.english.size() == rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        require(rows.names[i].find_first_of("|\r\n") == std::string::npos);
        for (const std::string* text : {&rows.chinese[i], &rows.english[i]}) {
            require(text->find_first_of("|\r") == std::string::npos);
            require(text->find("///") == std::string::npos);
        }
    }
}

// The rows as built-in rows, written as a new file and read again, must come back as they
// were (after the one-blank line's empty row).
void checkRoundTrip(const r2::TLangSet& rows) {
    r2::TLangList writer;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        writer.AddEntry(rows.names[i], rows.chinese[i], rows.english[i]);
    }
    const auto bytes = writer.EncodeLanguageFile();
    if (!bytes) {
        return; // a text holds U+FFFD or another character GBK cannot hold
    }
    r2::TLangList reader;
    reader.ReadLanguageText(*bytes);
    const r2::TLangSet& again = reader.FileRows();
    require(again.size() == rows.size() + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        require(again.names[i + 1] == rows.names[i]);
        require(again.chinese[i + 1] == rows.chinese[i]);
        require(again.english[i + 1] == rows.english[i]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    r2::TLangList list;
    list.ReadLanguageText(bytes);
    checkRows(list.FileRows());
    require(list.FileRows().size() <= size);
    checkRoundTrip(list.FileRows());

    const std::string_view probe = bytes.substr(0, bytes.find_first_of("\r\n"));
    const std::string found = list.TranslateText(probe);
    require(list.FileRows().size() > 0 || found == probe);
    return 0;
}
