#pragma once
// ScrollWheelRouter: every wheel turn over a scroll box scrolls the box itself, one single step
// per wheel message (down when the wheel turns towards the user), whichever child sits under the
// pointer or has the focus. A combo box or spin box inside a long form would otherwise take the
// turn and silently change its value while the user only meant to scroll.
//
// It filters the whole application's events, so it sees a wheel message before any child does.
// Wheel messages over another window (a dialog or an open drop-down list above the box) are left
// alone.

#include <QObject>

class QAbstractScrollArea;

namespace r2 {

class ScrollWheelRouter final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScrollWheelRouter)

public:
    // Installs itself on the application; the box must outlive the router (make it the parent).
    explicit ScrollWheelRouter(QAbstractScrollArea& box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractScrollArea& m_box;
};

} // namespace r2
