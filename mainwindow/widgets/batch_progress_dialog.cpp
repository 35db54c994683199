#include "mainwindow/widgets/batch_progress_dialog.h"

#include "qt_bridge/qt_bridge.h"
#include "ui_batch_progress_dialog.h"
#include "widgets_common/control_texts.h"

#include <QHeaderView>
#include <QPushButton>

namespace r2 {

namespace {

const std::vector<TextRow>& BatchProgressCaptions() {
    static const std::vector<TextRow> rows{
        {"lang_Batch_btnStop", {"btn_Stop"}},
        {"lang_Batch_btnClose", {"btn_Close"}},
    };
    return rows;
}

void ApplyBatchProgressTexts(QWidget& dialog) {
    ApplyCaptions(dialog, BatchProgressCaptions());
}

std::string_view TitleKey(BatchKind kind) {
    switch (kind) {
    case BatchKind::Restart:
        return "lang_Batch_TitleRestart";
    case BatchKind::Upgrade:
        return "lang_Batch_TitleUpgrade";
    case BatchKind::ApplyFile:
        break;
    }
    return "lang_Batch_TitleApply";
}

QString OutcomeText(const BatchOutcome& outcome) {
    using State = BatchOutcome::State;
    switch (outcome.state) {
    case State::Waiting:
        return Text("lang_Batch_Waiting");
    case State::Running:
        return outcome.percent >= 0
                   ? Text("lang_Batch_Running") + QStringLiteral(" %1%").arg(outcome.percent)
                   : Text("lang_Batch_Running");
    case State::Ok:
        return Text("lang_Batch_OK");
    case State::Failed:
        return Text("lang_Batch_Failed") + outcome.reason;
    case State::NotRun:
        break;
    }
    return Text("lang_Batch_NotRun");
}

QColor OutcomeColour(BatchOutcome::State state) {
    switch (state) {
    case BatchOutcome::State::Ok:
        return {0, 128, 0};
    case BatchOutcome::State::Failed:
        return {255, 0, 0};
    case BatchOutcome::State::Running:
        return {0, 0, 255};
    case BatchOutcome::State::Waiting:
    case BatchOutcome::State::NotRun:
        break;
    }
    return {};
}

} // namespace

Tfrm_BatchProgress::Tfrm_BatchProgress(BatchKind kind, const std::vector<FoundModule>& targets,
                                       QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::Tfrm_BatchProgress>()), m_kind(kind),
      m_outcomes(targets.size()) {
    m_ui->setupUi(this);
    QTableWidget* table = m_ui->tbl_Batch;
    table->setRowCount(static_cast<int>(targets.size()));
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < table->rowCount(); ++row) {
        const FoundModule& target = targets[static_cast<std::size_t>(row)];
        table->setItem(row, 0, new QTableWidgetItem(target.mac));
        table->setItem(row, 1, new QTableWidgetItem(target.ip));
        table->setItem(row, 2, new QTableWidgetItem);
    }
    m_ui->btn_Close->setVisible(false);
    connect(m_ui->btn_Close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->btn_Stop, &QPushButton::clicked, this, [this] {
        m_stopping = true;
        m_ui->btn_Stop->setEnabled(false);
        showSummary();
        emit stopRequested();
    });
    retranslate();
}

Tfrm_BatchProgress::~Tfrm_BatchProgress() = default;

void Tfrm_BatchProgress::setOutcome(int index, const BatchOutcome& outcome) {
    if (index < 0 || index >= static_cast<int>(m_outcomes.size())) {
        return;
    }
    m_outcomes[static_cast<std::size_t>(index)] = outcome;
    showOutcome(index);
    m_ui->tbl_Batch->scrollToItem(m_ui->tbl_Batch->item(index, 2));
}

void Tfrm_BatchProgress::setFinished() {
    m_finished = true;
    m_ui->btn_Stop->setVisible(false);
    m_ui->btn_Close->setVisible(true);
    m_ui->btn_Close->setDefault(true);
    m_ui->btn_Close->setFocus();
    showSummary();
}

void Tfrm_BatchProgress::reject() {
    if (m_finished) {
        QDialog::reject();
    }
}

void Tfrm_BatchProgress::retranslate() {
    setWindowTitle(Text(TitleKey(m_kind)));
    ApplyBatchProgressTexts(*this);
    m_ui->tbl_Batch->setHorizontalHeaderLabels(
        {Text("lang_Lv_MAC"), Text("lang_Lv_DevIP"), Text("lang_Batch_colResult")});
    for (int row = 0; row < static_cast<int>(m_outcomes.size()); ++row) {
        showOutcome(row);
    }
    showSummary();
}

void Tfrm_BatchProgress::showOutcome(int index) {
    const BatchOutcome& outcome = m_outcomes[static_cast<std::size_t>(index)];
    QTableWidgetItem* item = m_ui->tbl_Batch->item(index, 2);
    item->setText(OutcomeText(outcome));
    item->setToolTip(outcome.reason);
    const QColor colour = OutcomeColour(outcome.state);
    item->setForeground(colour.isValid() ? QBrush(colour) : QBrush());
}

void Tfrm_BatchProgress::showSummary() {
    if (!m_finished) {
        m_ui->lbl_Summary->setText(m_stopping ? Text("lang_Batch_Stopping") : QString());
        return;
    }
    int counts[3] = {};
    for (const BatchOutcome& outcome : m_outcomes) {
        using State = BatchOutcome::State;
        ++counts[outcome.state == State::Ok ? 0 : outcome.state == State::Failed ? 1 : 2];
    }
    m_ui->lbl_Summary->setText(
        Text("lang_Batch_Summary").arg(counts[0]).arg(counts[1]).arg(counts[2]));
}

} // namespace r2
