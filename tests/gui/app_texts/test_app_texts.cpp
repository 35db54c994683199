// The texts routines on a small fixture window that has a few controls of every kind the main
// window's tables address, named as in the real window.

#include "app/Unit_About.h"
#include "app/Unit_Pswd.h"
#include "lan/Unit_Udp.h"
#include "lang/Unit_AppLang.h"
#include "lang/Unit_Baselang.h"
#include "mainwindow/log_texts.h"
#include "mainwindow/widgets/app_texts.h"
#include "mainwindow/widgets/Unit_Main.h"
#include "protocol/block_codec.h"
#include "protocol/Unit_Public.h"

#include <functional>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

using namespace r2;

Q_DECLARE_METATYPE(r2::SequenceVerdict)

namespace {

template <class T> T* Add(QWidget* parent, const char* name) {
    auto* widget = new T(parent);
    widget->setObjectName(QString::fromLatin1(name));
    if (parent->layout() != nullptr) {
        parent->layout()->addWidget(widget);
    }
    return widget;
}

QAction* AddAction(QMenu* menu, const char* name, const QString& designText) {
    QAction* action = menu->addAction(designText);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QMenu* AddMenu(QMenuBar* bar, const char* name, const QString& designText) {
    QMenu* menu = bar->addMenu(designText);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

QComboBox* AddCombo(QWidget* parent, const char* name, const QStringList& items, int selected) {
    auto* combo = Add<QComboBox>(parent, name);
    combo->addItems(items);
    combo->setCurrentIndex(selected);
    return combo;
}

// A window with the designed (Chinese) captions.
class FixtureWindow final : public QMainWindow {
public:
    FixtureWindow() {
        setObjectName(QStringLiteral("TFrm_Main"));
        setWindowTitle(QStringLiteral("QOB-P"));

        QMenu* file = AddMenu(menuBar(), "mni_File", QStringLiteral("文件(&F)"));
        AddAction(file, "mni_Pswd", QStringLiteral("用户名密码设置"));
        AddAction(file, "mniExporDevs", QStringLiteral("Export Devices"));
        AddAction(file, "mni_Exit", QStringLiteral("退出(&X)"));
        QMenu* lang = AddMenu(menuBar(), "mni_Lang", QStringLiteral("Lang(&L)"));
        AddAction(lang, "mni_Cn", QStringLiteral("简中(&C)"));
        AddAction(lang, "mni_En", QStringLiteral("English(&E)"));
        QMenu* help = AddMenu(menuBar(), "mni_Help", QStringLiteral("帮助(&H)"));
        AddAction(help, "mni_About", QStringLiteral("关于...(&A)"));
        AddAction(help, "mni_Hint", QStringLiteral("实时帮助"));
        AddAction(help, "mni_Up", QStringLiteral("检查更新(&U)"));
        AddAction(help, "mni_WorkOrder", QStringLiteral("提交问题"));

        deviceMenu = new QMenu(this);
        deviceMenu->setObjectName(QStringLiteral("pm_NetDev"));
        AddAction(deviceMenu, "mni_Read", QStringLiteral("读取参数"))->setVisible(false);
        deviceMenu->addSeparator();
        AddAction(deviceMenu, "mni_OpenWeb", QStringLiteral("打开网页"));
        AddAction(deviceMenu, "mni_CopeAllMac", QStringLiteral("复制所有MAC"));

        auto* central = new QWidget(this);
        central->setLayout(new QVBoxLayout);
        setCentralWidget(central);

        auto* search = Add<QTabWidget>(central, "rzpgcntrl_Srch");
        auto* net = new QWidget;
        net->setObjectName(QStringLiteral("rztbsht_Net"));
        net->setLayout(new QVBoxLayout);
        search->addTab(net, QStringLiteral("通过网络操作"));
        auto* com = new QWidget;
        com->setObjectName(QStringLiteral("rztbsht_Com"));
        com->setLayout(new QVBoxLayout);
        search->addTab(com, QStringLiteral("通过串口操作"));

        deviceList = Add<QTreeWidget>(net, "lv_Dev");
        deviceList->setHeaderLabels({QStringLiteral("设备IP"), QStringLiteral("设备名称"),
                                     QStringLiteral("MAC地址"), QStringLiteral("版本"),
                                     QStringLiteral("Flag"), QStringLiteral("IpIndex")});
        Add<QPushButton>(net, "btn_Search")->setText(QStringLiteral("搜索设备"));
        Add<QLabel>(com, "lbl_SelectCom")->setText(QStringLiteral("请选择串口"));
        Add<QLabel>(com, "lbl1")->setText(QStringLiteral("串口波特率"));

        // The model sheets, with their designed captions.
        auto* models = Add<QTabWidget>(central, "rzpgcntrl_Param");
        for (const auto& [name, caption] :
             {std::pair{"rztbsht_P5", "P5串口网络 P7串口"}, std::pair{"rztbsht_P7", "P6串口网络"},
              std::pair{"rztbsht_P7Net", "P7Net"}}) {
            auto* sheet = new QWidget;
            sheet->setObjectName(QString::fromLatin1(name));
            models->addTab(sheet, QString::fromUtf8(caption));
        }

        auto* group = Add<QGroupBox>(central, "grp_BaseSave");
        group->setTitle(QStringLiteral("基础设置"));
        group->setLayout(new QVBoxLayout);
        Add<QLabel>(group, "lbl_Mask")->setText(QStringLiteral("子网掩码"));
        Add<QLabel>(group, "lbl_SubnetMask")->setText(QStringLiteral("子网掩码"));
        Add<QLabel>(group, "lbl_GatewayIPP7")->setText(QStringLiteral("网关"));
        Add<QLabel>(group, "lbl_NotListed")->setText(QStringLiteral("设计文字"));
        for (const char* name :
             {"btn_P5Set", "btn_P6NetSet", "btn_P6ComSet", "btn_P7NetSet", "btn_ComSet"}) {
            Add<QPushButton>(group, name)->setText(QStringLiteral("保存参数"));
        }
        Add<QPushButton>(group, "btnDataDebug")->setText(QStringLiteral("数据调试"));

        auto* shortTimeLabel = Add<QLabel>(group, "lblShortTime");
        shortTimeLabel->setText(QStringLiteral("短连接时间"));
        shortTimeLabel->setBuddy(Add<QLineEdit>(group, "LabeledEditShortTime"));
        Add<QLineEdit>(group, "LabeledEdit1"); // its label is missing

        connSendId = Add<QCheckBox>(group, "rzchckbx_ConnSendId");
        connSendId->setText(QStringLiteral("建立连接后发送ID号"));
        connSendId->setFixedWidth(120);

        tcpStyle = AddCombo(group, "cbb_TCPStyle0",
                            {QStringLiteral("透明传输"), QStringLiteral("按ID发送-无ID则丢弃"),
                             QStringLiteral("按ID发送-无ID则群发")},
                            2);
        modbusType = AddCombo(group, "cbbModbusType",
                              {QStringLiteral("Modbus关闭"), QStringLiteral("Modbus TCP/RTU转换"),
                               QStringLiteral("ModbusRTU轮询")},
                              1);
        reportProto =
            AddCombo(group, "cbbReporproto", {QStringLiteral("透传"), QStringLiteral("JSON")}, 1);
        baudRate = AddCombo(group, "cbb_BaudRate0",
                            {QStringLiteral("57600"), QStringLiteral("自定义"),
                             QStringLiteral("1200"), QStringLiteral("2400")},
                            0);
        baudRate->setEditable(true);
        Add<QLineEdit>(group, "edt_SubnetMaskP7");
        Add<QLineEdit>(group, "edt_GatewayIPP7");
    }

    QMenu* deviceMenu = nullptr;
    QTreeWidget* deviceList = nullptr;
    QCheckBox* connSendId = nullptr;
    QComboBox* tcpStyle = nullptr;
    QComboBox* modbusType = nullptr;
    QComboBox* reportProto = nullptr;
    QComboBox* baudRate = nullptr;
};

// What a control shows as its caption, whatever its kind.
QString Shown(const QWidget& root, const QString& name) {
    QObject* object = root.findChild<QObject*>(name);
    if (object == nullptr) {
        return QStringLiteral("<no control %1>").arg(name);
    }
    if (auto* page = qobject_cast<QWidget*>(object)) {
        for (auto* tabs : root.findChildren<QTabWidget*>()) {
            if (tabs->indexOf(page) >= 0) {
                return tabs->tabText(tabs->indexOf(page));
            }
        }
    }
    if (auto* label = qobject_cast<QLabel*>(object)) {
        return label->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        return button->text();
    }
    if (auto* group = qobject_cast<QGroupBox*>(object)) {
        return group->title();
    }
    if (auto* menu = qobject_cast<QMenu*>(object)) {
        return menu->title();
    }
    if (auto* action = qobject_cast<QAction*>(object)) {
        return action->text();
    }
    if (auto* combo = qobject_cast<QComboBox*>(object)) {
        return combo->currentText();
    }
    return QStringLiteral("<unreadable %1>").arg(name);
}

void UseBuiltInTexts(bool chinese) {
    LangList = TLangList{};
    BuildBuiltInTexts(LangList);
    LangList.UseChinese = chinese;
}

QString LangText(const char* key) {
    return QString::fromStdString(GetLangText(key));
}

} // namespace

class TestAppTexts final : public QObject {
    Q_OBJECT

private slots:
    void captionsInBothLanguages_data();
    void captionsInBothLanguages();
    void captionIsTitleAndVersionInBothLanguages();
    void comboBoxesKeepTheirSelectionAcrossSwitches();
    void modbusRuleRunsAfterItsItemsWithTheRestoredSelection();
    void hintsReplaceLineBreaksAndReachP7Twins();
    void connSendIdIsWrappedToItsWidth();
    void editedLanguageFileRowReachesEverySaveButton();
    void missingControlsAreSkippedAndListed();
    void dialogsTakeTheirCaptions();
    void realMainWindowHasEveryControlTheTablesName();
    void realMainWindowHintsShowSoonAndStayUpTenMinutes();
    void realMainWindowLogsEndpointReportsInItsLanguage();
    void saveVerdictsInBothLanguages_data();
    void saveVerdictsInBothLanguages();
    void encoderRefusalsInBothLanguages();
};

void TestAppTexts::captionsInBothLanguages_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    const auto row = [](const char* control, const char* english, const char* chinese) {
        QTest::newRow(control) << QString::fromLatin1(control) << QString::fromUtf8(english)
                               << QString::fromUtf8(chinese);
    };
    row("mni_File", "File", "文件");
    row("mni_Exit", "Quit", "退出");
    row("mni_Lang", "Language", "Language");
    row("mni_Cn", "简体中文", "简体中文");
    row("mni_Up", "Latest version", "检查更新");
    row("mni_WorkOrder", "Work Order", "提交问题");
    row("mni_Read", "读取参数", "读取参数"); // the hidden first item keeps its design text
    row("mni_OpenWeb", "OpenWeb", "打开网页");
    row("mni_CopeAllMac", "Cope All Mac", "复制所有MAC");
    row("rztbsht_Net", "Operate Via LAN", "通过网络操作");
    row("rztbsht_Com", "Operate Via COM", "通过串口操作");
    row("rztbsht_P5", "P5 / P7 serial", "P5串口网络 P7串口");
    row("rztbsht_P7", "P6", "P6串口网络");
    row("rztbsht_P7Net", "P7 network", "P7Net");
    row("btn_Search", "Search Device", "搜索设备");
    row("lbl_SelectCom", "Select serial port", "请选择串口");
    row("lbl1", "Baudrate", "串口波特率");
    row("grp_BaseSave", "Base Param (which is without ★,usually keep default)",
        "基础设置 (不带★的一般保持默认)");
    row("lbl_Mask", "SubnetMask", "子网掩码");
    row("lbl_SubnetMask", "SubnetMask ★", "子网掩码 ★");
    row("lbl_GatewayIPP7", "Gateway ★", "网关 ★");
    row("lbl_NotListed", "设计文字", "设计文字");
    row("lblShortTime", "Short Connection time", "短连接时间");
    row("btnDataDebug", "DataDebug", "数据调试");
    row("cbb_TCPStyle0", "As ID(No ID Broadcast)", "按ID发送-无ID则群发");
    row("cbbModbusType", "Modbus TCP/RTU", "Modbus TCP/RTU转换");
    row("cbbReporproto", "JSON", "JSON");
}

void TestAppTexts::captionsInBothLanguages() {
    QFETCH(QString, control);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    FixtureWindow window;
    UseBuiltInTexts(false);
    ApplyMainTexts(window, QStringLiteral("2.2.6.0"));
    QCOMPARE(Shown(window, control), english);
    UseBuiltInTexts(true);
    ApplyMainTexts(window, QStringLiteral("2.2.6.0"));
    QCOMPARE(Shown(window, control), chinese);
}

void TestAppTexts::captionIsTitleAndVersionInBothLanguages() {
    FixtureWindow window;
    for (const bool chinese : {false, true}) {
        UseBuiltInTexts(chinese);
        ApplyMainTexts(window, QStringLiteral("2.2.6.0"));
        QCOMPARE(window.windowTitle(), QStringLiteral("QOB-R2 V2.2.6.0"));
        // A display name of its own would be appended by Qt to every window's caption.
        QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    }
    ApplyMainTexts(window, QString());
    QCOMPARE(window.windowTitle(), QStringLiteral("QOB-R2 V"));

    const QStringList columns{QStringLiteral("设备IP"),  QStringLiteral("设备名称"),
                              QStringLiteral("MAC地址"), QStringLiteral("版本"),
                              QStringLiteral("Flag"),    QStringLiteral("IpIndex")};
    for (int column = 0; column < columns.size(); ++column) {
        QCOMPARE(window.deviceList->headerItem()->text(column), columns[column]);
    }
    UseBuiltInTexts(false);
    ApplyMainTexts(window, QStringLiteral("2.2.6.0"));
    QCOMPARE(window.deviceList->headerItem()->text(2), QStringLiteral("MAC"));
    QCOMPARE(window.deviceList->headerItem()->text(4), QStringLiteral("Flag"));
}

void TestAppTexts::comboBoxesKeepTheirSelectionAcrossSwitches() {
    FixtureWindow window;
    for (const bool chinese : {true, false, true, false}) {
        UseBuiltInTexts(chinese);
        ApplyMainTexts(window, QStringLiteral("2.2.6.0"));
        QCOMPARE(window.tcpStyle->currentIndex(), 2);
        QCOMPARE(window.tcpStyle->count(), 3);
        QCOMPARE(window.reportProto->currentIndex(), 1);
        QCOMPARE(window.baudRate->currentIndex(), 0);
        QCOMPARE(window.baudRate->currentText(), QStringLiteral("57600"));
        QCOMPARE(window.baudRate->itemText(2), QStringLiteral("1200"));
    }
    QCOMPARE(window.tcpStyle->currentText(), QStringLiteral("As ID(No ID Broadcast)"));
    QCOMPARE(window.tcpStyle->itemText(0), QStringLiteral("Transparent transmission"));
    QCOMPARE(window.baudRate->itemText(1), QStringLiteral("Custom"));
    QCOMPARE(window.reportProto->itemText(0), QStringLiteral("Transparent"));
}

void TestAppTexts::modbusRuleRunsAfterItsItemsWithTheRestoredSelection() {
    FixtureWindow window;
    UseBuiltInTexts(true);
    ApplyMainTexts(window, QStringLiteral("2.2.6.0"));
    UseBuiltInTexts(false);
    int runs = 0;
    QString shownDuringRule;
    ApplyMainTexts(window, QStringLiteral("2.2.6.0"), [&] {
        ++runs;
        shownDuringRule = window.modbusType->currentText();
    });
    QCOMPARE(runs, 1);
    QCOMPARE(shownDuringRule, QStringLiteral("Modbus TCP/RTU"));
}

void TestAppTexts::hintsReplaceLineBreaksAndReachP7Twins() {
    FixtureWindow window;
    UseBuiltInTexts(false);
    ApplyMainTexts(window, QStringLiteral("2.2.6.0"));
    const QString mask = window.findChild<QWidget*>("edt_SubnetMaskP7")->toolTip();
    const QString gateway = window.findChild<QWidget*>("edt_GatewayIPP7")->toolTip();
    QCOMPARE(mask, LangText("lang_lbl_H_SubnetMask"));
    // The built-in gateway hint holds CR LF pairs; a tool tip shows LF line breaks only.
    QVERIFY(LangText("lang_lbl_H_GatewayIP").contains(QStringLiteral("\r\n")));
    QCOMPARE(gateway, LangText("lang_lbl_H_GatewayIP").replace(QStringLiteral("\r\n"), "\n"));
    QVERIFY(!gateway.contains(QLatin1Char('\r')));
    QCOMPARE(window.findChild<QWidget*>("lv_Dev")->toolTip(),
             QStringLiteral("Click device can read the parameters, right-click Device list show "
                            "more"));
    QCOMPARE(window.tcpStyle->toolTip(), LangText("lang_lbl_H_TCPStyle"));
}

void TestAppTexts::connSendIdIsWrappedToItsWidth() {
    FixtureWindow window;
    for (const bool chinese : {false, true}) {
        UseBuiltInTexts(chinese);
        ApplyMainTexts(window, QStringLiteral("2.2.6.0"));
        const QString shown = window.connSendId->text();
        QVERIFY2(shown.contains(QLatin1Char('\n')), qPrintable(shown));
        QCOMPARE(QString(shown).remove(QLatin1Char('\n')).remove(QLatin1Char(' ')),
                 LangText("lang_chk_ConnSendId").remove(QLatin1Char(' ')));
        const QFontMetrics metrics(window.connSendId->font());
        for (const QString& line : shown.split(QLatin1Char('\n'))) {
            QVERIFY2(metrics.horizontalAdvance(line) < window.connSendId->width(),
                     qPrintable(line));
        }
    }
}

void TestAppTexts::editedLanguageFileRowReachesEverySaveButton() {
    FixtureWindow window;
    UseBuiltInTexts(false);
    LangList.ReadLanguageText("lang_btn_ComSet|Bao cun|Store to module\r\n");
    ApplyMainTexts(window, QStringLiteral("2.2.6.0"));
    for (const char* name :
         {"btn_ComSet", "btn_P5Set", "btn_P6NetSet", "btn_P6ComSet", "btn_P7NetSet"}) {
        QCOMPARE(Shown(window, QString::fromLatin1(name)), QStringLiteral("Store to module"));
    }
}

void TestAppTexts::missingControlsAreSkippedAndListed() {
    FixtureWindow window;
    UseBuiltInTexts(false);
    ApplyMainTexts(window, QStringLiteral("2.2.6.0"));
    const QStringList missing = MissingMainTextControls(window);
    for (const char* absent : {"btn_ComRead", "lblPNum", "mni_Restart", "cbb_TCPStyle0P7",
                               "edt_UserMACP7", "LabeledEdit1 (label)", "rzchckbx_DataWithId"}) {
        QVERIFY2(missing.contains(QString::fromLatin1(absent)), absent);
    }
    for (const char* present :
         {"mni_File", "mni_Read", "rztbsht_Net", "lv_Dev", "btn_P7NetSet", "LabeledEditShortTime",
          "LabeledEditShortTime (label)", "cbb_BaudRate0", "edt_SubnetMaskP7", "btnDataDebug"}) {
        QVERIFY2(!missing.contains(QString::fromLatin1(present)), present);
    }
}

void TestAppTexts::dialogsTakeTheirCaptions() {
    QWidget about;
    for (const char* name :
         {"lbl_SoftName", "lbl_About_version", "lbl_Aboutl_Description", "lbl_About_Contact",
          "lbl_About_Website", "lbl_About_Tel", "lbl_About_Email", "lbl_version"}) {
        Add<QLabel>(&about, name)->setText(QStringLiteral(" V2.2.6.0"));
    }
    Add<QPushButton>(&about, "btn_About_Yes");
    QWidget pswd;
    Add<QPushButton>(&pswd, "btn_OK");
    Add<QPushButton>(&pswd, "btn_Cancel");

    UseBuiltInTexts(false);
    ApplyAboutTexts(about);
    ApplyPswdTexts(pswd);
    QCOMPARE(about.windowTitle(), QStringLiteral("About"));
    QCOMPARE(Shown(about, "lbl_About_version"), QStringLiteral("Version:"));
    QCOMPARE(Shown(about, "lbl_About_Contact"), QStringLiteral(" "));
    QCOMPARE(Shown(about, "btn_About_Yes"), QStringLiteral("OK"));
    QCOMPARE(Shown(about, "lbl_version"), QStringLiteral(" V2.2.6.0"));
    QCOMPARE(pswd.windowTitle(), QStringLiteral("User config"));
    QCOMPARE(Shown(pswd, "btn_Cancel"), QStringLiteral("Cancel"));

    UseBuiltInTexts(true);
    ApplyAboutTexts(about);
    ApplyPswdTexts(pswd);
    QCOMPARE(about.windowTitle(), QStringLiteral("关于"));
    QCOMPARE(Shown(about, "lbl_SoftName"), QStringLiteral("名称：QOB-R2"));
    QCOMPARE(Shown(about, "lbl_About_Contact"), QStringLiteral("联系我们"));
    QCOMPARE(Shown(about, "lbl_About_Website"), LangText("lang_About_Website"));
    QCOMPARE(Shown(about, "lbl_version"), QStringLiteral(" V2.2.6.0"));
    QCOMPARE(pswd.windowTitle(), QStringLiteral("用户名密码设置"));
    QCOMPARE(Shown(pswd, "btn_OK"), QStringLiteral("确定"));
}

void TestAppTexts::realMainWindowHasEveryControlTheTablesName() {
    QTemporaryDir programDir;
    QVERIFY(programDir.isValid());
    QFile settings(programDir.filePath(QStringLiteral("R2Cfg.ini")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[System]\r\nLanguage=0\r\n");
    settings.close();

    TFrm_Main window(programDir.path(), QStringLiteral("2.2.6.0"));
    QCOMPARE(MissingMainTextControls(window), QStringList());
    QCOMPARE(window.windowTitle(), QStringLiteral("QOB-R2 V2.2.6.0"));
    QCOMPARE(Shown(window, "lbl_SubnetMaskP7"), QStringLiteral("SubnetMask ★"));
    QCOMPARE(Shown(window, "rztbsht_Hex"), QStringLiteral("Hex Streams"));
    QCOMPARE(Shown(window, "rztbsht_P7"), QStringLiteral("P6"));
    QCOMPARE(Shown(window, "btn_P7NetSet"), QStringLiteral("Save Config"));
    QCOMPARE(window.findChild<QComboBox*>("cbb_TCPStyle0")->itemText(2),
             QStringLiteral("As ID(No ID Broadcast)"));
    QCOMPARE(window.findChild<QWidget*>("edt_GatewayIPP7")->toolTip(),
             LangText("lang_lbl_H_GatewayIP").replace(QStringLiteral("\r\n"), "\n"));
}

void TestAppTexts::realMainWindowHintsShowSoonAndStayUpTenMinutes() {
    QTemporaryDir programDir;
    QVERIFY(programDir.isValid());
    TFrm_Main window(programDir.path(), QStringLiteral("2.2.6.0"));
    auto* gateway = window.findChild<QWidget*>("edt_GatewayIPP7");
    QVERIFY(gateway != nullptr);
    QCOMPARE(gateway->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, gateway), 50);
    // A widget shows its hint for its own tool tip duration; the window sets it to the program's
    // pause as the hint is asked for, in whichever window the control is.
    QLineEdit elsewhere;
    elsewhere.setToolTip(QStringLiteral("a hint of another window"));
    for (QWidget* control : {gateway, static_cast<QWidget*>(&elsewhere)}) {
        QHelpEvent ask(QEvent::ToolTip, QPoint(2, 2), control->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(control, &ask);
        QCOMPARE(control->toolTipDuration(), 600000);
    }
}

void TestAppTexts::realMainWindowLogsEndpointReportsInItsLanguage() {
    QTemporaryDir programDir;
    QVERIFY(programDir.isValid());
    QFile settings(programDir.filePath(QStringLiteral("R2Cfg.ini")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[System]\r\nLanguage=1\r\n");
    settings.close();
    TFrm_Main window(programDir.path(), QStringLiteral("2.2.6.0"));
    auto* log = window.findChild<QPlainTextEdit*>("redt_Log");
    QVERIFY(log != nullptr);
    const auto lastLine = [log] { return log->toPlainText().split(QLatin1Char('\n')).last(); };
    // The endpoint's own English wording, which the terminal tool prints, is not what the log
    // shows: the window words each report in its language.
    const auto reports = [&window, &lastLine] {
        TUdpSvr& udp = window.controller().udp();
        QStringList lines;
        emit udp.datagramsDropped(QStringLiteral("endpoint wording"));
        lines << lastLine();
        emit udp.foreignParamReply(QStringLiteral("10.0.0.9"), 302,
                                   QStringLiteral("endpoint wording"));
        lines << lastLine();
        return lines;
    };
    QCOMPARE(
        reports(),
        QStringList({QStringLiteral("数据包到达太快，部分已被丢弃；网络上可能有设备在大量发送"),
                     QStringLiteral("已忽略来自 10.0.0.9 的 302 字节参数回复：它不是正在读取的"
                                    "模块 (地址未知)")}));
    window.SwitchLanguage(false);
    QCOMPARE(reports(),
             QStringList({QStringLiteral("datagrams arrive faster than they can be handled and "
                                         "some are dropped; a device on the network may be "
                                         "flooding it"),
                          QStringLiteral("ignored a 302-byte parameter reply from 10.0.0.9: it is "
                                         "not the module being read (address unknown)")}));
}

void TestAppTexts::saveVerdictsInBothLanguages_data() {
    QTest::addColumn<SequenceVerdict>("verdict");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    const auto frame = [](quint8 command, bool sent, const char* ip, FrameAnswer answer) {
        FrameVerdict f;
        f.command = command;
        f.mac = QStringLiteral("0011223344AA");
        f.moduleIp = QString::fromLatin1(ip);
        f.sent = sent;
        f.answer = answer;
        return f;
    };
    const auto verdictOf = [](std::vector<FrameVerdict> frames, int foreignAnswers) {
        SequenceVerdict verdict;
        verdict.frames = std::move(frames);
        verdict.foreignAnswers = foreignAnswers;
        return verdict;
    };
    const FrameVerdict acked = frame(CmdWriteBase, true, "10.0.0.5", FrameAnswer::Ack);
    SequenceVerdict refusedOne;
    refusedOne.refused = QStringLiteral("endpoint wording");
    QTest::newRow("refused") << refusedOne << QStringLiteral("the reason; nothing was sent")
                             << QStringLiteral("the reason；未发送任何数据");
    QTest::newRow("not sent") << verdictOf({acked, frame(CmdWritePort, false, "", {})}, 0)
                              << QStringLiteral("the port frame (2 of 2) could not be sent")
                              << QStringLiteral("串口参数帧（第 2 帧，共 2 帧）发送失败");
    QTest::newRow("no search reply")
        << verdictOf({frame(CmdRestart, true, "", {})}, 0)
        << QStringLiteral("the restart frame (1 of 1) was not acknowledged: no search reply of "
                          "0011223344AA is known, so no answer can be taken for it; search again")
        << QStringLiteral("重启帧（第 1 帧，共 1 帧）未被确认：没有 0011223344AA "
                          "的搜索回复，无法接收它的应答；请重新搜索");
    QTest::newRow("password error")
        << verdictOf({acked, frame(CmdWriteCloud, true, "10.0.0.5", FrameAnswer::PasswordError)}, 2)
        << QStringLiteral("the cloud frame (2 of 2) got the answer \"UsrName or Password Error\" "
                          "from 10.0.0.5 (2 answer(s) from other addresses were not counted)")
        << QStringLiteral("云参数帧（第 2 帧，共 2 帧）收到来自 10.0.0.5 "
                          "的应答“用户名或密码错误”（来自其他地址的 2 个应答未计入）");
}

void TestAppTexts::saveVerdictsInBothLanguages() {
    QFETCH(SequenceVerdict, verdict);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    UseBuiltInTexts(false);
    QCOMPARE(VerdictLogText(verdict, QStringLiteral("the reason")), english);
    if (verdict.refused.isEmpty()) { // the LAN layer's own sentence is worded alike
        QCOMPARE(verdict.text(), english);
    }
    UseBuiltInTexts(true);
    QCOMPARE(VerdictLogText(verdict, QStringLiteral("the reason")), chinese);
}

void TestAppTexts::encoderRefusalsInBothLanguages() {
    const Bytes block(32, 0);
    const auto written = [&block](const std::function<void(FieldWriter&)>& write) {
        FieldWriter writer(block);
        write(writer);
        return writer.Result();
    };
    ParamMirror mirror;
    PanelP6 shortId;
    shortId.edtDid = "123";
    PanelP6 shortCode;
    shortCode.edtDid = std::string(20, '1');
    shortCode.edtCompass = "1234";
    const std::vector<std::pair<EncodeResult, QString>> cases{
        {written([](FieldWriter& w) { w.Number(0, 2, ByteOrder::Little, "edt_A", "x"); }),
         QStringLiteral("edt_A: \"x\" 不是十进制数")},
        {written([](FieldWriter& w) { w.BaudRate(0, 4, "cbb_B", "fast"); }),
         QStringLiteral("cbb_B: \"fast\" 不是波特率（32位整数）")},
        {written([](FieldWriter& w) { w.Ip(0, "edt_C", "300.1.2"); }),
         QStringLiteral("edt_C: \"300.1.2\" 不是IPv4地址")},
        {written([](FieldWriter& w) { w.Mac(0, "edt_D", "00-11"); }),
         QStringLiteral("edt_D: \"00-11\" 不是MAC地址（12个十六进制数字）")},
        {written([](FieldWriter& w) { w.Hex(0, 4, "edt_E", "zz"); }),
         QStringLiteral("edt_E: \"zz\" 不是成对的十六进制数字")},
        {EncodeCloud(shortId, mirror), QStringLiteral("edtDid: \"123\" 长度不是20个字符")},
        {EncodeCloud(shortCode, mirror), QStringLiteral("edtCompass: \"1234\" 长度不是8个字符")},
    };
    for (const auto& [refusal, chinese] : cases) {
        QVERIFY(!refusal.ok());
        UseBuiltInTexts(false);
        QCOMPARE(EncodeRefusalLogText(refusal), QString::fromStdString(refusal.Message()));
        UseBuiltInTexts(true);
        QCOMPARE(EncodeRefusalLogText(refusal), chinese);
    }
}

QTEST_MAIN(TestAppTexts)
#include "test_app_texts.moc"
