#pragma once
// The P7 network panel: layout from panel_p7_widget.ui, values through PanelBinder. No reply
// fills it; the user types what btn_P7NetSet writes over the LAN.

#include "mainwindow/widgets/panel_binder.h"
#include "protocol/panel_p7.h"

#include <memory>
#include <QWidget>

namespace Ui {
class PanelP7Widget;
}

namespace r2 {

class PanelP7Widget final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PanelP7Widget)

public:
    explicit PanelP7Widget(PanelP7& model, QWidget* parent = nullptr);
    ~PanelP7Widget() override;

    PanelBinder<PanelP7>& binder() { return *m_binder; }

signals:
    // btn_P7NetSet: the LAN save of this panel.
    void saveClicked();
    // btnSaveToFileP7 / btnLoadFromFileP7: the panel to a module configuration file
    // and back (the window asks for the file).
    void saveToFileClicked();
    void loadFromFileClicked();

private:
    std::unique_ptr<Ui::PanelP7Widget> m_ui;
    PanelBinder<PanelP7>* m_binder = nullptr; // owned by this widget (QObject child)
};

} // namespace r2
