#include "mainwindow/widgets/panel_p7_widget.h"

#include "mainwindow/widgets/grid_column_aligner.h"
#include "mainwindow/widgets/typing_limit.h"
#include "ui_panel_p7_widget.h"

namespace r2 {

PanelP7Widget::PanelP7Widget(PanelP7& model, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::PanelP7Widget>()) {
    m_ui->setupUi(this);
    ApplyTypingLimits(*this);
    // Owned by the panel.
    new GridColumnAligner({m_ui->grid_BaseSaveP7, m_ui->grid_ComParamP7}, 4, *this);
    m_binder = new PanelBinder<PanelP7>(*this, model, &ControlBindingsP7, &ControlStatesP7);
    m_binder->toWidgets();
    connect(m_ui->btn_P7NetSet, &QPushButton::clicked, this, &PanelP7Widget::saveClicked);
    connect(m_ui->btnSaveToFileP7, &QPushButton::clicked, this, &PanelP7Widget::saveToFileClicked);
    connect(m_ui->btnLoadFromFileP7, &QPushButton::clicked, this,
            &PanelP7Widget::loadFromFileClicked);
}

PanelP7Widget::~PanelP7Widget() = default;

} // namespace r2
