// The P6 panel's widgets driven as a user drives them: every control by its name, the design
// state, the rules after a choice or a click, fills from replies, every widget change written
// through to the struct, unchanged texts keeping their bytes, the custom baud-rate entry through
// its input box, and the wheel over the scroll box.

#include "../panel_layout_checks.h"
#include "lang/Unit_AppLang.h"
#include "lang/Unit_Baselang.h"
#include "mainwindow/widgets/app_texts.h"
#include "mainwindow/widgets/panel_p6_widget.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <string>

namespace {

using namespace r2;

const QColor Silver{192, 192, 192};

QString Name(std::string_view name) {
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// A panel with its own model, shown at about the size the main window gives it.
struct Panel {
    PanelP6 model;
    PanelP6Widget widget{model};

    Panel() {
        widget.resize(560, 460);
        widget.show();
    }

    template <class W = QWidget> W* get(const QString& name) {
        W* w = widget.findChild<W*>(name);
        if (!w) {
            qFatal("the P6 panel has no %s named %s", W::staticMetaObject.className(),
                   qPrintable(name));
        }
        return w;
    }
    bool shown(const QString& name) { return get(name)->isVisibleTo(&widget); }
};

// The struct's value behind the control `name`, of the type T its binding holds.
template <class T> T* ValueOf(PanelP6& model, const QString& name) {
    for (const ControlBinding<PanelP6>& binding : ControlBindingsP6(model)) {
        if (Name(binding.name) == name) {
            if (auto* const* value = std::get_if<T*>(&binding.value)) {
                return *value;
            }
        }
    }
    qFatal("the P6 panel has no control %s of that type", qPrintable(name));
}

// What a user's pick in the drop-down list does: the list changes and says it was activated.
void Choose(QComboBox& combo, int entry) {
    combo.setCurrentIndex(entry);
    emit combo.activated(entry);
}

// A mouse click on the box's indicator (a wide box's centre may lie beyond its text).
void ClickBox(QCheckBox& box) {
    QStyleOptionButton option;
    option.initFrom(&box);
    option.text = box.text();
    const QRect indicator =
        box.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box);
    QTest::mouseClick(&box, Qt::LeftButton, {}, indicator.center());
}

// One wheel message over `target`'s centre, delivered to it as the window system would: to the
// widget under the pointer.
void Wheel(QWidget& target, int delta) {
    const QPointF local = QRectF(target.rect()).center();
    QWheelEvent event(local, target.mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&target, &event);
}

// Answers the next modal input box from inside its own event loop: remembers the default it
// offered, then types `answer` and presses OK (or cancels when `accept` is false).
void AnswerNextInputBox(const QString& answer, bool accept, QString& offered, int triesLeft = 500) {
    QTimer::singleShot(10, [answer, accept, &offered, triesLeft] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!box) {
            if (triesLeft > 0) {
                AnswerNextInputBox(answer, accept, offered, triesLeft - 1);
            }
            return;
        }
        offered = box->textValue();
        box->setTextValue(answer);
        accept ? box->accept() : box->reject();
    });
}

bool IsSilver(QLabel& label) {
    return label.palette().color(QPalette::WindowText) == Silver;
}

// Shown controls narrower than their text needs, or reaching beyond the scroll box's right edge.
// A list needs its size hint: it renews that, but not its minimum, when its entries change.
QStringList CutControls(QScrollArea& box) {
    QStringList cut;
    QWidget& content = *box.widget();
    for (QWidget* w : content.findChildren<QWidget*>()) {
        const bool captioned = qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) ||
                               qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w);
        if (!captioned || !w->isVisibleTo(&box)) {
            continue;
        }
        const int need =
            qobject_cast<QComboBox*>(w) ? w->sizeHint().width() : w->minimumSizeHint().width();
        const int right = w->mapTo(&content, QPoint(w->width(), 0)).x();
        if (w->width() < need || right > box.viewport()->width()) {
            cut << QStringLiteral("%1: %2 px wide, needs %3, right edge %4 of %5")
                       .arg(w->objectName())
                       .arg(w->width())
                       .arg(need)
                       .arg(right)
                       .arg(box.viewport()->width());
        }
    }
    return cut;
}

} // namespace

class TestPanelP6 final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void everyControlHasItsWidget();
    void designState();
    void typingLimitStopsOnlyTheUser();
    void rules_data();
    void rules();
    void hexToggle_data();
    void hexToggle();
    void fillFromReplies();
    void unchangedTextKeepsItsBytes_data();
    void unchangedTextKeepsItsBytes();
    void widgetChangesAreWrittenThrough();
    void textChangedBackGetsItsBytesBack_data();
    void textChangedBackGetsItsBytesBack();
    void customBaudRate_data();
    void customBaudRate();
    void wheelScrollsTheBoxOneStep();
    void saveButtonsSignal();
    void nothingCutInEitherLanguage_data();
    void nothingCutInEitherLanguage();
    void groupsShareOneGrid_data();
    void groupsShareOneGrid();
    void noRowCutAtTheBottomEdge_data();
    void noRowCutAtTheBottomEdge();
};

void TestPanelP6::initTestCase() {
    LangList = TLangList{};
    BuildBuiltInTexts(LangList);
    LangList.UseChinese = false;
}

void TestPanelP6::everyControlHasItsWidget() {
    Panel p;
    QCOMPARE(p.widget.binder().missingWidgets(), QStringList());
    for (const NamedState& named : ControlStatesP6(p.model)) {
        QVERIFY2(p.widget.findChild<QWidget*>(Name(named.name)), named.name.data());
    }
    // Each control is the kind of widget its value needs, and each list holds as many entries as
    // the panel's value counts.
    for (const ControlBinding<PanelP6>& binding : ControlBindingsP6(p.model)) {
        const QString name = Name(binding.name);
        QWidget* w = p.get(name);
        if (const auto* list = std::get_if<ComboBox*>(&binding.value)) {
            QCOMPARE(p.get<QComboBox>(name)->count(), (*list)->count);
        } else if (const auto* baud = std::get_if<BaudRateList*>(&binding.value)) {
            QCOMPARE(p.get<QComboBox>(name)->count(), (*baud)->Count());
        } else if (std::holds_alternative<bool*>(binding.value)) {
            QVERIFY2(qobject_cast<QCheckBox*>(w), qPrintable(name));
        } else {
            QVERIFY2(qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w),
                     qPrintable(name));
        }
    }
    QVERIFY(p.get<QScrollArea>("ScrollBox1"));
    for (const char* group : {"grp_BaseSave", "grp_ComParam", "RzGroupBoxHeart", "rzgrpbxRegHeart",
                              "RzGroupBox1", "rzgrpbxModbus", "RzGroupBoxHttpd"}) {
        QVERIFY2(p.get<QScrollArea>("ScrollBox1")->widget()->findChild<QGroupBox*>(group), group);
    }
    for (const char* button : {"btn_P6NetSet", "btn_P6ComSet", "btnDataDebug"}) {
        QVERIFY2(p.get("RzPanel1")->findChild<QPushButton*>(button), button);
    }
}

void TestPanelP6::designState() {
    Panel p;
    // Never shown; the LAN save shows, the serial save not.
    for (const char* hidden :
         {"cbb_TCPStyle0", "lbl_TCPStyle0", "cbb_ModbusTCP0", "lbl_ModbusTCP0", "cbb_FlowControl0",
          "lbl_FlowControl0", "chk_RFC22170", "edt_LocationURLPort", "lbl_LocationURLPort",
          "edt_UserMAC", "lbl_UserMAC", "cbbHeartTp", "cbbRegSnd", "chkCloud", "edt_Id3",
          "rzchckbx_RS485", "edt_UARTLength0", "btn_P6ComSet"}) {
        QVERIFY2(!p.shown(hidden), hidden);
    }
    // Until the first reply every rule-driven control shows.
    for (const char* shown :
         {"btn_P6NetSet", "btnDataDebug", "RzGroupBoxHttpd", "RzGroupBox1", "rzgrpbxModbus",
          "edtDid", "edtRegDt", "edtHeartDt", "cbbReporproto"}) {
        QVERIFY2(p.shown(shown), shown);
    }
    struct Selection {
        const char* list;
        int index;
        QString text;
    };
    for (const Selection& s :
         {Selection{"cbb_AddrType", 1, "静态IP"}, Selection{"cbb_BaudRate0", 11, "115200"},
          Selection{"cbb_D0", 3, "8"}, Selection{"cbb_WorkMode0", -1, ""},
          Selection{"cbb_TCPSvrCount0", 3, "4"}, Selection{"RzComboBox2", -1, ""},
          Selection{"cbbRegType", 0, "连接发送"}, Selection{"cbbModbusType", 0, "Modbus关闭"},
          Selection{"cbbReporproto", 1, "JSON"}, Selection{"cbbModbusException", 1, "开启"}}) {
        QCOMPARE(p.get<QComboBox>(s.list)->currentIndex(), s.index);
        QCOMPARE(p.get<QComboBox>(s.list)->currentText(), s.text);
    }
    QCOMPARE(p.get<QComboBox>("cbb_BaudRate0")->itemText(1), QString("自定义"));
    QCOMPARE(p.get<QComboBox>("cbb_TCPStyle0")->itemText(2), QString("按ID发送-无ID则群发"));
    QCOMPARE(p.get<QComboBox>("RzComboBox2")->itemText(3), QString("启用QOB云"));
    QCOMPARE(p.get<QLabel>("lbl_StaticIP")->text(), QString("模块静态IP"));
    QCOMPARE(p.get<QLabel>("lblHeartTm")->text(), QString("心跳时间(秒)"));
    QCOMPARE(p.get<QCheckBox>("RzCheckBox1")->text(), QString("TCP Server踢掉旧连接"));
    QCOMPARE(p.get<QGroupBox>("rzgrpbxRegHeart")->title(), QString("注册包"));
    QCOMPARE(p.get<QPushButton>("btnDataDebug")->text(), QString("数据调试"));
    QVERIFY(p.get<QCheckBox>("rzchckbx_RFC2217")->isChecked());
    QVERIFY(!p.get<QCheckBox>("rzchckbx_Index")->isChecked());
    QCOMPARE(p.get<QLineEdit>("edt_RemoteIP0")->text(), QString("192.168.0.131"));
    QCOMPARE(p.get<QLineEdit>("edtDid")->text(), QString("11111111111111111110"));
    // The language texts find a labelled edit's caption through its label's buddy.
    for (const char* edit : {"LabeledEdit1", "LabeledEditShortTime", "LabeledEdit2"}) {
        const auto labels = p.widget.findChildren<QLabel*>();
        QVERIFY2(std::ranges::any_of(labels, [&](QLabel* l) { return l->buddy() == p.get(edit); }),
                 edit);
    }
}

void TestPanelP6::typingLimitStopsOnlyTheUser() {
    Panel p;
    auto* port = p.get<QLineEdit>("edt_LocalPort0");
    port->clear();
    QTest::keyClicks(port, "1234567");
    QCOMPARE(port->text(), QString("12345"));
    // Text fields count the bytes their frame field takes: two for a Chinese character, so
    // typing stops before a character that would not fit whole.
    const struct {
        const char* edit;
        QString typed;
        QString kept;
    } texts[] = {
        {"edt_ModName", QStringLiteral("模块名称一二三四"), QStringLiteral("模块名称一二三")},
        {"edt_ModName", QStringLiteral("A模块名称一二三四"), QStringLiteral("A模块名称一二")},
        {"edt_username", QStringLiteral("ab用户"), QStringLiteral("ab用")},
        {"edt_password", QStringLiteral("a密码"), QStringLiteral("a密码")},
    };
    for (const auto& t : texts) {
        auto* edit = p.get<QLineEdit>(t.edit);
        edit->clear();
        // One key event per character, as an input method delivers Chinese text.
        for (const QChar ch : t.typed) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(edit, &press);
        }
        QCOMPARE(edit->text(), t.kept);
    }
    // A module's longer name shows whole.
    p.model.edt_ModName = "ABCDEFGHIJKLMNOP";
    p.widget.binder().toWidgets();
    QCOMPARE(p.get<QLineEdit>("edt_ModName")->text(), QString("ABCDEFGHIJKLMNOP"));
}

// A run of choices ("list=entry"), then what must be shown, hidden, enabled, disabled, and which
// labels are drawn silver or in the window-text colour.
void TestPanelP6::rules_data() {
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QStringList>("disabled");
    QTest::addColumn<QStringList>("silver");
    QTest::addColumn<QStringList>("windowText");

    const QStringList addressEdits{"edt_StaticIP", "edt_GatewayIP", "edt_SubnetMask", "edtDns"};
    const QStringList addressLabels{"lbl_StaticIP", "lbl_GatewayIP", "lbl_SubnetMask", "lblDns"};
    QTest::newRow("address type DHCP")
        << QStringList{"cbb_AddrType=0"} << QStringList{} << QStringList{} << QStringList{}
        << addressEdits << addressLabels << QStringList{};
    QTest::newRow("address type static again")
        << QStringList{"cbb_AddrType=0", "cbb_AddrType=1"} << QStringList{} << QStringList{}
        << addressEdits << QStringList{} << QStringList{} << addressLabels;

    const QStringList cloud{"lblDid", "edtDid", "lblCompass", "edtCompass"};
    const QStringList sendMode{"lblRegSnd", "cbbRegType"};
    const QStringList customReg{"edtRegDt", "lblRegTp", "rzchckbxRegDtHex"};
    QTest::newRow("registration off")
        << QStringList{"RzComboBox2=0"} << QStringList{} << cloud + sendMode + customReg
        << QStringList{} << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("registration MAC")
        << QStringList{"RzComboBox2=1"} << sendMode << cloud + customReg << QStringList{}
        << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("registration custom")
        << QStringList{"RzComboBox2=3", "RzComboBox2=2"} << sendMode + customReg << cloud
        << QStringList{} << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("registration cloud")
        << QStringList{"RzComboBox2=3"} << cloud << sendMode + customReg << QStringList{}
        << QStringList{} << QStringList{} << QStringList{};

    const QStringList heartType{"lblHeartPackType", "cbbHeartPackType", "lblHeartTm", "edtHeartTm"};
    const QStringList heartData{"lblHeartDt", "edtHeartDt", "rzchckbxHeartDtHex"};
    QTest::newRow("heartbeat off")
        << QStringList{"RzComboBox1=0"} << QStringList{} << heartType + heartData << QStringList{}
        << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("heartbeat to the network, no type chosen")
        << QStringList{"RzComboBox1=0", "RzComboBox1=2"} << heartType + heartData << QStringList{}
        << QStringList{} << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("heartbeat to the serial side, MAC heartbeat")
        << QStringList{"RzComboBox1=1", "cbbHeartPackType=0"} << heartType << heartData
        << QStringList{} << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("custom heartbeat shows its data whatever the heartbeat list says")
        << QStringList{"RzComboBox1=0", "cbbHeartPackType=1"} << heartData << heartType
        << QStringList{} << QStringList{} << QStringList{} << QStringList{};

    const QStringList reportProto{"lblReportProto", "cbbReporproto"};
    const QStringList polling{"lblModbusTimeout",  "edtModbusTimeout",   "lblModbusInterval",
                              "edtModbusInterval", "lblModbusException", "cbbModbusException"};
    QTest::newRow("Modbus off") << QStringList{"cbbModbusType=0"} << QStringList{}
                                << reportProto + polling << QStringList{} << QStringList{}
                                << QStringList{} << QStringList{};
    QTest::newRow("Modbus TCP/RTU conversion")
        << QStringList{"cbbModbusType=1"} << polling << reportProto << QStringList{}
        << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("Modbus RTU polling")
        << QStringList{"cbbModbusType=0", "cbbModbusType=2"} << reportProto + polling
        << QStringList{} << QStringList{} << QStringList{} << QStringList{} << QStringList{};

    QTest::newRow("work mode TCP server")
        << QStringList{"cbb_WorkMode0=3"} << QStringList{} << QStringList{"RzGroupBoxHttpd"}
        << QStringList{"cbb_TCPSvrCount0"} << QStringList{"edt_RemoteIP0", "cbbGetPost"}
        << QStringList{"lbl_RemoteIP0"} << QStringList{"lbl_TCPSvrCount0"};
    // The data debugger has no counterpart for an HTTPD client: its button goes.
    QTest::newRow("work mode HTTPD client")
        << QStringList{"cbb_WorkMode0=3", "cbb_WorkMode0=4"} << QStringList{"RzGroupBoxHttpd"}
        << QStringList{"btnDataDebug"} << QStringList{"edt_RemoteIP0", "cbbGetPost", "lblGetPost"}
        << QStringList{"cbb_TCPSvrCount0"} << QStringList{"lbl_TCPSvrCount0"}
        << QStringList{"lbl_RemoteIP0"};
    QTest::newRow("work mode UDP client")
        << QStringList{"cbb_WorkMode0=4", "cbb_WorkMode0=0"} << QStringList{"btnDataDebug"}
        << QStringList{"RzGroupBoxHttpd"} << QStringList{"edt_RemoteIP0"}
        << QStringList{"cbbGetPost", "lblGetPost", "cbb_TCPSvrCount0"}
        << QStringList{"lbl_TCPSvrCount0"} << QStringList{"lbl_RemoteIP0"};
}

void TestPanelP6::rules() {
    QFETCH(QStringList, choices);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    QFETCH(QStringList, enabled);
    QFETCH(QStringList, disabled);
    QFETCH(QStringList, silver);
    QFETCH(QStringList, windowText);

    Panel p;
    for (const QString& choice : choices) {
        const QStringList parts = choice.split('=');
        Choose(*p.get<QComboBox>(parts[0]), parts[1].toInt());
    }
    for (const QString& name : shown) {
        QVERIFY2(p.shown(name), qPrintable(name + " should show"));
    }
    for (const QString& name : hidden) {
        QVERIFY2(!p.shown(name), qPrintable(name + " should be hidden"));
    }
    for (const QString& name : enabled) {
        QVERIFY2(p.get(name)->isEnabled(), qPrintable(name + " should be enabled"));
    }
    for (const QString& name : disabled) {
        QVERIFY2(!p.get(name)->isEnabled(), qPrintable(name + " should be greyed"));
    }
    for (const QString& name : silver) {
        QVERIFY2(IsSilver(*p.get<QLabel>(name)), qPrintable(name + " should be silver"));
    }
    for (const QString& name : windowText) {
        QVERIFY2(!IsSilver(*p.get<QLabel>(name)), qPrintable(name + " should be window text"));
    }
}

void TestPanelP6::hexToggle_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("box");
    QTest::newRow("heartbeat data") << "edtHeartDt"
                                    << "rzchckbxHeartDtHex";
    QTest::newRow("registration data") << "edtRegDt"
                                       << "rzchckbxRegDtHex";
}

void TestPanelP6::hexToggle() {
    QFETCH(QString, edit);
    QFETCH(QString, box);
    Panel p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.widget));
    auto* data = p.get<QLineEdit>(edit);
    data->setFocus();
    QTest::keyClicks(data, "AB");
    ClickBox(*p.get<QCheckBox>(box));
    QVERIFY(p.get<QCheckBox>(box)->isChecked());
    QCOMPARE(data->text(), QString("4142"));
    ClickBox(*p.get<QCheckBox>(box));
    QCOMPARE(data->text(), QString("AB"));
    // Digits that are not hex stay as typed when the box goes off.
    ClickBox(*p.get<QCheckBox>(box));
    data->clear();
    QTest::keyClicks(data, "4G");
    ClickBox(*p.get<QCheckBox>(box));
    QCOMPARE(data->text(), QString("4G"));
}

void TestPanelP6::fillFromReplies() {
    Panel p;
    TBaseParam base;
    base.AddrType = 0;
    base.StaticIP = "192.168.1.7";
    base.ModName = "\xC4\xA3\xBF\xE9"; // "模块" in the module's code page
    base.UserMAC = "00 11 22 33 44 55";
    base.IdFlags = 0x50; // Reset and Index
    TPortParam port;
    port.BaudRate = 9600;
    port.DataBits = 7;
    port.Parity = 3;
    port.StopBits = 2;
    port.FlowControl = 1;
    port.WorkMode = 3;
    port.TCPSvrCount = 8;
    port.MacRegister = true;
    port.RemoteIP = "10.0.0.9";
    QCOMPARE(FillFromBaseReply(p.model, base, {port}, DevFlagP6, false, "001122334455"),
             BaseFillResult::FilledP6);

    std::array<std::uint8_t, 85> block{};
    block[0] = 0x01 | 0x04 | 0x40; // heartbeat to the network, registration on connection, hex
    block[1] = 30;                 // heartbeat period, little-endian
    block[3] = 2;                  // heartbeat data length
    block[5] = 'A';
    block[6] = 'B';
    QVERIFY(FillFromHeartReg(p.model, block, DevFlagP6));
    p.widget.binder().toWidgets();

    QCOMPARE(p.get<QComboBox>("cbb_AddrType")->currentIndex(), 0);
    QVERIFY(!p.get("edt_StaticIP")->isEnabled());
    QVERIFY(IsSilver(*p.get<QLabel>("lbl_StaticIP")));
    QCOMPARE(p.get<QLineEdit>("edt_StaticIP")->text(), QString("192.168.1.7"));
    QCOMPARE(p.get<QLineEdit>("edt_ModName")->text(), QString("模块"));
    QVERIFY(p.get<QCheckBox>("rzchckbx_Index")->isChecked());
    QVERIFY(p.get<QCheckBox>("rzchckbx_Reset")->isChecked());
    QVERIFY(!p.get<QCheckBox>("rzchckbx_RFC2217")->isChecked());
    QCOMPARE(p.get<QComboBox>("cbb_BaudRate0")->currentText(), QString("9600"));
    QCOMPARE(p.get<QComboBox>("cbb_P0")->currentText(), QString("EVEN"));
    QCOMPARE(p.get<QComboBox>("cbb_D0")->currentText(), QString("7"));
    QCOMPARE(p.get<QComboBox>("cbb_S0")->currentText(), QString("2"));
    QCOMPARE(p.get<QComboBox>("cbb_WorkMode0")->currentText(), QString("TCP Server"));
    QCOMPARE(p.get<QComboBox>("cbb_TCPSvrCount0")->currentText(), QString("8"));
    QCOMPARE(p.get<QLineEdit>("edt_RemoteIP0")->text(), QString("10.0.0.9"));
    QVERIFY(!p.get("edt_RemoteIP0")->isEnabled());
    QVERIFY(!p.shown("RzGroupBoxHttpd"));
    QCOMPARE(p.get<QComboBox>("RzComboBox2")->currentIndex(), 1);
    QVERIFY(p.shown("cbbRegType"));
    QVERIFY(!p.shown("edtDid"));
    QCOMPARE(p.get<QComboBox>("RzComboBox1")->currentIndex(), 2);
    QCOMPARE(p.get<QLineEdit>("edtHeartTm")->text(), QString("30"));
    QVERIFY(p.get<QCheckBox>("rzchckbxHeartDtHex")->isChecked());
    QCOMPARE(p.get<QLineEdit>("edtHeartDt")->text(), QString("4142"));
}

void TestPanelP6::unchangedTextKeepsItsBytes_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("name that is not GBK") << "edt_ModName"
                                          << QByteArray("\xFF\xFE"
                                                        "ab");
    QTest::newRow("heartbeat data with zero bytes") << "edtHeartDt" << QByteArray("A\0B\0", 4);
    QTest::newRow("header with a lone line feed") << "RzRichEdit1" << QByteArray("a\nb\r\nc");
}

void TestPanelP6::unchangedTextKeepsItsBytes() {
    QFETCH(QString, control);
    QFETCH(QByteArray, bytes);
    Panel p;
    std::string* text = nullptr;
    for (const ControlBinding<PanelP6>& binding : ControlBindingsP6(p.model)) {
        if (Name(binding.name) == control) {
            text = std::get<std::string*>(binding.value);
        }
    }
    QVERIFY(text);
    *text = bytes.toStdString();
    p.widget.binder().toWidgets();
    p.widget.binder().fromWidgets();
    QCOMPARE(QByteArray::fromStdString(*text), bytes);
    // Another control's rule reads every widget back; the untouched text still keeps its bytes.
    Choose(*p.get<QComboBox>("cbb_AddrType"), 0);
    QCOMPARE(QByteArray::fromStdString(*text), bytes);
}

// Whoever changes a widget, the user or a program, the struct holds the change at once, without
// anything reading the widgets back.
void TestPanelP6::widgetChangesAreWrittenThrough() {
    Panel p;
    p.get<QLineEdit>("edt_ModName")->setText("Renamed");
    QCOMPARE(*ValueOf<std::string>(p.model, "edt_ModName"), std::string("Renamed"));
    p.get<QPlainTextEdit>("RzRichEdit1")->setPlainText("a\nb");
    QCOMPARE(*ValueOf<std::string>(p.model, "RzRichEdit1"), std::string("a\r\nb"));
    p.get<QLineEdit>("edt_ModName")->setText(QString::fromUtf8("一号"));
    QCOMPARE(*ValueOf<std::string>(p.model, "edt_ModName"), std::string("\xD2\xBB\xBA\xC5"));

    auto* type = p.get<QComboBox>("cbb_AddrType");
    const int other = 1 - type->currentIndex();
    type->setCurrentIndex(other);
    QCOMPARE(ValueOf<ComboBox>(p.model, "cbb_AddrType")->index, other);
    p.get<QComboBox>("cbb_BaudRate0")->setCurrentIndex(3);
    QCOMPARE(ValueOf<BaudRateList>(p.model, "cbb_BaudRate0")->index, 3);

    auto* box = p.get<QCheckBox>("rzchckbxComSetEnable");
    const bool checked = !box->isChecked();
    box->setChecked(checked);
    QCOMPARE(*ValueOf<bool>(p.model, "rzchckbxComSetEnable"), checked);
}

void TestPanelP6::textChangedBackGetsItsBytesBack_data() {
    unchangedTextKeepsItsBytes_data();
}

// A text changed (which goes into the struct at once) and then changed back to what was shown
// gets back the bytes it was shown from, not a new encoding of the text.
void TestPanelP6::textChangedBackGetsItsBytesBack() {
    QFETCH(QString, control);
    QFETCH(QByteArray, bytes);
    Panel p;
    std::string* text = ValueOf<std::string>(p.model, control);
    *text = bytes.toStdString();
    p.widget.binder().toWidgets();
    QWidget* widget = p.get(control);
    auto* edit = qobject_cast<QLineEdit*>(widget);
    auto* rich = qobject_cast<QPlainTextEdit*>(widget);
    QVERIFY(edit || rich);
    const QString shown = edit ? edit->text() : rich->toPlainText();
    const auto setText = [&](const QString& t) { edit ? edit->setText(t) : rich->setPlainText(t); };

    setText(QStringLiteral("typed"));
    QCOMPARE(*text, std::string("typed"));
    setText(shown);
    QCOMPARE(QByteArray::fromStdString(*text), bytes);
}

void TestPanelP6::customBaudRate_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("entry0");
    QTest::newRow("not a number selects 9600") << "abc" << true << 6 << "115200";
    QTest::newRow("a signed number goes into entry 0") << "-5" << true << 0 << "-5";
    QTest::newRow("hexadecimal after $") << "$FF" << true << 0 << "255";
    QTest::newRow("cancelled keeps the custom value") << "57600" << false << 0 << "115200";
}

void TestPanelP6::customBaudRate() {
    QFETCH(QString, answer);
    QFETCH(bool, accept);
    QFETCH(int, index);
    QFETCH(QString, entry0);
    Panel p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.widget));
    auto* baud = p.get<QComboBox>("cbb_BaudRate0");
    QString offered;
    AnswerNextInputBox(answer, accept, offered);
    Choose(*baud, 1);
    QCOMPARE(offered, QString("115200"));
    QCOMPARE(baud->currentIndex(), index);
    QCOMPARE(baud->itemText(0), entry0);
    QCOMPARE(p.model.cbb_BaudRate0.index, index);
    QCOMPARE(QString::fromStdString(p.model.cbb_BaudRate0.entry0), entry0);
}

void TestPanelP6::wheelScrollsTheBoxOneStep() {
    Panel p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.widget));
    QScrollBar* bar = p.get<QScrollArea>("ScrollBox1")->verticalScrollBar();
    QVERIFY(bar->maximum() > 2 * bar->singleStep());
    // A list under the pointer that also has the focus would take the turn as a new choice.
    auto* baud = p.get<QComboBox>("cbb_BaudRate0");
    p.widget.activateWindow();
    baud->setFocus();
    Wheel(*baud, -120);
    QCOMPARE(bar->value(), bar->singleStep());
    QCOMPARE(baud->currentIndex(), 11);
    Wheel(*p.get("edt_StaticIP"), -120);
    QCOMPARE(bar->value(), 2 * bar->singleStep());
    Wheel(*baud, 120);
    QCOMPARE(bar->value(), bar->singleStep());
    QCOMPARE(baud->currentIndex(), 11);
    // Beyond the box, and over another window lying where the box is, the wheel is not taken.
    Wheel(*p.get("btn_P6NetSet"), -120);
    QCOMPARE(bar->value(), bar->singleStep());
    QComboBox other;
    other.addItems({"a", "b", "c"});
    other.show();
    const QPoint overBox = p.get("ScrollBox1")->mapToGlobal(QPoint(40, 40));
    QWheelEvent event(other.mapFromGlobal(QPointF(overBox)), QPointF(overBox), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&other, &event);
    QCOMPARE(bar->value(), bar->singleStep());
}

void TestPanelP6::saveButtonsSignal() {
    Panel p;
    QSignalSpy lanSave(&p.widget, &PanelP6Widget::saveClicked);
    QSignalSpy serialSave(&p.widget, &PanelP6Widget::serialSaveClicked);
    QTest::mouseClick(p.get<QPushButton>("btn_P6NetSet"), Qt::LeftButton);
    QCOMPARE(lanSave.count(), 1);
    QCOMPARE(serialSave.count(), 0);
    p.get<QPushButton>("btn_P6ComSet")->show();
    QTest::mouseClick(p.get<QPushButton>("btn_P6ComSet"), Qt::LeftButton);
    QCOMPARE(serialSave.count(), 1);
    QCOMPARE(lanSave.count(), 1);
}

void TestPanelP6::nothingCutInEitherLanguage_data() {
    QTest::addColumn<QString>("texts");
    QTest::newRow("design") << "design";
    QTest::newRow("Chinese") << "zh";
    QTest::newRow("English") << "en";
}

// The main window, 1004 px wide in the P6 layout, gives the panel about 566 px; at 550 every
// caption, entry and edit still shows whole without scrolling sideways, with the design texts and
// with either language's texts applied, while the base and port groups share one grid.
void TestPanelP6::nothingCutInEitherLanguage() {
    QFETCH(QString, texts);
    Panel p;
    if (texts != "design") {
        LangList.UseChinese = texts == "zh";
        ApplyMainTexts(p.widget, QStringLiteral("2.2.6.0"));
        LangList.UseChinese = false;
    }
    p.widget.resize(550, 460);
    QVERIFY(QTest::qWaitForWindowExposed(&p.widget));
    auto* box = p.get<QScrollArea>("ScrollBox1");
    QTRY_COMPARE(box->widget()->width(), box->viewport()->width());
    QCOMPARE(box->horizontalScrollBar()->maximum(), 0);
    QCOMPARE(CutControls(*box), QStringList{});
    if (texts == "en") {
        QCOMPARE(p.get<QComboBox>("cbbRegType")->currentText(), QString("Connect With"));
        QCOMPARE(p.get<QLabel>("lbl_LabeledEditShortTime")->text(),
                 QString("Short Connection time"));
    }
}

void TestPanelP6::groupsShareOneGrid_data() {
    nothingCutInEitherLanguage_data();
}

// The base and port groups share one grid: each label column has one width and each field column
// starts at one x in both: after the panel is shown, after a language switch, and after rules
// show other rows.
void TestPanelP6::groupsShareOneGrid() {
    QFETCH(QString, texts);
    Panel p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.widget));
    if (texts != "design") {
        LangList.UseChinese = texts == "zh";
        ApplyMainTexts(p.widget, QStringLiteral("2.2.6.0"));
        LangList.UseChinese = false;
    }
    auto misaligned = [&p] {
        return r2::test::MisalignedColumns(*p.get<QGroupBox>("grp_BaseSave"),
                                           *p.get<QGroupBox>("grp_ComParam"), 4, p.widget);
    };
    QTRY_VERIFY2(misaligned().isEmpty(), qPrintable(misaligned().join("; ")));
    Choose(*p.get<QComboBox>("cbb_WorkMode0"), 3);
    Choose(*p.get<QComboBox>("cbb_AddrType"), 0);
    QTRY_VERIFY2(misaligned().isEmpty(), qPrintable(misaligned().join("; ")));
}

void TestPanelP6::noRowCutAtTheBottomEdge_data() {
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("steps");
    for (const int height : {460, 437, 415, 398, 371, 350}) {
        for (const int steps : {0, 1, 5}) {
            QTest::addRow("%d px, %d steps down", height, steps) << height << steps;
        }
    }
}

// Whatever height the window leaves the panel and wherever the user scrolled, the scroll box's
// bottom edge falls between rows: a control is shown whole or not at all. The height left empty
// for that is less than one row.
void TestPanelP6::noRowCutAtTheBottomEdge() {
    QFETCH(int, height);
    QFETCH(int, steps);
    Panel p;
    p.widget.resize(560, height);
    QVERIFY(QTest::qWaitForWindowExposed(&p.widget));
    auto* box = p.get<QScrollArea>("ScrollBox1");
    for (int step = 0; step < steps; ++step) {
        box->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    QTRY_COMPARE(r2::test::HalfRowsAtTheBottom(*box), QStringList{});
    // Each group's caption strip and each control in a group is a row.
    int tallest = 0;
    for (const QGroupBox* group : box->widget()->findChildren<QGroupBox*>()) {
        tallest = std::max(tallest, group->contentsRect().top());
        for (const QWidget* control : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (control->isVisibleTo(box)) {
                tallest = std::max(tallest, control->height());
            }
        }
    }
    const int empty = box->contentsRect().height() - box->viewport()->height();
    QVERIFY2(
        empty < tallest,
        qPrintable(
            QStringLiteral("%1 px left empty, the tallest row is %2").arg(empty).arg(tallest)));
}

QTEST_MAIN(TestPanelP6)
#include "test_panel_p6.moc"
