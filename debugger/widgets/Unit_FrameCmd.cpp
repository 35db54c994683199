#include "debugger/widgets/Unit_FrameCmd.h"

#include "qt_bridge/qt_bridge.h"
#include "ui_Unit_FrameCmd.h"

#include <algorithm>
#include <QInputDialog>
#include <QMessageBox>
#include <QStyle>
#include <QStyleOptionButton>

namespace r2 {

namespace {

std::string Ss(const QString& text) {
    return text.toStdString();
}

} // namespace

TFrameCmd::TFrameCmd(int index, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::TFrameCmd>()), m_index(index) {
    m_ui->setupUi(this);
    setObjectName(Utf8(CmdRowName(static_cast<std::size_t>(index))));
    m_ui->lblNo->setText(QString::number(index + 1));
    m_ui->btnSend->setProperty("tag", index);
    m_ui->edtCmd->setProperty("tag", index);
    connect(m_ui->btnSend, &QPushButton::clicked, this, [this] { emit SendRequested(m_index); });
    connect(m_ui->btnExplanation, &QPushButton::customContextMenuRequested, this,
            &TFrameCmd::btnExplanationContextPopup);
    connect(m_ui->chkHex, &QCheckBox::clicked, this, &TFrameCmd::chkHexMouseUp);
    connect(m_ui->edtDelay, &QLineEdit::textEdited, this, &TFrameCmd::edtDelayKeyUp);
    connect(m_ui->chkChoose, &QCheckBox::toggled, this, &TFrameCmd::Changed);
    connect(m_ui->edtCmd, &QLineEdit::textChanged, this, &TFrameCmd::Changed);
    connect(m_ui->edtDelay, &QLineEdit::textChanged, this, &TFrameCmd::Changed);
    SetColumnWidths(MinNameWidth, MinDelayWidth);
}

TFrameCmd::~TFrameCmd() = default;

CmdRow TFrameCmd::Row() const {
    return CmdRow{.chkChoose = m_ui->chkChoose->isChecked(),
                  .btnExplanation = Ss(m_ui->btnExplanation->text()),
                  .edtCmd = Ss(m_ui->edtCmd->text()),
                  .chkHex = m_ui->chkHex->isChecked(),
                  .edtDelay = Ss(m_ui->edtDelay->text())};
}

void TFrameCmd::SetRow(const CmdRow& row) {
    {
        // One Changed for the whole row, not one per control.
        const QSignalBlocker blocker(this);
        m_ui->chkChoose->setChecked(row.chkChoose);
        m_ui->btnExplanation->setText(Utf8(row.btnExplanation));
        m_ui->edtCmd->setText(Utf8(row.edtCmd));
        m_ui->chkHex->setChecked(row.chkHex);
        m_ui->edtDelay->setText(Utf8(row.edtDelay));
    }
    emit Changed();
}

void TFrameCmd::SetSendCaption(const QString& caption) {
    m_ui->btnSend->setText(caption);
}

QWidget& TFrameCmd::DelayBox() {
    return *m_ui->edtDelay;
}

int TFrameCmd::NameWidthFor(const QString& name) const {
    const QPushButton& button = *m_ui->btnExplanation;
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = name;
    const QSize text = button.fontMetrics().size(Qt::TextShowMnemonic, name);
    return std::max(
        MinNameWidth,
        button.style()->sizeFromContents(QStyle::CT_PushButton, &option, text, &button).width());
}

void TFrameCmd::SetColumnWidths(int nameWidth, int delayWidth) {
    m_ui->btnExplanation->setFixedWidth(nameWidth);
    m_ui->edtDelay->setFixedWidth(delayWidth);
}

QMargins TFrameCmd::Insets() const {
    return m_ui->lay->contentsMargins();
}

void TFrameCmd::btnExplanationContextPopup() {
    const QString current = m_ui->btnExplanation->text();
    bool ok = false;
    const QString typed = QInputDialog::getText(this, Text("lang_Hint_FrameCmd_PopupTitle"),
                                                Text("lang_Hint_FrameCmd_PopupText"),
                                                QLineEdit::Normal, current, &ok);
    const RenameResult result = RenameCmdRow(Ss(ok ? typed : current));
    if (result.refused) {
        QMessageBox::information(this, windowTitle(), QStringLiteral("不能包含'&'字符"));
    }
    m_ui->btnExplanation->setText(Utf8(result.name));
    emit Changed();
}

void TFrameCmd::chkHexMouseUp() {
    m_ui->edtCmd->setText(
        Utf8(ConvertCmdText(Ss(m_ui->edtCmd->text()), m_ui->chkHex->isChecked())));
    emit Changed();
}

void TFrameCmd::edtDelayKeyUp() {
    m_ui->edtDelay->setText(Utf8(CheckDelayText(Ss(m_ui->edtDelay->text()))));
}

} // namespace r2
