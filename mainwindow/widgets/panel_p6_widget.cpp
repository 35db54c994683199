#include "mainwindow/widgets/panel_p6_widget.h"

#include "mainwindow/widgets/grid_column_aligner.h"
#include "mainwindow/widgets/scroll_wheel_router.h"
#include "mainwindow/widgets/typing_limit.h"
#include "ui_panel_p6_widget.h"

namespace r2 {

PanelP6Widget::PanelP6Widget(PanelP6& model, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::PanelP6Widget>()) {
    m_ui->setupUi(this);
    ApplyTypingLimits(*this);
    hideNeverShownControls();
    // Owned by the panel.
    new GridColumnAligner({m_ui->grp_BaseSaveGrid, m_ui->grp_ComParamGrid}, 4, *this);
    new ScrollWheelRouter(*m_ui->ScrollBox1); // owned by the scroll box
    m_binder = new PanelBinder<PanelP6>(*this, model, &ControlBindingsP6, &ControlStatesP6);
    m_binder->toWidgets();
    connect(m_ui->btn_P6NetSet, &QPushButton::clicked, this, &PanelP6Widget::saveClicked);
    connect(m_ui->btn_P6ComSet, &QPushButton::clicked, this, &PanelP6Widget::serialSaveClicked);
    connect(m_ui->btnDataDebug, &QPushButton::clicked, this, &PanelP6Widget::dataDebugClicked);
    connect(m_ui->btnSaveToFile, &QPushButton::clicked, this, &PanelP6Widget::saveToFileClicked);
    connect(m_ui->btnLoadFromFile, &QPushButton::clicked, this,
            &PanelP6Widget::loadFromFileClicked);
}

PanelP6Widget::~PanelP6Widget() = default;

// These controls hold values that replies fill and the encoders read back, but the panel never
// shows them; no rule touches their visibility.
void PanelP6Widget::hideNeverShownControls() {
    QWidget* const neverShown[] = {
        m_ui->lbl_LocationURLPort,
        m_ui->edt_LocationURLPort,
        m_ui->lbl_UserMAC,
        m_ui->edt_UserMAC,
        m_ui->lbl_Id3,
        m_ui->edt_Id3,
        m_ui->lbl_IdType,
        m_ui->edt_IdType,
        m_ui->rzchckbx_ConnSendId,
        m_ui->rzchckbx_DataWithId,
        m_ui->rzchckbx_RS422,
        m_ui->rzchckbx_RS485,
        m_ui->chkReload,
        m_ui->lbl_FlowControl0,
        m_ui->cbb_FlowControl0,
        m_ui->chk_RFC22170,
        m_ui->lbl_UARTLength0,
        m_ui->edt_UARTLength0,
        m_ui->rzgrpbxCloudEnP6,
        m_ui->cbbHeartTp,
        m_ui->cbbRegSnd,
        m_ui->chkCloud,
    };
    for (QWidget* control : neverShown) {
        control->hide();
    }
}

} // namespace r2
