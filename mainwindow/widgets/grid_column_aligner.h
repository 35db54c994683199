#pragma once
// GridColumnAligner: each group box of a panel lays out its own grid, so on its own a group's
// label column is as wide as that group's longest caption, and its fields start at another x
// than the next group's. The aligner gives the first few columns of every grid one width each:
// the widest that any of the grids needs there. It aligns again whenever a group is shown or laid
// out anew (a caption changed language, a rule showed or hid a row).

#include <QList>
#include <QObject>

class QGridLayout;

namespace r2 {

class GridColumnAligner final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GridColumnAligner)

public:
    // The grids must belong to widgets below `owner`, which owns the aligner.
    GridColumnAligner(QList<QGridLayout*> grids, int columns, QObject& owner);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void align();

    QList<QGridLayout*> m_grids;
    int m_columns;
};

} // namespace r2
