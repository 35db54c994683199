// The firmware upgrade dialog in the program: its checks before anything is sent, its opening
// from the device list with the module's IP and MAC, its fields kept in the settings file, and a
// whole upgrade against r2sim's boot loader across the lab's link, with the status line
// following a language switch, and a transfer cancelled halfway with its inputs locked.

#include "app/app_shell.h"
#include "mainwindow/main_controller.h"
#include "mainwindow/widgets/Unit_Main.h"
#include "upgrade/upgrade_engine.h"
#include "upgrade/widgets/frmUpgrade.h"

#include <csignal>
#include <memory>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

using namespace r2;

namespace {

const QString ModuleIp = QStringLiteral("192.168.0.7"); // the lab side of the link
const QString PcIp = QStringLiteral("192.168.0.10");
const QString ModuleMac = QStringLiteral("02 52 32 06 00 09");
const QByteArray Identity = QByteArray::fromHex("52325036");

// r2sim's boot loader on the lab side, writing what it receives to a file.
class BootLoader final {
public:
    BootLoader() = default;
    BootLoader(const BootLoader&) = delete;
    BootLoader& operator=(const BootLoader&) = delete;
    ~BootLoader() {
        if (m_process.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }

    bool start(const QStringList& extraArgs = {}) {
        m_process.setProgram(QStringLiteral("nsenter"));
        m_process.setArguments(
            QStringList{QStringLiteral("--net=") + qEnvironmentVariable("R2_LAB_NETNS"),
                        QStringLiteral("--"), qEnvironmentVariable("R2SIM"),
                        QStringLiteral("--bootloader"), ModuleMac, QStringLiteral("--image-out"),
                        imagePath(), QStringLiteral("--identity"),
                        QString::fromLatin1(Identity.toHex()), QStringLiteral("--quiet")} +
            extraArgs);
        m_process.start();
        QByteArray out;
        while (!out.contains("ready")) {
            if (!m_process.waitForReadyRead(10000)) {
                m_problem = QString::fromUtf8(out + m_process.readAllStandardError());
                return false;
            }
            out += m_process.readAllStandardOutput();
        }
        return true;
    }
    QString problem() const { return m_problem; }
    QByteArray received() const {
        QFile image(imagePath());
        return image.open(QIODevice::ReadOnly) ? image.readAll() : QByteArray();
    }

private:
    QString imagePath() const { return m_dir.filePath(QStringLiteral("received.bin")); }

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_problem;
};

} // namespace

class UpgradeDialog final : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppShell> m_shell;
    Tfrm_Upgrade* m_dialog = nullptr;

    template <class T> T* child(const char* name) {
        T* w = m_dialog->findChild<T*>(QLatin1String(name));
        if (!w) {
            qFatal("no control named %s", name);
        }
        return w;
    }

    QString status() { return child<QLabel>("lbl_Info")->text(); }

    void fill(const QString& ip, const QString& mac, const QString& local, const QString& file) {
        child<QLineEdit>("edt_IP")->setText(ip);
        child<QLineEdit>("edt_MAC")->setText(mac);
        child<QComboBox>("cbbSvrIP")->setEditText(local);
        child<QLineEdit>("edt_BinFileName")->setText(file);
    }

    QString writeImage(const QByteArray& identity, int payloadBytes) {
        const QString path = m_dir->filePath(QStringLiteral("firmware.bin"));
        QFile image(path);
        if (!image.open(QIODevice::WriteOnly)) {
            return {};
        }
        QByteArray payload(payloadBytes, '\0');
        for (int i = 0; i < payloadBytes; ++i) {
            payload[i] = static_cast<char>(i * 7 + 3);
        }
        image.write(identity + payload);
        return path;
    }

    void program() { QTest::mouseClick(child<QPushButton>("btn_Program"), Qt::LeftButton); }

    // The inputs a transfer locks (and btn_Cancel, which it unlocks), and whether they are
    // enabled as `idle` says.
    bool inputsIdle(bool idle) {
        for (const char* name : {"edt_IP", "edt_MAC", "cbbSvrIP", "edt_BinFileName", "btn_Browse",
                                 "btn_Program", "btn_Exit"}) {
            if (child<QWidget>(name)->isEnabled() != idle) {
                qWarning("%s is %s", name, idle ? "disabled" : "enabled");
                return false;
            }
        }
        return child<QPushButton>("btn_Cancel")->isEnabled() == !idle;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_shell = std::make_unique<AppShell>(m_dir->path(), QStringLiteral("2.2.6.0"));
        m_shell->mainWindow().SwitchLanguage(false);
        m_dialog = &m_shell->upgrade();
    }

    void cleanup() {
        if (QWidget* box = QApplication::activeModalWidget(); box && box != m_dialog) {
            box->close();
        }
        m_dialog = nullptr;
        m_shell.reset();
    }

    void checksStopTheStartBeforeAnythingIsSent_data() {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("message");
        const QString file = QStringLiteral("/tmp/x.bin");
        const QString noClient = QStringLiteral(" Please Select Client first.");
        QTest::newRow("no local address")
            << ModuleIp << ModuleMac << QString() << file << noClient << QString();
        QTest::newRow("no module address")
            << QString() << ModuleMac << PcIp << file << noClient << QString();
        QTest::newRow("no file") << ModuleIp << ModuleMac << PcIp << QString()
                                 << QStringLiteral(" Please Select .bin file first.") << QString();
        QTest::newRow("other network")
            << ModuleIp << ModuleMac << QStringLiteral("192.168.1.20") << file << QString()
            << QStringLiteral("Please set the module and the computer on the same network "
                              "segment, otherwise unable to upgrade.");
        QTest::newRow("unreadable address")
            << QStringLiteral("192.168.0") << ModuleMac << PcIp << file << QString()
            << QStringLiteral("edt_IP: \"192.168.0\" is not an IPv4 address");
    }

    void checksStopTheStartBeforeAnythingIsSent() {
        QFETCH(QString, ip);
        QFETCH(QString, mac);
        QFETCH(QString, local);
        QFETCH(QString, file);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        m_shell->ShowUpgrade({}, {});
        fill(ip, mac, local, file);
        QSignalSpy started(&m_dialog->engine(), &UpgradeEngine::statusChanged);
        program();
        QCOMPARE(status(), shown);
        if (!message.isEmpty()) {
            QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QCOMPARE(box->text(), message);
            box->close();
        }
        QCOMPARE(started.count(), 0);
        QVERIFY(!m_dialog->engine().endpointsOpen());
        QVERIFY(child<QPushButton>("btn_Program")->isEnabled());
        QVERIFY(child<QPushButton>("btn_Exit")->isEnabled());
    }

    void deviceListOpensItWithTheModulesAddressAndTheFieldsAreRemembered() {
        TFrm_Main& main = m_shell->mainWindow();
        QAction* item = main.findChild<QAction*>(QStringLiteral("mni_FirmwareUp"));
        QVERIFY(item && item->isVisible());
        // No module selected: the dialog opens with what it holds.
        fill(QStringLiteral("10.0.0.5"), QStringLiteral("001122334455"), QString(),
             QStringLiteral("/fw/a.bin"));
        item->trigger();
        QTRY_VERIFY(m_dialog->isVisible());
        QCOMPARE(child<QLineEdit>("edt_IP")->text(), QStringLiteral("10.0.0.5"));
        QTest::mouseClick(child<QPushButton>("btn_Exit"), Qt::LeftButton);
        QVERIFY(!m_dialog->isVisible());

        m_shell->mainWindow().ShowUpgradeDialog(ModuleIp, QStringLiteral("025232060009"));
        QTRY_VERIFY(m_dialog->isVisible());
        QCOMPARE(child<QLineEdit>("edt_IP")->text(), ModuleIp);
        QCOMPARE(child<QLineEdit>("edt_MAC")->text(), QStringLiteral("025232060009"));
        QTest::mouseClick(child<QPushButton>("btn_Exit"), Qt::LeftButton);

        main.close();
        m_shell = std::make_unique<AppShell>(m_dir->path(), QStringLiteral("2.2.6.0"));
        m_dialog = &m_shell->upgrade();
        QCOMPARE(child<QLineEdit>("edt_IP")->text(), ModuleIp);
        QCOMPARE(child<QLineEdit>("edt_MAC")->text(), QStringLiteral("025232060009"));
        QCOMPARE(m_dialog->Remembered().UpgradeFileName, std::string("/fw/a.bin"));
        QCOMPARE(child<QLineEdit>("edt_BinFileName")->toolTip(), QStringLiteral("/fw/a.bin"));
    }

    // A long path is cut in the box: it shows the file name, the whole path in its tooltip and,
    // to edit, while it has the focus. The whole path is what is remembered.
    void theFileBoxShowsTheFileNameAndTheWholePathAsItsTooltip() {
        auto* box = child<QLineEdit>("edt_BinFileName");
        const QString remembered = QStringLiteral("/home/tech/firmware/r2-p6/release-2.2.6/r2.bin");
        m_dialog->SetRemembered({"10.0.0.5", "001122334455", remembered.toStdString()});
        QCOMPARE(box->text(), QStringLiteral("r2.bin"));
        QCOMPARE(box->toolTip(), remembered);
        QCOMPARE(QString::fromStdString(m_dialog->Remembered().UpgradeFileName), remembered);

        const QString chosen = QStringLiteral("/srv/images/r2-p6-2.2.7.bin");
        m_dialog->setFileChooser([&] { return chosen; });
        QTest::mouseClick(child<QPushButton>("btn_Browse"), Qt::LeftButton);
        QCOMPARE(box->text(), QStringLiteral("r2-p6-2.2.7.bin"));
        QCOMPARE(box->toolTip(), chosen);

        m_shell->ShowUpgrade({}, {});
        QVERIFY(QTest::qWaitForWindowActive(m_dialog));
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        QCOMPARE(box->text(), chosen);
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("/tmp/typed.bin"));
        child<QLineEdit>("edt_IP")->setFocus();
        QTRY_COMPARE(box->text(), QStringLiteral("typed.bin"));
        QCOMPARE(box->toolTip(), QStringLiteral("/tmp/typed.bin"));
        QCOMPARE(m_dialog->Remembered().UpgradeFileName, std::string("/tmp/typed.bin"));
        QTest::mouseClick(child<QPushButton>("btn_Exit"), Qt::LeftButton);
    }

    void wholeUpgradeWithAMacTypedWithSpaces() {
        if (qEnvironmentVariableIsEmpty("R2_LAB_NETNS")) {
            QSKIP("needs the lab network (run through run_gui_lab.py)");
        }
        BootLoader loader;
        QVERIFY2(loader.start(), qPrintable(loader.problem()));
        const int payload = 1500;
        const QString image = writeImage(Identity, payload);
        m_shell->ShowUpgrade({}, {});
        fill(ModuleIp, ModuleMac, PcIp, image);
        QSignalSpy ended(&m_dialog->engine(), &UpgradeEngine::ended);
        program();
        QVERIFY(!child<QPushButton>("btn_Exit")->isEnabled()); // no way out while it runs
        m_dialog->reject();                                    // Escape does nothing now
        QVERIFY(m_dialog->isVisible());
        QVERIFY(ended.wait(30000));
        QCOMPARE(ended.first().first().value<UpgradeEnding>(), UpgradeEnding::Success);
        QCOMPARE(status(), QStringLiteral(" Upgrade successful.please restore factory default."));
        QTRY_COMPARE_WITH_TIMEOUT(loader.received().size(), payload, 5000);
        QFile sent(image);
        QVERIFY(sent.open(QIODevice::ReadOnly));
        QCOMPARE(loader.received(), sent.readAll().mid(4));

        // The status line follows the language; Exit closes the endpoints the success left.
        m_shell->mainWindow().SwitchLanguage(true);
        QCOMPARE(status(), QStringLiteral(" 升级已完成，请恢复出厂默认。"));
        QVERIFY(m_dialog->engine().endpointsOpen());
        QTest::mouseClick(child<QPushButton>("btn_Exit"), Qt::LeftButton);
        QVERIFY(!m_dialog->engine().endpointsOpen());
        QCOMPARE(child<QProgressBar>("pb1")->value(), 0);
        QVERIFY(!m_dialog->isVisible());
    }

    // A transfer locks the addresses and the file; Cancel ends it halfway, gives the ports back
    // and says so, and the next Program binds them again.
    void cancelStopsATransferAndGivesThePortsBack() {
        if (qEnvironmentVariableIsEmpty("R2_LAB_NETNS")) {
            QSKIP("needs the lab network (run through run_gui_lab.py)");
        }
        BootLoader loader; // block 2 is never acknowledged: the transfer stays in flight
        QVERIFY2(
            loader.start({QStringLiteral("--lose-acks"), QStringLiteral("2,2,2,2,2,2,2,2,2,2")}),
            qPrintable(loader.problem()));
        m_shell->ShowUpgrade({}, {});
        fill(ModuleIp, ModuleMac, PcIp, writeImage(Identity, 1500));
        QVERIFY(inputsIdle(true));
        QSignalSpy sent(&m_dialog->engine(), &UpgradeEngine::blockSent);
        QSignalSpy ended(&m_dialog->engine(), &UpgradeEngine::ended);
        program();
        QVERIFY(inputsIdle(false));
        QTRY_VERIFY_WITH_TIMEOUT(!sent.isEmpty() && sent.last().first().toInt() == 2, 15000);
        QVERIFY(inputsIdle(false));
        // The bar draws no percentage of its own; the status line beside it says it.
        auto* bar = child<QProgressBar>("pb1");
        QVERIFY(bar->value() > 0);
        QVERIFY(!bar->isTextVisible());
        QVERIFY2(status().endsWith(QStringLiteral("%1%").arg(bar->value())), qPrintable(status()));

        QTest::mouseClick(child<QPushButton>("btn_Cancel"), Qt::LeftButton);
        QCOMPARE(status(), QStringLiteral(" Upgrade cancelled."));
        QVERIFY(!m_dialog->engine().endpointsOpen());
        QVERIFY(!m_dialog->engine().timerActive());
        QVERIFY(!m_dialog->engine().imageOpen());
        QCOMPARE(bar->value(), 0);
        QVERIFY(inputsIdle(true));
        QCOMPARE(ended.count(), 0);
        m_shell->mainWindow().SwitchLanguage(true);
        QCOMPARE(status(), QStringLiteral(" 升级已取消。"));
        m_shell->mainWindow().SwitchLanguage(false);

        // The ports are free again: a new start binds all four and searches.
        program();
        QVERIFY2(m_dialog->engine().endpointsOpen(),
                 qPrintable(child<QLabel>("lbl_Detail")->text()));
        QCOMPARE(status(), QStringLiteral(" Searching device..."));
        QVERIFY(inputsIdle(false));
        QTest::mouseClick(child<QPushButton>("btn_Cancel"), Qt::LeftButton);
        QVERIFY(!m_dialog->engine().endpointsOpen());
        QTest::mouseClick(child<QPushButton>("btn_Exit"), Qt::LeftButton);
        QVERIFY(!m_dialog->isVisible());
    }

    // Closing the program while a transfer runs asks whether to abandon it: "No" keeps both
    // windows and the transfer, "Yes" stops the transfer and lets the program close.
    void closingTheProgramMidTransferAsksWhetherToAbandonIt_data() {
        QTest::addColumn<bool>("abandon");
        QTest::newRow("keeps it") << false;
        QTest::newRow("abandons it") << true;
    }

    void closingTheProgramMidTransferAsksWhetherToAbandonIt() {
        QFETCH(bool, abandon);
        if (qEnvironmentVariableIsEmpty("R2_LAB_NETNS")) {
            QSKIP("needs the lab network (run through run_gui_lab.py)");
        }
        TFrm_Main& window = m_shell->mainWindow();
        window.show();
        m_shell->ShowUpgrade({}, {});
        fill(ModuleIp, ModuleMac, PcIp, writeImage(Identity, 1500));
        program(); // no boot loader answers: the transfer keeps waiting for one
        QVERIFY(m_dialog->engine().endpointsOpen());
        QString asked;
        QTimer::singleShot(50, [&asked, abandon] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                asked = box->text();
                box->button(abandon ? QMessageBox::Yes : QMessageBox::No)->click();
            }
        });
        QCOMPARE(window.close(), abandon);
        QCOMPARE(asked, QStringLiteral(
                            "A firmware upgrade is under way. Abandon it and close the program?"));
        QCOMPARE(window.isVisible(), !abandon);
        QCOMPARE(m_dialog->isVisible(), !abandon);
        QCOMPARE(m_dialog->engine().endpointsOpen(), !abandon);
        QCOMPARE(child<QPushButton>("btn_Exit")->isEnabled(), abandon);
    }

    void aPortHeldByAnotherServerEndsInAFailureThatSaysWhatToDo() {
        if (qEnvironmentVariableIsEmpty("R2_LAB_NETNS")) {
            QSKIP("needs the lab network (run through run_gui_lab.py)");
        }
        QUdpSocket other; // a DHCP server, say
        QVERIFY(other.bind(QHostAddress::AnyIPv4, 67));
        m_shell->ShowUpgrade({}, {});
        fill(ModuleIp, ModuleMac, PcIp, writeImage(Identity, 100));
        program();
        QTRY_COMPARE(status(), QStringLiteral(" Upgrade failed!"));
        auto* detail = child<QLabel>("lbl_Detail");
        QVERIFY(detail->isVisible());
        QVERIFY2(detail->text().contains(QStringLiteral("67")), qPrintable(detail->text()));
        QVERIFY2(detail->text().contains(QStringLiteral("ss -ulpn")), qPrintable(detail->text()));
        QVERIFY(!m_dialog->engine().endpointsOpen());
        QVERIFY(child<QPushButton>("btn_Exit")->isEnabled());
    }

    void aModuleThatGivesUpEndsTheUpgradeInItsWords_data() {
        QTest::addColumn<QStringList>("loaderArgs");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("chinese");
        QTest::addColumn<QString>("detail");
        QTest::newRow("keeps restarting")
            << QStringList{QStringLiteral("--restart-every"), QStringLiteral("1")}
            << QStringLiteral(" The module kept restarting the transfer!")
            << QStringLiteral(" 模块反复重新开始传输，升级未完成！")
            << QStringLiteral("restarted the transfer 10 times");
        QTest::newRow("error packet")
            << QStringList{QStringLiteral("--error-after-block"), QStringLiteral("1")}
            << QStringLiteral(" The module reported an error: 3 \"flash write failed\"")
            << QStringLiteral(" 模块报告错误： 3 \"flash write failed\"")
            << QStringLiteral("stopped the transfer at block 1");
    }

    void aModuleThatGivesUpEndsTheUpgradeInItsWords() {
        if (qEnvironmentVariableIsEmpty("R2_LAB_NETNS")) {
            QSKIP("needs the lab network (run through run_gui_lab.py)");
        }
        QFETCH(QStringList, loaderArgs);
        QFETCH(QString, english);
        QFETCH(QString, chinese);
        QFETCH(QString, detail);
        BootLoader loader;
        QVERIFY2(loader.start(loaderArgs), qPrintable(loader.problem()));
        m_shell->ShowUpgrade({}, {});
        fill(ModuleIp, ModuleMac, PcIp, writeImage(Identity, 1500));
        QSignalSpy ended(&m_dialog->engine(), &UpgradeEngine::ended);
        program();
        QVERIFY(ended.wait(30000));
        QCOMPARE(ended.first().first().value<UpgradeEnding>(), UpgradeEnding::Failure);
        QCOMPARE(status(), english);
        auto* why = child<QLabel>("lbl_Detail");
        QVERIFY(why->isVisible());
        QVERIFY2(why->text().contains(detail), qPrintable(why->text()));
        QCOMPARE(child<QProgressBar>("pb1")->value(), 0);
        m_shell->mainWindow().SwitchLanguage(true);
        QCOMPARE(status(), chinese);
        QVERIFY(!m_dialog->engine().endpointsOpen());
        m_dialog->reject(); // Escape leaves now
        QVERIFY(!m_dialog->isVisible());
    }

    void wrongIdentityFromAModuleThatSetsByte26IsAMismatch() {
        if (qEnvironmentVariableIsEmpty("R2_LAB_NETNS")) {
            QSKIP("needs the lab network (run through run_gui_lab.py)");
        }
        BootLoader loader;
        QVERIFY2(loader.start({QStringLiteral("--giaddr-byte26"), QStringLiteral("1")}),
                 qPrintable(loader.problem()));
        m_shell->ShowUpgrade({}, {});
        fill(ModuleIp, ModuleMac, PcIp, writeImage(QByteArray::fromHex("01020304"), 100));
        program();
        QTRY_COMPARE_WITH_TIMEOUT(status(),
                                  QStringLiteral(" Firmware does not match with hardware!"), 10000);
        QVERIFY(child<QPushButton>("btn_Program")->isEnabled());
        QVERIFY(child<QPushButton>("btn_Exit")->isEnabled());
        QVERIFY(m_dialog->engine().endpointsOpen()); // the search goes on

        // A new start while that search runs: a fresh search, then the same answer again.
        QSignalSpy statuses(&m_dialog->engine(), &UpgradeEngine::statusChanged);
        program();
        QVERIFY(!statuses.isEmpty());
        QCOMPARE(statuses.first().first().toString(), QStringLiteral("lang_Hint_UpSearching"));
        QVERIFY(!child<QPushButton>("btn_Exit")->isEnabled());
        QVERIFY(m_dialog->engine().endpointsOpen());
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("btn_Exit")->isEnabled(), 10000);
        QCOMPARE(status(), QStringLiteral(" Firmware does not match with hardware!"));
        QTest::mouseClick(child<QPushButton>("btn_Exit"), Qt::LeftButton);
        QVERIFY(!m_dialog->engine().endpointsOpen());
    }
};

QTEST_MAIN(UpgradeDialog)
#include "test_gui_upgrade.moc"
