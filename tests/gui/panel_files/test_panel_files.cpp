// The P6 and P7 panels' "Save to file…" and "Load from file…" in the main window, through the
// calls the file dialogs end in: a round trip brings the user's edits back, the module's MAC is
// never taken from a file, the address only from the module's own file, and every refused file
// leaves the panel as it was with a message naming the file.

#include "lan/Unit_Udp.h"
#include "lang/Unit_Baselang.h"
#include "mainwindow/main_controller.h"
#include "mainwindow/widgets/Unit_Main.h"
#include "protocol/config/config_file.h"
#include "protocol/Unit_Public.h"

#include <memory>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace r2;

namespace {

constexpr auto P6Mac = "02 52 32 06 00 01";
constexpr auto P7Mac = "02 52 32 07 00 02";

// Closes each modal dialog as it shows (a message box or a file dialog), remembering what it was.
class ModalCloser final : public QObject {
public:
    ModalCloser() {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) {
                return;
            }
            m_texts << modal->property("text").toString();
            m_fileDialogs += qobject_cast<QFileDialog*>(modal) ? 1 : 0;
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            } else {
                modal->close();
            }
        });
        m_timer.start(20);
    }
    const QStringList& texts() const { return m_texts; }
    int fileDialogs() const { return m_fileDialogs; }

private:
    QTimer m_timer;
    QStringList m_texts;
    int m_fileDialogs = 0;
};

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void WriteText(const QString& path, const std::string& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

// Replaces the user's text in an edit by typing, as a user does.
void Type(QLineEdit& edit, const QString& text) {
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTest::keyClicks(&edit, text);
}

} // namespace

class PanelFilesTest final : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TFrm_Main> m_window;

    template <class T = QWidget> T* child(const QString& name) {
        T* w = m_window->findChild<T*>(name);
        if (!w) {
            qFatal("no control named %s", qPrintable(name));
        }
        return w;
    }
    QString path(const char* name) const { return m_dir->filePath(QLatin1String(name)); }
    QString edit(const QString& name) { return child<QLineEdit>(name)->text(); }
    bool logHas(const QString& text) {
        return child<QPlainTextEdit>(QStringLiteral("redt_Log"))->toPlainText().contains(text);
    }
    PanelP6& p6() { return m_window->controller().panelP6(); }
    PanelP7& p7() { return m_window->controller().panelP7(); }

    // A module in the device list, selected as a click selects it (without reading it).
    void listAndSelect(int flag, const char* mac) {
        const int before = static_cast<int>(m_window->controller().rows().size());
        emit m_window->controller().udp().OnDeviceFound(QStringLiteral("192.168.0.7"),
                                                        QStringLiteral("M"), 0, flag,
                                                        QStringLiteral("4017"), QLatin1String(mac));
        QTRY_COMPARE(static_cast<int>(m_window->controller().rows().size()), before + 1);
        auto* list = child<QTreeWidget>(QStringLiteral("lv_Dev"));
        list->clearSelection();
        list->topLevelItem(before)->setSelected(true);
    }

    // The P6 panel as a module's read leaves it, shown.
    void showReadP6() {
        listAndSelect(DevFlagP6, P6Mac);
        PanelP6& p = p6();
        p.edt_UserMAC = P6Mac;
        p.cbb_AddrType.Select(1);
        p.edt_StaticIP = "192.168.0.7";
        p.edt_SubnetMask = "255.255.255.0";
        p.edt_GatewayIP = "192.168.0.1";
        p.edt_ModName = "Module";
        ApplyAddressTypeRule(p);
        m_window->SwitchLayout(LayoutP6);
        m_window->ShowPanel(PanelId::P6);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_window = std::make_unique<TFrm_Main>(m_dir->path(), QStringLiteral("2.2.6.0"));
        m_window->SwitchLanguage(false);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup() {
        m_window.reset();
        m_dir.reset();
    }

    void buttonsSitInBothPanelsAndFollowTheLanguage() {
        struct Case {
            const char* name;
            const char* english;
            const char* chinese;
        };
        const Case cases[] = {
            {"btnSaveToFile", "Save to file…", "保存到文件…"},
            {"btnLoadFromFile", "Load from file…", "从文件载入…"},
            {"btnSaveToFileP7", "Save to file…", "保存到文件…"},
            {"btnLoadFromFileP7", "Load from file…", "从文件载入…"},
        };
        for (const Case& c : cases) {
            auto* button = child<QPushButton>(QLatin1String(c.name));
            QCOMPARE(button->text(), QString::fromUtf8(c.english));
            QVERIFY(!button->toolTip().isEmpty());
            QVERIFY(button->focusPolicy() & Qt::TabFocus);
        }
        m_window->SwitchLanguage(true);
        for (const Case& c : cases) {
            QCOMPARE(child<QPushButton>(QLatin1String(c.name))->text(),
                     QString::fromUtf8(c.chinese));
        }
    }

    // Space on a focused button opens the file dialog; giving it up writes and changes nothing.
    void keyboardOpensTheDialogsAndCancelChangesNothing() {
        showReadP6();
        const PanelP6 before = p6();
        for (const char* name : {"btnSaveToFile", "btnLoadFromFile"}) {
            ModalCloser closer;
            auto* button = child<QPushButton>(QLatin1String(name));
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Space);
            QCOMPARE(closer.fileDialogs(), 1);
        }
        QCOMPARE(p6(), before);
        QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("*.json")}).size(), 0);
    }

    // Saved: the module's values with the user's edits, the module's identity and the time.
    // Loaded over later edits: the saved values are back, the MAC the module's own.
    void p6RoundTripBringsTheEditsBackAndKeepsTheMac() {
        showReadP6();
        Type(*child<QLineEdit>(QStringLiteral("edt_ModName")), QStringLiteral("Line 3"));
        Type(*child<QLineEdit>(QStringLiteral("edt_StaticIP")), QStringLiteral("192.168.0.50"));
        const QString file = path("p6.json");
        QVERIFY(m_window->panelFiles().SaveToFile(PanelId::P6, file));
        QVERIFY(logHas(QStringLiteral("Configuration saved to ") + file));

        const std::string text = ReadText(file).toStdString();
        const config::ReadResult read = config::ReadModuleConfig(text, "p6.json");
        QVERIFY2(read.config, read.error.c_str());
        QCOMPARE(read.config->model, config::Model::P6);
        QCOMPARE(read.config->mac, std::string(P6Mac));
        QCOMPARE(read.config->firmware, 4017u);
        QVERIFY(!read.config->time.empty());
        QVERIFY(text.find("\"edt_ModName\": \"Line 3\"") != std::string::npos);

        Type(*child<QLineEdit>(QStringLiteral("edt_ModName")), QStringLiteral("scratch"));
        Type(*child<QLineEdit>(QStringLiteral("edt_StaticIP")), QStringLiteral("192.168.0.60"));
        QVERIFY(m_window->panelFiles().LoadFromFile(PanelId::P6, file));
        QCOMPARE(edit(QStringLiteral("edt_ModName")), QStringLiteral("Line 3"));
        // The module's own file: its address comes back too.
        QCOMPARE(edit(QStringLiteral("edt_StaticIP")), QStringLiteral("192.168.0.50"));
        QCOMPARE(p6().edt_UserMAC, std::string(P6Mac));
        QVERIFY(logHas(QStringLiteral("Loaded into the panel, not yet sent")));
    }

    // Another module's file sets this one up alike: its name and ports, never its MAC, and not
    // its address.
    void anotherModulesFileLeavesTheMacAndTheAddress() {
        showReadP6();
        PanelP6 other = p6();
        other.edt_UserMAC = "AA BB CC DD EE FF";
        other.edt_StaticIP = "10.9.9.9";
        other.edt_ModName = "Other";
        other.edt_LocalPort0 = "6001";
        const QString file = path("other.json");
        WriteText(file,
                  config::WriteModuleConfig({config::Model::P6, 4017, "AA BB CC DD EE FF",
                                             "2026-12-10T07:54:24Z", ControlValuesP6(other)}));
        QVERIFY(m_window->panelFiles().LoadFromFile(PanelId::P6, file));
        QCOMPARE(edit(QStringLiteral("edt_ModName")), QStringLiteral("Other"));
        QCOMPARE(edit(QStringLiteral("edt_LocalPort0")), QStringLiteral("6001"));
        QCOMPARE(edit(QStringLiteral("edt_StaticIP")), QStringLiteral("192.168.0.7"));
        QCOMPARE(p6().edt_UserMAC, std::string(P6Mac));
        QVERIFY(logHas(QStringLiteral("the address settings stay this module's own")));
    }

    void refusedFilesLeaveThePanelAsItWas_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("named");
        PanelP7 p7;
        p7.edt_ModNameP7 = "P7 module";
        const std::string p7File = config::WriteModuleConfig(
            {config::Model::P7, 4017, P7Mac, "2026-12-10T07:54:24Z", ControlValuesP7(p7)});
        const auto head = [](int version) {
            return R"({"format": "r2config-module", "version": )" + std::to_string(version) +
                   R"(, "model": "P6", "firmware": 4017, "mac": "02 52 32 06 00 01", )"
                   R"("time": "2026-12-10T07:54:24Z", "panel": )";
        };
        QTest::newRow("a P7 file")
            << QByteArray::fromStdString(p7File) << QStringList{QStringLiteral("P7")};
        QTest::newRow("an unknown control")
            << QByteArray::fromStdString(head(1) + R"({"edt_Bogus": "1"}})")
            << QStringList{QStringLiteral("edt_Bogus")};
        QTest::newRow("a wrong value")
            << QByteArray::fromStdString(head(1) + R"({"cbb_WorkMode0": 99}})")
            << QStringList{QStringLiteral("cbb_WorkMode0"), QStringLiteral("99")};
        QTest::newRow("a newer version")
            << QByteArray::fromStdString(head(2) + R"({"edt_ModName": "x"}})")
            << QStringList{QStringLiteral("version 2")};
        QTest::newRow("no file") << QByteArray() << QStringList{QStringLiteral("cannot read")};
    }

    void refusedFilesLeaveThePanelAsItWas() {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, named);
        showReadP6();
        Type(*child<QLineEdit>(QStringLiteral("edt_ModName")), QStringLiteral("typed"));
        const PanelP6 before = p6();
        const QString file = path("refused.json");
        if (!text.isEmpty()) {
            WriteText(file, text.toStdString());
        }
        ModalCloser closer;
        QVERIFY(!m_window->panelFiles().LoadFromFile(PanelId::P6, file));
        QCOMPARE(closer.texts().size(), 1);
        const QString message = closer.texts().constFirst();
        QVERIFY2(message.contains(file), qPrintable(message));
        for (const QString& part : named) {
            QVERIFY2(message.contains(part), qPrintable(message));
        }
        QVERIFY2(message.contains(QStringLiteral("The panel was not changed.")),
                 qPrintable(message));
        QCOMPARE(p6(), before);
        QCOMPARE(edit(QStringLiteral("edt_ModName")), QStringLiteral("typed"));
    }

    // A P6 read over the serial line: the file names the module that sent the values, not the
    // one selected in the device list, and its firmware is unknown.
    void serialReadIsSavedUnderItsOwnMac() {
        listAndSelect(DevFlagP6, "02 52 32 06 00 05");
        p6().edt_UserMAC = P6Mac;
        m_window->SwitchLayout(LayoutP6);
        m_window->ShowPanel(PanelId::P6);
        const QString file = path("serial.json");
        QVERIFY(m_window->panelFiles().SaveToFile(PanelId::P6, file));
        const config::ReadResult read =
            config::ReadModuleConfig(ReadText(file).toStdString(), "serial.json");
        QVERIFY2(read.config, read.error.c_str());
        QCOMPARE(read.config->mac, std::string(P6Mac));
        QCOMPARE(read.config->firmware, 0u);
    }

    // Without a module to name the file after there is nothing to save.
    void saveWithoutAModuleWritesNothing() {
        ModalCloser closer;
        QVERIFY(!m_window->panelFiles().SaveToFile(PanelId::P6, path("none.json")));
        QCOMPARE(closer.texts().size(), 1);
        QVERIFY(!QFile::exists(path("none.json")));
    }

    void p7RoundTripAndAP6FileRefused() {
        listAndSelect(DevFlagP7, P7Mac);
        m_window->SwitchLayout(LayoutP7);
        Type(*child<QLineEdit>(QStringLiteral("edt_ModNameP7")), QStringLiteral("Gate 2"));
        Type(*child<QLineEdit>(QStringLiteral("edt_LocalPort0P7")), QStringLiteral("7001"));
        const QString file = path("p7.json");
        QVERIFY(m_window->panelFiles().SaveToFile(PanelId::P7, file));
        Type(*child<QLineEdit>(QStringLiteral("edt_ModNameP7")), QStringLiteral("scratch"));
        QVERIFY(m_window->panelFiles().LoadFromFile(PanelId::P7, file));
        QCOMPARE(edit(QStringLiteral("edt_ModNameP7")), QStringLiteral("Gate 2"));
        QCOMPARE(edit(QStringLiteral("edt_LocalPort0P7")), QStringLiteral("7001"));

        const QString p6File = path("p6.json");
        WriteText(p6File,
                  config::WriteModuleConfig({config::Model::P6, 4017, P6Mac, "2026-12-10T07:54:24Z",
                                             ControlValuesP6(PanelP6{})}));
        Type(*child<QLineEdit>(QStringLiteral("edt_ModNameP7")), QStringLiteral("typed"));
        const PanelP7 before = p7();
        ModalCloser closer;
        QVERIFY(!m_window->panelFiles().LoadFromFile(PanelId::P7, p6File));
        QCOMPARE(closer.texts().size(), 1);
        QVERIFY(closer.texts().constFirst().contains(p6File));
        QCOMPARE(p7(), before);
        QCOMPARE(edit(QStringLiteral("edt_ModNameP7")), QStringLiteral("typed"));
    }
};

QTEST_MAIN(PanelFilesTest)
#include "test_panel_files.moc"
