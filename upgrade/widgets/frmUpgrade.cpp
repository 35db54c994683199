#include "upgrade/widgets/frmUpgrade.h"

#include "protocol/address_text.h"
#include "protocol/Unit_ProFun.h"
#include "qt_bridge/qt_bridge.h"
#include "ui_frmUpgrade.h"
#include "upgrade/upgrade_engine.h"
#include "widgets_common/control_texts.h"
#include "widgets_common/drop_down_box.h"

#include <initializer_list>
#include <QCloseEvent>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QShowEvent>
#include <QSignalBlocker>
#include <string>
#include <vector>

namespace r2 {

namespace {

const std::vector<TextRow>& UpgradeCaptions() {
    static const std::vector<TextRow> rows{
        {"lang_Upgrade_Hint", {"lblFwUpTip"}},      {"lang_Upgrade_grpClnt", {"grp1"}},
        {"lang_Upgrade_grpFileName", {"grp2"}},     {"lang_Upgrade_btnProgram", {"btn_Program"}},
        {"lang_Upgrade_btnExit", {"btn_Exit"}},     {"lang_Upgrade_lblClientIP", {"lbl_IP"}},
        {"lang_Upgrade_lblClientMAC", {"lbl_MAC"}}, {"lang_Upgrade_lblLocalIP", {"lblLocalIP"}},
        {"lang_Upgrade_btnCancel", {"btn_Cancel"}},
    };
    return rows;
}

constexpr int DesignWidth = 342;
constexpr int DesignHeight = 320;
constexpr std::string_view SameNetworkMask = "255.255.255.0";

// A message box that does not stop the event loop: the engine keeps running behind it.
void ShowMessage(QWidget* parent, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, parent->windowTitle(), text,
                                QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

Tfrm_Upgrade::Tfrm_Upgrade(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_ui(std::make_unique<Ui::Tfrm_Upgrade>()), m_engine(std::make_unique<UpgradeEngine>()) {
    m_ui->setupUi(this);
    fitToContents();
    QPalette red = m_ui->lbl_Detail->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    m_ui->lbl_Detail->setPalette(red);
    m_ui->lbl_Detail->setVisible(false);
    m_ui->pb1->setRange(0, 100);

    m_chooseFile = [this] {
        const QString start = QFileInfo(m_binPath).path();
        return QFileDialog::getOpenFileName(this, QString(), start,
                                            QStringLiteral("*.bin (*.bin)"));
    };
    connect(m_ui->btn_Program, &QPushButton::clicked, this, &Tfrm_Upgrade::onProgram);
    connect(m_ui->btn_Exit, &QPushButton::clicked, this, &Tfrm_Upgrade::onExit);
    connect(m_ui->btn_Cancel, &QPushButton::clicked, this, &Tfrm_Upgrade::onCancel);
    // Typed or set from outside; the dialog's own display changes are blocked.
    connect(m_ui->edt_BinFileName, &QLineEdit::textChanged, this, &Tfrm_Upgrade::setBinPath);
    m_ui->edt_BinFileName->installEventFilter(this);
    connect(m_ui->btn_Browse, &QPushButton::clicked, this, &Tfrm_Upgrade::onBrowse);
    connect(m_ui->cbbSvrIP, &DropDownBox::popupAboutToShow, this,
            &Tfrm_Upgrade::refreshLocalAddresses);

    UpgradeEngine* engine = m_engine.get();
    connect(engine, &UpgradeEngine::statusChanged, this, &Tfrm_Upgrade::showStatus);
    connect(engine, &UpgradeEngine::progressChanged, m_ui->pb1, &QProgressBar::setValue);
    connect(engine, &UpgradeEngine::buttonsEnabled, this, &Tfrm_Upgrade::setIdle);
    connect(engine, &UpgradeEngine::ended, this, &Tfrm_Upgrade::onEnded);
}

Tfrm_Upgrade::~Tfrm_Upgrade() = default;

void Tfrm_Upgrade::fitToContents() {
    // A fixed border, but never smaller than the current texts need: the English notes are
    // wider than the Chinese ones, and a failure's reason adds lines.
    setFixedSize(QSize(DesignWidth, DesignHeight).expandedTo(sizeHint()));
}

void Tfrm_Upgrade::showEvent(QShowEvent* event) {
    fitToContents();
    QDialog::showEvent(event);
}

void Tfrm_Upgrade::SetRemembered(const R2UpgradeSettings& fields) {
    m_ui->edt_IP->setText(QString::fromStdString(fields.UpgradeIP));
    m_ui->edt_MAC->setText(QString::fromStdString(fields.UpgradeMAC));
    setBinPath(QString::fromStdString(fields.UpgradeFileName));
}

R2UpgradeSettings Tfrm_Upgrade::Remembered() const {
    return {m_ui->edt_IP->text().toStdString(), m_ui->edt_MAC->text().toStdString(),
            m_binPath.toStdString()};
}

void Tfrm_Upgrade::SetTarget(const QString& ip, const QString& mac) {
    m_ui->edt_IP->setText(ip);
    m_ui->edt_MAC->setText(mac);
}

void Tfrm_Upgrade::showStatus(const QString& key, const QString& suffix) {
    m_statusKey = key;
    m_statusSuffix = suffix;
    m_ui->lbl_Info->setText(Text(key.toStdString()) + suffix);
}

void Tfrm_Upgrade::RetranslateStatus() {
    if (!m_statusKey.isEmpty()) {
        showStatus(m_statusKey, m_statusSuffix);
    }
}

void Tfrm_Upgrade::setIdle(bool idle) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             m_ui->btn_Program, m_ui->btn_Exit, m_ui->edt_IP, m_ui->edt_MAC, m_ui->cbbSvrIP,
             m_ui->edt_BinFileName, m_ui->btn_Browse}) {
        control->setEnabled(idle);
    }
    m_ui->btn_Cancel->setEnabled(!idle);
}

void Tfrm_Upgrade::setBinPath(const QString& path) {
    m_binPath = path;
    m_ui->edt_BinFileName->setToolTip(path);
    if (!m_ui->edt_BinFileName->hasFocus()) {
        showBinPath(false);
    }
}

void Tfrm_Upgrade::showBinPath(bool wholePath) {
    const QSignalBlocker quiet(m_ui->edt_BinFileName);
    m_ui->edt_BinFileName->setText(wholePath ? m_binPath : QFileInfo(m_binPath).fileName());
}

bool Tfrm_Upgrade::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->edt_BinFileName &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        showBinPath(event->type() == QEvent::FocusIn);
    }
    return QDialog::eventFilter(watched, event);
}

bool Tfrm_Upgrade::busy() const {
    return !m_ui->btn_Exit->isEnabled();
}

bool Tfrm_Upgrade::AllowProgramClose() {
    if (!busy()) {
        return true;
    }
    if (QMessageBox::question(this, windowTitle(), Text("lang_Hint_UpAbandon"),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes) {
        return false;
    }
    setIdle(true);
    onExit();
    return true;
}

void Tfrm_Upgrade::onProgram() {
    const QString targetIp = m_ui->edt_IP->text();
    const QString targetMac = m_ui->edt_MAC->text();
    const QString localIp = m_ui->cbbSvrIP->currentText();
    m_ui->lbl_Detail->clear();
    m_ui->lbl_Detail->setVisible(false);
    if (targetIp.isEmpty() || targetMac.isEmpty() || localIp.isEmpty()) {
        showStatus(QStringLiteral("lang_Hint_UpNoClient"));
        return;
    }
    if (m_binPath.isEmpty()) {
        showStatus(QStringLiteral("lang_Hint_UpNoFileName"));
        return;
    }
    const std::pair<const char*, QString> addresses[] = {{"edt_IP", targetIp},
                                                         {"cbbSvrIP", localIp}};
    for (const auto& [control, text] : addresses) {
        if (!ParseIpv4Text(text.toStdString())) {
            ShowMessage(this, QStringLiteral("%1: \"%2\" is not an IPv4 address")
                                  .arg(QLatin1String(control), text));
            return;
        }
    }
    if (!SameSubnet(targetIp.toStdString(), localIp.toStdString(), SameNetworkMask)) {
        ShowMessage(this, Text("lang_Hint_UpNoSamNetwork"));
        return;
    }
    setIdle(false);
    m_engine->Start({targetIp, targetMac, localIp, m_binPath});
}

void Tfrm_Upgrade::onEnded(UpgradeEnding, const QString& detail) {
    m_ui->lbl_Detail->setText(detail);
    m_ui->lbl_Detail->setVisible(!detail.isEmpty());
    fitToContents();
}

void Tfrm_Upgrade::onExit() {
    m_engine->CloseEndpoints();
    m_ui->btn_Program->setEnabled(true);
    m_ui->pb1->setValue(0);
    QDialog::reject();
}

void Tfrm_Upgrade::onCancel() {
    m_engine->Cancel();
}

void Tfrm_Upgrade::onBrowse() {
    const QString chosen = m_chooseFile();
    if (!chosen.isEmpty()) {
        setBinPath(chosen);
    }
}

void Tfrm_Upgrade::refreshLocalAddresses() {
    std::vector<std::string> addresses;
    GetLocalIPs(addresses);
    QComboBox* list = m_ui->cbbSvrIP;
    const QString typed = list->currentText();
    list->clear();
    for (const std::string& address : addresses) {
        list->addItem(QString::fromStdString(address));
    }
    list->setEditText(typed);
}

void Tfrm_Upgrade::reject() {
    // Escape, like the Exit button, but never while a transfer runs.
    if (!busy()) {
        onExit();
    }
}

void Tfrm_Upgrade::closeEvent(QCloseEvent* event) {
    if (busy()) {
        event->ignore();
        return;
    }
    m_engine->CloseEndpoints();
    m_ui->pb1->setValue(0);
    QDialog::closeEvent(event);
}

void ApplyUpgradeTexts(QWidget& upgrade) {
    ApplyWindowTexts(upgrade, "lang_Upgrade_Title", UpgradeCaptions());
}

} // namespace r2
