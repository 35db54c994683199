#include "port_list_box.h"

namespace r2 {

void PortListBox::showPopup() {
    emit popupAboutToShow();
    QComboBox::showPopup();
}

void PortListBox::hidePopup() {
    QComboBox::hidePopup();
    emit popupHidden();
}

} // namespace r2
