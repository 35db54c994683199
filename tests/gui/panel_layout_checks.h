#pragma once
// Layout checks shared by the panel tests: columns of two groups that should line up, controls
// cut by the bottom edge of a scroll box, and how far a control sits above its panel's bottom.
// Every check measures the real widgets after their layouts ran.

#include <algorithm>
#include <QGridLayout>
#include <QGroupBox>
#include <QMap>
#include <QScrollArea>
#include <QStringList>
#include <QWidget>

namespace r2::test {

// Where each of the first `columns` columns of a group's grid starts, in `common`'s coordinates:
// the left edge of each cell in that column holding a shown control that fills just that cell. A
// column whose controls start at different places is listed with each of them.
inline QMap<int, QList<int>> ColumnStarts(const QGroupBox& group, int columns,
                                          const QWidget& common) {
    QMap<int, QList<int>> starts;
    const auto* grid = qobject_cast<const QGridLayout*>(group.layout());
    if (!grid) {
        return starts;
    }
    for (int i = 0; i < grid->count(); ++i) {
        int row = 0;
        int column = 0;
        int rowSpan = 0;
        int columnSpan = 0;
        grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        QLayoutItem* item = grid->itemAt(i);
        if (columnSpan != 1 || column >= columns || item->isEmpty()) {
            continue;
        }
        // The cell, not the control: a check box starts a few px inside its cell.
        const int x = group.mapTo(&common, grid->cellRect(row, column).topLeft()).x();
        if (!starts[column].contains(x)) {
            starts[column] << x;
        }
    }
    return starts;
}

// The columns (below `columns`) where two groups' controls do not all start at one x; empty
// when both grids line up.
inline QStringList MisalignedColumns(const QGroupBox& a, const QGroupBox& b, int columns,
                                     const QWidget& common) {
    const QMap<int, QList<int>> startsA = ColumnStarts(a, columns, common);
    const QMap<int, QList<int>> startsB = ColumnStarts(b, columns, common);
    QStringList misaligned;
    for (int column = 0; column < columns; ++column) {
        QList<int> all = startsA.value(column) + startsB.value(column);
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        if (all.size() > 1) {
            auto text = [](const QList<int>& xs) {
                QStringList parts;
                for (const int x : xs) {
                    parts << QString::number(x);
                }
                return parts.join(',');
            };
            misaligned << QStringLiteral("column %1: %2 at x %3, %4 at x %5")
                              .arg(column)
                              .arg(a.objectName(), text(startsA.value(column)), b.objectName(),
                                   text(startsB.value(column)));
        }
    }
    return misaligned;
}

// The shown controls inside the box's groups that its viewport's bottom edge cuts: their top is
// above the edge and their bottom below it. A control wholly above or wholly below is fine.
inline QStringList HalfRowsAtTheBottom(const QScrollArea& box) {
    QStringList cut;
    const QWidget& viewport = *box.viewport();
    const int edge = viewport.height();
    for (const QGroupBox* group : box.widget()->findChildren<QGroupBox*>()) {
        for (const QWidget* control : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!control->isVisibleTo(&box)) {
                continue;
            }
            const int top = control->mapTo(&viewport, QPoint(0, 0)).y();
            const int bottom = top + control->height();
            if (top < edge && bottom > edge) {
                cut << QStringLiteral("%1: rows %2..%3, edge %4")
                           .arg(control->objectName())
                           .arg(top)
                           .arg(bottom)
                           .arg(edge);
            }
        }
    }
    return cut;
}

// How far the bottom of `control` lies above the bottom of `panel`.
inline int GapBelow(const QWidget& control, const QWidget& panel) {
    const int bottom = control.mapTo(&panel, QPoint(0, control.height())).y();
    return panel.height() - bottom;
}

} // namespace r2::test
