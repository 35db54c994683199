#include "app/app_shell.h"

#include "app/Unit_About.h"
#include "app/Unit_Pswd.h"
#include "debugger/widgets/data_debug_texts.h"
#include "debugger/widgets/Unit_DataDebug.h"
#include "mainwindow/widgets/app_texts.h"
#include "mainwindow/widgets/Unit_Main.h"
#include "upgrade/widgets/frmUpgrade.h"

#include <QEvent>

namespace r2 {

namespace {

void ShowModalOrRaise(QWidget& dialog) {
    if (dialog.isVisible()) {
        dialog.raise();
        dialog.activateWindow();
        return;
    }
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
}

} // namespace

AppShell::AppShell(const QString& programDir, const QString& version, QObject* parent)
    : QObject(parent), m_main(std::make_unique<TFrm_Main>(programDir, version)),
      m_about(std::make_unique<TFrm_About>(m_main.get())),
      m_pswd(std::make_unique<TFrm_Pswd>(m_main->controller().userName(),
                                         m_main->controller().password(), m_main.get())),
      m_upgrade(std::make_unique<Tfrm_Upgrade>(m_main.get())),
      m_dataDebug(
          std::make_unique<Tfrm_DataDebug>(programDir, m_main->settings().FilePath, m_main.get())) {
    const R2Settings& loaded = m_main->settings();
    m_upgrade->SetRemembered({loaded.UpgradeIP, loaded.UpgradeMAC, loaded.UpgradeFileName});
    ApplyUpgradeTexts(*m_upgrade);
    m_main->setSettingsContributor([this](R2Settings& settings) {
        const R2UpgradeSettings fields = m_upgrade->Remembered();
        settings.UpgradeIP = fields.UpgradeIP;
        settings.UpgradeMAC = fields.UpgradeMAC;
        settings.UpgradeFileName = fields.UpgradeFileName;
        settings.FilePath = m_dataDebug->FilePath();
    });
    m_main->setCloseGuard([this] { return m_upgrade->AllowProgramClose(); });
    connect(m_main.get(), &TFrm_Main::upgradeDialogRequested, this, &AppShell::ShowUpgrade);
    connect(m_main.get(), &TFrm_Main::dataDebugRequested, this, &AppShell::ShowDataDebug);
    connect(m_main.get(), &TFrm_Main::credentialsDialogRequested, this,
            &AppShell::ShowCredentialsDialog);
    connect(m_main.get(), &TFrm_Main::aboutRequested, this, &AppShell::ShowAbout);
    connect(m_pswd.get(), &TFrm_Pswd::credentialsAccepted, &m_main->controller(),
            &MainController::setCredentials);
    connect(m_main.get(), &TFrm_Main::languageSwitched, this, [this] {
        ApplyAboutTexts(*m_about);
        ApplyPswdTexts(*m_pswd);
        ApplyUpgradeTexts(*m_upgrade);
        m_upgrade->RetranslateStatus();
        ApplyDataDebugTexts(*m_dataDebug);
    });
    m_main->installEventFilter(this);
}

// The dialogs are children of the main window: they go before it. A debugger still open when
// the program ends gets its close all the same; it cannot stay open now, whatever the save did.
AppShell::~AppShell() {
    m_main->removeEventFilter(this);
    CloseDataDebug();
    m_dataDebug.reset();
    m_upgrade.reset();
    m_pswd.reset();
    m_about.reset();
}

bool AppShell::CloseDataDebug() {
    return !m_dataDebug->isVisible() || m_dataDebug->close();
}

// Before the main window's own close, which saves the settings: a debugger that cannot save
// its rows keeps the program open with its message, as it keeps itself open.
bool AppShell::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_main.get() && event->type() == QEvent::Close && !CloseDataDebug()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void AppShell::ShowCredentialsDialog() {
    ShowModalOrRaise(*m_pswd);
}

void AppShell::ShowAbout() {
    ShowModalOrRaise(*m_about);
}

void AppShell::ShowUpgrade(const QString& ip, const QString& mac) {
    if (!ip.isEmpty() && !m_upgrade->isVisible()) {
        m_upgrade->SetTarget(ip, mac);
    }
    ShowModalOrRaise(*m_upgrade);
}

void AppShell::ShowDataDebug() {
    if (!m_dataDebug->isVisible()) {
        m_dataDebug->FormShow(m_main->controller().panelP6());
    }
    ShowModalOrRaise(*m_dataDebug);
}

} // namespace r2
