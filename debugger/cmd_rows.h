#pragma once
// The data debugger's 50 command rows as plain values, and the rules the row widgets apply to
// them: renaming, the hex toggles, the delay box, and the bytes a row sends. Nothing here
// touches a widget or a socket.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace r2 {

inline constexpr std::size_t CmdRowCount = 50;
// The largest delay a row's box keeps; a larger number empties the box as it is typed.
inline constexpr unsigned MaxCmdDelay = 65535;

// One row, each member named after the control that shows it. Texts are UTF-8.
struct CmdRow {
    bool chkChoose = false;
    std::string btnExplanation{};
    std::string edtCmd{};
    bool chkHex = false;
    std::string edtDelay{};

    friend bool operator==(const CmdRow&, const CmdRow&) = default;
};

using CmdRows = std::array<CmdRow, CmdRowCount>;

// The component name of row i: "C0" ... "C49".
std::string CmdRowName(std::size_t i);

// A cleared row: unticked, the default name, no command, text mode, no delay.
CmdRow ClearedCmdRow(std::string_view defaultName);
void ClearCmdRows(CmdRows& rows, std::string_view defaultName);

// The name a rename leaves: empty when the new name holds "&" (a button would turn the
// character after it into a shortcut), otherwise the new name.
struct RenameResult {
    std::string name;
    bool refused = false;
};
RenameResult RenameCmdRow(std::string_view newName);

// The command text after the row's hex box changed to `hex`: to hex digits when ticked, back to
// text when unticked; a text that does not convert stays as it was.
std::string ConvertCmdText(std::string_view text, bool hex);
// Every row whose hex box differs from `hex` is converted and takes that state; the others are
// left alone.
void SetAllHex(CmdRows& rows, bool hex);

// The delay box after a key: emptied when it holds a number above MaxCmdDelay.
std::string CheckDelayText(std::string_view text);
// A delay or interval box's value in milliseconds; empty when the box holds no number (a
// file can put anything there). Past the 32-bit range it saturates.
std::optional<std::uint32_t> BoxMilliseconds(std::string_view text);

// The bytes SendCmdRow sends for a row: its command's own bytes in text mode; in hex mode the
// tolerant hex conversion, sent even when it yields nothing.
std::string CmdRowPayload(const CmdRow& row);

// Digits-only boxes take only these keys: "0"-"9" (as text), Backspace, Ctrl+V and Ctrl+X.
bool IsDigitKeyText(std::string_view text);

} // namespace r2
