// The device list's jobs over several modules, the real window against simulated modules: the
// extended selection and its MACs, a configuration file applied to three modules with an
// address plan (each row's result as the module answered), a file refused before a frame, and
// a restart stopped after its first module.
#include "app/app_shell.h"
#include "lab_sim.h"
#include "lang/Unit_Baselang.h"
#include "mainwindow/main_controller.h"
#include "mainwindow/widgets/apply_plan_dialog.h"
#include "mainwindow/widgets/batch_progress_dialog.h"
#include "mainwindow/widgets/Unit_Main.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QJsonObject>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace r2;

namespace {

QString Mac(int n) {
    return QStringLiteral("02 52 32 06 00 %1").arg(n, 2, 10, QLatin1Char('0'));
}

const QString GateMac = QStringLiteral("02 52 32 07 00 01");

QJsonObject Module(const char* model, const QString& mac, const QString& ip, const char* name) {
    return QJsonObject{
        {"model", model}, {"mac", mac}, {"ip", ip}, {"name", name}, {"version", 4017}};
}

// Three P6 modules at .20 to .22 and a P7 at .23, whose address a plan must skip.
QJsonArray Modules(const QString& thirdPassword = {}) {
    QJsonObject third = Module("P6", Mac(3), QStringLiteral("192.168.0.22"), "Three");
    if (!thirdPassword.isEmpty()) {
        third["password"] = thirdPassword;
    }
    return {Module("P6", Mac(1), QStringLiteral("192.168.0.20"), "One"),
            Module("P6", Mac(2), QStringLiteral("192.168.0.21"), "Two"), third,
            Module("P7", GateMac, QStringLiteral("192.168.0.23"), "Gate")};
}

QString Text(std::string_view key) {
    return QString::fromStdString(GetLangText(key));
}

} // namespace

class BatchLab final : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppShell> m_shell;
    TFrm_Main* m_window = nullptr;
    std::unique_ptr<LabSim> m_sim;

    QTreeWidget* list() { return m_window->findChild<QTreeWidget*>(QStringLiteral("lv_Dev")); }

    void startAndSearch(const QJsonArray& modules) {
        m_sim = std::make_unique<LabSim>();
        QVERIFY2(m_sim->start(modules), qPrintable(m_sim->problem()));
        QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("btn_Search")),
                          Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(list()->topLevelItemCount(), modules.size(), 5000);
    }

    QTreeWidgetItem* rowOf(const QString& mac) {
        const auto found = list()->findItems(mac, Qt::MatchExactly, 2);
        return found.isEmpty() ? nullptr : found.first();
    }

    void click(const QString& mac, Qt::KeyboardModifiers modifiers = {}) {
        QTreeWidgetItem* item = rowOf(mac);
        QVERIFY(item);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, modifiers,
                          list()->visualItemRect(item).center());
    }

    // Selects rows as a click and shift-click do, without the click's read of the first one.
    void select(const QStringList& macs) {
        list()->clearSelection();
        for (const QString& mac : macs) {
            QVERIFY(rowOf(mac));
            rowOf(mac)->setSelected(true);
        }
    }

    void trigger(const char* action) {
        auto* item = m_window->findChild<QAction*>(QLatin1String(action));
        QVERIFY(item);
        item->trigger();
    }

    QString writeFile(const QByteArray& model, const QByteArray& panel) {
        const QString path = m_dir->filePath(QStringLiteral("line.json"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            return {};
        }
        file.write(R"({"format": "r2config-module", "version": 1, "model": ")" + model +
                   R"(", "firmware": 4017, "mac": "02 52 32 06 00 09", )"
                   R"("time": "2026-12-10T07:54:24Z", "panel": {)" +
                   panel + "}}\n");
        return path;
    }

    QStringList results() {
        auto* table =
            m_window->batchProgressDialog()->findChild<QTableWidget*>(QStringLiteral("tbl_Batch"));
        QStringList texts;
        for (int row = 0; row < table->rowCount(); ++row) {
            texts << table->item(row, 2)->text();
        }
        return texts;
    }

    void waitForTheJob() {
        QTRY_VERIFY_WITH_TIMEOUT(m_window->batchProgressDialog() &&
                                     m_window->batchProgressDialog()->isFinished(),
                                 120000);
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
        if (m_sim) {
            QVERIFY2(m_sim->stop(), qPrintable(m_sim->problem()));
            m_sim.reset();
        }
    }

    void clickReadsOneModuleAndControlClickSelectsSeveral() {
        startAndSearch(Modules());
        click(Mac(1));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->layoutCode(), int(LayoutP6), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_sim->received(Mac(1)).empty(), 3000);

        m_sim->clearLog();
        click(Mac(3), Qt::ControlModifier);
        click(GateMac, Qt::ControlModifier);
        QCOMPARE(m_window->SelectedRows().size(), std::size_t{3});
        QCOMPARE(m_window->SelectedRow(), -1);
        // Several rows are no module to show: the panel goes and nothing is read.
        QCOMPARE(m_window->layoutCode(), int(LayoutSearch));
        trigger("mni_SelCopyMacs");
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringList({Mac(1), Mac(3), GateMac}).join('\n'));
        QTest::qWait(500);
        QVERIFY(m_sim->received().empty());

        // A plain click is one module again, read as before.
        click(Mac(2));
        QCOMPARE(m_window->SelectedRows(),
                 std::vector<int>{list()->indexOfTopLevelItem(rowOf(Mac(2)))});
        QTRY_VERIFY_WITH_TIMEOUT(!m_sim->received(Mac(2)).empty(), 3000);
        QCOMPARE(m_sim->received(Mac(2)).front().action, QStringLiteral("read"));
        click(Mac(3), Qt::ShiftModifier);
        QCOMPARE(m_window->SelectedRows().size(), std::size_t{2});
    }

    void fileAppliedToThreeModulesWithAnAddressPlan() {
        startAndSearch(Modules(QStringLiteral("other")));
        const QString path =
            writeFile("P6", R"("edt_SubnetMask": "255.255.255.0", "edt_GatewayIP": "192.168.0.1", )"
                            R"("edt_LocalPort0": "4001")");
        select({Mac(1), Mac(2), Mac(3)});
        m_sim->clearLog();

        QStringList previewed;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(m_window->applyPlanDialog());
            Tfrm_ApplyPlan* dialog = m_window->applyPlanDialog();
            dialog->setFields({QStringLiteral("192.168.0.22"), QStringLiteral("Line-{n}"), 1});
            for (const PlanRow& row : dialog->preview().rows) {
                previewed << row.plannedIp + QLatin1Char(' ') + row.plannedName;
            }
            dialog->findChild<QPushButton*>(QStringLiteral("btn_Apply"))->click();
        });
        m_window->controller().ApplyFileToSelection(path);
        // Every listed address is taken: the modules' own (.20 to .22) and the P7's (.23).
        QCOMPARE(previewed, (QStringList{"192.168.0.24 Line-1", "192.168.0.25 Line-2",
                                         "192.168.0.26 Line-3"}));
        QVERIFY(m_window->batchProgressDialog());
        QVERIFY(m_window->batchProgressDialog()->isModal() ||
                m_window->batchProgressDialog()->windowModality() != Qt::NonModal);
        waitForTheJob();

        const QStringList shown = results();
        QCOMPARE(shown[0], Text("lang_Batch_OK"));
        QCOMPARE(shown[1], Text("lang_Batch_OK"));
        QVERIFY2(shown[2].startsWith(Text("lang_Batch_Failed")), qPrintable(shown[2]));
        const auto& outcomes = m_window->batchProgressDialog()->outcomes();
        QCOMPARE(outcomes[2].state, BatchOutcome::State::Failed);
        QVERIFY(!outcomes[2].reason.isEmpty());

        // Each module got its own address (in the block's reversed byte order) and name; the
        // refusing one no write.
        const std::pair<QString, QByteArray> planned[] = {
            {Mac(1), QByteArray::fromHex("1800A8C0")}, {Mac(2), QByteArray::fromHex("1900A8C0")}};
        for (int i = 0; i < 2; ++i) {
            const auto frames = m_sim->received(planned[i].first);
            const auto base = std::ranges::find_if(
                frames, [](const SimFrame& f) { return f.action == QLatin1String("write base"); });
            QVERIFY2(base != frames.end(), qPrintable(planned[i].first));
            QVERIFY(base->bytes.contains("Line-" + QByteArray::number(i + 1)));
            QVERIFY(base->bytes.contains(planned[i].second));
        }
        for (const SimFrame& frame : m_sim->received(Mac(3))) {
            QVERIFY2(!frame.action.startsWith(QLatin1String("write")), qPrintable(frame.action));
        }
        QVERIFY(m_sim->received(GateMac).empty());

        QTest::mouseClick(
            m_window->batchProgressDialog()->findChild<QPushButton*>(QStringLiteral("btn_Close")),
            Qt::LeftButton);
        QTRY_VERIFY(!m_window->batchProgressDialog());
    }

    void fileOfAnotherModelSendsNothing() {
        startAndSearch(Modules());
        const QString path = writeFile("P7", R"("edt_ModNameP7": "Gate")");
        select({Mac(1), Mac(2)});
        m_sim->clearLog();
        QString message;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            message = box->text();
            box->accept();
        });
        m_window->controller().ApplyFileToSelection(path);
        QVERIFY2(message.contains(path) && message.contains(QStringLiteral("P7")),
                 qPrintable(message));
        QVERIFY(!m_window->applyPlanDialog() && !m_window->batchProgressDialog());
        QTest::qWait(500);
        QVERIFY(m_sim->received().empty());
    }

    void upgradeOfAnImageThatCannotBeOpenedFailsEachRowWithTheReason() {
        startAndSearch(Modules());
        select({Mac(1), Mac(2)});
        const QString image = m_dir->filePath(QStringLiteral("missing.bin"));
        m_window->controller().UpgradeSelection(image);
        waitForTheJob();
        for (const BatchOutcome& outcome : m_window->batchProgressDialog()->outcomes()) {
            QCOMPARE(outcome.state, BatchOutcome::State::Failed);
            QVERIFY2(outcome.reason.contains(image), qPrintable(outcome.reason));
        }
        QCOMPARE(m_window->batchProgressDialog()->windowTitle(), Text("lang_Batch_TitleUpgrade"));
    }

    void restartStoppedAfterTheFirstModule() {
        startAndSearch(Modules());
        // The click's read is still going when the job is asked for: the job waits for it.
        m_sim->clearLog();
        click(Mac(1));
        click(Mac(3), Qt::ShiftModifier);
        trigger("mni_SelRestart");
        Tfrm_BatchProgress* progress = m_window->batchProgressDialog();
        QVERIFY(progress);
        QTRY_COMPARE_WITH_TIMEOUT(progress->outcomes()[0].state, BatchOutcome::State::Running,
                                  5000);
        QTest::mouseClick(progress->findChild<QPushButton*>(QStringLiteral("btn_Stop")),
                          Qt::LeftButton);
        waitForTheJob();
        QCOMPARE(results()[1], Text("lang_Batch_NotRun"));
        QCOMPARE(results()[2], Text("lang_Batch_NotRun"));
        QStringList actions;
        for (const SimFrame& frame : m_sim->received(Mac(1))) {
            actions << frame.action;
        }
        QVERIFY2(actions.size() >= 2 && actions.first() == QLatin1String("read") &&
                     actions.indexOf(QStringLiteral("restart")) == actions.size() - 1,
                 qPrintable(actions.join(", ")));
        QVERIFY(m_sim->received(Mac(2)).empty());
        QVERIFY(m_sim->received(Mac(3)).empty());
    }

    // Closing the window during a job works like its Stop button: the module under way is
    // finished, the rest are not run, and then the window closes by itself.
    void closingTheWindowStopsTheJobAfterItsModuleThenCloses() {
        startAndSearch(Modules());
        m_sim->clearLog();
        click(Mac(1));
        click(Mac(3), Qt::ShiftModifier);
        trigger("mni_SelRestart");
        Tfrm_BatchProgress* progress = m_window->batchProgressDialog();
        QVERIFY(progress);
        QTRY_COMPARE_WITH_TIMEOUT(progress->outcomes()[0].state, BatchOutcome::State::Running,
                                  5000);
        const QString notRun = Text("lang_Batch_NotRun"); // the close releases the texts
        QVERIFY(!m_window->close());
        QVERIFY(m_window->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isVisible(), 30000);
        QVERIFY(!m_window->controller().batchRunning());
        QCOMPARE(results()[1], notRun);
        QCOMPARE(results()[2], notRun);
        m_window = nullptr;
        m_shell.reset(); // the program ends with its window
        QStringList actions;
        for (const SimFrame& frame : m_sim->received(Mac(1))) {
            actions << frame.action;
        }
        QVERIFY2(actions.endsWith(QStringLiteral("restart")), qPrintable(actions.join(", ")));
        QVERIFY(m_sim->received(Mac(2)).empty());
        QVERIFY(m_sim->received(Mac(3)).empty());
    }
};

QTEST_MAIN(BatchLab)
#include "test_gui_batch_lab.moc"
