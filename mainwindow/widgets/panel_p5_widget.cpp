#include "mainwindow/widgets/panel_p5_widget.h"

#include "mainwindow/widgets/grid_column_aligner.h"
#include "mainwindow/widgets/typing_limit.h"
#include "ui_panel_p5_widget.h"

namespace r2 {

PanelP5Widget::PanelP5Widget(PanelP5& model, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::PanelP5Widget>()) {
    m_ui->setupUi(this);
    ApplyTypingLimits(*this);
    // Owned by the panel. One label width for both groups, so their fields start at one x; the
    // extra functions' boxes keep their own columns after that.
    new GridColumnAligner({m_ui->grid_Param, m_ui->grid_Special}, 1, *this);
    m_binder = new PanelBinder<PanelP5>(*this, model, &ControlBindingsP5, &ControlStatesP5);
    m_binder->toWidgets();
    connect(m_ui->btn_P5Set, &QPushButton::clicked, this, &PanelP5Widget::saveClicked);
    connect(m_ui->btn_ComSet, &QPushButton::clicked, this, &PanelP5Widget::serialSaveClicked);
}

PanelP5Widget::~PanelP5Widget() = default;

} // namespace r2
