#pragma once
// OutputPane: a read-only text pane that lines are added to, one coloured line each, from
// sources that may outrun the screen (the main window's log and hex stream, the data
// debugger's receive pane). Its pace says when added lines reach the screen: at once, in
// slices once per event-loop pass, or in slices on a timer, so that no single pass stalls
// the window under a flood. Lines waiting for their slice sit in a bounded backlog; a block
// that does not fit is dropped whole and counted. The pane may keep only its last lines.

#include "widgets_common/pane_backlog.h"

#include <functional>
#include <QPlainTextEdit>
#include <span>

class QTimer;

namespace r2 {

class OutputPane final : public QPlainTextEdit {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OutputPane)

public:
    enum class Pace {
        AtOnce,   // every line is shown as it is added; no backlog
        EachPass, // a slice once per event-loop pass while lines wait
        OnTimer,  // a slice on every tick of a timer that always runs
    };
    enum class Follow {
        Never,     // the view stays where the user left it
        Always,    // the view goes to the end after every slice
        WhenAtEnd, // the view goes to the end only when it showed the end before the slice
    };
    struct Settings {
        Pace pace = Pace::AtOnce;
        int timerMs = 0; // the tick of Pace::OnTimer
        qsizetype sliceLines = PaneBacklog::Unbounded;
        qsizetype sliceChars = PaneBacklog::Unbounded;
        qsizetype backlogLines = PaneBacklog::Unbounded;
        qsizetype backlogChars = PaneBacklog::Unbounded;
        int keptLines = 0; // older lines go beyond this many; 0 keeps all
        Follow follow = Follow::Never;
    };

    explicit OutputPane(QWidget* parent = nullptr);

    void Configure(const Settings& settings);
    // When set, once the backlog has drained after dropping blocks the pane adds this line,
    // given the count left out, and counts from zero again.
    void SetDropNotice(std::function<PaneLine(long dropped)> notice);

    void AddLine(const PaneLine& line) { AddBlock({&line, 1}); }
    // The lines of one block go to the screen together or, when the backlog is full, not at all.
    void AddBlock(std::span<const PaneLine> lines);
    // Shows the next slice of waiting lines now.
    void Flush();
    // Empties the pane and its backlog and forgets the count of dropped blocks.
    void Clear();

    // Blocks dropped since the last Clear (or the last drop notice).
    long Dropped() const { return m_backlog.Dropped(); }
    qsizetype PendingLines() const { return m_backlog.PendingLines(); }

signals:
    // After every slice (on every tick of Pace::OnTimer, even with nothing waiting).
    void flushed();

private:
    void append(std::span<const PaneLine> lines);
    void queueFlush();

    Settings m_settings;
    PaneBacklog m_backlog;
    std::function<PaneLine(long)> m_dropNotice;
    QTimer* m_timer = nullptr;
    bool m_flushQueued = false;
    // An empty document already holds one empty block: the first line goes there. This says
    // whether that block is taken (its line may itself be empty).
    bool m_hasLines = false;
};

} // namespace r2
