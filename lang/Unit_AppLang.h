#pragma once
// The program's built-in texts: BuiltInTextRowCount rows of key, Chinese and English wording,
// in a fixed order. That order is the order in which they enter the language table and the order of
// the rows of a newly written language file. A line break inside a text is CR LF.

#include "lang/Unit_Baselang.h"

#include <cstddef>
#include <span>
#include <string_view>

namespace r2 {

struct TLangRow {
    std::string_view name;
    std::string_view chinese;
    std::string_view english;
};

inline constexpr std::size_t BuiltInTextRowCount = 374;

std::span<const TLangRow> BuiltInTextRows();
// Adds every built-in row to list with AddEntry, in order.
void BuildBuiltInTexts(TLangList& list);

} // namespace r2
