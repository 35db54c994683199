#include "mainwindow/widgets/Unit_Main.h"

#include "lan/Unit_Udp.h"
#include "lang/Unit_Baselang.h"
#include "mainwindow/device_export.h"
#include "mainwindow/log_texts.h"
#include "mainwindow/widgets/app_texts.h"
#include "mainwindow/widgets/apply_plan_dialog.h"
#include "mainwindow/widgets/batch_progress_dialog.h"
#include "mainwindow/widgets/panel_binder.h"
#include "mainwindow/widgets/panel_p5_widget.h"
#include "mainwindow/widgets/panel_p6_widget.h"
#include "mainwindow/widgets/panel_p7_widget.h"
#include "qt_bridge/qt_bridge.h"
#include "ui_Unit_Main.h"
#include "widgets_common/drop_down_box.h"
#include "widgets_common/output_pane.h"

#include <algorithm>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolTip>

namespace r2 {

namespace {

// The maker's support page opened by the Work Order item: the project's own issue tracker.
constexpr auto WorkOrderUrl = "https://github.com/r2config/r2config/issues";
// Width of the main window in the P6 layout; its height, the same in every layout.
constexpr int LayoutP6Width = 1004;
constexpr int WindowHeight = 563;
// The hex pane's slice per event-loop pass and its backlog (a few thousand frames).
constexpr qsizetype HexLinesPerPass = 200;
constexpr qsizetype MaxPendingHexLines = 20000;
// A hint shows 50 ms after the pointer comes to rest on its control and stays up to ten
// minutes, long enough to read the longest ones.
constexpr int HintShowDelayMs = 50;
constexpr int HintHidePauseMs = 600000;
// Rows of modules that share an IP address: amber, readable with the window text.
const QColor SharedAddressBackground(255, 224, 140);

// The application's style with the program's hint delay; all else comes from the style it wraps.
class HintTimingStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ToolTip_WakeUpDelay) {
            return HintShowDelayMs;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// A button's caption as a dialog's title: without its trailing ellipsis.
QString DialogTitle(std::string_view key) {
    QString title = Text(key);
    title.remove(QChar(0x2026));
    return title;
}

QColor ColourOf(PaneColour colour, const QWidget& pane) {
    switch (colour) {
    case PaneColour::Green:
        return {0, 128, 0};
    case PaneColour::Blue:
        return {0, 0, 255};
    case PaneColour::Red:
        return {255, 0, 0};
    case PaneColour::Maroon:
        return {128, 0, 0};
    case PaneColour::WindowText:
        break;
    }
    return pane.palette().color(QPalette::Text);
}

PaneLine ToPaneLine(const ColouredLine& line, const QWidget& pane) {
    return {line.text, ColourOf(line.colour, pane)};
}

// Calls `onBlankClick` when the left button is released over the part of `list` that holds no
// row. The list says nothing of such clicks itself (itemClicked needs a row).
class BlankClickWatcher final : public QObject {
public:
    BlankClickWatcher(QTreeWidget& list, std::function<void()> onBlankClick)
        : QObject(&list), m_list(list), m_onBlankClick(std::move(onBlankClick)) {
        list.viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto& mouse = *static_cast<QMouseEvent*>(event);
            if (mouse.button() == Qt::LeftButton && !m_list.itemAt(mouse.position().toPoint())) {
                m_onBlankClick();
            }
        }
        return false;
    }

private:
    QTreeWidget& m_list;
    std::function<void()> m_onBlankClick;
};

} // namespace

TFrm_Main::TFrm_Main(const QString& programDir, const QString& version, QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::TFrm_Main>()), m_programDir(programDir),
      m_version(version), m_softBitRate{6, "115200", BaudRatesP6},
      m_openUrl([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    m_ui->setupUi(this);
    // Minimise and the system menu, no maximise: each layout fixes the width, and the height
    // never changes.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedHeight(WindowHeight);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_controller = std::make_unique<MainController>(*this);
    m_panelFiles = std::make_unique<PanelFiles>(*this, m_controller->panelP6(),
                                                m_controller->panelP7(), m_controller->found());
    buildPanels();

    const std::string languageError = InitLanguage(m_programDir.toStdString());
    loadStartSettings();
    applyTexts();
    SwitchLayout(LayoutInit);
    SwitchLayout(LayoutSearch);
    if (!languageError.empty()) {
        AddLogLine(QString::fromStdString(languageError), PaneColour::Red);
    }
    connectControls();
    connectMenus();
    move(screen()->availableGeometry().center() - rect().center());
}

TFrm_Main::~TFrm_Main() = default;

void TFrm_Main::buildPanels() {
    m_p5 = new PanelP5Widget(m_controller->panelP5(), m_ui->rztbsht_P5);
    m_ui->rztbsht_P5->layout()->addWidget(m_p5);
    m_p6 = new PanelP6Widget(m_controller->panelP6(), m_ui->rztbsht_P7);
    m_ui->rztbsht_P7->layout()->addWidget(m_p6);
    m_p7 = new PanelP7Widget(m_controller->panelP7(), m_ui->rztbsht_P7Net);
    m_ui->rztbsht_P7Net->layout()->addWidget(m_p7);

    QTreeWidget* list = m_ui->lv_Dev;
    // The designed widths, widened where this system's font needs more for a whole MAC.
    const int macWidth = list->fontMetrics().horizontalAdvance(QStringLiteral("DD DD DD DD DD DD"));
    const int widths[] = {100, 108, std::max(114, macWidth + 12), 42};
    for (int column = 0; column < 4; ++column) {
        list->setColumnWidth(column, widths[column]);
    }
    list->setColumnHidden(4, true);
    list->setColumnHidden(5, true);

    m_deviceMenu = new QMenu(this);
    m_deviceMenu->setObjectName(QStringLiteral("pm_NetDev"));
    QMenu* menu = m_deviceMenu;
    menu->addAction(m_ui->mniReadTheParam);
    menu->addSeparator()->setObjectName(QStringLiteral("mniN4"));
    menu->addActions({m_ui->mni_OpenWeb, m_ui->mni_Restart, m_ui->mni_FirmwareUp, m_ui->mni_Reset});
    menu->addSeparator()->setObjectName(QStringLiteral("mniN5"));
    menu->addActions({m_ui->mni_CopyTheMac, m_ui->mni_CopeAllMac});
    menu->addSeparator()->setObjectName(QStringLiteral("mniN6"));
    menu->addActions({m_ui->mni_SelRestart, m_ui->mni_SelCopyMacs, m_ui->mni_SelApplyFile,
                      m_ui->mni_SelUpgrade});

    auto* languages = new QActionGroup(this);
    languages->addAction(m_ui->mni_Cn);
    languages->addAction(m_ui->mni_En);

    for (QWidget* w : {static_cast<QWidget*>(m_ui->lv_Dev), m_ui->lv_Dev->viewport(),
                       static_cast<QWidget*>(m_ui->redt_Hex), m_ui->redt_Hex->viewport()}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    // A burst of replies gives thousands of hex lines: they reach the pane in slices, so no
    // single pass stalls the window. A flood that outruns the pane fills the backlog; frames
    // beyond it are left out whole and counted, so the window keeps reading the network (and
    // listing real modules) instead of drawing hex.
    m_ui->redt_Hex->Configure({.pace = OutputPane::Pace::EachPass,
                               .sliceLines = HexLinesPerPass,
                               .backlogLines = MaxPendingHexLines,
                               .follow = OutputPane::Follow::Always});
    m_ui->redt_Hex->SetDropNotice([this](long dropped) {
        return ToPaneLine({FramesNotShownLogText(dropped), PaneColour::Red}, *m_ui->redt_Hex);
    });
    qApp->installEventFilter(this);
}

void TFrm_Main::loadStartSettings() {
    const auto path = std::filesystem::path(m_programDir.toStdString()) / SettingsFileName;
    m_settings = LoadSettings(path, IsSystemChinese(), m_settings.FilePath);
    LangList.UseChinese = m_settings.Language;
    (m_settings.Language ? m_ui->mni_Cn : m_ui->mni_En)->setChecked(true);
    m_ui->mni_Hint->setChecked(m_settings.RealTimeHelp);
    if (dynamic_cast<HintTimingStyle*>(QApplication::style()) == nullptr) {
        QApplication::setStyle(new HintTimingStyle(QApplication::style()->name()));
    }
    setHintsOn(m_settings.RealTimeHelp);
    for (QAction* item : {m_ui->mni_About, m_ui->mni_Up, m_ui->mni_WorkOrder}) {
        item->setVisible(!m_settings.Custom);
    }
    m_ui->cbb_SelectCom->addItem(QString::fromStdString(m_settings.LocalCom));
    // 1 P5, 2 P6, 3 P7, anything else P5 (LayoutInit selects P6 again right after).
    QRadioButton* models[] = {m_ui->rbP5, m_ui->rbP6, m_ui->rbP7};
    const bool known = m_settings.PNum >= 1 && m_settings.PNum <= 3;
    models[known ? m_settings.PNum - 1 : 0]->setChecked(true);
}

void TFrm_Main::applyTexts() {
    ApplyMainTexts(*this, m_version,
                   [this] { m_p6->binder().rerunRule(QStringLiteral("cbbModbusType")); });
    if (m_applyPlan) {
        m_applyPlan->retranslate();
    }
    if (m_batchProgress) {
        m_batchProgress->retranslate();
    }
}

void TFrm_Main::connectControls() {
    connect(m_ui->btn_Search, &QPushButton::clicked, m_controller.get(), &MainController::Search);
    connect(m_ui->lv_Dev, &QTreeWidget::itemClicked, m_controller.get(),
            &MainController::DeviceClicked);
    // A click on the blank part below the rows selects no module, and a click without a module
    // collapses the window to the device list.
    new BlankClickWatcher(*m_ui->lv_Dev, [this] {
        m_ui->lv_Dev->clearSelection();
        m_controller->DeviceClicked();
    });
    connect(m_ui->lv_Dev, &QTreeWidget::customContextMenuRequested, this,
            &TFrm_Main::onDeviceContextMenu);
    connect(m_ui->lv_Dev, &QTreeWidget::itemSelectionChanged, this,
            &TFrm_Main::enableSelectionItems);
    // Every way of switching sheets (a click, the arrow keys on the tab bar, Ctrl+Tab) runs the
    // rule once. A click on the sheet already shown switches nothing but runs it as well; the
    // click arrives before the switch, so a click that switches is left to currentChanged.
    connect(m_ui->rzpgcntrl_Srch, &QTabWidget::currentChanged, this,
            &TFrm_Main::onSearchTabSwitched);
    connect(m_ui->rzpgcntrl_Srch, &QTabWidget::tabBarClicked, this, [this](int index) {
        if (index == m_ui->rzpgcntrl_Srch->currentIndex()) {
            onSearchTabSwitched(index);
        }
    });
    connect(m_ui->cbbSoftBitRate, &QComboBox::activated, this, &TFrm_Main::onSoftBitRateChosen);
    connect(m_p6, &PanelP6Widget::saveClicked, m_controller.get(), &MainController::SaveP6);
    connect(m_p7, &PanelP7Widget::saveClicked, m_controller.get(), &MainController::SaveP7);
    connect(m_p5, &PanelP5Widget::saveClicked, m_controller.get(), &MainController::SaveP5);
    connect(m_ui->btn_ComRead, &QPushButton::clicked, m_controller.get(),
            &MainController::SerialRead);
    connect(m_p6, &PanelP6Widget::serialSaveClicked, m_controller.get(),
            &MainController::SerialSaveP6);
    connect(m_p5, &PanelP5Widget::serialSaveClicked, m_controller.get(),
            &MainController::SerialSaveP5);
    connect(m_p6, &PanelP6Widget::saveToFileClicked, this,
            [this] { askSavePanelFile(PanelId::P6); });
    connect(m_p6, &PanelP6Widget::loadFromFileClicked, this,
            [this] { askLoadPanelFile(PanelId::P6); });
    connect(m_p7, &PanelP7Widget::saveToFileClicked, this,
            [this] { askSavePanelFile(PanelId::P7); });
    connect(m_p7, &PanelP7Widget::loadFromFileClicked, this,
            [this] { askLoadPanelFile(PanelId::P7); });
    connect(m_p6, &PanelP6Widget::dataDebugClicked, this, &TFrm_Main::dataDebugRequested);
    connect(m_ui->cbb_SelectCom, &DropDownBox::popupAboutToShow, m_controller.get(),
            &MainController::RefreshPortList);
    connect(m_controller.get(), &MainController::woundDown, this, [this] {
        if (std::exchange(m_closeWhenIdle, false)) {
            close();
        }
    });
}

void TFrm_Main::connectMenus() {
    connect(m_ui->mni_Pswd, &QAction::triggered, this, &TFrm_Main::credentialsDialogRequested);
    connect(m_ui->mniExporDevs, &QAction::triggered, this, &TFrm_Main::ExportDeviceList);
    connect(m_ui->mni_Exit, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->mni_Cn, &QAction::triggered, this, [this] { SwitchLanguage(true); });
    connect(m_ui->mni_En, &QAction::triggered, this, [this] { SwitchLanguage(false); });
    connect(m_ui->mni_About, &QAction::triggered, this, &TFrm_Main::aboutRequested);
    connect(m_ui->mni_Hint, &QAction::toggled, this, &TFrm_Main::setHintsOn);
    connect(m_ui->mni_Up, &QAction::triggered, this,
            [this] { OpenUrl(Text("lang_Menu_DownUrl")); });
    connect(m_ui->mni_WorkOrder, &QAction::triggered, this,
            [this] { OpenUrl(QString::fromLatin1(WorkOrderUrl)); });
    for (QAction* action : m_deviceMenu->actions()) {
        if (const std::optional<DeviceMenuItem> item = DeviceMenuItemNamed(action->objectName())) {
            connect(action, &QAction::triggered, this,
                    [this, item = *item] { m_controller->DeviceMenuAction(item); });
        }
    }
}

// ---- Menus and language ----------------------------------------------------------------------

void TFrm_Main::SwitchLanguage(bool chinese) {
    (chinese ? m_ui->mni_Cn : m_ui->mni_En)->setChecked(true);
    LangList.UseChinese = chinese;
    m_settings.Language = chinese;
    applyTexts();
    emit languageSwitched();
    const auto path = std::filesystem::path(m_programDir.toStdString()) / SettingsFileName;
    if (const auto error = SaveLanguageSetting(path, chinese)) {
        AddLogLine(QString::fromStdString(error->message), PaneColour::Red);
    }
}

void TFrm_Main::setHintsOn(bool on) {
    m_hintsOn = on;
    m_settings.RealTimeHelp = on;
    if (!on) {
        QToolTip::hideText();
    }
}

void TFrm_Main::ExportDeviceList() {
    const auto& rows = m_controller->rows();
    if (rows.empty()) {
        return;
    }
    const QString path =
        DeviceListExportPath(m_programDir, Text("lang_Menu_ExpDev"), QDateTime::currentDateTime(),
                             static_cast<int>(rows.size()));
    const QString error = WriteDeviceListFile(path, DeviceListCsv(rows));
    if (!error.isEmpty()) {
        const QString message = path + QStringLiteral(": ") + error;
        AddLogLine(message, PaneColour::Red);
        ShowMessage(message);
        return;
    }
    AddLogLine(path, PaneColour::Green);
    ShowMessage(path);
}

void TFrm_Main::EnableDeviceMenu(bool enabled) {
    for (QAction* item : m_deviceMenu->actions()) {
        item->setEnabled(enabled);
    }
    m_ui->mni_CopyTheMac->setEnabled(true);
    m_ui->mni_CopeAllMac->setEnabled(true);
    enableSelectionItems();
}

// The items for the selection follow the selection, whatever the layout.
void TFrm_Main::enableSelectionItems() {
    const bool selected = !m_ui->lv_Dev->selectedItems().isEmpty();
    for (QAction* item : {m_ui->mni_SelRestart, m_ui->mni_SelCopyMacs, m_ui->mni_SelApplyFile,
                          m_ui->mni_SelUpgrade}) {
        item->setEnabled(selected);
    }
}

// ---- Layouts -----------------------------------------------------------------------------

int TFrm_Main::parameterAreaWidth() const {
    return 958 - m_ui->pnl1->maximumWidth();
}

void TFrm_Main::SwitchLayout(int code) {
    const auto showParameters = [this](QWidget* sheet, int width) {
        m_ui->rzpgcntrl_Param->setVisible(true);
        m_ui->rzpgcntrl_Param->setCurrentWidget(sheet);
        setFixedWidth(width);
        EnableDeviceMenu(true);
    };
    switch (code) {
    case LayoutInit:
        m_ui->rzpgcntrl_Srch->setCurrentIndex(0);
        m_ui->rzpgcntrl_Logs->setCurrentIndex(0);
        onSearchTabSwitched(0);
        m_ui->rbP6->setChecked(true);
        return;
    case LayoutSearch: {
        m_ui->rzpgcntrl_Param->setVisible(false);
        const int left = m_ui->pnl_Bg->layout()->contentsMargins().left();
        setFixedWidth(m_ui->pnl1->maximumWidth() + 2 * left + 6);
        EnableDeviceMenu(false);
        m_ui->mni_FirmwareUp->setEnabled(true);
        break;
    }
    case LayoutP5:
        showParameters(m_ui->rztbsht_P5, 2 * parameterAreaWidth() - 8);
        m_ui->mni_OpenWeb->setEnabled(false);
        m_ui->mni_Restart->setEnabled(false);
        m_ui->mni_FirmwareUp->setEnabled(false);
        break;
    case LayoutP6:
        showParameters(m_ui->rztbsht_P7, LayoutP6Width);
        if (auto* box = m_p6->findChild<QScrollArea*>(QStringLiteral("ScrollBox1"))) {
            box->verticalScrollBar()->setValue(0);
        }
        break;
    case LayoutP7:
        showParameters(m_ui->rztbsht_P7Net, 2 * parameterAreaWidth() - 8);
        break;
    default:
        return;
    }
    m_layout = code;
}

void TFrm_Main::onSearchTabSwitched(int index) {
    if (index < 0) {
        return;
    }
    m_controller->SearchTabSwitched(index);
}

// ---- Output panes --------------------------------------------------------------------------

void TFrm_Main::AddLogLine(const QString& text, PaneColour colour) {
    m_ui->redt_Log->AddLine(ToPaneLine({text, colour}, *m_ui->redt_Log));
}

void TFrm_Main::AddHexLine(const QString& text, PaneColour colour) {
    AddHexBlock({{text, colour}});
}

void TFrm_Main::AddHexBlock(const std::vector<ColouredLine>& lines) {
    std::vector<PaneLine> block;
    block.reserve(lines.size());
    for (const ColouredLine& line : lines) {
        block.push_back(ToPaneLine(line, *m_ui->redt_Hex));
    }
    m_ui->redt_Hex->AddBlock(block);
}

void TFrm_Main::ClearPanes() {
    m_ui->redt_Log->Clear();
    m_ui->redt_Hex->Clear();
}

// ---- Device list ---------------------------------------------------------------------------

void TFrm_Main::ClearDeviceList() {
    m_ui->lv_Dev->clear();
}

void TFrm_Main::AddDeviceRows(std::span<const FoundModule> rows) {
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const FoundModule& row : rows) {
        items << new QTreeWidgetItem(QStringList{row.ip, row.name, row.mac, row.versionText(),
                                                 QString::number(row.flag),
                                                 QString::number(row.socketIndex)});
    }
    m_ui->lv_Dev->addTopLevelItems(items);
}

void TFrm_Main::MarkSharedAddress(int row) {
    QTreeWidgetItem* item = m_ui->lv_Dev->topLevelItem(row);
    if (!item) {
        return;
    }
    const QString hint = Text("lang_Hint_SharedIP");
    for (int column = 0; column < item->columnCount(); ++column) {
        item->setBackground(column, SharedAddressBackground);
        item->setToolTip(column, hint);
    }
}

int TFrm_Main::SelectedRow() const {
    const auto selected = m_ui->lv_Dev->selectedItems();
    return selected.size() == 1 ? m_ui->lv_Dev->indexOfTopLevelItem(selected.first()) : -1;
}

std::vector<int> TFrm_Main::SelectedRows() const {
    std::vector<int> rows;
    for (QTreeWidgetItem* item : m_ui->lv_Dev->selectedItems()) {
        rows.push_back(m_ui->lv_Dev->indexOfTopLevelItem(item));
    }
    std::ranges::sort(rows);
    return rows;
}

void TFrm_Main::onDeviceContextMenu(const QPoint& pos) {
    // Opening the menu reads the selected module again, as a click does.
    m_controller->DeviceClicked();
    m_deviceMenu->popup(m_ui->lv_Dev->viewport()->mapToGlobal(pos));
}

// ---- Jobs over the selection -----------------------------------------------------------------

Tfrm_ApplyPlan* TFrm_Main::applyPlanDialog() const {
    return m_applyPlan;
}

Tfrm_BatchProgress* TFrm_Main::batchProgressDialog() const {
    return m_batchProgress;
}

QString TFrm_Main::ChooseConfigFile() {
    return QFileDialog::getOpenFileName(this, m_ui->mni_SelApplyFile->text(), m_programDir,
                                        Text("lang_ConfigFileFilter"));
}

QString TFrm_Main::ChooseFirmwareFile() {
    return QFileDialog::getOpenFileName(this, m_ui->mni_SelUpgrade->text(), m_programDir,
                                        QStringLiteral("*.bin (*.bin)"));
}

std::optional<std::vector<config::PlannedModule>>
TFrm_Main::AskApplyPlan(const QString& path, const config::ModuleConfig& file,
                        const std::vector<FoundModule>& targets, const QStringList& taken,
                        const QStringList& thisComputer) {
    Tfrm_ApplyPlan dialog(path, file, targets, taken, thisComputer, this);
    m_applyPlan = &dialog;
    const bool accepted = dialog.exec() == QDialog::Accepted;
    m_applyPlan = nullptr;
    if (!accepted) {
        return std::nullopt;
    }
    return dialog.preview().planned;
}

void TFrm_Main::ShowBatchProgress(BatchKind kind, const std::vector<FoundModule>& targets) {
    delete m_batchProgress;
    m_batchProgress = new Tfrm_BatchProgress(kind, targets, this);
    m_batchProgress->setAttribute(Qt::WA_DeleteOnClose);
    // Window-modal: the rest of this window, whose LAN actions would interleave with the job,
    // takes no input until the job is over, while it keeps repainting.
    m_batchProgress->setWindowModality(Qt::WindowModal);
    connect(m_batchProgress, &Tfrm_BatchProgress::stopRequested, m_controller.get(),
            &MainController::StopBatch);
    m_batchProgress->show();
}

void TFrm_Main::ShowBatchOutcome(int index, const BatchOutcome& outcome) {
    if (m_batchProgress) {
        m_batchProgress->setOutcome(index, outcome);
    }
}

void TFrm_Main::BatchFinished() {
    if (m_batchProgress) {
        m_batchProgress->setFinished();
    }
}

// ---- Panels --------------------------------------------------------------------------------

PanelBinderBase& TFrm_Main::binderOf(PanelId panel) {
    switch (panel) {
    case PanelId::P5:
        return m_p5->binder();
    case PanelId::P7:
        return m_p7->binder();
    case PanelId::P6:
        break;
    }
    return m_p6->binder();
}

void TFrm_Main::ShowPanel(PanelId panel) {
    binderOf(panel).toWidgets();
}

void TFrm_Main::FocusControl(const QString& name) {
    QWidget* control = findChild<QWidget*>(name);
    if (!control) {
        return;
    }
    for (QWidget* up = control->parentWidget(); up; up = up->parentWidget()) {
        if (auto* box = qobject_cast<QScrollArea*>(up)) {
            box->ensureWidgetVisible(control);
            break;
        }
    }
    control->setFocus(Qt::OtherFocusReason);
}

// ---- Panel files ---------------------------------------------------------------------------

// A name typed without an extension gets ".json", so the load dialog's filter shows the file;
// the dialog itself asks before it replaces a file.
void TFrm_Main::askSavePanelFile(PanelId panel) {
    QFileDialog dialog(this, DialogTitle("lang_btn_SaveToFile"),
                       m_panelFileDir.isEmpty() ? m_programDir : m_panelFileDir,
                       Text("lang_ConfigFileFilter"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    dialog.selectFile(m_panelFiles->SuggestedFileName(panel));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    m_panelFileDir = QFileInfo(path).absolutePath();
    m_panelFiles->SaveToFile(panel, path);
}

void TFrm_Main::askLoadPanelFile(PanelId panel) {
    const QString path = QFileDialog::getOpenFileName(
        this, DialogTitle("lang_btn_LoadFromFile"),
        m_panelFileDir.isEmpty() ? m_programDir : m_panelFileDir, Text("lang_ConfigFileFilter"));
    if (path.isEmpty()) {
        return;
    }
    m_panelFileDir = QFileInfo(path).absolutePath();
    m_panelFiles->LoadFromFile(panel, path);
}

void TFrm_Main::onSoftBitRateChosen(int index) {
    if (index != 1) {
        m_softBitRate.index = index;
        return;
    }
    m_softBitRate.index = 1;
    AskCustomBaudRate(this, m_softBitRate);
    QComboBox* list = m_ui->cbbSoftBitRate;
    list->setItemText(0, QString::fromStdString(m_softBitRate.entry0));
    list->setCurrentIndex(m_softBitRate.index);
}

// ---- Messages and shell --------------------------------------------------------------------

void TFrm_Main::ShowMessage(const QString& text) {
    QMessageBox::information(this, windowTitle(), text);
}

void TFrm_Main::ShowCredentialsDialog() {
    emit credentialsDialogRequested();
}

void TFrm_Main::OpenUrl(const QString& url) {
    m_openUrl(QUrl(url));
}

void TFrm_Main::SetClipboardText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

void TFrm_Main::SetSaveRunning(bool running) {
    for (const char* name : {"btn_P6NetSet", "btn_P7NetSet"}) {
        if (auto* button = findChild<QWidget*>(QLatin1String(name))) {
            HoldDisabled(*button, running);
        }
    }
}

SerialChoice TFrm_Main::SerialSettings() const {
    const int model = m_ui->rbP6->isChecked()   ? DevFlagP6
                      : m_ui->rbP7->isChecked() ? DevFlagP7
                                                : DevFlagP5;
    return {m_ui->cbb_SelectCom->currentText(), m_ui->cbbSoftBitRate->currentText(), model};
}

void TFrm_Main::SetSerialPorts(const QStringList& ports) {
    QComboBox* list = m_ui->cbb_SelectCom;
    const QString chosen = list->currentText();
    list->clear();
    list->addItems(ports);
    list->setCurrentIndex(std::max(0, static_cast<int>(ports.indexOf(chosen))));
}

void TFrm_Main::ShowUpgradeDialog(const QString& ip, const QString& mac) {
    emit upgradeDialogRequested(ip, mac);
}

void TFrm_Main::SetSerialRunning(bool running) {
    for (const char* name : {"btn_ComRead", "btn_ComSet", "btn_P6ComSet"}) {
        if (auto* button = findChild<QWidget*>(QLatin1String(name))) {
            HoldDisabled(*button, running);
        }
    }
}

bool TFrm_Main::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        if (!m_hintsOn) {
            return true;
        }
        // Every window's hints stay up for the program's hint pause, unless a control asks
        // for its own.
        auto* control = qobject_cast<QWidget*>(watched);
        if (control != nullptr && control->toolTipDuration() < 0) {
            control->setToolTipDuration(HintHidePauseMs);
        }
    }
    const bool overList = watched == m_ui->lv_Dev || watched == m_ui->lv_Dev->viewport();
    const bool overHex = watched == m_ui->redt_Hex || watched == m_ui->redt_Hex->viewport();
    if ((overList || overHex) &&
        (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove)) {
        (overList ? static_cast<QWidget*>(m_ui->lv_Dev) : m_ui->redt_Hex)->setFocus();
    }
    if (watched == m_ui->lv_Dev && event->type() == QEvent::KeyPress) {
        return true; // the device list takes no keyboard input
    }
    // The program asked to quit closes the main window before any other: its dialogs (a job's
    // progress, a transfer) would otherwise be closed first, under a job that still runs.
    if (watched == qApp && event->type() == QEvent::Quit && isVisible() && !close()) {
        event->ignore();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TFrm_Main::mayCloseNow() {
    if (m_closeGuard && !m_closeGuard()) {
        return false;
    }
    if (m_controller->idle()) {
        return true;
    }
    if (!m_closeWhenIdle) {
        m_closeWhenIdle = true;
        AddLogLine(Text("lang_Hint_CloseWhenDone"), PaneColour::Green);
        m_controller->WindDown();
    }
    return false;
}

void TFrm_Main::closeEvent(QCloseEvent* event) {
    if (!mayCloseNow()) {
        event->ignore();
        return;
    }
    m_controller->CloseSerial();
    m_settings.UserName = m_controller->userName().toStdString();
    m_settings.Password = m_controller->password().toStdString();
    m_settings.LocalCom = m_ui->cbb_SelectCom->currentText().toStdString();
    m_settings.PNum = m_ui->rbP6->isChecked() ? 2 : (m_ui->rbP7->isChecked() ? 3 : 1);
    if (m_contributeSettings) {
        m_contributeSettings(m_settings);
    }
    const auto path = std::filesystem::path(m_programDir.toStdString()) / SettingsFileName;
    if (const auto error = SaveSettings(path, m_settings)) {
        const QString message = QString::fromStdString(error->message);
        AddLogLine(message + QStringLiteral(" (") + QString::fromStdString(error->detail) +
                       QStringLiteral(")"),
                   PaneColour::Red);
        ShowMessage(message);
    }
    FreeLanguage();
    event->accept();
}

} // namespace r2
