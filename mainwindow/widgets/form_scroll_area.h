#pragma once
// FormScrollArea: a scroll box over a form of group boxes that never shows a control, or a
// group's caption, cut in half by its bottom edge. The height below the last one that fits whole
// stays empty; as the form scrolls or changes, the empty band follows, so the bottom edge always
// falls between two rows.

#include <QScrollArea>

namespace r2 {

class FormScrollArea final : public QScrollArea {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormScrollArea)

public:
    explicit FormScrollArea(QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void clipAtWholeRows();
    // The height at the bottom that would show a row cut in half at the current scroll position.
    int emptyBand() const;

    bool m_clipping = false;
};

} // namespace r2
