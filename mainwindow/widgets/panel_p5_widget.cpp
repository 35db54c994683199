#include "panel_p5_widget.h"

#include "ui_panel_p5_widget.h"

namespace r2 {

PanelP5Widget::PanelP5Widget(PanelP5& model, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::PanelP5Widget>()) {
    m_ui->setupUi(this);
    m_binder = new PanelBinder<PanelP5>(*this, model, &ControlBindingsP5, &ControlStatesP5);
    m_binder->toWidgets();
}

PanelP5Widget::~PanelP5Widget() = default;

} // namespace r2
