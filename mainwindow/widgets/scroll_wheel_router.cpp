#include "mainwindow/widgets/scroll_wheel_router.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QScrollBar>
#include <QWheelEvent>

namespace r2 {

ScrollWheelRouter::ScrollWheelRouter(QAbstractScrollArea& box) : QObject(&box), m_box(box) {
    QCoreApplication::instance()->installEventFilter(this);
}

bool ScrollWheelRouter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel) {
        return false;
    }
    const auto* receiver = qobject_cast<const QWidget*>(watched);
    if (!receiver || !m_box.isVisible() || receiver->window() != m_box.window()) {
        return false;
    }
    const auto* wheel = static_cast<const QWheelEvent*>(event);
    if (!m_box.rect().contains(m_box.mapFromGlobal(wheel->globalPosition().toPoint()))) {
        return false;
    }
    // A purely horizontal turn (or a touchpad's begin/end message) has no vertical delta: it
    // scrolls nothing, but it must not reach the child under the pointer either.
    const int delta = wheel->angleDelta().y();
    if (delta != 0) {
        m_box.verticalScrollBar()->triggerAction(delta < 0 ? QAbstractSlider::SliderSingleStepAdd
                                                           : QAbstractSlider::SliderSingleStepSub);
    }
    return true;
}

} // namespace r2
