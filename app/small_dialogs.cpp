#include "app/small_dialogs.h"

#include <algorithm>
#include <QLayout>
#include <QWidget>

// Q_INIT_RESOURCE declares the resource's initialiser in the enclosing namespace, which must be
// the global one.
static void RegisterShellResources() {
    Q_INIT_RESOURCE(r2shell);
}

namespace r2 {

void LoadDialogPictures() {
    RegisterShellResources();
}

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
