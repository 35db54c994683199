#include "debugger/widgets/row_scroll_area.h"

namespace r2 {

void RowScrollArea::setRowHeight(int height) {
    m_rowHeight = height;
    fitWholeRows();
}

void RowScrollArea::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    fitWholeRows();
}

void RowScrollArea::fitWholeRows() {
    const int height = viewport()->height() + viewportMargins().bottom();
    const int spare = m_rowHeight > 0 ? height % m_rowHeight : 0;
    if (spare != viewportMargins().bottom()) {
        setViewportMargins(0, 0, 0, spare);
    }
}

} // namespace r2
