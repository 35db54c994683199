#pragma once
// Value types shared by the model panels (P5, P6, P7). A panel struct holds, per control, what
// the control holds: an edit its text, a list its selected entry, a check box its state. Controls
// that an enable/visibility rule touches also carry a ControlState. The window copies these to
// and from its widgets in one place per panel; r2ctl reads and writes them by control name.
//
// Texts: edits hold the bytes the module uses (its code page, GBK), not UTF-8. Most edit texts
// go back into frames, and a module name or URL that does not survive a GBK -> UTF-8 -> GBK trip
// must still reach the module unchanged, so the conversion happens only at the widget or terminal
// boundary (GbkToUtf8 to show, Utf8ToGbk to store). Design defaults are ASCII, the same in both.
// Item texts of lists (kept only where a fill or rule compares them) are ASCII as well.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace r2 {

// How a label is drawn: enabled labels in the window-text colour, greyed labels in silver
// (RGB 192,192,192).
enum class TextColour { WindowText, Silver };

// The enabled state, visibility and (for labels) colour of one control a rule touches.
struct ControlState {
    bool enabled = true;
    bool visible = true;
    TextColour colour = TextColour::WindowText;

    bool operator==(const ControlState&) const = default;
};

// Design state of a control that is never shown (it still holds a value).
inline constexpr ControlState HiddenControl{true, false, TextColour::WindowText};

// A drop-down list without a changeable entry: the selected entry (-1 for none) and the number
// of entries. Select() with an entry outside the list leaves no selection, which is how a reply
// with an out-of-range code shows.
struct ComboBox {
    int index = -1;
    int count = 0;

    void Select(int entry) { index = (entry >= 0 && entry < count) ? entry : -1; }
    bool operator==(const ComboBox&) const = default;
};

// The module's flow-control codes of the entries None, Hardware and RS485, in list order.
inline constexpr std::uint8_t FlowControlCodes[] = {1, 3, 5};

// Entry 1 of every baud-rate list: picking it asks the user for a custom rate.
inline constexpr std::string_view BaudCustomPrompt = "\u81ea\u5b9a\u4e49"; // design text "Custom"

// A baud-rate list: entry 0 is a changeable custom value (initially "115200"), entry 1 asks for
// a custom value, entries 2.. are the standard rates of `rates`.
struct BaudRateList {
    int index = -1;
    std::string entry0 = "115200";
    std::span<const std::string_view> rates;

    int Count() const { return 2 + static_cast<int>(rates.size()); }
    // The text the list shows: entry 0's text, the prompt, a standard rate, or empty for none.
    std::string ShownText() const;
    // Selects the first entry whose text equals `text` (entry 0 included); when none does,
    // `text` becomes entry 0 and entry 0 is selected.
    void SelectText(std::string_view text);
    bool operator==(const BaudRateList& other) const;
};

// What the custom baud-rate input box accepts: a 32-bit integer as decimal digits with an
// optional sign, or as hexadecimal digits after a leading "$" (up to 8 digits, read as the
// 32-bit two's-complement value). No range check beyond 32 bits.
std::optional<std::int32_t> ParseBaudAnswer(std::string_view answer);

// The custom baud-rate rule, run after the user picked entry 1 and answered the input box (a
// cancelled box passes entry 0's text): a valid answer goes into entry 0 in decimal and entry 0
// is selected; otherwise the entry "9600" is selected.
void ApplyCustomBaudEntry(BaudRateList& list, std::string_view answer);

// ---- Listing and setting controls by name (r2ctl) ---------------------------------------

enum class ControlKind { Edit, List, BaudList, CheckBox };

std::string_view ControlKindName(ControlKind kind);

// One row of a panel's control table: the control's name, kind, what it means, and what
// SetControl accepts for it (for lists: the entries' English meanings, separated by "|").
struct ControlInfo {
    std::string_view name;
    ControlKind kind;
    std::string_view meaning;
    std::string_view accepted;
};

// One (name, value) pair as r2ctl prints it, in the form SetControl takes back: edits their
// text, lists their entry's name ("-1" for none), baud lists the shown text, check boxes "1"/"0".
struct ControlValue {
    std::string name;
    std::string value;

    bool operator==(const ControlValue&) const = default;
};

// One control's rule-driven state by name, for the window to apply to its widgets and for
// r2ctl to print.
struct NamedState {
    std::string_view name;
    ControlState state;
};

// Direct access to one control's value, for the window, which copies every control between its
// widget and the panel struct in one generic routine per direction.
using ControlValueRef = std::variant<std::string*, ComboBox*, BaudRateList*, bool*>;

template <class Panel> struct ControlBinding {
    std::string_view name;
    ControlValueRef value;
    // The rule the window runs after the user changed the control (a list's choice, a check
    // box's click), or null.
    void (*onChange)(Panel&) = nullptr;
};

} // namespace r2
