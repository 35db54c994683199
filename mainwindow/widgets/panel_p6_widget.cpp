#include "panel_p6_widget.h"

#include "ui_panel_p6_widget.h"

namespace r2 {

PanelP6Widget::PanelP6Widget(PanelP6& model, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::PanelP6Widget>()) {
    m_ui->setupUi(this);
    m_binder = new PanelBinder<PanelP6>(*this, model, &ControlBindingsP6, &ControlStatesP6);
    m_binder->toWidgets();
}

PanelP6Widget::~PanelP6Widget() = default;

} // namespace r2
