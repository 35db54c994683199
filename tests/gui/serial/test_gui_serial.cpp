// The serial sheet of the main window against r2sim's serial side: a read of a P6 and of a P5
// module fills their panels, saves send their frames byte for byte, and a missing port, a bad
// checksum and a value that does not convert are reported.

#include "app/app_shell.h"
#include "mainwindow/main_controller.h"
#include "mainwindow/widgets/Unit_Main.h"
#include "p5_example.h"
#include "protocol/Unit_Public.h"

#include <csignal>
#include <memory>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

using namespace r2;

namespace {

struct PaneLine {
    QString text;
    QColor colour;
    bool operator==(const PaneLine&) const = default;
};

std::vector<PaneLine> Lines(const QPlainTextEdit& pane) {
    std::vector<PaneLine> lines;
    for (QTextBlock block = pane.document()->firstBlock(); block.isValid(); block = block.next()) {
        const auto formats = block.textFormats();
        const QColor colour =
            formats.isEmpty() ? QColor() : formats.first().format.foreground().color();
        lines.push_back({block.text(), colour});
    }
    return lines;
}

bool HasLine(const QPlainTextEdit& pane, const QString& text, const QColor& colour) {
    const auto lines = Lines(pane);
    return std::ranges::find(lines, PaneLine{text, colour}) != lines.end();
}

const QColor Green(0, 128, 0);
const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);

// `r2sim --serial MODEL` on a pseudo-terminal: its path, and the frames it logged.
class SerialSim final {
public:
    SerialSim() = default;
    SerialSim(const SerialSim&) = delete;
    SerialSim& operator=(const SerialSim&) = delete;
    ~SerialSim() {
        if (m_process.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }

    bool start(const QString& model, const QStringList& extraArgs = {}) {
        m_process.setProgram(qEnvironmentVariable("R2SIM"));
        m_process.setArguments(QStringList{QStringLiteral("--serial"), model,
                                           QStringLiteral("--json-log"), logPath(),
                                           QStringLiteral("--quiet")} +
                               extraArgs);
        m_process.start();
        QByteArray out;
        while (!out.contains('\n')) {
            if (!m_process.waitForReadyRead(10000)) {
                m_problem = QString::fromUtf8(out + m_process.readAllStandardError());
                return false;
            }
            out += m_process.readAllStandardOutput();
        }
        // "serial <model> <path>"
        const QList<QByteArray> words = out.left(out.indexOf('\n')).split(' ');
        if (words.size() != 3 || words[0] != "serial") {
            m_problem = QStringLiteral("unexpected first line: ") + QString::fromUtf8(out);
            return false;
        }
        m_path = QString::fromUtf8(words[2]);
        return true;
    }

    QString path() const { return m_path; }
    QString problem() const { return m_problem; }

    // The frames the simulated module received since the last call, as hex without spaces.
    QStringList takeReceived() {
        QStringList frames;
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly) || !log.seek(m_logOffset)) {
            return frames;
        }
        const QByteArray text = log.readAll();
        m_logOffset += text.size();
        for (const QByteArray& line : text.split('\n')) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            // The port being opened and closed is logged too, as an entry without bytes.
            const QString bytes = entry.value("hex").toString().remove(QLatin1Char(' ')).toUpper();
            if (entry.value("dir").toString() == QLatin1String("rx") && !bytes.isEmpty()) {
                frames << bytes;
            }
        }
        return frames;
    }

private:
    QString logPath() const { return m_dir.filePath(QStringLiteral("log.jsonl")); }

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_path;
    QString m_problem;
    qint64 m_logOffset = 0;
};

// The known P5 frame as r2sim logs it: hex digits without spaces.
QString KnownP5Frame() {
    const Bytes& frame = test::ExampleP5Frame();
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(frame.data()),
                                          static_cast<qsizetype>(frame.size()))
                                   .toHex()
                                   .toUpper());
}

} // namespace

class SerialSheet final : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppShell> m_shell;
    TFrm_Main* m_window = nullptr;
    std::unique_ptr<SerialSim> m_sim;

    template <class T> T* child(const char* name) {
        T* w = m_window->findChild<T*>(QLatin1String(name));
        if (!w) {
            qFatal("no control named %s", name);
        }
        return w;
    }

    QPlainTextEdit* log() { return child<QPlainTextEdit>("redt_Log"); }
    QPlainTextEdit* hex() { return child<QPlainTextEdit>("redt_Hex"); }

    // The serial sheet, with the simulator's pseudo-terminal as the chosen port.
    void startSim(const QString& model, const QStringList& args = {}) {
        m_sim = std::make_unique<SerialSim>();
        QVERIFY2(m_sim->start(model, args), qPrintable(m_sim->problem()));
        // As a user switches: the sheet's tab is clicked, which also refreshes the port list.
        QTabBar* tabs = child<QTabWidget>("rzpgcntrl_Srch")->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QCOMPARE(child<QTabWidget>("rzpgcntrl_Srch")->currentIndex(), 1);
        auto* ports = child<QComboBox>("cbb_SelectCom");
        ports->clear();
        ports->addItem(m_sim->path());
        ports->setCurrentIndex(0);
    }

    // Clicks `button` and waits until the action is over and the port closed again.
    void runAction(const char* button) {
        QSignalSpy done(&m_window->controller(), &MainController::serialFinished);
        auto* clicked = child<QPushButton>(button);
        clicked->click();
        QVERIFY(!clicked->isEnabled()); // one serial action at a time
        QVERIFY(done.wait(15000));
        QVERIFY(clicked->isEnabled());
        QVERIFY(HasLine(*log(), QStringLiteral("Serial is Close"), Green));
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_shell = std::make_unique<AppShell>(m_dir->path(), QStringLiteral("2.2.6.0"));
        m_window = &m_shell->mainWindow();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }

    void cleanup() {
        m_window = nullptr;
        m_shell.reset();
        m_sim.reset();
    }

    // A reply that arrives while a save or serial action runs is shown on its panel, which
    // re-applies the panel's control states: the save buttons must stay disabled all the same
    // until their action ends, or a click on them would silently do nothing.
    void saveButtonsStayDisabledWhileTheirActionRuns() {
        const char* buttons[] = {"btn_P6NetSet", "btn_P6ComSet", "btn_ComSet"};
        m_window->SetSaveRunning(true);
        m_window->SetSerialRunning(true);
        for (const PanelId panel : {PanelId::P6, PanelId::P5}) {
            m_window->ShowPanel(panel);
        }
        for (const char* name : buttons) {
            QVERIFY2(!child<QPushButton>(name)->isEnabled(), name);
        }
        m_window->SetSaveRunning(false);
        m_window->SetSerialRunning(false);
        for (const char* name : buttons) {
            QVERIFY2(child<QPushButton>(name)->isEnabled(), name);
        }
    }

    // Every way of switching between the LAN and the serial sheet runs the switch rule exactly
    // once: its hint line, the save buttons of the sheet, and the LAN-only controls hidden on the
    // serial sheet and shown again on the LAN sheet.
    void everyWayOfSwitchingSheetsRunsTheRuleOnce_data() {
        QTest::addColumn<QString>("way");
        QTest::newRow("mouse click") << QStringLiteral("click");
        QTest::newRow("arrow keys on the tab bar") << QStringLiteral("arrows");
        QTest::newRow("Ctrl+Tab") << QStringLiteral("ctrl+tab");
    }

    void everyWayOfSwitchingSheetsRunsTheRuleOnce() {
        QFETCH(QString, way);
        auto* sheets = child<QTabWidget>("rzpgcntrl_Srch");
        const auto switchTo = [&](int sheet) {
            if (way == QStringLiteral("click")) {
                QTest::mouseClick(sheets->tabBar(), Qt::LeftButton, {},
                                  sheets->tabBar()->tabRect(sheet).center());
            } else if (way == QStringLiteral("arrows")) {
                QTest::keyClick(sheets->tabBar(), sheet == 1 ? Qt::Key_Right : Qt::Key_Left);
            } else {
                QTest::keyClick(sheets, Qt::Key_Tab, Qt::ControlModifier);
            }
            QCOMPARE(sheets->currentIndex(), sheet);
        };
        const auto count = [&](const QString& line) {
            return std::ranges::count(Lines(*log()), PaneLine{line, QColor(128, 0, 0)});
        };
        const QString lanHint = QStringLiteral("Operate Via LAN,please leave CFG pin free");
        const QString comHint = QStringLiteral("Operate Via COM,please connect CFG to GND");
        const char* lanOnly[] = {"RzGroupBoxHeart", "rzchckbxComSetEnable", "edt_UARTTime0",
                                 "rzchbUdpFrom",    "btn_P6NetSet",         "btn_P5Set"};
        const char* serialOnly[] = {"btn_P6ComSet", "btn_ComSet"};
        QCOMPARE(count(lanHint), 1); // at start-up

        switchTo(1);
        QCOMPARE(count(comHint), 1);
        for (const char* name : lanOnly) {
            QVERIFY2(child<QWidget>(name)->isHidden(), name);
        }
        for (const char* name : serialOnly) {
            QVERIFY2(!child<QWidget>(name)->isHidden(), name);
        }

        switchTo(0);
        QCOMPARE(count(lanHint), 2);
        QCOMPARE(count(comHint), 1);
        for (const char* name : lanOnly) {
            QVERIFY2(!child<QWidget>(name)->isHidden(), name);
        }
        for (const char* name : serialOnly) {
            QVERIFY2(child<QWidget>(name)->isHidden(), name);
        }
    }

    // A click on the sheet already shown switches nothing, but runs the rule as a click always
    // has: the hint line comes again.
    void clickOnTheShownSheetRunsTheRuleAgain() {
        QTabBar* tabs = child<QTabWidget>("rzpgcntrl_Srch")->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
        const auto lines = Lines(*log());
        QCOMPARE(
            std::ranges::count(lines, PaneLine{QStringLiteral("Operate Via LAN,please leave CFG "
                                                              "pin free"),
                                               QColor(128, 0, 0)}),
            2);
    }

    void readWithoutAPortLogsEachStepAndFreesTheButton() {
        child<QComboBox>("cbb_SelectCom")->clear();
        runAction("btn_ComRead");
        const std::vector<PaneLine> expected = {
            {QStringLiteral("Serial is Occupied"), Red},
            {QStringLiteral("Serial Send Failure\uFF0Cplease try again"), Red},
            {QStringLiteral("Serial is Close"), Green}};
        QCOMPARE(Lines(*log()), expected);
    }

    void p6ReadFillsThePanelWithNoLanRowSelected() {
        startSim(QStringLiteral("p6"));
        QVERIFY(child<QRadioButton>("rbP6")->isChecked());
        runAction("btn_ComRead");
        QCOMPARE(m_window->layoutCode(), int(LayoutP6));
        // The request, then the follow-up the 137-byte reply asks for.
        QCOMPARE(m_sim->takeReceived(), (QStringList{"55BD", "55C1"}));
        QVERIFY(!child<QLineEdit>("edt_ModName")->text().isEmpty());
        QVERIFY(!child<QLineEdit>("edt_StaticIP")->text().isEmpty());
        // The request's echo: no empty line before it, unlike a datagram's.
        const auto lines = Lines(*hex());
        QVERIFY(lines.size() >= 3);
        QCOMPARE(lines[0], (PaneLine{QStringLiteral("[ PC ] \u2192 [ Device ]"), Blue}));
        QCOMPARE(lines[1], (PaneLine{QStringLiteral("[ Length : 2 ]"), Blue}));
        QCOMPARE(lines[2].text, QStringLiteral("55 BD "));
        QVERIFY(HasLine(*hex(), QStringLiteral("[ PC ] \u2190 [ Device ]"), Green));
        QVERIFY(HasLine(*hex(), QStringLiteral("[ Length : 137 ]"), Green));
        QVERIFY(HasLine(*hex(), QStringLiteral("[ Length : 115 ]"), Green));
        QVERIFY(HasLine(*log(), QStringLiteral("Serial is Open"), Green));
        QVERIFY(HasLine(*log(), QStringLiteral("send OK "), Green));
    }

    void p6SaveSendsTheThreeFramesAndReadsBackTheNewName() {
        startSim(QStringLiteral("p6"));
        runAction("btn_ComRead");
        m_sim->takeReceived();
        QLineEdit* name = child<QLineEdit>("edt_ModName");
        name->clear();
        QTest::keyClicks(name, "Renamed");
        runAction("btn_P6ComSet");
        const QStringList frames = m_sim->takeReceived();
        QCOMPARE(frames.size(), 3);
        QCOMPARE(frames[0].size(), 2 * 70);
        QCOMPARE(frames[1].size(), 2 * 66);
        QCOMPARE(frames[2], QStringLiteral("55B15A"));
        QVERIFY(frames[0].startsWith(QStringLiteral("55BE")));
        QVERIFY(frames[0].contains(QString::fromLatin1(QByteArray("Renamed").toHex().toUpper())));
        QVERIFY(frames[1].startsWith(QStringLiteral("55BF")));
        QVERIFY(HasLine(*log(), QStringLiteral("setup success"), Green));

        name->clear();
        runAction("btn_ComRead");
        QCOMPARE(name->text(), QStringLiteral("Renamed"));
    }

    // A close during a serial save waits for it: all three frames reach the module, then the
    // window closes by itself (and the program with it).
    void closingDuringASerialSaveLetsItFinish() {
        startSim(QStringLiteral("p6"));
        runAction("btn_ComRead");
        m_sim->takeReceived();
        child<QPushButton>("btn_P6ComSet")->click();
        const bool closedAtOnce = m_window->close();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isVisible(), 15000);
        m_window = nullptr;
        m_shell.reset();
        const QStringList frames = m_sim->takeReceived();
        QCOMPARE(frames.size(), 3);
        QCOMPARE(frames[2], QStringLiteral("55B15A"));
        QVERIFY(!closedAtOnce);
    }

    void p6ValueThatDoesNotConvertSendsNothing() {
        startSim(QStringLiteral("p6"));
        runAction("btn_ComRead");
        m_sim->takeReceived();
        QLineEdit* ip = child<QLineEdit>("edt_StaticIP");
        ip->setText(QStringLiteral("300.1.2"));
        child<QPushButton>("btn_P6ComSet")->click();
        QVERIFY(child<QPushButton>("btn_P6ComSet")->isEnabled());
        QTest::qWait(700);
        QVERIFY(m_sim->takeReceived().isEmpty());
        const auto lines = Lines(*log());
        QVERIFY(lines.back().text.startsWith(QStringLiteral("edt_StaticIP")));
        QCOMPARE(lines.back().colour, Red);
        QCOMPARE(QApplication::focusWidget(), ip);
    }

    void p5ReadFillsTheP5PanelAndSaveSendsThePanelByteForByte() {
        startSim(QStringLiteral("p5"));
        child<QRadioButton>("rbP5")->setChecked(true);
        runAction("btn_ComRead");
        QCOMPARE(m_sim->takeReceived(), QStringList{QStringLiteral("55BC")});
        QCOMPARE(m_window->layoutCode(), int(LayoutP5));
        QVERIFY(HasLine(*log(), QStringLiteral("Read OK "), Green));

        // Known settings go through the widgets and back into the frame.
        m_window->controller().panelP5() = test::ExampleP5Panel();
        m_window->ShowPanel(PanelId::P5);
        runAction("btn_ComSet");
        QCOMPARE(m_sim->takeReceived(), QStringList{KnownP5Frame()});
        QVERIFY(HasLine(*log(), QStringLiteral("setup success"), Green));
        runAction("btn_ComRead");
        QCOMPARE(child<QLineEdit>("edt_ModulePort")->text(), QStringLiteral("20108"));
        QCOMPARE(child<QLineEdit>("edt_DeIP")->text(), QStringLiteral("192.168.0.201"));
    }

    void p5ReplyWithABadChecksumChangesNothing() {
        startSim(QStringLiteral("p5"), {QStringLiteral("--serial-bad-checksum")});
        child<QRadioButton>("rbP5")->setChecked(true);
        const PanelP5 before = m_window->controller().panelP5();
        runAction("btn_ComRead");
        QVERIFY(HasLine(*log(), QStringLiteral("Packet Header error or check sum is not correct"),
                        Red));
        QCOMPARE(m_window->layoutCode(), int(LayoutSearch));
        QVERIFY(m_window->controller().panelP5() == before);
    }

    void p6ReplySplitByAPauseIsOnlyEchoed() {
        startSim(QStringLiteral("p6"), {QStringLiteral("--serial-split"), QStringLiteral("200")});
        runAction("btn_ComRead");
        QCOMPARE(m_window->layoutCode(), int(LayoutSearch));
        QCOMPARE(m_sim->takeReceived(), QStringList{QStringLiteral("55BD")}); // no follow-up
        QVERIFY(!HasLine(*hex(), QStringLiteral("[ Length : 137 ]"), Green));
    }
};

QTEST_MAIN(SerialSheet)
#include "test_gui_serial.moc"
