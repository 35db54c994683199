#pragma once
// The P5 panel (also the serial side of a P7 module): layout from panel_p5_widget.ui, values
// through PanelBinder. Its two save buttons share one place; the LAN/serial tab switch shows one
// of them through PanelP5State.

#include "mainwindow/widgets/panel_binder.h"
#include "protocol/panel_p5.h"

#include <memory>
#include <QWidget>

namespace Ui {
class PanelP5Widget;
}

namespace r2 {

class PanelP5Widget final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PanelP5Widget)

public:
    explicit PanelP5Widget(PanelP5& model, QWidget* parent = nullptr);
    ~PanelP5Widget() override;

    PanelBinder<PanelP5>& binder() { return *m_binder; }

signals:
    // btn_P5Set: the LAN save of this panel.
    void saveClicked();
    // btn_ComSet: the serial save of a P5 or P7 module.
    void serialSaveClicked();

private:
    std::unique_ptr<Ui::PanelP5Widget> m_ui;
    PanelBinder<PanelP5>* m_binder = nullptr; // owned by this widget (QObject child)
};

} // namespace r2
