// The P5 and P7 panels as a user meets them: every control by name, the design state, the rules
// driven through real widget input, the custom baud-rate box, and values travelling between the
// widgets and the panel structs.

#include "../panel_layout_checks.h"
#include "lang/Unit_AppLang.h"
#include "lang/Unit_Baselang.h"
#include "mainwindow/widgets/app_texts.h"
#include "mainwindow/widgets/panel_p5_widget.h"
#include "mainwindow/widgets/panel_p7_widget.h"

#include <memory>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QInputDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace r2;

namespace {

const QColor Silver{192, 192, 192};

// Controls ApplyMainTexts and the window address besides the value controls of the tables.
const QStringList OtherControlsP5 = {
    "grp_Param",   "grp_Special",  "lbl_ModuleWork", "lbl_ModuleIP",   "lbl_Mask",
    "lbl_Gateway", "lbl_BaudRate", "lbl_PDS",        "lbl_ModulePort", "lbl_DeIP",
    "lbl_DePort",  "lbl_ID",       "lbl_IdTypep5",   "btn_P5Set",      "btn_ComSet",
};
const QStringList OtherControlsP7 = {
    "grp_BaseSaveP7",        "grp_ComParamP7",       "lbl_AddrTypeP7",   "lbl_StaticIPP7",
    "lbl_SubnetMaskP7",      "lbl_GatewayIPP7",      "lbl_ModNameP7",    "lbl_UserMACP7",
    "lbl_LocationURLPortP7", "lbl_HTTPServerPortP7", "lbl_Id3P7",        "lbl_IdTypeP7",
    "lbl_usernameP7",        "lbl_passwordP7",       "lbl_BaudRate0P7",  "lbl_PDS0P7",
    "lbl_FlowControl0P7",    "lbl_WorkMode0P7",      "lbl_ModbusTCP0P7", "lbl_LocalPort0P7",
    "lbl_RemotePort0P7",     "lbl_RemoteIP0P7",      "lbl_UARTTime0P7",  "lbl_UARTLength0P7",
    "lbl_TCPSvrCount0P7",    "lbl_TCPStyle0P7",      "btn_P7NetSet",
};

template <class T> T& Child(QWidget& root, const char* name) {
    T* child = root.findChild<T*>(QString::fromLatin1(name));
    if (!child) {
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    }
    return *child;
}

bool IsSilver(const QLabel& label) {
    return label.palette().color(QPalette::WindowText) == Silver;
}

// Picks a list entry the way a user does: open the list, click the entry.
void ChooseEntry(QComboBox& combo, int entry) {
    combo.showPopup();
    QAbstractItemView* view = combo.view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    const QRect item = view->visualRect(view->model()->index(entry, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
}

// Answers the next input box that becomes the active modal window: types `answer` and presses
// OK, or presses Cancel. The box opens inside the click that picks "Custom", so the answer comes
// from a timer running in the box's own event loop.
class InputBoxAnswerer final : public QObject {
public:
    InputBoxAnswerer(QString answer, bool accept) : m_answer(std::move(answer)), m_accept(accept) {
        connect(&m_poll, &QTimer::timeout, this, &InputBoxAnswerer::answerIfOpen);
        m_poll.start(10);
    }

    bool answered() const { return m_answered; }
    QString title() const { return m_title; }
    QString prompt() const { return m_prompt; }
    QString shownDefault() const { return m_default; }

private:
    void answerIfOpen() {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        m_poll.stop();
        m_title = box->windowTitle();
        m_prompt = box->labelText();
        m_default = box->textValue();
        auto* edit = box->findChild<QLineEdit*>();
        auto* buttons = box->findChild<QDialogButtonBox*>();
        if (edit && buttons) {
            edit->selectAll();
            QTest::keyClicks(edit, m_answer);
            buttons->button(m_accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
            m_answered = true;
        } else {
            box->reject();
        }
    }

    QTimer m_poll;
    QString m_answer;
    bool m_accept;
    bool m_answered = false;
    QString m_title, m_prompt, m_default;
};

// Nothing shown is narrower or lower than its own minimum: no caption, entry or edit is cut.
QStringList CutControls(QWidget& panel) {
    QStringList cut;
    for (QWidget* w : panel.findChildren<QWidget*>()) {
        const bool captioned = qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) ||
                               qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w);
        if (!captioned || !w->isVisibleTo(&panel)) {
            continue;
        }
        const QSize need = w->minimumSizeHint().expandedTo(w->minimumSize());
        if (w->width() < need.width() || w->height() < need.height()) {
            cut << QStringLiteral("%1 %2x%3 < %4x%5")
                       .arg(w->objectName())
                       .arg(w->width())
                       .arg(w->height())
                       .arg(need.width())
                       .arg(need.height());
        }
    }
    return cut;
}

} // namespace

class TestPanelsP5P7 final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void everyControlExists();
    void designStateP5();
    void designStateP7();
    void widgetsHoldTheStructsDesign();
    void edtModulePortLimitsTypingNotItsText();
    void userMacTakesSeventeenCharacters();

    void p5WorkModeRuleGreysTarget();
    void p7WorkModeRule();
    void p7AddressTypeRule();

    void customBaudRate_data();
    void customBaudRate();

    void typedValuesReachTheStructAndBack();
    void saveButtonsShareOnePlaceAndSignal();
    void nothingCutAtMinimumSize_data();
    void nothingCutAtMinimumSize();
    void groupsLineUpAndButtonsSitAtTheBottom_data();
    void groupsLineUpAndButtonsSitAtTheBottom();
};

void TestPanelsP5P7::initTestCase() {
    LangList = TLangList{};
    BuildBuiltInTexts(LangList);
    LangList.UseChinese = false;
}

void TestPanelsP5P7::everyControlExists() {
    PanelP5 p5;
    PanelP5Widget w5(p5);
    QCOMPARE(w5.binder().missingWidgets(), QStringList{});
    PanelP7 p7;
    PanelP7Widget w7(p7);
    QCOMPARE(w7.binder().missingWidgets(), QStringList{});

    const auto missing = [](QWidget& root, const QStringList& names) {
        QStringList out;
        for (const QString& name : names) {
            if (!root.findChild<QWidget*>(name)) {
                out << name;
            }
        }
        return out;
    };
    QCOMPARE(missing(w5, OtherControlsP5), QStringList{});
    QCOMPARE(missing(w7, OtherControlsP7), QStringList{});
    for (const auto& named : ControlStatesP5(p5)) {
        QVERIFY2(w5.findChild<QWidget*>(
                     QString::fromUtf8(named.name.data(), qsizetype(named.name.size()))),
                 named.name.data());
    }
    for (const auto& named : ControlStatesP7(p7)) {
        QVERIFY2(w7.findChild<QWidget*>(
                     QString::fromUtf8(named.name.data(), qsizetype(named.name.size()))),
                 named.name.data());
    }
}

void TestPanelsP5P7::designStateP5() {
    PanelP5 model;
    PanelP5Widget panel(model);

    auto& work = Child<QComboBox>(panel, "cbb_ModuleWork");
    QCOMPARE(work.count(), 4);
    QCOMPARE(work.currentIndex(), -1);
    QCOMPARE(work.itemText(3), "TCP Server");

    auto& baud = Child<QComboBox>(panel, "cbb_BaudRate");
    QCOMPARE(baud.count(), 15);
    QCOMPARE(baud.currentIndex(), 12);
    QCOMPARE(baud.currentText(), "115200");
    QCOMPARE(baud.itemText(0), "115200");
    QCOMPARE(baud.itemText(1), QString::fromUtf8("\u81ea\u5b9a\u4e49"));
    QCOMPARE(baud.itemText(2), "300");
    QCOMPARE(baud.itemText(14), "460800");

    QCOMPARE(Child<QComboBox>(panel, "cbb_P").currentText(), "NONE");
    QCOMPARE(Child<QComboBox>(panel, "cbb_D").currentText(), "8");
    QCOMPARE(Child<QComboBox>(panel, "cbb_S").currentText(), "1");
    QCOMPARE(Child<QLineEdit>(panel, "edt_ModuleIP").text(), "192.168.0.7");
    QCOMPARE(Child<QLineEdit>(panel, "edt_DePort").text(), "8234");
    QCOMPARE(Child<QLineEdit>(panel, "edt_ID").text(), "0");
    QCOMPARE(Child<QLabel>(panel, "lbl_DeIP").text(), QString::fromUtf8("连接目标IP"));
    QCOMPARE(Child<QGroupBox>(panel, "grp_Special").title(), QString::fromUtf8("扩展功能"));
    QCOMPARE(Child<QCheckBox>(panel, "chk_DataWithId").text(),
             QString::fromUtf8("发送数据时携带ID号"));
    for (const char* box : {"chk_ConnSendId", "chk_DataWithId", "chk_RS485", "chk_RS422",
                            "chk_Reset", "chk_Index", "chk_Link", "chk_RFC2217"}) {
        QVERIFY2(!Child<QCheckBox>(panel, box).isChecked(), box);
    }
    QVERIFY(Child<QLineEdit>(panel, "edt_DeIP").isEnabled());
    QVERIFY(Child<QPushButton>(panel, "btn_P5Set").isVisibleTo(&panel));
    QVERIFY(!Child<QPushButton>(panel, "btn_ComSet").isVisibleTo(&panel));
}

void TestPanelsP5P7::designStateP7() {
    PanelP7 model;
    PanelP7Widget panel(model);

    auto& addr = Child<QComboBox>(panel, "cbb_AddrTypeP7");
    QCOMPARE(addr.currentText(), QString::fromUtf8("静态IP"));
    QCOMPARE(addr.itemText(0), QString::fromUtf8("DHCP/动态IP"));
    for (const char* edit : {"edt_StaticIPP7", "edt_SubnetMaskP7", "edt_GatewayIPP7",
                             "edt_ModNameP7", "edt_UserMACP7", "edt_usernameP7"}) {
        QVERIFY2(Child<QLineEdit>(panel, edit).text().isEmpty(), edit);
        QVERIFY2(Child<QLineEdit>(panel, edit).isEnabled(), edit);
    }

    auto& baud = Child<QComboBox>(panel, "cbb_BaudRate0P7");
    QCOMPARE(baud.count(), 17);
    QCOMPARE(baud.currentIndex(), 11);
    QCOMPARE(baud.currentText(), "115200");
    QCOMPARE(baud.itemText(2), "600");
    QCOMPARE(baud.itemText(16), "1024000");

    QCOMPARE(Child<QComboBox>(panel, "cbb_WorkMode0P7").currentText(), "TCP Client");
    QCOMPARE(Child<QComboBox>(panel, "cbb_WorkMode0P7").count(), 5);
    QCOMPARE(Child<QComboBox>(panel, "cbb_FlowControl0P7").currentText(), "None");
    QCOMPARE(Child<QComboBox>(panel, "cbb_ModbusTCP0P7").currentText(), "None");
    QVERIFY(Child<QComboBox>(panel, "cbb_ModbusTCP0P7").isEnabled());
    QCOMPARE(Child<QLineEdit>(panel, "edt_RemoteIP0P7").text(), "192.168.0.131");
    QCOMPARE(Child<QLineEdit>(panel, "edt_UARTLength0P7").text(), "200");
    QVERIFY(Child<QCheckBox>(panel, "chk_RFC22170P7").isChecked());
    QCOMPARE(Child<QComboBox>(panel, "cbb_TCPSvrCount0P7").currentText(), "8");
    for (const char* hidden :
         {"cbb_TCPSvrCount0P7", "lbl_TCPSvrCount0P7", "cbb_TCPStyle0P7", "lbl_TCPStyle0P7"}) {
        QVERIFY2(!Child<QWidget>(panel, hidden).isVisibleTo(&panel), hidden);
    }
    QVERIFY(Child<QPushButton>(panel, "btn_P7NetSet").isVisibleTo(&panel));
    QCOMPARE(Child<QLineEdit>(panel, "edt_UserMACP7").toolTip(),
             QString::fromUtf8("全F为使用设备默认MAC"));
    QCOMPARE(Child<QGroupBox>(panel, "grp_BaseSaveP7").title(), QString::fromUtf8(" 基础设置 "));
}

// The .ui and the struct state the same design: reading the untouched widgets back changes
// nothing in a fresh struct.
void TestPanelsP5P7::widgetsHoldTheStructsDesign() {
    PanelP5 p5;
    PanelP5Widget w5(p5);
    w5.binder().fromWidgets();
    QVERIFY(p5 == PanelP5{});

    PanelP7 p7;
    PanelP7Widget w7(p7);
    w7.binder().fromWidgets();
    QVERIFY(p7 == PanelP7{});
}

void TestPanelsP5P7::edtModulePortLimitsTypingNotItsText() {
    PanelP5 model;
    PanelP5Widget panel(model);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    auto& port = Child<QLineEdit>(panel, "edt_ModulePort");
    QCOMPARE(port.text(), "201108");

    port.setFocus();
    QTest::keyClick(&port, Qt::Key_End);
    QTest::keyClicks(&port, "9");
    QCOMPARE(port.text(), "201108");
    QTest::keyClick(&port, Qt::Key_Backspace);
    QCOMPARE(port.text(), "20110");
    QTest::keyClicks(&port, "7");
    QCOMPARE(port.text(), "20110");
    port.selectAll();
    QTest::keyClicks(&port, "1234567");
    QCOMPARE(port.text(), "12345");

    // A text the program sets is shown whole again, and typing is still limited after it.
    model.edt_ModulePort = "201108";
    panel.binder().toWidgets();
    QCOMPARE(port.text(), "201108");
    QTest::keyClick(&port, Qt::Key_End);
    QTest::keyClicks(&port, "9");
    QCOMPARE(port.text(), "201108");
}

void TestPanelsP5P7::userMacTakesSeventeenCharacters() {
    PanelP7 model;
    PanelP7Widget panel(model);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    auto& mac = Child<QLineEdit>(panel, "edt_UserMACP7");
    QTest::keyClicks(&mac, QString(18, QLatin1Char('F')));
    QCOMPARE(mac.text(), QString(17, QLatin1Char('F')));
    panel.binder().fromWidgets();
    QCOMPARE(model.edt_UserMACP7, std::string(17, 'F'));
    // All seventeen are in view, not scrolled away.
    QVERIFY(mac.width() >= mac.fontMetrics().horizontalAdvance(QString(17, QLatin1Char('F'))));
}

void TestPanelsP5P7::p5WorkModeRuleGreysTarget() {
    PanelP5 model;
    PanelP5Widget panel(model);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    auto& work = Child<QComboBox>(panel, "cbb_ModuleWork");
    const char* target[] = {"edt_DeIP", "edt_DePort", "lbl_DeIP", "lbl_DePort"};

    const struct {
        int entry;
        bool targetEnabled;
    } cases[] = {{2, false}, {1, true}, {3, false}, {0, true}};
    for (const auto& c : cases) {
        ChooseEntry(work, c.entry);
        QCOMPARE(work.currentIndex(), c.entry);
        QCOMPARE(model.cbb_ModuleWork.index, c.entry);
        for (const char* name : target) {
            QVERIFY2(Child<QWidget>(panel, name).isEnabled() == c.targetEnabled,
                     qPrintable(QStringLiteral("%1 after entry %2").arg(name).arg(c.entry)));
        }
        // The labels only change their enabled state, never their colour.
        QVERIFY(!IsSilver(Child<QLabel>(panel, "lbl_DeIP")));
        QVERIFY(!IsSilver(Child<QLabel>(panel, "lbl_DePort")));
    }
}

void TestPanelsP5P7::p7WorkModeRule() {
    PanelP7 model;
    PanelP7Widget panel(model);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    auto& mode = Child<QComboBox>(panel, "cbb_WorkMode0P7");
    auto& modbus = Child<QComboBox>(panel, "cbb_ModbusTCP0P7");
    auto& modbusLabel = Child<QLabel>(panel, "lbl_ModbusTCP0P7");
    auto& remote = Child<QLineEdit>(panel, "edt_RemoteIP0P7");
    auto& remoteLabel = Child<QLabel>(panel, "lbl_RemoteIP0P7");
    auto& count = Child<QComboBox>(panel, "cbb_TCPSvrCount0P7");

    const struct {
        int entry;
        bool modbusOn;
        bool server;
    } cases[] = {
        {3, true, true}, {0, false, false}, {1, true, false}, {4, false, false}, {2, false, false}};
    for (const auto& c : cases) {
        ChooseEntry(mode, c.entry);
        const QByteArray what = QByteArray("entry ") + QByteArray::number(c.entry);
        QVERIFY2(modbus.isEnabled() == c.modbusOn, what);
        QVERIFY2(IsSilver(modbusLabel) == !c.modbusOn, what);
        QVERIFY2(remote.isEnabled() == !c.server, what);
        QVERIFY2(IsSilver(remoteLabel) == c.server, what);
        QVERIFY2(count.isEnabled() == c.server, what);
        QVERIFY2(!count.isVisibleTo(&panel), what);
    }
}

void TestPanelsP5P7::p7AddressTypeRule() {
    PanelP7 model;
    PanelP7Widget panel(model);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    auto& type = Child<QComboBox>(panel, "cbb_AddrTypeP7");
    const char* edits[] = {"edt_StaticIPP7", "edt_SubnetMaskP7", "edt_GatewayIPP7"};
    const char* labels[] = {"lbl_StaticIPP7", "lbl_SubnetMaskP7", "lbl_GatewayIPP7"};

    for (const int entry : {0, 1, 0}) {
        ChooseEntry(type, entry);
        const bool staticIp = entry == 1;
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(Child<QLineEdit>(panel, edits[i]).isEnabled() == staticIp, edits[i]);
            QVERIFY2(IsSilver(Child<QLabel>(panel, labels[i])) == !staticIp, labels[i]);
        }
        // Fields outside the rule stay as they are.
        QVERIFY(Child<QLineEdit>(panel, "edt_ModNameP7").isEnabled());
        QVERIFY(!IsSilver(Child<QLabel>(panel, "lbl_AddrTypeP7")));
    }
}

void TestPanelsP5P7::customBaudRate_data() {
    QTest::addColumn<bool>("p7");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("entry0");

    const struct {
        const char* what;
        const char* answer;
        bool accept;
        int index; // -1: the list's entry "9600"
        const char* shown;
        const char* entry0;
    } cases[] = {
        {"abc selects 9600", "abc", true, -1, "9600", "115200"},
        {"-5 goes into entry 0", "-5", true, 0, "-5", "-5"},
        {"hex after $", "$FFFFFFFF", true, 0, "-1", "-1"},
        {"plain rate", "250000", true, 0, "250000", "250000"},
        {"cancel keeps entry 0", "777", false, 0, "115200", "115200"},
    };
    for (const bool p7 : {false, true}) {
        const int entry9600 = p7 ? 6 : 7;
        for (const auto& c : cases) {
            QTest::addRow("%s: %s", p7 ? "cbb_BaudRate0P7" : "cbb_BaudRate", c.what)
                << p7 << QString::fromLatin1(c.answer) << c.accept
                << (c.index < 0 ? entry9600 : c.index) << QString::fromLatin1(c.shown)
                << QString::fromLatin1(c.entry0);
        }
    }
}

void TestPanelsP5P7::customBaudRate() {
    QFETCH(bool, p7);
    QFETCH(QString, answer);
    QFETCH(bool, accept);
    QFETCH(int, index);
    QFETCH(QString, shown);
    QFETCH(QString, entry0);

    PanelP5 m5;
    PanelP7 m7;
    std::unique_ptr<QWidget> panel;
    if (p7) {
        panel = std::make_unique<PanelP7Widget>(m7);
    } else {
        panel = std::make_unique<PanelP5Widget>(m5);
    }
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    auto& list = Child<QComboBox>(*panel, p7 ? "cbb_BaudRate0P7" : "cbb_BaudRate");

    InputBoxAnswerer answerer(answer, accept);
    ChooseEntry(list, 1);
    QVERIFY(answerer.answered());
    QCOMPARE(answerer.shownDefault(), "115200");
    QCOMPARE(answerer.prompt(), "Please Input your Baud Rate :");
    QCOMPARE(answerer.title(), "Diy Baud Rate");

    QCOMPARE(list.currentIndex(), index);
    QCOMPARE(list.currentText(), shown);
    QCOMPARE(list.itemText(0), entry0);
    const BaudRateList& value = p7 ? m7.cbb_BaudRate0P7 : m5.cbb_BaudRate;
    QCOMPARE(value.index, index);
    QCOMPARE(QString::fromStdString(value.entry0), entry0);
    QCOMPARE(QString::fromStdString(value.ShownText()), shown);
}

void TestPanelsP5P7::typedValuesReachTheStructAndBack() {
    PanelP5 m5;
    PanelP5Widget w5(m5);
    w5.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w5));
    auto& ip = Child<QLineEdit>(w5, "edt_ModuleIP");
    ip.selectAll();
    QTest::keyClicks(&ip, "10.0.0.9");
    QTest::mouseClick(&Child<QCheckBox>(w5, "chk_RS485"), Qt::LeftButton);
    QVERIFY(m5.chk_RS485); // a click runs the binder at once
    w5.binder().fromWidgets();
    QCOMPARE(m5.edt_ModuleIP, std::string("10.0.0.9"));
    QCOMPARE(m5.edt_Mask, std::string("255.255.255.0"));

    m5.edt_DeIP = "172.16.1.2";
    m5.cbb_ModuleWork.Select(3);
    ApplyP5WorkModeRule(m5);
    w5.binder().toWidgets();
    QCOMPARE(Child<QLineEdit>(w5, "edt_DeIP").text(), "172.16.1.2");
    QCOMPARE(Child<QComboBox>(w5, "cbb_ModuleWork").currentText(), "TCP Server");
    QVERIFY(!Child<QLineEdit>(w5, "edt_DeIP").isEnabled());

    PanelP7 m7;
    PanelP7Widget w7(m7);
    w7.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w7));
    // Chinese arrives the way an input method commits it.
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("一号模块"));
    QApplication::sendEvent(&Child<QLineEdit>(w7, "edt_ModNameP7"), &commit);
    QTest::keyClicks(&Child<QLineEdit>(w7, "edt_IdTypeP7"), "32");
    w7.binder().fromWidgets();
    QCOMPARE(m7.edt_ModNameP7, std::string("\xD2\xBB\xBA\xC5\xC4\xA3\xBF\xE9")); // GBK bytes
    QCOMPARE(m7.edt_IdTypeP7, std::string("3"));                                 // one character
    w7.binder().toWidgets();
    QCOMPARE(Child<QLineEdit>(w7, "edt_ModNameP7").text(), QString::fromUtf8("一号模块"));
}

void TestPanelsP5P7::saveButtonsShareOnePlaceAndSignal() {
    PanelP5 m5;
    PanelP5Widget w5(m5);
    w5.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w5));
    auto& lan = Child<QPushButton>(w5, "btn_P5Set");
    auto& serial = Child<QPushButton>(w5, "btn_ComSet");
    QSignalSpy saves(&w5, &PanelP5Widget::saveClicked);
    QSignalSpy serialSaves(&w5, &PanelP5Widget::serialSaveClicked);

    const QRect lanPlace = lan.geometry();
    QTest::mouseClick(&lan, Qt::LeftButton);
    QCOMPARE(saves.count(), 1);

    ApplyTabSwitchRule(m5, false);
    w5.binder().toWidgets();
    QVERIFY(!lan.isVisible());
    QVERIFY(serial.isVisible());
    QTRY_COMPARE(serial.geometry(), lanPlace);
    QTest::mouseClick(&serial, Qt::LeftButton);
    QCOMPARE(serialSaves.count(), 1);
    QCOMPARE(saves.count(), 1);

    PanelP7 m7;
    PanelP7Widget w7(m7);
    w7.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w7));
    QSignalSpy p7Saves(&w7, &PanelP7Widget::saveClicked);
    QTest::mouseClick(&Child<QPushButton>(w7, "btn_P7NetSet"), Qt::LeftButton);
    QCOMPARE(p7Saves.count(), 1);
}

void TestPanelsP5P7::nothingCutAtMinimumSize_data() {
    QTest::addColumn<QString>("texts");
    QTest::newRow("design") << "design";
    QTest::newRow("Chinese") << "zh";
    QTest::newRow("English") << "en";
}

// The panels get their captions from the language table after creation: in either language the
// layout's minimum size leaves every caption whole.
void TestPanelsP5P7::nothingCutAtMinimumSize() {
    QFETCH(QString, texts);
    PanelP5 m5;
    PanelP5Widget w5(m5);
    PanelP7 m7;
    PanelP7Widget w7(m7);
    for (QWidget* panel : {static_cast<QWidget*>(&w5), static_cast<QWidget*>(&w7)}) {
        if (texts != "design") {
            LangList.UseChinese = texts == "zh";
            ApplyMainTexts(*panel, QStringLiteral("2.2.6.0"));
            LangList.UseChinese = false;
        }
        panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        panel->resize(panel->minimumSizeHint());
        QTRY_COMPARE(panel->size(), panel->minimumSizeHint());
        QCOMPARE(CutControls(*panel), QStringList{});
    }
    if (texts == "en") {
        QCOMPARE(Child<QLabel>(w7, "lbl_UserMACP7").text(), "User MAC");
        QCOMPARE(Child<QPushButton>(w5, "btn_P5Set").text(), "Save Config");
    }
}

void TestPanelsP5P7::groupsLineUpAndButtonsSitAtTheBottom_data() {
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("texts");
    for (const char* panel : {"P5", "P7"}) {
        for (const char* texts : {"design", "zh", "en"}) {
            QTest::addRow("%s %s", panel, texts) << panel << texts;
        }
    }
}

// At the size the main window gives a panel, its two groups share one grid (P5: the label column
// and where the fields start; P7: all four columns), in either language, and the buttons sit at
// the panel's bottom edge, below the free height, as on the P6 panel.
void TestPanelsP5P7::groupsLineUpAndButtonsSitAtTheBottom() {
    QFETCH(QString, panel);
    QFETCH(QString, texts);
    PanelP5 m5;
    PanelP7 m7;
    std::unique_ptr<QWidget> widget;
    const char* groups[2];
    int columns = 0;
    QStringList buttons;
    if (panel == "P5") {
        widget = std::make_unique<PanelP5Widget>(m5);
        groups[0] = "grp_Param";
        groups[1] = "grp_Special";
        columns = 2;
        buttons = {"btn_P5Set"};
    } else {
        widget = std::make_unique<PanelP7Widget>(m7);
        groups[0] = "grp_BaseSaveP7";
        groups[1] = "grp_ComParamP7";
        columns = 4;
        buttons = {"btnLoadFromFileP7", "btnSaveToFileP7", "btn_P7NetSet"};
    }
    widget->resize(560, 500);
    widget->show();
    QVERIFY(QTest::qWaitForWindowExposed(widget.get()));
    if (texts != "design") {
        LangList.UseChinese = texts == "zh";
        ApplyMainTexts(*widget, QStringLiteral("2.2.6.0"));
        LangList.UseChinese = false;
    }
    auto misaligned = [&] {
        return r2::test::MisalignedColumns(Child<QGroupBox>(*widget, groups[0]),
                                           Child<QGroupBox>(*widget, groups[1]), columns, *widget);
    };
    QTRY_VERIFY2(misaligned().isEmpty(), qPrintable(misaligned().join("; ")));
    const int margin = widget->layout()->contentsMargins().bottom();
    for (const QString& name : std::as_const(buttons)) {
        auto& button = Child<QPushButton>(*widget, name.toLatin1().constData());
        QVERIFY2(r2::test::GapBelow(button, *widget) <= margin + 2,
                 qPrintable(QStringLiteral("%1 ends %2 px above the panel's bottom")
                                .arg(name)
                                .arg(r2::test::GapBelow(button, *widget))));
    }
}

QTEST_MAIN(TestPanelsP5P7)
#include "test_panels_p5_p7.moc"
