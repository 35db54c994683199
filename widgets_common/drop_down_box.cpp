#include "widgets_common/drop_down_box.h"

namespace r2 {

void DropDownBox::showPopup() {
    emit popupAboutToShow();
    QComboBox::showPopup();
}

void DropDownBox::hidePopup() {
    QComboBox::hidePopup();
    emit popupHidden();
}

} // namespace r2
