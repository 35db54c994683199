#pragma once
// Internal to the panel units: shared rule helpers and the table machinery behind ControlTableP*,
// ControlValuesP*, ControlStatesP* and SetControl. Each panel lists its controls once, as rows
// holding the member the control's value lives in and the rule the window runs when it changes; the
// functions here walk such a table, so no panel needs a chain of name comparisons.

#include "protocol/panel_controls.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace r2::panel_table {

// How `fields` describes the values of the controls that every panel has, in one wording.
inline constexpr std::string_view AnyText = "any text";
inline constexpr std::string_view Address = "dotted IPv4 address";
inline constexpr std::string_view Number = "decimal number";
inline constexpr std::string_view OnOff = "1|0 (on|off)";

// One row of a panel's control table: the control's name is the member's own name.
#define R2_CONTROL_ROW(Panel, member, meaning, accepted, ...)                                      \
    ::r2::panel_table::Row<Panel> {                                                                \
#member, meaning, accepted, &Panel::member __VA_OPT__(, ) __VA_ARGS__                      \
    }

inline void Show(bool visible, std::initializer_list<ControlState*> controls) {
    for (ControlState* c : controls) {
        c->visible = visible;
    }
}

// An edit or list enabled or greyed together with its label's colour.
inline void EnableWithLabel(bool enabled, ControlState& control, ControlState& label) {
    control.enabled = enabled;
    label.colour = enabled ? TextColour::WindowText : TextColour::Silver;
}

template <class Panel>
using Field =
    std::variant<std::string Panel::*, ComboBox Panel::*, BaudRateList Panel::*, bool Panel::*>;

template <class Panel> struct Row {
    std::string_view name;
    std::string_view meaning;
    std::string_view accepted; // for lists: the entries, separated by "|"
    Field<Panel> field;
    // The rule the window runs on this change: for lists on every choice, for check boxes
    // only when the state flips (a click).
    void (*onChange)(Panel&) = nullptr;
};

template <class State> struct StateRow {
    std::string_view name;
    ControlState State::*member;
};

inline ControlKind KindOf(std::size_t variantIndex) {
    constexpr ControlKind kinds[] = {ControlKind::Edit, ControlKind::List, ControlKind::BaudList,
                                     ControlKind::CheckBox};
    return kinds[variantIndex];
}

template <class Panel> std::vector<ControlInfo> Infos(std::span<const Row<Panel>> rows) {
    std::vector<ControlInfo> out;
    out.reserve(rows.size());
    for (const auto& row : rows) {
        out.push_back({row.name, KindOf(row.field.index()), row.meaning, row.accepted});
    }
    return out;
}

// The names of a list's entries, from its "|"-separated accepted text.
inline std::vector<std::string_view> EntryNames(std::string_view entries) {
    std::vector<std::string_view> names;
    for (std::size_t start = 0; start <= entries.size();) {
        const std::size_t bar = std::min(entries.find('|', start), entries.size());
        names.push_back(entries.substr(start, bar - start));
        start = bar + 1;
    }
    return names;
}

// Entry `index`'s name, or "-1" when the index names no entry.
inline std::string EntryName(std::string_view entries, int index) {
    const auto names = EntryNames(entries);
    return index >= 0 && index < static_cast<int>(names.size())
               ? std::string(names[static_cast<std::size_t>(index)])
               : "-1";
}

// A control's value as SetControl accepts it back.
struct ValueText {
    std::string_view entries;

    std::string operator()(const std::string& text) const { return text; }
    std::string operator()(const ComboBox& list) const { return EntryName(entries, list.index); }
    std::string operator()(const BaudRateList& list) const { return list.ShownText(); }
    std::string operator()(bool checked) const { return checked ? "1" : "0"; }
};

template <class Panel>
std::vector<ControlValue> Values(const Panel& p, std::span<const Row<Panel>> rows) {
    std::vector<ControlValue> out;
    out.reserve(rows.size());
    for (const auto& row : rows) {
        const ValueText text{row.accepted};
        std::visit(
            [&](auto member) {
                out.push_back({std::string(row.name), text(p.*member)});
            },
            row.field);
    }
    return out;
}

template <class Panel>
std::vector<ControlBinding<Panel>> Bindings(Panel& p, std::span<const Row<Panel>> rows) {
    std::vector<ControlBinding<Panel>> out;
    out.reserve(rows.size());
    for (const auto& row : rows) {
        std::visit(
            [&](auto member) {
                out.push_back({row.name, &(p.*member), row.onChange});
            },
            row.field);
    }
    return out;
}

template <class State>
std::vector<NamedState> States(const State& s, std::span<const StateRow<State>> rows) {
    std::vector<NamedState> out;
    out.reserve(rows.size());
    for (const auto& row : rows) {
        out.push_back({row.name, s.*(row.member)});
    }
    return out;
}

inline bool SameLetters(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// A list entry by one of its "|"-separated names, else by its index (-1 clears the choice).
// Names come first so that "1" on the stop-bit list means the entry "1", not entry 1.
inline std::optional<int> ListEntry(std::string_view value, std::string_view entries, int count) {
    const auto names = EntryNames(entries);
    const auto named = std::ranges::find_if(names, [&](auto n) { return SameLetters(n, value); });
    if (named != names.end()) {
        return static_cast<int>(named - names.begin());
    }
    int index = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), index);
    if (ec == std::errc{} && end == value.data() + value.size() && index >= -1 && index < count) {
        return index;
    }
    return std::nullopt;
}

inline std::optional<bool> CheckState(std::string_view value) {
    for (const std::string_view on : {"1", "on", "true", "yes"}) {
        if (SameLetters(value, on)) {
            return true;
        }
    }
    for (const std::string_view off : {"0", "off", "false", "no"}) {
        if (SameLetters(value, off)) {
            return false;
        }
    }
    return std::nullopt;
}

// Applies `value` to one control; false when the control does not accept it.
template <class Panel> bool Apply(Panel& p, const Row<Panel>& row, std::string_view value) {
    struct Visitor {
        Panel& p;
        const Row<Panel>& row;
        std::string_view value;

        bool operator()(std::string Panel::*m) const {
            p.*m = std::string(value);
            return true;
        }
        bool operator()(ComboBox Panel::*m) const {
            const auto entry = ListEntry(value, row.accepted, (p.*m).count);
            if (entry) {
                (p.*m).Select(*entry);
            }
            return entry.has_value();
        }
        bool operator()(BaudRateList Panel::*m) const {
            const auto rate = ParseBaudAnswer(value);
            if (rate) {
                (p.*m).SelectText(std::to_string(*rate));
            }
            return rate.has_value();
        }
        bool operator()(bool Panel::*m) const {
            const auto checked = CheckState(value);
            if (checked) {
                p.*m = *checked;
            }
            return checked.has_value();
        }
    };
    return std::visit(Visitor{p, row, value}, row.field);
}

template <class Panel>
bool Set(Panel& p, std::span<const Row<Panel>> rows, std::string_view name, std::string_view value,
         std::string& error) {
    const auto row = std::ranges::find(rows, name, &Row<Panel>::name);
    if (row == rows.end()) {
        error = "no control named \"" + std::string(name) + "\" on this panel";
        return false;
    }
    const auto* box = std::get_if<bool Panel::*>(&row->field);
    const bool before = box && p.**box;
    if (!Apply(p, *row, value)) {
        error = "\"" + std::string(value) + "\" is not accepted by " + std::string(row->name) +
                " (accepted: " + std::string(row->accepted) + ")";
        return false;
    }
    if (row->onChange && (!box || p.**box != before)) {
        row->onChange(p);
    }
    return true;
}

} // namespace r2::panel_table
