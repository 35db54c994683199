#include "mainwindow/widgets/grid_column_aligner.h"

#include <algorithm>
#include <QEvent>
#include <QGridLayout>
#include <QWidget>
#include <utility>
#include <vector>

namespace r2 {

GridColumnAligner::GridColumnAligner(QList<QGridLayout*> grids, int columns, QObject& owner)
    : QObject(&owner), m_grids(std::move(grids)), m_columns(columns) {
    for (QGridLayout* grid : std::as_const(m_grids)) {
        grid->parentWidget()->installEventFilter(this);
    }
    align();
}

bool GridColumnAligner::eventFilter(QObject* /*watched*/, QEvent* event) {
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) {
        align();
    }
    return false;
}

void GridColumnAligner::align() {
    // What each column needs: the widest minimum of its shown items that fill a single cell (a
    // list shows its longest entry, an edit may narrow). Items spanning several columns take what
    // the columns give them. Equal minimums make the grids share out their width alike.
    std::vector<int> widths(static_cast<std::size_t>(m_columns), 0);
    for (QGridLayout* grid : std::as_const(m_grids)) {
        for (int i = 0; i < grid->count(); ++i) {
            int row = 0;
            int column = 0;
            int rowSpan = 0;
            int columnSpan = 0;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
            QLayoutItem* item = grid->itemAt(i);
            if (columnSpan != 1 || column >= m_columns || item->isEmpty()) {
                continue;
            }
            int& width = widths[static_cast<std::size_t>(column)];
            width = std::max(width, item->minimumSize().width());
        }
    }
    // Setting a width lays the grid out again, which comes back here: set only what changed.
    for (QGridLayout* grid : std::as_const(m_grids)) {
        const int columns = std::min(m_columns, grid->columnCount());
        for (int column = 0; column < columns; ++column) {
            const int width = widths[static_cast<std::size_t>(column)];
            if (grid->columnMinimumWidth(column) != width) {
                grid->setColumnMinimumWidth(column, width);
            }
        }
    }
}

} // namespace r2
