#pragma once
// RowScrollArea: the data debugger's row area. It shows whole rows only: the part of its height
// that would hold a cut row is left empty below the last whole one.

#include <QScrollArea>

namespace r2 {

class RowScrollArea final : public QScrollArea {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RowScrollArea)

public:
    using QScrollArea::QScrollArea;

    // Every row's height; 0 leaves the whole height to the rows.
    void setRowHeight(int height);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitWholeRows();

    int m_rowHeight = 0;
};

} // namespace r2
