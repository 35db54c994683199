#pragma once
// PaneBacklog: the lines an output pane is still to show, held within bounds so that no sender,
// however fast, can grow the window's memory. Lines come in blocks (a frame's several hex lines,
// or one received chunk's line); a block that does not fit is left out whole and counted, so a
// pane never shows half a frame. The pane takes the lines in slices.

#include <deque>
#include <limits>
#include <QColor>
#include <QString>
#include <span>
#include <vector>

namespace r2 {

// One line of a pane. An invalid colour leaves the pane's own text format in place.
struct PaneLine {
    QString text;
    QColor colour;
};

class PaneBacklog final {
public:
    static constexpr qsizetype Unbounded = std::numeric_limits<qsizetype>::max();

    PaneBacklog() = default;
    PaneBacklog(qsizetype lineLimit, qsizetype charLimit)
        : m_lineLimit(lineLimit), m_charLimit(charLimit) {}

    // False, and the block counted as dropped, when it does not fit whole.
    bool Add(std::span<const PaneLine> block);
    // Up to `maxLines` lines in order, and beyond the first line no more than `maxChars`
    // characters; empty when nothing waits.
    std::vector<PaneLine> Take(qsizetype maxLines, qsizetype maxChars);
    // Forgets the waiting lines and the count of dropped blocks.
    void Clear();
    // The count of blocks dropped so far, which starts again from zero.
    long TakeDropped();

    qsizetype PendingLines() const { return static_cast<qsizetype>(m_lines.size()); }
    qsizetype PendingChars() const { return m_chars; }
    long Dropped() const { return m_dropped; }

private:
    qsizetype m_lineLimit = Unbounded;
    qsizetype m_charLimit = Unbounded;
    std::deque<PaneLine> m_lines;
    qsizetype m_chars = 0;
    long m_dropped = 0;
};

} // namespace r2
