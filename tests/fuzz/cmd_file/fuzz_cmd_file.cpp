// Reads arbitrary bytes as a command file, then writes every row it read the way a save does
// and reads that back: each row must come back exactly, whatever its name or command holds.
#include "debugger/cmd_file.h"
#include "lang/gbk_text.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto parsed = r2::ParseCmdFile(input);
    if (parsed.size() > r2::CmdRowCount) {
        std::abort();
    }
    for (const auto& row : parsed) {
        if (!row) {
            continue;
        }
        std::string line;
        bool encodable = true;
        for (const std::string& field : r2::CmdRowFields(*row)) {
            const auto gbk = r2::Utf8ToGbk(field);
            encodable = encodable && gbk.has_value();
            line += (line.empty() ? "" : "|") + gbk.value_or("");
        }
        if (!encodable) {
            continue;
        }
        const auto again = r2::ParseCmdFile(line + "\r\n");
        if (again.size() != 1 || !again[0] || !(*again[0] == *row)) {
            std::abort();
        }
    }
    return 0;
}
