#pragma once
// DropDownBox: a combo box that says when its list is about to open and when it has closed, so
// its entries can be refreshed from the system right then (the serial ports, the computer's
// addresses).

#include <QComboBox>

namespace r2 {

class DropDownBox final : public QComboBox {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DropDownBox)

public:
    explicit DropDownBox(QWidget* parent = nullptr) : QComboBox(parent) {}

    void showPopup() override;
    void hidePopup() override;

signals:
    void popupAboutToShow();
    void popupHidden();
};

} // namespace r2
