#include "debugger/widgets/Unit_DataDebug.h"

#include "debugger/cmd_file.h"
#include "debugger/received_line.h"
#include "debugger/widgets/data_debug_texts.h"
#include "debugger/widgets/Unit_FrameCmd.h"
#include "protocol/panel_p6.h"
#include "protocol/Unit_ProFun.h"
#include "qt_bridge/qt_bridge.h"
#include "ui_Unit_DataDebug.h"
#include "widgets_common/output_pane.h"

#include <algorithm>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScrollBar>
#include <QWheelEvent>

namespace r2 {

namespace {

// Pixels the row area moves per wheel notch.
constexpr int WheelStep = 13;
// Lines, and characters beyond the first line, appended to the receive pane per flush.
constexpr qsizetype ReceiveSliceLines = 200;
constexpr qsizetype ReceiveSliceChars = 64 * 1024;
constexpr int PaneFlushMs = 50;
// Received lines waiting for the pane: beyond these, a line is dropped and counted.
constexpr qsizetype ReceiveBacklogLines = 5000;
constexpr qsizetype ReceiveBacklogChars = 1 << 20;

bool IsDigitsOnlyKey(const QKeyEvent& key) {
    if (key.matches(QKeySequence::Paste) || key.matches(QKeySequence::Cut) ||
        key.key() == Qt::Key_Backspace) {
        return true;
    }
    return IsDigitKeyText(key.text().toStdString());
}

QString CmdFileFilter() {
    return QStringLiteral("Txt File (*.txt);;All File (*)");
}

} // namespace

Tfrm_DataDebug::Tfrm_DataDebug(QString programDir, std::string filePath, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::Tfrm_DataDebug>()),
      m_programDir(std::move(programDir)), m_filePath(std::move(filePath)) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("Tfrm_DataDebug"));
    // A slice per tick: under a flood the backlog waits for the next ticks (and, once full, new
    // lines are counted and left out) instead of one append stalling the window.
    m_ui->mmoReceive->Configure({.pace = OutputPane::Pace::OnTimer,
                                 .timerMs = PaneFlushMs,
                                 .sliceLines = ReceiveSliceLines,
                                 .sliceChars = ReceiveSliceChars,
                                 .backlogLines = ReceiveBacklogLines,
                                 .backlogChars = ReceiveBacklogChars,
                                 .keptLines = ReceiveLineLimit,
                                 .follow = OutputPane::Follow::WhenAtEnd});
    // The rows are what the user works with; the receive pane takes the smaller part.
    m_ui->splRows->setStretchFactor(0, 3);
    m_ui->splRows->setStretchFactor(1, 2);
    m_ui->splRows->setSizes({300, 200});
    CreateCmdRows();
    for (QWidget* box :
         {static_cast<QWidget*>(m_ui->edtPort), static_cast<QWidget*>(m_ui->edtLoport),
          static_cast<QWidget*>(m_ui->edtCycle)}) {
        box->installEventFilter(this);
    }
    m_ui->ScrollBox2->viewport()->installEventFilter(this);
    ShowUdpDestination(false);

    connect(m_ui->cbbIP, &DropDownBox::popupAboutToShow, this, &Tfrm_DataDebug::cbbIPDropDown);
    connect(m_ui->cbbProtrolType, &QComboBox::currentIndexChanged, this,
            &Tfrm_DataDebug::cbbProtrolTypeChange);
    connect(m_ui->btnConnet, &QPushButton::clicked, this, &Tfrm_DataDebug::btnConnetClick);
    connect(m_ui->btnClearAll, &QPushButton::clicked, this, &Tfrm_DataDebug::btnClearAllClick);
    connect(m_ui->btnImport, &QPushButton::clicked, this, &Tfrm_DataDebug::btnImportClick);
    connect(m_ui->btnExport, &QPushButton::clicked, this, &Tfrm_DataDebug::btnExportClick);
    connect(m_ui->chkChooseAll, &QCheckBox::clicked, this, &Tfrm_DataDebug::chkChooseAllMouseUp);
    connect(m_ui->chkHexAll, &QCheckBox::clicked, this, &Tfrm_DataDebug::chkHexAllMouseUp);
    connect(m_ui->btnCycleSend, &QPushButton::clicked, this, &Tfrm_DataDebug::btnCycleSendClick);
    connect(m_ui->edtCycle, &QLineEdit::textChanged, this, &Tfrm_DataDebug::edtCycleKeyUp);
    const auto destination = [this] {
        m_transport.SetUdpDestination(m_ui->edtLoIP->text(), m_ui->edtLoport->text());
    };
    connect(m_ui->edtLoIP, &QLineEdit::textChanged, this, destination);
    connect(m_ui->edtLoport, &QLineEdit::textChanged, this, destination);
    destination();

    connect(&m_transport, &DebugTransport::ServerSocket1ClientConnect, this,
            [this](const QString& address) {
                m_ui->btnConnet->setText(Text("lang_DataDebug_btnStop"));
                SetStatus(Text("lang_Hint_DataDebug_ClientConnect") + address);
            });
    connect(&m_transport, &DebugTransport::ServerSocket1ClientDisconnect, this, [this](bool last) {
        if (last) {
            SetStatus(Text("lang_Hint_DataDebug_ClientDisconnect"));
        }
    });
    connect(&m_transport, &DebugTransport::ServerSocket1ClientError, this, [this](int error) {
        SetStatus(Text("lang_Hint_DataDebug_ClientError") + QString::number(error));
    });
    connect(&m_transport, &DebugTransport::ServerSocket1ClientRefused, this,
            [this](const QString& address) {
                SetStatus(Text("lang_Hint_DataDebug_ClientLimit")
                              .arg(DebugTransport::MaxServerClients)
                              .arg(address));
            });
    connect(&m_transport, &DebugTransport::ServerAcceptError, this,
            [this](int error) { SetStatus(Text("lang_Hint_DataDebug_AcceptError").arg(error)); });
    connect(&m_transport, &DebugTransport::clntsckt1Connect, this, [this](const QString& address) {
        m_ui->btnConnet->setText(Text("lang_DataDebug_disconnect"));
        SetStatus(Text("lang_Hint_DataDebug_ServerConnect") + address);
        LockConnCtrls(true);
    });
    connect(&m_transport, &DebugTransport::clntsckt1Disconnect, this,
            [this](const QString& address) {
                m_ui->btnConnet->setText(Text("lang_DataDebug_btnConnet"));
                SetStatus(Text("lang_Hint_DataDebug_ServerDisconnect") + address);
                LockConnCtrls(false);
            });
    connect(&m_transport, &DebugTransport::clntsckt1Error, this, [this](int error) {
        SetStatus(Text("lang_Hint_DataDebug_ServerError") + QString::number(error));
    });
    connect(&m_transport, &DebugTransport::DataReceived, this, &Tfrm_DataDebug::AddReceived);
    connect(&m_cycle, &CycleSender::SendFailed, this,
            [this](const SendOutcome& outcome) { ReportSend(outcome, true); });

    connect(m_ui->mmoReceive, &OutputPane::flushed, this, &Tfrm_DataDebug::UpdateCounters);
    connect(m_ui->btnClearRecv, &QPushButton::clicked, this, [this] {
        m_ui->mmoReceive->Clear();
        m_transport.ResetCounters();
        UpdateCounters();
    });
    connect(m_ui->chkRecvHex, &QCheckBox::toggled, m_ui->mmoReceive, &OutputPane::Flush);
    UseStandardDialogs();
    ApplyDataDebugTexts(*this);
    FitColumns();
    UpdateCounters();
    edtCycleKeyUp();
}

Tfrm_DataDebug::~Tfrm_DataDebug() = default;

void Tfrm_DataDebug::UseStandardDialogs() {
    m_chooseImportFile = [this] {
        return QFileDialog::getOpenFileName(this, QString(), QString(), CmdFileFilter());
    };
    m_chooseExportFile = [this] {
        QFileDialog dialog(this, QStringLiteral("Save"), QString(), CmdFileFilter());
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return QString();
        }
        return dialog.selectedFiles().front();
    };
    m_showMessage = [this](QMessageBox::Icon icon, const QString& text) {
        if (icon == QMessageBox::Critical) {
            QMessageBox::critical(this, windowTitle(), text);
        } else {
            QMessageBox::information(this, windowTitle(), text);
        }
    };
}

// ---- Rows ----

void Tfrm_DataDebug::CreateCmdRows() {
    for (int i = 0; i < static_cast<int>(CmdRowCount); ++i) {
        auto* row = new TFrameCmd(i, m_ui->ScrollBox2Rows);
        m_ui->layRows->addWidget(row);
        row->DelayBox().installEventFilter(this);
        connect(row, &TFrameCmd::SendRequested, this, &Tfrm_DataDebug::SendCmdRow);
        connect(row, &TFrameCmd::Changed, this, &Tfrm_DataDebug::UpdateCycleRows);
        m_rows.push_back(row);
    }
    m_ui->layRows->addStretch();
    m_ui->ScrollBox2->setRowHeight(m_rows.front()->minimumHeight());
    ClearCmdRows();
}

// The rows' name buttons are as wide as the current language's default name needs, their
// delay boxes as wide as the delay heading; the header's tick and hex boxes stand over the
// rows' ones, which sit inside the row area's frame with its scroll bar on their right.
void Tfrm_DataDebug::FitColumns() {
    const TFrameCmd& first = *m_rows.front();
    const int nameWidth = first.NameWidthFor(Text("lang_DataDebug_btnExplanation"));
    const int delayWidth = std::max(TFrameCmd::MinDelayWidth, m_ui->lblDelay->sizeHint().width());
    for (TFrameCmd* row : m_rows) {
        row->SetColumnWidths(nameWidth, delayWidth);
    }
    m_ui->lblDelay->setFixedWidth(delayWidth);
    const QMargins insets = first.Insets();
    const int frame = m_ui->ScrollBox2->frameWidth();
    const int scrollBar = m_ui->ScrollBox2->verticalScrollBar()->sizeHint().width();
    m_ui->layPnl3->setContentsMargins(frame + insets.left(), 0, frame + scrollBar + insets.right(),
                                      0);
}

CmdRows Tfrm_DataDebug::CollectRows() const {
    CmdRows rows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i] = m_rows[i]->Row();
    }
    return rows;
}

void Tfrm_DataDebug::ShowRows(const CmdRows& rows) {
    const QString send = Text("lang_FrameCmd_btnSend");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        m_rows[i]->SetRow(rows[i]);
        m_rows[i]->SetSendCaption(send);
    }
    UpdateCycleRows();
}

void Tfrm_DataDebug::ClearCmdRows() {
    CmdRows rows;
    r2::ClearCmdRows(rows, GetLangText("lang_DataDebug_btnExplanation"));
    ShowRows(rows);
    m_ui->chkChooseAll->setChecked(false);
    m_ui->chkHexAll->setChecked(false);
}

void Tfrm_DataDebug::UpdateCycleRows() {
    m_cycle.SetRows(CollectRows());
}

void Tfrm_DataDebug::LoadCmdFile(const std::string& path, MissingFile missing) {
    CmdRows rows = CollectRows();
    switch (r2::LoadCmdFile(path, rows, GetLangText("lang_DataDebug_btnExplanation"))) {
    case CmdFileLoad::Loaded:
        ShowRows(rows);
        m_ui->chkChooseAll->setChecked(false);
        m_ui->chkHexAll->setChecked(false);
        break;
    case CmdFileLoad::Missing:
        if (missing == MissingFile::GivesEmptyRows) {
            ClearCmdRows();
            break;
        }
        [[fallthrough]];
    case CmdFileLoad::Unreadable:
        m_showMessage(QMessageBox::Information, Text("lang_Hint_DataDebug_FileNotExist"));
        break;
    }
}

bool Tfrm_DataDebug::SaveCmdFile(const std::string& path) {
    const std::string error = r2::SaveCmdFile(path, CollectRows());
    if (error.empty()) {
        return true;
    }
    m_showMessage(QMessageBox::Critical, Utf8(error));
    return false;
}

void Tfrm_DataDebug::btnClearAllClick() {
    ClearCmdRows();
}

void Tfrm_DataDebug::btnImportClick() {
    const QString chosen = m_chooseImportFile();
    if (!chosen.isEmpty()) {
        m_filePath = chosen.toStdString();
        emit FilePathChanged(chosen);
    }
    LoadCmdFile(m_filePath);
}

void Tfrm_DataDebug::btnExportClick() {
    const QString chosen = m_chooseExportFile();
    if (chosen.isEmpty()) {
        return;
    }
    m_filePath = chosen.toStdString();
    emit FilePathChanged(chosen);
    SaveCmdFile(m_filePath);
}

void Tfrm_DataDebug::chkChooseAllMouseUp() {
    CmdRows rows = CollectRows();
    for (CmdRow& row : rows) {
        row.chkChoose = m_ui->chkChooseAll->isChecked();
    }
    ShowRows(rows);
}

void Tfrm_DataDebug::chkHexAllMouseUp() {
    CmdRows rows = CollectRows();
    SetAllHex(rows, m_ui->chkHexAll->isChecked());
    ShowRows(rows);
}

// ---- Showing and closing ----

void Tfrm_DataDebug::FormShow(const PanelP6& panel) {
    ApplyDataDebugTexts(*this);
    setWindowTitle(Text("lang_DataDebug_Title"));
    FitColumns();
    const int mode = panel.cbb_WorkMode0.index;
    m_ui->cbbIP->setEditText(Utf8(panel.edt_RemoteIP0));
    m_ui->cbbProtrolType->setCurrentIndex(mode >= 0 && mode <= 3 ? mode : -1);
    switch (mode) {
    case 0:
    case 1:
        m_ui->edtPort->setText(Utf8(panel.edt_RemotePort0));
        m_ui->btnConnet->setText(Text("lang_DataDebug_btnStart"));
        break;
    case 2:
        m_ui->edtPort->setText(Utf8(panel.edt_LocalPort0));
        m_ui->btnConnet->setText(Text("lang_DataDebug_btnStart"));
        break;
    case 3:
        m_ui->edtPort->setText(Utf8(panel.edt_LocalPort0));
        m_ui->btnConnet->setText(Text("lang_DataDebug_btnConnet"));
        m_ui->cbbIP->setEditText(QString());
        break;
    default:
        break;
    }
    // The user chose no file yet: DataSelf.txt is written by the first close, so before that
    // there is nothing to complain about. A chosen file that has gone away is reported.
    LoadCmdFile(CmdFileForShow(m_filePath, m_programDir.toStdString()).string(),
                m_filePath.empty() ? MissingFile::GivesEmptyRows : MissingFile::Reported);
    m_ui->ScrollBox2->setFocus();
    SetStatus(QString());
}

void Tfrm_DataDebug::closeEvent(QCloseEvent* event) {
    if (!SaveCmdFile(CmdFileForClose(m_filePath, m_programDir.toStdString()).string())) {
        event->ignore();
        return;
    }
    StopCycleSend();
    StopConnectionQuietly();
    event->accept();
}

void Tfrm_DataDebug::reject() {
    close();
}

void Tfrm_DataDebug::StopConnectionQuietly() {
    if (!Running()) {
        return;
    }
    switch (Kind()) {
    case DebugKind::UdpServer:
    case DebugKind::UdpClient:
        m_transport.StopUdp();
        ShowUdpDestination(false);
        m_ui->btnConnet->setText(Text("lang_DataDebug_btnStart"));
        break;
    case DebugKind::TcpServer:
        m_transport.StopServer();
        m_ui->btnConnet->setText(Text("lang_DataDebug_btnStart"));
        break;
    case DebugKind::TcpClient:
        m_transport.AbortClient();
        m_ui->btnConnet->setText(Text("lang_DataDebug_btnConnet"));
        break;
    }
    LockConnCtrls(false);
}

// ---- Connections ----

QString Tfrm_DataDebug::Caption() const {
    return m_ui->btnConnet->text();
}

bool Tfrm_DataDebug::Running() const {
    return Caption() == Text("lang_DataDebug_btnStop") ||
           Caption() == Text("lang_DataDebug_disconnect");
}

DebugKind Tfrm_DataDebug::Kind() const {
    return static_cast<DebugKind>(m_ui->cbbProtrolType->currentIndex());
}

void Tfrm_DataDebug::cbbIPDropDown() {
    std::vector<std::string> addresses;
    GetLocalIPs(addresses);
    const QString typed = m_ui->cbbIP->currentText();
    m_ui->cbbIP->clear();
    for (const std::string& address : addresses) {
        m_ui->cbbIP->addItem(Utf8(address));
    }
    m_ui->cbbIP->setEditText(typed);
}

void Tfrm_DataDebug::cbbProtrolTypeChange(int index) {
    if (index < 0) {
        return;
    }
    m_ui->btnConnet->setText(index == 3 ? Text("lang_DataDebug_btnConnet")
                                        : Text("lang_DataDebug_btnStart"));
}

bool Tfrm_DataDebug::CheckIPPort() {
    if (m_ui->cbbIP->currentText().isEmpty() || m_ui->edtPort->text().isEmpty()) {
        SetStatus(Text("lang_Hint_DataDebug_IPPort"));
        return false;
    }
    if (!PortOfText(m_ui->edtPort->text())) {
        SetStatus(Text("lang_Hint_DataDebug_PortRange"));
        return false;
    }
    return true;
}

void Tfrm_DataDebug::LockConnCtrls(bool active) {
    m_ui->cbbProtrolType->setEnabled(!active);
    m_ui->cbbIP->setEnabled(!active);
    m_ui->edtPort->setEnabled(!active);
}

void Tfrm_DataDebug::ShowUdpDestination(bool shown) {
    m_ui->lblRemote->setVisible(shown);
    m_ui->edtLoIP->setVisible(shown);
    m_ui->edtLoport->setVisible(shown);
}

void Tfrm_DataDebug::btnConnetClick() {
    if (m_ui->cbbProtrolType->currentIndex() < 0) {
        return;
    }
    switch (Kind()) {
    case DebugKind::UdpServer:
    case DebugKind::UdpClient:
        StartUdp();
        break;
    case DebugKind::TcpServer:
        StartServer();
        break;
    case DebugKind::TcpClient:
        StartClient();
        break;
    }
}

void Tfrm_DataDebug::StartUdp() {
    if (Caption() != Text("lang_DataDebug_btnStart")) {
        m_transport.StopUdp();
        m_ui->btnConnet->setText(Text("lang_DataDebug_btnStart"));
        SetStatus(Text("lang_Hint_DataDebug_UDPStop"));
        ShowUdpDestination(false);
        StopCycleSend();
        LockConnCtrls(false);
        return;
    }
    if (!CheckIPPort()) {
        return;
    }
    const QString error =
        m_transport.StartUdp(m_ui->cbbIP->currentText(), *PortOfText(m_ui->edtPort->text()));
    if (!error.isEmpty()) {
        m_showMessage(QMessageBox::Critical, error);
        return;
    }
    m_ui->btnConnet->setText(Text("lang_DataDebug_btnStop"));
    SetStatus(Text("lang_Hint_DataDebug_UDPStart"));
    m_ui->edtLoIP->setText(m_ui->cbbIP->currentText());
    ShowUdpDestination(true);
    LockConnCtrls(true);
}

void Tfrm_DataDebug::StartServer() {
    if (Caption() != Text("lang_DataDebug_btnStart")) {
        m_transport.StopServer();
        m_ui->btnConnet->setText(Text("lang_DataDebug_btnStart"));
        SetStatus(Text("lang_Hint_DataDebug_ServiceStop"));
        StopCycleSend();
        LockConnCtrls(false);
        return;
    }
    if (!CheckIPPort()) {
        return;
    }
    const QString error = m_transport.StartServer(*PortOfText(m_ui->edtPort->text()));
    if (!error.isEmpty()) {
        m_ui->btnConnet->setText(Text("lang_DataDebug_btnStart"));
        LockConnCtrls(false);
        m_showMessage(QMessageBox::Critical, error);
        return;
    }
    SetStatus(Text("lang_Hint_DataDebug_ServiceStart"));
    m_ui->btnConnet->setText(Text("lang_DataDebug_btnStop"));
    LockConnCtrls(true);
}

void Tfrm_DataDebug::StartClient() {
    if (Caption() != Text("lang_DataDebug_btnConnet")) {
        m_transport.DisconnectFromServer();
        StopCycleSend();
        LockConnCtrls(false);
        return;
    }
    if (!CheckIPPort()) {
        return;
    }
    m_transport.ConnectToServer(m_ui->cbbIP->currentText(), *PortOfText(m_ui->edtPort->text()));
    LockConnCtrls(false);
}

// ---- Sending ----

void Tfrm_DataDebug::SendCmdRow(int index) {
    if (index < 0 || index >= static_cast<int>(m_rows.size()) ||
        m_ui->cbbProtrolType->currentIndex() < 0) {
        return;
    }
    const std::string payload = CmdRowPayload(m_rows[static_cast<std::size_t>(index)]->Row());
    ReportSend(m_transport.Send(Kind(), QByteArray::fromStdString(payload)), false);
    UpdateCounters();
}

void Tfrm_DataDebug::ReportSend(const SendOutcome& outcome, bool fromWorker) {
    switch (outcome.result) {
    case SendOutcome::Result::Sent:
    case SendOutcome::Result::NotRunning:
        return;
    case SendOutcome::Result::BadPort:
        SetStatus(Text("lang_Hint_DataDebug_PortRange"));
        return;
    case SendOutcome::Result::BadAddress:
        SetStatus(Text("lang_Hint_DataDebug_BadIP") + outcome.error);
        return;
    case SendOutcome::Result::SystemError:
        // A failure on the worker repeats with every pass: the status line, never a box.
        if (fromWorker) {
            SetStatus(outcome.error);
        } else {
            auto* box = new QMessageBox(QMessageBox::Critical, windowTitle(), outcome.error,
                                        QMessageBox::Ok, this);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
        return;
    }
}

void Tfrm_DataDebug::btnCycleSendClick() {
    if (m_ui->edtCycle->text().isEmpty()) {
        return;
    }
    if (m_ui->btnCycleSend->text() != Text("lang_DataDebug_btnCycleSend")) {
        m_cycle.Stop();
        m_ui->btnCycleSend->setText(Text("lang_DataDebug_btnCycleSend"));
        return;
    }
    if (Caption() != Text("lang_DataDebug_btnConnet") &&
        Caption() != Text("lang_DataDebug_btnStart")) {
        UpdateCycleRows();
        m_cycle.SetInterval(BoxMilliseconds(m_ui->edtCycle->text().toStdString()));
        const DebugKind kind = Kind();
        m_cycle.Start(
            [this, kind](const QByteArray& bytes) { return m_transport.Send(kind, bytes); });
        m_ui->btnCycleSend->setText(Text("lang_DataDebug_btnStopSend"));
        return;
    }
    SetStatus(Text("lang_Hint_DataDebug_NotConn"));
}

void Tfrm_DataDebug::StopCycleSend() {
    if (m_ui->btnCycleSend->text() == Text("lang_DataDebug_btnStopSend")) {
        m_cycle.Stop();
        m_ui->btnCycleSend->setText(Text("lang_DataDebug_btnCycleSend"));
    }
}

void Tfrm_DataDebug::edtCycleKeyUp() {
    m_ui->btnCycleSend->setEnabled(!m_ui->edtCycle->text().isEmpty());
    m_cycle.SetInterval(BoxMilliseconds(m_ui->edtCycle->text().toStdString()));
}

void Tfrm_DataDebug::SetStatus(const QString& text) {
    m_ui->stat1->setText(text);
}

// ---- Receive pane ----

void Tfrm_DataDebug::AddReceived(const QString& address, std::uint16_t port,
                                 const QByteArray& bytes) {
    m_ui->mmoReceive->AddLine(
        {ReceivedLine(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")),
                      address, port, bytes, m_ui->chkRecvHex->isChecked(),
                      Text("lang_DataDebug_MoreBytes")),
         QColor()});
}

void Tfrm_DataDebug::UpdateCounters() {
    m_ui->lblCounters->setText(Text("lang_DataDebug_lblCounters")
                                   .arg(m_transport.BytesSent())
                                   .arg(m_transport.BytesReceived()));
    m_ui->lblRecvLimit->setText(Text("lang_DataDebug_lblRecvLimit").arg(ReceiveLineLimit) +
                                (m_ui->mmoReceive->Dropped() > 0
                                     ? QStringLiteral(" (-%1)").arg(m_ui->mmoReceive->Dropped())
                                     : QString()));
}

// ---- Keys, wheel ----

bool Tfrm_DataDebug::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched != m_ui->ScrollBox2->viewport()) {
        // Escape types nothing: it goes on to the window, which closes.
        const auto& key = *static_cast<QKeyEvent*>(event);
        return key.key() != Qt::Key_Escape && !IsDigitsOnlyKey(key);
    }
    if (event->type() == QEvent::Wheel && watched == m_ui->ScrollBox2->viewport()) {
        const int notches = static_cast<QWheelEvent*>(event)->angleDelta().y() / 120;
        QScrollBar* bar = m_ui->ScrollBox2->verticalScrollBar();
        bar->setValue(bar->value() - notches * WheelStep);
        return true;
    }
    if (event->type() == QEvent::MouseMove && watched == m_ui->ScrollBox2->viewport()) {
        m_ui->ScrollBox2->setFocus();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace r2
