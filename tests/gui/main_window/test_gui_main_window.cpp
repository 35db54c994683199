// The real main window against simulated modules across the lab's veth pair: search, click,
// fill, edit, save, context-menu actions, export and language switch, checked on the widgets
// and in what the simulated modules received.
#include "../panel_layout_checks.h"
#include "app/app_shell.h"
#include "app/Unit_Pswd.h"
#include "debugger/widgets/Unit_DataDebug.h"
#include "lab_sim.h"
#include "lang/Unit_Baselang.h"
#include "mainwindow/main_controller.h"
#include "mainwindow/widgets/panel_p6_widget.h"
#include "mainwindow/widgets/Unit_Main.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>

using namespace r2;

namespace {

const QString P6Mac = QStringLiteral("02 52 32 06 00 01");
const QString P7Mac = QStringLiteral("02 52 32 07 00 01");
const QString OldMac = QStringLiteral("02 52 32 05 00 01");

QJsonObject Module(const char* model, const QString& mac, const char* ip, const char* name,
                   int version) {
    return QJsonObject{
        {"model", model}, {"mac", mac}, {"ip", ip}, {"name", name}, {"version", version}};
}

// Three modules as the issue's search case describes: a P6, a P7 and an old version.
QJsonArray ThreeModules() {
    return {Module("P6", P6Mac, "192.168.0.20", "Line-P6", 4017),
            Module("P7", P7Mac, "192.168.0.21", "Line-P7", 4017),
            Module("old", OldMac, "192.168.0.22", "Old", 2001)};
}

struct PaneLine {
    QString text;
    QColor colour;
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
    return std::ranges::any_of(
        lines, [&](const PaneLine& l) { return l.text == text && l.colour == colour; });
}

// Closes the next modal dialog once it shows, remembering its text.
class ModalCloser final : public QObject {
public:
    explicit ModalCloser(bool accept = true) {
        connect(&m_timer, &QTimer::timeout, this, [this, accept] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                m_seen = modal->property("text").toString();
                m_count++;
                if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                    accept ? dialog->accept() : dialog->reject();
                } else {
                    modal->close();
                }
            }
        });
        m_timer.start(20);
    }
    QString seen() const { return m_seen; }
    int count() const { return m_count; }

private:
    QTimer m_timer;
    QString m_seen;
    int m_count = 0;
};

} // namespace

class MainWindowLab final : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppShell> m_shell;
    TFrm_Main* m_window = nullptr;
    std::unique_ptr<LabSim> m_sim;
    QStringList m_opened;

    template <class T> T* child(const char* name) {
        T* w = m_window->findChild<T*>(QLatin1String(name));
        if (!w) {
            qFatal("no control named %s", name);
        }
        return w;
    }

    QTreeWidget* list() { return child<QTreeWidget>("lv_Dev"); }
    QPlainTextEdit* log() { return child<QPlainTextEdit>("redt_Log"); }
    QPlainTextEdit* hex() { return child<QPlainTextEdit>("redt_Hex"); }

    void startSim(const QJsonArray& modules, const QStringList& args = {}) {
        m_sim = std::make_unique<LabSim>();
        QVERIFY2(m_sim->start(modules, args), qPrintable(m_sim->problem()));
    }

    void search(int expectedRows) {
        QTest::mouseClick(child<QPushButton>("btn_Search"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(list()->topLevelItemCount(), expectedRows, 5000);
    }

    QTreeWidgetItem* rowOf(const QString& mac) {
        for (int i = 0; i < list()->topLevelItemCount(); ++i) {
            if (list()->topLevelItem(i)->text(2) == mac) {
                return list()->topLevelItem(i);
            }
        }
        return nullptr;
    }

    void clickRow(const QString& mac) {
        QTreeWidgetItem* item = rowOf(mac);
        QVERIFY(item);
        const QPoint at = list()->visualItemRect(item).center();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(item->isSelected());
    }

    // Searches, clicks the P6 row and waits until its panel is filled.
    void readP6() {
        search(3);
        clickRow(P6Mac);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->layoutCode(), int(LayoutP6), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(child<QLineEdit>("edt_ModName")->text(),
                                  QStringLiteral("Line-P6"), 5000);
        // The Modbus switches are the simulator's last reply, and a save only carries the
        // Modbus blocks the module sent: wait for them before anything is saved.
        QTRY_VERIFY_WITH_TIMEOUT(child<QGroupBox>("rzgrpbxModbus")->isVisibleTo(m_window), 5000);
    }

    QString logDump() {
        QStringList texts;
        for (const PaneLine& line : Lines(*log())) {
            texts << line.text;
        }
        return texts.join('\n');
    }

    void waitForSave() {
        QSignalSpy done(&m_window->controller(), &MainController::sequenceFinished);
        QVERIFY2(done.wait(15000), qPrintable(logDump()));
    }

    void trigger(const char* action) {
        QAction* item = m_window->findChild<QAction*>(QLatin1String(action));
        QVERIFY(item);
        item->trigger();
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_shell = std::make_unique<AppShell>(m_dir->path(), QStringLiteral("2.2.6.0"));
        m_window = &m_shell->mainWindow();
        m_opened.clear();
        m_window->setUrlOpener([this](const QUrl& url) { m_opened << url.toString(); });
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }

    void cleanup() {
        m_window = nullptr;
        m_shell.reset();
        if (m_sim) {
            QVERIFY2(m_sim->stop(), qPrintable(m_sim->problem()));
            m_sim.reset();
        }
    }

    void startsInTheSearchLayoutOnTheLanTab() {
        // The model stored in the settings file does not survive start-up.
        QFile ini(m_dir->filePath("R2Cfg.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[System]\r\nPNum=3\r\n");
        ini.close();
        m_shell = std::make_unique<AppShell>(m_dir->path(), QStringLiteral("2.2.6.0"));
        m_window = &m_shell->mainWindow();

        QCOMPARE(m_window->layoutCode(), int(LayoutSearch));
        QVERIFY(!child<QTabWidget>("rzpgcntrl_Param")->isVisibleTo(m_window));
        QCOMPARE(child<QTabWidget>("rzpgcntrl_Srch")->currentIndex(), 0);
        QVERIFY(child<QRadioButton>("rbP6")->isChecked());
        QVERIFY(HasLine(*log(), QStringLiteral("Operate Via LAN,please leave CFG pin free"),
                        QColor(128, 0, 0)));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("QOB-R2 V2.2.6.0"));
    }

    // Minimise and system menu, no maximise; a fixed height whatever the layout; opened at the
    // centre of the screen.
    void windowHasNoMaximiseAFixedHeightAndOpensCentred() {
        const Qt::WindowFlags flags = m_window->windowFlags();
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        for (const int layout : {int(LayoutP6), int(LayoutP7), int(LayoutSearch)}) {
            m_window->SwitchLayout(layout);
            QCOMPARE(m_window->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
            QCOMPARE(m_window->minimumHeight(), 563);
            QCOMPARE(m_window->maximumHeight(), 563);
        }
        m_shell = std::make_unique<AppShell>(m_dir->path(), QStringLiteral("2.2.6.0"));
        m_window = &m_shell->mainWindow();
        const QPoint centre = m_window->screen()->availableGeometry().center();
        QVERIFY2((m_window->geometry().center() - centre).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("window centre %1,%2, screen centre %3,%4")
                                .arg(m_window->geometry().center().x())
                                .arg(m_window->geometry().center().y())
                                .arg(centre.x())
                                .arg(centre.y())));
    }

    // At the window's own size, in the P6 layout: the P6 scroll box shows whole rows only, its
    // base and port groups share one grid, and on the P5 and P7 sheets the groups line up and the
    // buttons sit at the panel's bottom.
    void panelsAtTheWindowSize() {
        m_window->SwitchLayout(LayoutP6);
        auto* sheets = child<QTabWidget>("rzpgcntrl_Param");
        QTRY_VERIFY(child<QScrollArea>("ScrollBox1")->isVisible());
        // Scrolled one line at a time, as the wheel does.
        auto* box = child<QScrollArea>("ScrollBox1");
        for (int step = 0; step <= 6; ++step) {
            QTRY_VERIFY2(r2::test::HalfRowsAtTheBottom(*box).isEmpty(),
                         qPrintable(QStringLiteral("after %1 steps: %2")
                                        .arg(step)
                                        .arg(r2::test::HalfRowsAtTheBottom(*box).join("; "))));
            box->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        }
        QVERIFY(r2::test::MisalignedColumns(*child<QGroupBox>("grp_BaseSave"),
                                            *child<QGroupBox>("grp_ComParam"), 4, *m_window)
                    .isEmpty());
        struct Sheet {
            const char* sheet;
            const char* groups[2];
            int columns;
            const char* button;
        };
        for (const Sheet& s :
             {Sheet{"rztbsht_P5", {"grp_Param", "grp_Special"}, 2, "btn_P5Set"},
              Sheet{"rztbsht_P7Net", {"grp_BaseSaveP7", "grp_ComParamP7"}, 4, "btn_P7NetSet"}}) {
            sheets->setCurrentWidget(child<QWidget>(s.sheet));
            auto* button = child<QPushButton>(s.button);
            QTRY_VERIFY(button->isVisible());
            QWidget* panel = button->parentWidget();
            QVERIFY2(r2::test::MisalignedColumns(*child<QGroupBox>(s.groups[0]),
                                                 *child<QGroupBox>(s.groups[1]), s.columns,
                                                 *m_window)
                         .isEmpty(),
                     s.sheet);
            const int margin = panel->layout()->contentsMargins().bottom();
            QVERIFY2(r2::test::GapBelow(*button, *panel) <= margin + 2, s.button);
        }
    }

    void searchListsEveryModuleOnceWithItsFlag() {
        QJsonArray modules = ThreeModules();
        startSim(modules, {"--copies", "2"});
        search(3);
        QTest::qWait(300); // the second copies arrive: still one row per MAC
        QCOMPARE(list()->topLevelItemCount(), 3);
        const QTreeWidgetItem* p6 = rowOf(P6Mac);
        QVERIFY(p6);
        QCOMPARE(p6->text(0), QStringLiteral("192.168.0.20"));
        QCOMPARE(p6->text(1), QStringLiteral("Line-P6"));
        QCOMPARE(p6->text(4), QString::number(DevFlagP6));
        QCOMPARE(rowOf(P7Mac)->text(4), QString::number(DevFlagP7));
        QCOMPARE(rowOf(OldMac)->text(4), QString::number(DevFlagNone));

        // The search request is echoed: blank line, blue header to the broadcast address, length,
        // dump; then the list hint in the log.
        const auto lines = Lines(*hex());
        const auto request = std::ranges::find_if(lines, [](const PaneLine& l) {
            return l.text.startsWith("[ 192.168.0.10 : ") &&
                   l.text.endsWith(QStringLiteral(" ] \u2192 [ 255.255.255.255 : 1500 ]"));
        });
        QVERIFY(request != lines.end());
        QCOMPARE(request->colour, QColor(0, 0, 255));
        QCOMPARE(std::prev(request)->text, QString());
        QCOMPARE(std::next(request)->text, QStringLiteral("[ Length : 4 ]"));
        QCOMPARE(std::next(request, 2)->text, QStringLiteral("FF 01 01 02 "));
        QVERIFY(HasLine(*log(), QString::fromStdString(GetLangText("lang_H_lv_Dev")),
                        QColor(0, 128, 0)));
        // Replies come back green, from the module's address at port 1500.
        QVERIFY(std::ranges::any_of(lines, [](const PaneLine& l) {
            return l.text.endsWith(QStringLiteral(" ] \u2190 [ 192.168.0.20 : 1500 ]")) &&
                   l.colour == QColor(0, 128, 0);
        }));

        // A second search starts a fresh list: every module again, still once.
        search(3);
        QTest::qWait(300);
        QCOMPARE(list()->topLevelItemCount(), 3);
        QVERIFY(rowOf(P6Mac) && rowOf(P7Mac) && rowOf(OldMac));
    }

    void modulesSharingAnAddressAreMarked() {
        const QString twinMac = QStringLiteral("02 52 32 06 00 02");
        startSim({Module("P6", P6Mac, "192.168.0.20", "Line-P6", 4017),
                  Module("P6", twinMac, "192.168.0.20", "Twin", 4017),
                  Module("P7", P7Mac, "192.168.0.21", "Line-P7", 4017)});
        search(3);
        const QString hint = QStringLiteral(
            "Several modules answer from this address: give each its own IP address first");
        for (const QString& mac : {P6Mac, twinMac}) {
            QCOMPARE(rowOf(mac)->toolTip(0), hint);
            QVERIFY(rowOf(mac)->background(0) != rowOf(P7Mac)->background(0));
        }
        QCOMPARE(rowOf(P7Mac)->toolTip(0), QString());
    }

    void clickOnP6RowFillsThePanel() {
        startSim(ThreeModules());
        readP6();
        QVERIFY(HasLine(*log(), QStringLiteral("Read [ Mac : ") + P6Mac + QStringLiteral(" ]"),
                        QColor(0, 128, 0)));
        QVERIFY(HasLine(*log(), QStringLiteral("Read OK "), QColor(0, 128, 0)));
        QCOMPARE(child<QLineEdit>("edt_StaticIP")->text(), QStringLiteral("192.168.0.20"));
        QCOMPARE(m_window->width(), 1004);
    }

    // A click on the list's blank part below the rows selects nothing and collapses the window
    // to the device list; nothing else happens.
    void clickOnTheBlankPartOfTheListCollapsesToTheList() {
        startSim(ThreeModules());
        readP6();
        const QRect lastRow = list()->visualItemRect(list()->topLevelItem(2));
        const QPoint blank(lastRow.center().x(), lastRow.bottom() + 2 * lastRow.height());
        QVERIFY(list()->viewport()->rect().contains(blank));
        QVERIFY(!list()->itemAt(blank));
        const int logLines = log()->blockCount();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, blank);
        QCOMPARE(m_window->layoutCode(), int(LayoutSearch));
        QCOMPARE(log()->blockCount(), logLines); // nothing read, nothing logged
        QVERIFY(list()->selectedItems().isEmpty());
        QVERIFY(!child<QWidget>("rzpgcntrl_Param")->isVisibleTo(m_window));
    }

    void oldVersionIsRefusedInRed() {
        startSim(ThreeModules());
        search(3);
        clickRow(OldMac);
        QCOMPARE(m_window->layoutCode(), int(LayoutSearch));
        QVERIFY(HasLine(*log(), QStringLiteral("This program is only used for R2 Series"),
                        QColor(255, 0, 0)));
    }

    void editedP6PanelIsSavedFrameByFrame_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("4017 gets heartbeat/registration")
            << 4017 << QStringList{"write base",   "write port",       "write heartReg",
                                   "write modbus", "write modbusPack", "restart"};
        QTest::newRow("4016 does not") << 4016
                                       << QStringList{"write base", "write port", "write modbus",
                                                      "write modbusPack", "restart"};
    }

    void editedP6PanelIsSavedFrameByFrame() {
        QFETCH(int, version);
        QFETCH(QStringList, expected);
        QJsonArray modules = ThreeModules();
        modules[0] = Module("P6", P6Mac, "192.168.0.20", "Line-P6", version);
        startSim(modules);
        readP6();
        QLineEdit* name = child<QLineEdit>("edt_ModName");
        name->clear();
        QTest::keyClicks(name, "Renamed");
        m_sim->clearLog();
        QTest::mouseClick(child<QPushButton>("btn_P6NetSet"), Qt::LeftButton);
        QVERIFY(!child<QPushButton>("btn_P6NetSet")->isEnabled()); // one save at a time
        waitForSave();
        QVERIFY(child<QPushButton>("btn_P6NetSet")->isEnabled());

        const auto frames = m_sim->received(P6Mac);
        QStringList actions;
        for (const auto& frame : frames) {
            actions << frame.action;
        }
        QVERIFY2(actions == expected, qPrintable(actions.join(", ")));
        QCOMPARE(frames.front().length, 89);
        QCOMPARE(frames.front().port, 1500);
        // The new name is in the base block, the rest as read.
        QVERIFY(frames.front().bytes.contains("Renamed"));
        QTRY_VERIFY_WITH_TIMEOUT(HasLine(*log(), QStringLiteral(" ACK."), QColor(0, 128, 0)), 3000);
    }

    // Closing the window while a save runs (here after its first frame, about where a close
    // 0.7 s after the click lands) must not cut the save: the module gets every block and the
    // restart, the log says why the window stays, and the window then closes by itself. The
    // program ends as soon as the window is closed, so the shell goes right then, as it does
    // when the program's event loop returns.
    void closingDuringASaveLetsTheSaveFinish_data() {
        QTest::addColumn<bool>("quit");
        QTest::newRow("close box") << false;
        QTest::newRow("program asked to quit") << true;
    }

    void closingDuringASaveLetsTheSaveFinish() {
        QFETCH(bool, quit);
        startSim(ThreeModules());
        readP6();
        m_sim->clearLog();
        QTest::mouseClick(child<QPushButton>("btn_P6NetSet"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_sim->received(P6Mac).empty(), 5000);
        if (quit) {
            // What QCoreApplication::quit() sends while the program's event loop runs.
            QEvent quitEvent(QEvent::Quit);
            QCoreApplication::sendEvent(qApp, &quitEvent);
        } else {
            m_window->close();
        }
        const bool closedAtOnce = !m_window->isVisible();
        const bool saidWhy =
            HasLine(*log(), QString::fromStdString(GetLangText("lang_Hint_CloseWhenDone")),
                    QColor(0, 128, 0));
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isVisible(), 15000);
        m_window = nullptr;
        m_shell.reset();

        QStringList actions;
        for (const auto& frame : m_sim->received(P6Mac)) {
            actions << frame.action;
        }
        const QStringList expected{"write base",   "write port",       "write heartReg",
                                   "write modbus", "write modbusPack", "restart"};
        QVERIFY2(actions == expected, qPrintable(actions.join(", ")));
        QVERIFY(!closedAtOnce);
        QVERIFY(saidWhy);
        QVERIFY(QFile::exists(m_dir->filePath("R2Cfg.ini"))); // the close's own work ran after
    }

    void valueThatDoesNotConvertSendsNothing() {
        startSim(ThreeModules());
        readP6();
        QLineEdit* ip = child<QLineEdit>("edt_StaticIP");
        ip->setText(QStringLiteral("300.1.2"));
        m_sim->clearLog();
        QTest::mouseClick(child<QPushButton>("btn_P6NetSet"), Qt::LeftButton);
        QTest::qWait(700);
        QVERIFY(m_sim->received(P6Mac).empty());
        const auto lines = Lines(*log());
        QVERIFY(lines.back().text.startsWith(QStringLiteral("edt_StaticIP")));
        QCOMPARE(lines.back().colour, QColor(255, 0, 0));
        QCOMPARE(QApplication::focusWidget(), ip);
    }

    void wrongPasswordAsksForCredentials() {
        QJsonArray modules = ThreeModules();
        QJsonObject p6 = modules[0].toObject();
        p6["password"] = "other";
        modules[0] = p6;
        startSim(modules);
        search(3);
        clickRow(P6Mac); // the module refuses even the read
        QTRY_VERIFY_WITH_TIMEOUT(m_shell->credentials().isVisible(), 5000);
        QVERIFY(m_shell->credentials().isModal());
        QVERIFY(HasLine(*log(), QStringLiteral(" UsrName or Password Error!"), QColor(255, 0, 0)));
    }

    void p7SaveGoesToPort1901AndOnlyForAP7Row() {
        startSim(ThreeModules());
        readP6();
        child<QTabWidget>("rzpgcntrl_Param")->setCurrentIndex(2);
        m_sim->clearLog();
        QTest::mouseClick(child<QPushButton>("btn_P7NetSet"), Qt::LeftButton);
        QTest::qWait(300);
        QVERIFY(m_sim->received().empty());

        clickRow(P7Mac);
        QTRY_VERIFY_WITH_TIMEOUT(!m_sim->received(P7Mac).empty(), 3000); // its read
        m_sim->clearLog();
        child<QTabWidget>("rzpgcntrl_Param")->setCurrentIndex(2);
        // No reply fills the P7 panel: the technician types it.
        const std::pair<const char*, const char*> typed[] = {{"edt_StaticIPP7", "192.168.0.21"},
                                                             {"edt_SubnetMaskP7", "255.255.255.0"},
                                                             {"edt_GatewayIPP7", "192.168.0.1"},
                                                             {"edt_ModNameP7", "Boiler"},
                                                             {"edt_UserMACP7", "FF FF FF FF FF FF"},
                                                             {"edt_LocationURLPortP7", "0"},
                                                             {"edt_HTTPServerPortP7", "80"},
                                                             {"edt_IdTypeP7", "0"},
                                                             {"edt_usernameP7", "admin"},
                                                             {"edt_passwordP7", "tulip"}};
        for (const auto& [name, text] : typed) {
            QLineEdit* edit = child<QLineEdit>(name);
            edit->clear();
            QTest::keyClicks(edit, QString::fromLatin1(text));
        }
        QTest::mouseClick(child<QPushButton>("btn_P7NetSet"), Qt::LeftButton);
        waitForSave();
        const auto frames = m_sim->received(P7Mac);
        QCOMPARE(frames.size(), std::size_t{3});
        const int lengths[] = {89, 85, 22};
        for (std::size_t i = 0; i < frames.size(); ++i) {
            QCOMPARE(frames[i].port, 1901);
            QCOMPARE(frames[i].length, lengths[i]);
        }
    }

    void deviceMenuActions() {
        startSim(ThreeModules());
        readP6(); // a P7 row alone leaves the search layout, where restart is off
        trigger("mni_CopeAllMac");
        const QString all = QGuiApplication::clipboard()->text();
        QCOMPARE(all.count(QStringLiteral("\r\n")), 2);
        QVERIFY(!all.endsWith(QStringLiteral("\r\n")));

        clickRow(P7Mac);
        QTRY_VERIFY_WITH_TIMEOUT(!m_sim->received(P7Mac).empty(), 3000); // its read first
        m_sim->clearLog();
        trigger("mni_Restart");
        QTRY_VERIFY_WITH_TIMEOUT(!m_sim->received(P7Mac).empty(), 3000);
        QCOMPARE(m_sim->received(P7Mac).front().action, QStringLiteral("restart"));
        QCOMPARE(m_sim->received(P7Mac).front().port, 1500);

        trigger("mni_OpenWeb");
        QCOMPARE(m_opened.last(), QStringLiteral("http://192.168.0.21:80"));
        m_window->controller().panelP6().edt_HTTPServerPort = "8080";
        m_window->ShowPanel(PanelId::P6);
        trigger("mni_OpenWeb");
        QCOMPARE(m_opened.last(), QStringLiteral("http://192.168.0.21:8080"));

        trigger("mni_CopyTheMac");
        QCOMPARE(QGuiApplication::clipboard()->text(), P7Mac);
    }

    void dataDebugButtonOpensTheCounterpartOfTheWorkModeShown() {
        startSim(ThreeModules());
        readP6();
        // The work mode as the user left it on the panel, not as read: TCP client.
        auto* workMode = child<QComboBox>("cbb_WorkMode0");
        workMode->setCurrentIndex(1);
        emit workMode->activated(1);
        QPushButton* button = child<QPushButton>("btnDataDebug");
        QVERIFY(button->isVisible());
        ModalCloser closer; // the first start finds no command file and says so
        QTest::mouseClick(button, Qt::LeftButton);
        auto* debugger = qobject_cast<QWidget*>(&m_shell->dataDebug());
        QTRY_VERIFY(debugger->isVisible());
        QCOMPARE(debugger->objectName(), QStringLiteral("Tfrm_DataDebug"));
        QCOMPARE(debugger->findChild<QComboBox*>(QStringLiteral("cbbProtrolType"))->currentText(),
                 QStringLiteral("TCP Server"));
        debugger->close();
        QTRY_VERIFY(!debugger->isVisible());

        // An HTTPD client has no counterpart: the button goes.
        workMode->setCurrentIndex(4);
        emit workMode->activated(4);
        QVERIFY(!button->isVisible());
    }

    void rightClickReadsTheModuleAgain() {
        startSim(ThreeModules());
        readP6();
        m_sim->clearLog();
        const QPoint at = list()->visualItemRect(rowOf(P6Mac)).center();
        emit list()->customContextMenuRequested(at);
        QTRY_VERIFY_WITH_TIMEOUT(!m_sim->received(P6Mac).empty(), 3000);
        QCOMPARE(m_sim->received(P6Mac).front().action, QStringLiteral("read"));
        if (QMenu* menu = m_window->findChild<QMenu*>(QStringLiteral("pm_NetDev"))) {
            menu->close();
        }
    }

    void exportWritesTheListWithQuotedFields() {
        QJsonArray modules = ThreeModules();
        modules[1] = Module("P7", P7Mac, "192.168.0.21", "A,B", 4017);
        startSim(modules);
        search(3);
        ModalCloser closer;
        m_window->ExportDeviceList();
        const QStringList files = QDir(m_dir->path()).entryList({"*.csv"});
        QCOMPARE(files.size(), 1);
        QVERIFY(QRegularExpression(QStringLiteral(R"(^Export Devices \d{8} \d{6} - \(3\)\.csv$)"))
                    .match(files.first())
                    .hasMatch());
        QFile csv(m_dir->filePath(files.first()));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray content = csv.readAll();
        QVERIFY(content.startsWith("IP,Name,MAC,Ver\r\n"));
        QVERIFY(content.contains("192.168.0.21,\"A,B\",02 52 32 07 00 01,4017\r\n"));
        QVERIFY(content.endsWith("\r\n"));
        QCOMPARE(content.count("\r\n"), 4);
        QVERIFY(HasLine(*log(), m_dir->filePath(files.first()), QColor(0, 128, 0)));
    }

    void languageSwitchKeepsListChoices() {
        auto* style = child<QComboBox>("cbb_TCPStyle0");
        style->setCurrentIndex(2);
        m_window->SwitchLanguage(true);
        m_window->SwitchLanguage(false);
        QCOMPARE(style->currentIndex(), 2);
        QCOMPARE(style->currentText(), QStringLiteral("As ID(No ID Broadcast)"));
        QFile ini(m_dir->filePath("R2Cfg.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains("Language=0"));
    }

    void serialTabHidesWhatTheSerialSaveDoesNotCarry() {
        QTabBar* tabs = child<QTabWidget>("rzpgcntrl_Srch")->tabBar();
        const char* lanOnly[] = {"RzGroupBoxHttpd",      "RzGroupBoxHeart", "rzgrpbxRegHeart",
                                 "rzchckbxComSetEnable", "edt_UARTTime0",   "edtUartPackLEN",
                                 "rzchbUdpFrom",         "btn_P6NetSet",    "btn_P5Set"};
        const char* serialOnly[] = {"btn_P6ComSet", "btn_ComSet"};
        for (const int sheet : {1, 0}) {
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(sheet).center());
            QCOMPARE(tabs->currentIndex(), sheet);
            const bool lan = sheet == 0;
            for (const char* name : lanOnly) {
                QVERIFY2(child<QWidget>(name)->isHidden() == !lan, name);
            }
            for (const char* name : serialOnly) {
                QVERIFY2(child<QWidget>(name)->isHidden() == lan, name);
            }
            const auto lines = Lines(*log());
            QCOMPARE(lines.back().text,
                     lan ? QStringLiteral("Operate Via LAN,please leave CFG pin free")
                         : QStringLiteral("Operate Via COM,please connect CFG to GND"));
            QCOMPARE(lines.back().colour, QColor(128, 0, 0));
            QCOMPARE(m_window->layoutCode(), int(LayoutSearch));
        }
    }

    void floodedHexPaneLeavesWholeFramesOutAndSaysSo() {
        const std::vector<ColouredLine> frame = {{QString()},
                                                 {QStringLiteral("[ a : 1 ] <- [ b : 2 ]")},
                                                 {QStringLiteral("[ Length : 4 ]")},
                                                 {QStringLiteral("FF 01 01 02 ")}};
        for (int i = 0; i < 6000; ++i) { // faster than any pass can show them
            m_window->AddHexBlock(frame);
        }
        QTRY_VERIFY_WITH_TIMEOUT(Lines(*hex()).back().colour == QColor(255, 0, 0), 10000);
        const auto lines = Lines(*hex());
        QCOMPARE(lines.size(), std::size_t{5000 * 4 + 1});
        QCOMPARE(lines[lines.size() - 2].text, QStringLiteral("FF 01 01 02 "));
        QVERIFY2(lines.back().text.startsWith(QStringLiteral("[ 1000 frames not shown")),
                 qPrintable(lines.back().text));
    }

    void customBaudEntryOnTheSerialSpeedList() {
        auto* speed = child<QComboBox>("cbbSoftBitRate");
        for (const auto& [answer, index, entry0] :
             {std::tuple{"abc", 6, "115200"}, std::tuple{"-5", 0, "-5"}}) {
            QTimer::singleShot(50, [answer = QString::fromLatin1(answer)] {
                if (auto* input = QApplication::activeModalWidget()) {
                    if (auto* edit = input->findChild<QLineEdit*>()) {
                        edit->setText(answer);
                    }
                    qobject_cast<QDialog*>(input)->accept();
                }
            });
            speed->setCurrentIndex(1);
            emit speed->activated(1);
            QCOMPARE(speed->currentIndex(), index);
            QCOMPARE(speed->itemText(0), QString::fromLatin1(entry0));
        }
    }
};

QTEST_MAIN(MainWindowLab)
#include "test_gui_main_window.moc"
