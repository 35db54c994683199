#include "mainwindow/widgets/apply_plan_dialog.h"

#include "qt_bridge/qt_bridge.h"
#include "ui_apply_plan_dialog.h"
#include "widgets_common/control_texts.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>

namespace r2 {

namespace {

const std::vector<TextRow>& ApplyPlanCaptions() {
    static const std::vector<TextRow> rows{
        {"lang_ApplyPlan_lblFile", {"lbl_File"}},
        {"lang_ApplyPlan_lblMask", {"lbl_Mask"}},
        {"lang_ApplyPlan_lblFirstIP", {"lbl_FirstIP"}},
        {"lang_ApplyPlan_lblNamePattern", {"lbl_NamePattern"}},
        {"lang_ApplyPlan_lblCounterStart", {"lbl_CounterStart"}},
        {"lang_ApplyPlan_TakenHint", {"lbl_TakenHint"}},
        {"lang_ApplyPlan_btnApply", {"btn_Apply"}},
        {"lang_Log_Cancel", {"btn_Cancel"}},
    };
    return rows;
}

void ApplyApplyPlanTexts(QWidget& dialog) {
    ApplyWindowTexts(dialog, "lang_ApplyPlan_Title", ApplyPlanCaptions());
}

// MAC, current IP, planned IP, current name, planned name.
constexpr int PreviewColumns = 5;

} // namespace

Tfrm_ApplyPlan::Tfrm_ApplyPlan(const QString& fileName, config::ModuleConfig file,
                               std::vector<FoundModule> targets, QStringList taken,
                               QStringList thisComputer, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::Tfrm_ApplyPlan>()), m_file(std::move(file)),
      m_targets(std::move(targets)), m_taken(std::move(taken)),
      m_thisComputer(std::move(thisComputer)) {
    m_ui->setupUi(this);
    m_ui->lbl_FileName->setText(QFileInfo(fileName).fileName());
    m_ui->lbl_FileName->setToolTip(fileName);
    m_ui->lbl_MaskValue->setText(FileSubnetMask(m_file));
    m_ui->tbl_Preview->setRowCount(static_cast<int>(m_targets.size()));
    m_ui->tbl_Preview->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_ui->tbl_Preview->horizontalHeader()->setStretchLastSection(true);
    connect(m_ui->edt_FirstIP, &QLineEdit::textChanged, this, &Tfrm_ApplyPlan::updatePreview);
    connect(m_ui->edt_NamePattern, &QLineEdit::textChanged, this, &Tfrm_ApplyPlan::updatePreview);
    connect(m_ui->spn_CounterStart, &QSpinBox::valueChanged, this, &Tfrm_ApplyPlan::updatePreview);
    connect(m_ui->btn_Apply, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    retranslate();
    updatePreview();
}

Tfrm_ApplyPlan::~Tfrm_ApplyPlan() = default;

PlanFields Tfrm_ApplyPlan::fields() const {
    return {m_ui->edt_FirstIP->text(), m_ui->edt_NamePattern->text(),
            static_cast<quint32>(m_ui->spn_CounterStart->value())};
}

void Tfrm_ApplyPlan::setFields(const PlanFields& fields) {
    m_ui->edt_FirstIP->setText(fields.firstIp);
    m_ui->edt_NamePattern->setText(fields.namePattern);
    m_ui->spn_CounterStart->setValue(static_cast<int>(fields.counterStart));
}

void Tfrm_ApplyPlan::retranslate() {
    ApplyApplyPlanTexts(*this);
    m_ui->tbl_Preview->setHorizontalHeaderLabels(
        {Text("lang_Lv_MAC"), Text("lang_ApplyPlan_colCurrentIP"),
         Text("lang_ApplyPlan_colPlannedIP"), Text("lang_ApplyPlan_colCurrentName"),
         Text("lang_ApplyPlan_colPlannedName")});
    m_ui->edt_FirstIP->setPlaceholderText(Text("lang_ApplyPlan_FirstIPEmpty"));
    m_ui->edt_NamePattern->setPlaceholderText(Text("lang_ApplyPlan_NamePatternEmpty"));
    showPlanNotes();
}

void Tfrm_ApplyPlan::updatePreview() {
    m_preview = PreviewPlan(m_file, m_targets, m_taken, m_thisComputer, fields());
    QTableWidget* table = m_ui->tbl_Preview;
    for (int row = 0; row < static_cast<int>(m_preview.rows.size()); ++row) {
        const PlanRow& plan = m_preview.rows[static_cast<std::size_t>(row)];
        const QString cells[] = {plan.mac, plan.currentIp, plan.plannedIp, plan.currentName,
                                 plan.plannedName};
        // A module whose address or name changes stands out from one that keeps it.
        const bool changed[] = {false, false, plan.plannedIp != plan.currentIp, false,
                                plan.plannedName != plan.currentName};
        for (int column = 0; column < PreviewColumns; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (changed[column]) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            table->setItem(row, column, item);
        }
    }
    showPlanNotes();
    m_ui->btn_Apply->setEnabled(m_preview.error.isEmpty());
}

void Tfrm_ApplyPlan::showPlanNotes() {
    const QString skipped = SkippedNote(m_preview.skipped);
    m_ui->lbl_TakenHint->setText(Text("lang_ApplyPlan_TakenHint") +
                                 (skipped.isEmpty() ? QString() : '\n' + skipped));
    m_ui->lbl_PlanError->setText(
        m_preview.error.isEmpty() ? QString() : Text("lang_ApplyPlan_PlanError") + m_preview.error);
}

} // namespace r2
