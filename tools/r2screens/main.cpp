// r2screens: drives the real windows the way a technician does (search, click a module, switch
// language, open the dialogs) and saves a PNG of each step. It searches the network it runs
// in, so run it only on the pc side of a lab (scripts/screenshots.sh, scripts/demo.sh).
//
//   r2screens --out DIR [--demo] [--serial-port PATH] [--upgrade-mac MAC]
//
// --demo saves one picture, the window after a search and a click on the first P6 module.
// --serial-port adds the serial sheet after a read of the P5 module answering on PATH.
// --upgrade-mac adds the upgrade dialog in the middle of a transfer to the boot loader of MAC at
// 192.168.0.7 (identity 52325036; one of its acknowledgements withheld, so the transfer pauses).
// The data debugger is pictured in both languages as a TCP client of an echoing peer on
// loopback, with ticked rows and the peer's answers in its receive pane. The apply dialog is
// pictured in both languages with every P6 module listed selected and a plan that skips the
// other modules' addresses.
#include "app/app_shell.h"
#include "app/Unit_About.h"
#include "app/Unit_Pswd.h"
#include "app/Unit_Version.h"
#include "debugger/cmd_file.h"
#include "debugger/widgets/Unit_DataDebug.h"
#include "lang/Unit_Baselang.h"
#include "mainwindow/main_controller.h"
#include "mainwindow/widgets/app_texts.h"
#include "mainwindow/widgets/apply_plan_dialog.h"
#include "mainwindow/widgets/Unit_Main.h"
#include "upgrade/widgets/frmUpgrade.h"

#include <cstdio>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

namespace {

// Lets the event loop run until `done` holds or `ms` pass.
template <class Condition> bool WaitFor(Condition done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

void Settle(int ms) {
    WaitFor([] { return false; }, ms);
}

bool Save(QWidget& window, const QDir& out, const QString& name) {
    Settle(150);
    const QString path = out.filePath(name);
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "r2screens: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// Selects the first row of `flag` and clicks it as the user would; false when none is listed.
bool ClickFirst(r2::TFrm_Main& window, int flag) {
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("lv_Dev"));
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(4).toInt() == flag) {
            list->setCurrentItem(list->topLevelItem(i));
            list->topLevelItem(i)->setSelected(true);
            window.controller().DeviceClicked();
            return true;
        }
    }
    return false;
}

bool SearchAndReadP6(r2::TFrm_Main& window) {
    window.controller().Search();
    WaitFor([&] { return !window.controller().rows().empty(); }, 3000);
    Settle(500); // the slower modules
    if (!ClickFirst(window, r2::DevFlagP6)) {
        std::fprintf(stderr, "r2screens: no P6 module answered the search\n");
        return false;
    }
    return WaitFor([&] { return window.layoutCode() == r2::LayoutP6; }, 3000);
}

// The serial sheet as the user reaches it, a read of a P5 module on `port` and its panel.
bool ReadP5OverSerial(r2::TFrm_Main& window, const QString& port) {
    auto* sheets = window.findChild<QTabWidget*>(QStringLiteral("rzpgcntrl_Srch"));
    sheets->setCurrentIndex(1);
    window.controller().SearchTabSwitched(1);
    auto* ports = window.findChild<QComboBox*>(QStringLiteral("cbb_SelectCom"));
    ports->addItem(port);
    ports->setCurrentIndex(ports->count() - 1);
    window.findChild<QRadioButton*>(QStringLiteral("rbP5"))->setChecked(true);
    bool finished = false;
    QObject::connect(&window.controller(), &r2::MainController::serialFinished,
                     [&finished] { finished = true; });
    window.controller().SerialRead();
    return WaitFor([&] { return finished; }, 5000) && window.layoutCode() == r2::LayoutP5;
}

// The upgrade dialog halfway through a transfer of a 20-block image to the boot loader of `mac`.
bool UpgradeHalfway(r2::AppShell& shell, const QDir& out, const QString& mac) {
    const QString image = out.filePath(QStringLiteral(".r2screens-firmware.bin"));
    QFile file(image);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(QByteArray::fromHex("52325036") + QByteArray(20 * 512 + 100, '\x5A'));
    file.close();
    r2::Tfrm_Upgrade& dialog = shell.upgrade();
    shell.ShowUpgrade(QStringLiteral("192.168.0.7"), QString(mac).remove(QLatin1Char(' ')));
    dialog.findChild<QComboBox*>(QStringLiteral("cbbSvrIP"))
        ->setEditText(QStringLiteral("192.168.0.10"));
    dialog.findChild<QLineEdit*>(QStringLiteral("edt_BinFileName"))->setText(image);
    dialog.findChild<QPushButton*>(QStringLiteral("btn_Program"))->click();
    auto* progress = dialog.findChild<QProgressBar*>(QStringLiteral("pb1"));
    const bool halfway = WaitFor([&] { return progress->value() >= 50; }, 15000);
    const bool saved = halfway && Save(dialog, out, QStringLiteral("upgrade.png"));
    WaitFor([&] { return dialog.findChild<QPushButton*>(QStringLiteral("btn_Exit"))->isEnabled(); },
            30000);
    dialog.findChild<QPushButton*>(QStringLiteral("btn_Exit"))->click();
    QFile::remove(image);
    return saved;
}

// Commands a technician keeps for a module that speaks a text protocol; the other rows carry the
// current language's default name.
bool WriteCommandFile(const QString& programDir) {
    r2::CmdRows rows;
    r2::ClearCmdRows(rows, r2::GetLangText("lang_DataDebug_btnExplanation"));
    const std::pair<const char*, const char*> commands[] = {
        {"Read status", "AT+STATUS?"}, {"Pump on", "AT+PUMP 1"}, {"Pump off", "AT+PUMP 0"}};
    for (std::size_t i = 0; i < std::size(commands); ++i) {
        rows[i].btnExplanation = commands[i].first;
        rows[i].edtCmd = commands[i].second;
        rows[i].chkChoose = i < 2;
        rows[i].edtDelay = "100";
    }
    const QString path = QDir(programDir).filePath(QStringLiteral("DataSelf.txt"));
    return r2::SaveCmdFile(path.toStdString(), rows).empty();
}

// The data debugger in one language, connected to an echoing peer after two commands went out.
bool DataDebugPicture(r2::AppShell& shell, const QString& programDir, bool chinese, const QDir& out,
                      const QString& name) {
    shell.mainWindow().SwitchLanguage(chinese);
    QTcpServer echo;
    if (!WriteCommandFile(programDir) || !echo.listen(QHostAddress::LocalHost, 0)) {
        return false;
    }
    QObject::connect(&echo, &QTcpServer::newConnection, &echo, [&echo] {
        QTcpSocket* peer = echo.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, peer,
                         [peer] { peer->write("OK " + peer->readAll() + "\r\n"); });
    });
    // The module works as a TCP server on the echo's port: the debugger proposes a client.
    r2::PanelP6& module = shell.mainWindow().controller().panelP6();
    module.cbb_WorkMode0.index = 3;
    module.edt_LocalPort0 = std::to_string(echo.serverPort());
    shell.ShowDataDebug();
    r2::Tfrm_DataDebug& debugger = shell.dataDebug();
    debugger.findChild<QComboBox*>(QStringLiteral("cbbIP"))
        ->setEditText(QStringLiteral("127.0.0.1"));
    debugger.findChild<QCheckBox*>(QStringLiteral("chkRecvHex"))->setChecked(false);
    debugger.findChild<QPushButton*>(QStringLiteral("btnClearRecv"))->click();
    auto* connect = debugger.findChild<QPushButton*>(QStringLiteral("btnConnet"));
    const QString disconnect = QString::fromStdString(r2::GetLangText("lang_DataDebug_disconnect"));
    connect->click();
    bool ok = WaitFor([&] { return connect->text() == disconnect; }, 5000);
    for (const char* row : {"C0", "C1"}) {
        debugger.findChild<QWidget*>(QLatin1String(row))
            ->findChild<QPushButton*>(QStringLiteral("btnSend"))
            ->click();
        Settle(200);
    }
    auto* received = debugger.findChild<QPlainTextEdit*>(QStringLiteral("mmoReceive"));
    ok = ok && WaitFor([&] { return received->blockCount() >= 2; }, 3000);
    ok = ok && Save(debugger, out, name);
    connect->click();
    debugger.close();
    shell.mainWindow().SwitchLanguage(false);
    return ok;
}

// A module configuration file as a technician keeps one for a production line's pumps.
QString WriteLineFile(const QString& programDir) {
    const QString path = QDir(programDir).filePath(QStringLiteral("line1-pump.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {};
    }
    file.write(R"({"format": "r2config-module", "version": 1, "model": "P6", "firmware": 4017,
 "mac": "02 52 32 06 00 01", "time": "2026-12-10T07:54:24Z",
 "panel": {"edt_SubnetMask": "255.255.255.0", "edt_GatewayIP": "192.168.0.1",
  "edt_ModName": "Line1-Pump", "edt_LocalPort0": "4001"}}
)");
    return path;
}

// The apply dialog for every listed P6 module, planned from 192.168.0.18 with counted names.
bool ApplyPlanPicture(r2::TFrm_Main& window, const QString& programDir, bool chinese,
                      const QDir& out, const QString& name) {
    window.SwitchLanguage(chinese);
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("lv_Dev"));
    list->clearSelection();
    int selected = 0;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(4).toInt() == r2::DevFlagP6) {
            list->topLevelItem(i)->setSelected(true);
            ++selected;
        }
    }
    const QString path = WriteLineFile(programDir);
    bool ok = selected == 5 && !path.isEmpty();
    if (!ok) {
        std::fprintf(stderr, "r2screens: %d P6 modules listed, the picture wants 5\n", selected);
    }
    QTimer::singleShot(0, &window, [&] {
        WaitFor([&] { return window.applyPlanDialog() != nullptr; }, 3000);
        r2::Tfrm_ApplyPlan* dialog = window.applyPlanDialog();
        if (!dialog) {
            ok = false;
            return;
        }
        dialog->setFields({QStringLiteral("192.168.0.18"), QStringLiteral("Line1-{n:02}"), 1});
        ok = ok && Save(*dialog, out, name);
        dialog->reject();
    });
    window.controller().ApplyFileToSelection(path);
    window.SwitchLanguage(false);
    return ok;
}

void ShowSheet(r2::TFrm_Main& window, int index) {
    window.findChild<QTabWidget*>(QStringLiteral("rzpgcntrl_Param"))->setCurrentIndex(index);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Screenshots of the r2config windows"));
    options.addHelpOption();
    options.addOption({QStringLiteral("out"), QStringLiteral("Directory for the PNG files."),
                       QStringLiteral("DIR"), QStringLiteral(".")});
    options.addOption(
        {QStringLiteral("demo"), QStringLiteral("Only the window after a search and a click.")});
    options.addOption({QStringLiteral("serial-port"),
                       QStringLiteral("A pseudo-terminal r2sim --serial p5 answers on."),
                       QStringLiteral("PATH")});
    options.addOption({QStringLiteral("upgrade-mac"),
                       QStringLiteral("The MAC of an r2sim --bootloader at 192.168.0.7."),
                       QStringLiteral("MAC")});
    options.process(app);
    const QDir out(options.value(QStringLiteral("out")));
    QDir().mkpath(out.path());

    QTemporaryDir programDir; // the user's own settings stay untouched
    r2::AppShell shell(programDir.path(), r2::GetFileVersionText());
    r2::TFrm_Main& window = shell.mainWindow();
    window.SwitchLanguage(false);
    window.show();
    Settle(300);

    if (options.isSet(QStringLiteral("demo"))) {
        return SearchAndReadP6(window) && Save(window, out, QStringLiteral("r2config-demo.png"))
                   ? 0
                   : 1;
    }
    bool ok = Save(window, out, QStringLiteral("startup.png"));
    window.controller().Search();
    WaitFor([&] { return window.controller().rows().size() >= 8; }, 3000);
    ok = Save(window, out, QStringLiteral("device-list.png")) && ok;
    ok = SearchAndReadP6(window) && ok;
    ok = Save(window, out, QStringLiteral("p6-panel-en.png")) && ok;
    window.SwitchLanguage(true);
    ok = Save(window, out, QStringLiteral("p6-panel-zh.png")) && ok;
    window.SwitchLanguage(false);
    ShowSheet(window, 2);
    ok = Save(window, out, QStringLiteral("p7-panel.png")) && ok;
    ShowSheet(window, 0);
    ok = Save(window, out, QStringLiteral("p5-panel.png")) && ok;
    if (options.isSet(QStringLiteral("serial-port"))) {
        ok = ReadP5OverSerial(window, options.value(QStringLiteral("serial-port"))) &&
             Save(window, out, QStringLiteral("serial-p5.png")) && ok;
    }
    if (options.isSet(QStringLiteral("upgrade-mac"))) {
        ok = UpgradeHalfway(shell, out, options.value(QStringLiteral("upgrade-mac"))) && ok;
    }
    ok = DataDebugPicture(shell, programDir.path(), false, out,
                          QStringLiteral("data-debug-en.png")) &&
         ok;
    ok = DataDebugPicture(shell, programDir.path(), true, out,
                          QStringLiteral("data-debug-zh.png")) &&
         ok;
    for (const bool chinese : {false, true}) {
        ok = ApplyPlanPicture(window, programDir.path(), chinese, out,
                              chinese ? QStringLiteral("apply-plan-zh.png")
                                      : QStringLiteral("apply-plan-en.png")) &&
             ok;
    }
    shell.ShowCredentialsDialog();
    ok = Save(shell.credentials(), out, QStringLiteral("credentials.png")) && ok;
    shell.credentials().reject();
    shell.ShowAbout();
    ok = Save(shell.about(), out, QStringLiteral("about.png")) && ok;
    shell.about().reject();
    return ok ? 0 : 1;
}
