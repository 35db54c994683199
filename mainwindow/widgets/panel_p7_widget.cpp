#include "panel_p7_widget.h"

#include "ui_panel_p7_widget.h"

namespace r2 {

PanelP7Widget::PanelP7Widget(PanelP7& model, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::PanelP7Widget>()) {
    m_ui->setupUi(this);
    m_binder = new PanelBinder<PanelP7>(*this, model, &ControlBindingsP7, &ControlStatesP7);
    m_binder->toWidgets();
}

PanelP7Widget::~PanelP7Widget() = default;

} // namespace r2
