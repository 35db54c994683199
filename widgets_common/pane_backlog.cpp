#include "widgets_common/pane_backlog.h"

#include <iterator>

namespace r2 {

bool PaneBacklog::Add(std::span<const PaneLine> block) {
    qsizetype chars = 0;
    for (const PaneLine& line : block) {
        chars += line.text.size();
    }
    const auto lines = static_cast<qsizetype>(block.size());
    if (lines > m_lineLimit - PendingLines() || chars > m_charLimit - m_chars) {
        ++m_dropped;
        return false;
    }
    m_lines.insert(m_lines.end(), block.begin(), block.end());
    m_chars += chars;
    return true;
}

std::vector<PaneLine> PaneBacklog::Take(qsizetype maxLines, qsizetype maxChars) {
    qsizetype count = 0;
    qsizetype chars = 0;
    const auto sizeAt = [this](qsizetype at) {
        return m_lines[static_cast<std::size_t>(at)].text.size();
    };
    while (count < PendingLines() && count < maxLines &&
           (count == 0 || sizeAt(count) <= maxChars - chars)) {
        chars += sizeAt(count);
        ++count;
    }
    const auto end = m_lines.begin() + static_cast<std::ptrdiff_t>(count);
    std::vector<PaneLine> slice(std::make_move_iterator(m_lines.begin()),
                                std::make_move_iterator(end));
    m_lines.erase(m_lines.begin(), end);
    m_chars -= chars;
    return slice;
}

void PaneBacklog::Clear() {
    m_lines.clear();
    m_chars = 0;
    m_dropped = 0;
}

long PaneBacklog::TakeDropped() {
    const long dropped = m_dropped;
    m_dropped = 0;
    return dropped;
}

} // namespace r2
