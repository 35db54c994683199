#pragma once
// The P6 panel's widgets: the seven groups in the scroll box ScrollBox1 and the button strip, laid
// out in panel_p6_widget.ui; values and rule-driven states through PanelBinder. A wheel turn over
// the scroll box scrolls it whatever child is under the pointer (ScrollWheelRouter). The box shows
// whole rows only (FormScrollArea); the base and port groups share one grid (GridColumnAligner).

#include "mainwindow/widgets/panel_binder.h"
#include "protocol/panel_p6.h"

#include <memory>
#include <QWidget>

namespace Ui {
class PanelP6Widget;
}

namespace r2 {

class PanelP6Widget final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PanelP6Widget)

public:
    explicit PanelP6Widget(PanelP6& model, QWidget* parent = nullptr);
    ~PanelP6Widget() override;

    PanelBinder<PanelP6>& binder() { return *m_binder; }

signals:
    // btn_P6NetSet: save over the LAN.
    void saveClicked();
    // btn_P6ComSet: save over the serial line.
    void serialSaveClicked();
    // btnDataDebug: the data debugger for this module's socket.
    void dataDebugClicked();
    // btnSaveToFile / btnLoadFromFile: the panel to a module configuration file
    // and back (the window asks for the file).
    void saveToFileClicked();
    void loadFromFileClicked();

private:
    void hideNeverShownControls();

    std::unique_ptr<Ui::PanelP6Widget> m_ui;
    PanelBinder<PanelP6>* m_binder = nullptr; // owned by this widget (QObject child)
};

} // namespace r2
