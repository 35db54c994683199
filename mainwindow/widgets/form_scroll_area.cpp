#include "mainwindow/widgets/form_scroll_area.h"

#include <algorithm>
#include <QEvent>
#include <QGroupBox>
#include <QLayout>
#include <QList>
#include <QRect>
#include <QScrollBar>

namespace r2 {

namespace {

// Where the rows of a form of group boxes lie, in the form's coordinates: each shown group's
// caption strip and each shown control directly inside a shown group.
QList<QRect> FormRows(const QWidget& form) {
    QList<QRect> rows;
    for (const QGroupBox* group : form.findChildren<QGroupBox*>()) {
        if (!group->isVisibleTo(&form)) {
            continue;
        }
        const QPoint groupAt = group->mapTo(&form, QPoint(0, 0));
        rows << QRect(groupAt, QSize(group->width(), group->contentsRect().top()));
        for (const QWidget* control : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (control->isVisibleTo(&form)) {
                rows << QRect(control->mapTo(&form, QPoint(0, 0)), control->size());
            }
        }
    }
    return rows;
}

} // namespace

FormScrollArea::FormScrollArea(QWidget* parent) : QScrollArea(parent) {
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &FormScrollArea::clipAtWholeRows);
}

void FormScrollArea::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    clipAtWholeRows();
}

// QScrollArea watches its form already; this adds the form's own re-layouts (a rule showed or
// hid a row) to what moves the empty band.
bool FormScrollArea::eventFilter(QObject* watched, QEvent* event) {
    const bool handled = QScrollArea::eventFilter(watched, event);
    if (watched == widget() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)) {
        if (event->type() == QEvent::LayoutRequest && widget()->layout()) {
            // The rows are measured where the pending layout puts them, not where they were.
            widget()->layout()->activate();
        }
        clipAtWholeRows();
    }
    return handled;
}

void FormScrollArea::clipAtWholeRows() {
    if (!widget() || m_clipping) {
        return;
    }
    // A changed band resizes the viewport, which can scroll the form and so move the edge: measure
    // again, a few rounds at most, until the band stays.
    m_clipping = true;
    for (int round = 0; round < 3; ++round) {
        const int band = emptyBand();
        if (band == viewportMargins().bottom()) {
            break;
        }
        setViewportMargins(0, 0, 0, band);
    }
    m_clipping = false;
}

int FormScrollArea::emptyBand() const {
    const QWidget& form = *widget();
    const int top = -form.y();
    const int edge = top + viewport()->height() + viewportMargins().bottom();
    int cut = edge;
    for (const QRect& row : FormRows(form)) {
        if (row.top() < edge && row.top() + row.height() > edge) {
            cut = std::min(cut, row.top());
        }
    }
    // A row taller than the whole box is shown cut rather than not at all.
    return cut > top ? edge - cut : 0;
}

} // namespace r2
