#include "protocol/panel_controls.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace r2 {

std::string BaudRateList::ShownText() const {
    if (index == 0) {
        return entry0;
    }
    if (index == 1) {
        return std::string(BaudCustomPrompt);
    }
    if (index >= 2 && index < Count()) {
        return std::string(rates[static_cast<std::size_t>(index - 2)]);
    }
    return {};
}

void BaudRateList::SelectText(std::string_view text) {
    if (text == entry0) {
        index = 0;
        return;
    }
    const auto it = std::find(rates.begin(), rates.end(), text);
    if (it != rates.end()) {
        index = 2 + static_cast<int>(it - rates.begin());
        return;
    }
    entry0 = std::string(text);
    index = 0;
}

bool BaudRateList::operator==(const BaudRateList& other) const {
    return index == other.index && entry0 == other.entry0 && std::ranges::equal(rates, other.rates);
}

namespace {

std::optional<std::int32_t> ParseHex32(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (ec != std::errc{} || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ParseDecimal32(std::string_view digits, bool negative) {
    if (digits.empty() ||
        !std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const std::int64_t limit = negative ? std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1
                                        : std::numeric_limits<std::int32_t>::max();
    for (const char c : digits) {
        value = value * 10 + (c - '0');
        if (value > limit) {
            return std::nullopt;
        }
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

} // namespace

std::optional<std::int32_t> ParseBaudAnswer(std::string_view answer) {
    bool negative = false;
    if (!answer.empty() && (answer.front() == '+' || answer.front() == '-')) {
        negative = answer.front() == '-';
        answer.remove_prefix(1);
    }
    if (!answer.empty() && answer.front() == '$') {
        const auto value = ParseHex32(answer.substr(1));
        if (!value) {
            return std::nullopt;
        }
        // Negating the most negative value wraps, as the 32-bit arithmetic of the box does.
        return negative ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(*value))
                        : *value;
    }
    return ParseDecimal32(answer, negative);
}

void ApplyCustomBaudEntry(BaudRateList& list, std::string_view answer) {
    if (const auto value = ParseBaudAnswer(answer)) {
        list.entry0 = std::to_string(*value);
        list.index = 0;
        return;
    }
    list.SelectText("9600");
}

std::string_view ControlKindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::Edit:
        return "edit";
    case ControlKind::List:
        return "list";
    case ControlKind::BaudList:
        return "baud-list";
    case ControlKind::CheckBox:
        return "check-box";
    }
    return "unknown";
}

} // namespace r2
