#include "dialog_size.h"

#include <algorithm>
#include <QLayout>
#include <QWidget>

namespace r2 {

void FixDialogSize(QWidget& dialog, QSize designSize) {
    QLayout* layout = dialog.layout();
    if (layout == nullptr) {
        dialog.setFixedSize(designSize);
        return;
    }
    layout->invalidate();
    const QSize hint = layout->totalSizeHint().expandedTo(layout->totalMinimumSize());
    const int width = std::max(designSize.width(), hint.width());
    const int neededHeight =
        layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : hint.height();
    dialog.setFixedSize(width, std::max({designSize.height(), neededHeight, hint.height()}));
}

} // namespace r2
