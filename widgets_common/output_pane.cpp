#include "widgets_common/output_pane.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

namespace r2 {

OutputPane::OutputPane(QWidget* parent) : QPlainTextEdit(parent), m_timer(new QTimer(this)) {
    setReadOnly(true);
    // The pane is read-only and only grows: an undo record for every added line would cost
    // memory and time with each line and could never be used.
    setUndoRedoEnabled(false);
    connect(m_timer, &QTimer::timeout, this, &OutputPane::Flush);
}

void OutputPane::Configure(const Settings& settings) {
    m_settings = settings;
    m_backlog = PaneBacklog(settings.backlogLines, settings.backlogChars);
    setMaximumBlockCount(settings.keptLines);
    if (settings.pace == Pace::OnTimer) {
        m_timer->start(settings.timerMs);
    } else {
        m_timer->stop();
    }
}

void OutputPane::SetDropNotice(std::function<PaneLine(long dropped)> notice) {
    m_dropNotice = std::move(notice);
}

void OutputPane::AddBlock(std::span<const PaneLine> lines) {
    if (m_settings.pace == Pace::AtOnce) {
        append(lines);
        return;
    }
    if (m_backlog.Add(lines) && m_settings.pace == Pace::EachPass) {
        queueFlush();
    }
}

void OutputPane::queueFlush() {
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, &OutputPane::Flush);
    }
}

void OutputPane::Flush() {
    m_flushQueued = false;
    const auto slice = m_backlog.Take(m_settings.sliceLines, m_settings.sliceChars);
    QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    append(slice);
    if (m_backlog.PendingLines() == 0 && m_dropNotice && m_backlog.Dropped() > 0) {
        const PaneLine notice = m_dropNotice(m_backlog.TakeDropped());
        append({&notice, 1});
    }
    if (m_backlog.PendingLines() > 0 && m_settings.pace == Pace::EachPass) {
        queueFlush();
    }
    if (m_settings.follow == Follow::Always ||
        (m_settings.follow == Follow::WhenAtEnd && atEnd && !slice.empty())) {
        bar->setValue(bar->maximum());
    }
    emit flushed();
}

void OutputPane::append(std::span<const PaneLine> lines) {
    if (lines.empty()) {
        return;
    }
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    for (const PaneLine& line : lines) {
        QTextCharFormat format;
        if (line.colour.isValid()) {
            format.setForeground(line.colour);
        }
        if (m_hasLines) {
            cursor.insertBlock();
        }
        m_hasLines = true;
        cursor.insertText(line.text, format);
    }
    cursor.endEditBlock();
}

void OutputPane::Clear() {
    clear();
    m_backlog.Clear();
    m_hasLines = false;
}

} // namespace r2
