#include "debugger/cmd_rows.h"

#include "protocol/Unit_ProFun.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace r2 {

std::string CmdRowName(std::size_t i) {
    return "C" + std::to_string(i);
}

CmdRow ClearedCmdRow(std::string_view defaultName) {
    return CmdRow{.btnExplanation = std::string(defaultName)};
}

void ClearCmdRows(CmdRows& rows, std::string_view defaultName) {
    rows.fill(ClearedCmdRow(defaultName));
}

RenameResult RenameCmdRow(std::string_view newName) {
    if (newName.find('&') != std::string_view::npos) {
        return {.name = {}, .refused = true};
    }
    return {.name = std::string(newName), .refused = false};
}

std::string ConvertCmdText(std::string_view text, bool hex) {
    return hex ? TextToHex(text) : HexToText(text);
}

void SetAllHex(CmdRows& rows, bool hex) {
    for (CmdRow& row : rows) {
        if (row.chkHex != hex) {
            row.edtCmd = ConvertCmdText(row.edtCmd, hex);
            row.chkHex = hex;
        }
    }
}

namespace {

// Decimal digits only; a value past the 32-bit range saturates instead of wrapping, so a long
// run of digits never reads as a small number.
std::optional<std::uint32_t> SaturatedDecimal(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = std::min<std::uint64_t>(value * 10U + static_cast<std::uint64_t>(c - '0'),
                                        std::numeric_limits<std::uint32_t>::max());
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace

std::optional<std::uint32_t> BoxMilliseconds(std::string_view text) {
    return SaturatedDecimal(text);
}

std::string CheckDelayText(std::string_view text) {
    const auto value = SaturatedDecimal(text);
    if (value && *value > MaxCmdDelay) {
        return {};
    }
    return std::string(text);
}

std::string CmdRowPayload(const CmdRow& row) {
    if (!row.chkHex) {
        return row.edtCmd;
    }
    return TryHexToText(row.edtCmd).text;
}

bool IsDigitKeyText(std::string_view text) {
    return text.size() == 1 && text[0] >= '0' && text[0] <= '9';
}

} // namespace r2
