#pragma once
// PortListBox: the serial port list (cbb_SelectCom). It says when its drop-down is about to open,
// so the list can be refreshed from the system right then, and when it has closed.

#include <QComboBox>

namespace r2 {

class PortListBox final : public QComboBox {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PortListBox)

public:
    explicit PortListBox(QWidget* parent = nullptr) : QComboBox(parent) {}

    void showPopup() override;
    void hidePopup() override;

signals:
    void popupAboutToShow();
    void popupHidden();
};

} // namespace r2
