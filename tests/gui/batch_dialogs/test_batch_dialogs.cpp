// The dialogs of a job over several modules, offscreen and without a network: the file check
// before anything is planned, the apply dialog's address plan as the user types (Enter there
// applies nothing; its note is readable), and the progress dialog's rows, stop and close.
#include "lang/Unit_AppLang.h"
#include "lang/Unit_Baselang.h"
#include "mainwindow/apply_plan.h"
#include "mainwindow/widgets/apply_plan_dialog.h"
#include "mainwindow/widgets/batch_progress_dialog.h"
#include "protocol/Unit_Public.h"

#include <algorithm>
#include <cmath>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace r2;

namespace {

QString Text(std::string_view key) {
    return QString::fromStdString(GetLangText(key));
}

QByteArray ConfigJson(const char* model, const QByteArray& panel) {
    return QByteArray(R"({"format": "r2config-module", "version": 1, "model": ")") + model +
           R"(", "firmware": 4017, "mac": "02 52 32 06 00 01", "time": "2026-12-10T07:54:24Z",)" +
           R"( "panel": {)" + panel + "}}\n";
}

const QByteArray P6Panel = R"("edt_SubnetMask": "255.255.255.0", "edt_ModName": "Pump")";

config::ModuleConfig P6Config(const QByteArray& panel = P6Panel) {
    const QByteArray text = ConfigJson("P6", panel);
    auto read = config::ReadModuleConfig(text.toStdString(), "pump.json");
    if (!read.config) {
        qFatal("%s", read.error.c_str());
    }
    return *read.config;
}

// Five P6 modules at 192.168.0.20 to .24.
std::vector<FoundModule> FiveModules() {
    std::vector<FoundModule> rows;
    for (int i = 0; i < 5; ++i) {
        rows.push_back({QStringLiteral("192.168.0.%1").arg(20 + i), QStringLiteral("M%1").arg(i),
                        QStringLiteral("02 52 32 06 00 0%1").arg(i + 1), 4017, DevFlagP6, 0});
    }
    return rows;
}

QStringList Column(const QTableWidget& table, int column) {
    QStringList cells;
    for (int row = 0; row < table.rowCount(); ++row) {
        cells << (table.item(row, column) ? table.item(row, column)->text() : QString());
    }
    return cells;
}

// The contrast ratio of two colours as WCAG 2 defines it: 1 (none) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& colour) {
        const auto channel = [](double value) {
            return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
               0.0722 * channel(colour.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

class BatchDialogs final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        LangList = TLangList{};
        BuildBuiltInTexts(LangList);
    }

    void init() { LangList.UseChinese = false; }

    void fileIsCheckedForEverySelectedModule_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("secondFlag");
        QTest::addColumn<QStringList>("named"); // what the message must name; empty: accepted
        QTest::newRow("fit") << ConfigJson("P6", P6Panel) << int(DevFlagP6) << QStringList();
        QTest::newRow("another model")
            << ConfigJson("P7", R"("edt_ModNameP7": "Gate")") << int(DevFlagP6)
            << QStringList{"pump.json", "P7", "02 52 32 06 00 01"};
        QTest::newRow("a P7 among P6 modules")
            << ConfigJson("P6", P6Panel) << int(DevFlagP7)
            << QStringList{"pump.json", "P7", "02 52 32 06 00 02"};
        QTest::newRow("an old module")
            << ConfigJson("P6", P6Panel) << int(DevFlagNone) << QStringList{"02 52 32 06 00 02"};
        QTest::newRow("unknown control")
            << ConfigJson("P6", R"("edt_Nonsense": "1")") << int(DevFlagP6)
            << QStringList{"pump.json", "edt_Nonsense"};
        QTest::newRow("wrong value") << ConfigJson("P6", R"("cbb_AddrType": 9)") << int(DevFlagP6)
                                     << QStringList{"pump.json", "cbb_AddrType", "9"};
        QTest::newRow("not JSON") << QByteArray("{\"format\": ") << int(DevFlagP6)
                                  << QStringList{"pump.json", "JSON"};
    }

    void fileIsCheckedForEverySelectedModule() {
        QFETCH(QByteArray, file);
        QFETCH(int, secondFlag);
        QFETCH(QStringList, named);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("pump.json"));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file);
        out.close();
        std::vector<FoundModule> targets = FiveModules();
        targets[1].flag = secondFlag;
        const ApplyFile read = ReadApplyFile(path, targets);
        QCOMPARE(read.config.has_value(), named.isEmpty());
        for (const QString& part : named) {
            QVERIFY2(read.error.contains(part), qPrintable(read.error + " lacks " + part));
        }
        const ApplyFile missing = ReadApplyFile(dir.filePath(QStringLiteral("gone.json")), targets);
        QVERIFY(!missing.config);
        QVERIFY(missing.error.contains(QStringLiteral("gone.json")));
    }

    void previewPlansAddressesAroundTakenOnesAndCountsNames() {
        Tfrm_ApplyPlan dialog(QStringLiteral("/tmp/pump.json"), P6Config(), FiveModules(),
                              {QStringLiteral("192.168.0.31"), QStringLiteral("192.168.0.33")},
                              {QStringLiteral("127.0.0.1"), QStringLiteral("192.168.0.10")});
        QCOMPARE(dialog.objectName(), QStringLiteral("Tfrm_ApplyPlan"));
        dialog.setFields({QStringLiteral("192.168.0.30"), QStringLiteral("Line1-{n:02}"), 7});
        auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("tbl_Preview"));
        QCOMPARE(table->rowCount(), 5);
        QCOMPARE(Column(*table, 0).first(), QStringLiteral("02 52 32 06 00 01"));
        QCOMPARE(Column(*table, 1).last(), QStringLiteral("192.168.0.24"));
        QCOMPARE(Column(*table, 2), (QStringList{"192.168.0.30", "192.168.0.32", "192.168.0.34",
                                                 "192.168.0.35", "192.168.0.36"}));
        QCOMPARE(Column(*table, 4),
                 (QStringList{"Line1-07", "Line1-08", "Line1-09", "Line1-10", "Line1-11"}));
        // Each module's current name beside its planned one, the new one in bold.
        QCOMPARE(table->horizontalHeaderItem(3)->text(), Text("lang_ApplyPlan_colCurrentName"));
        QCOMPARE(Column(*table, 3), (QStringList{"M0", "M1", "M2", "M3", "M4"}));
        QVERIFY(!table->item(0, 3)->font().bold());
        QVERIFY(table->item(0, 4)->font().bold());
        QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("btn_Apply"))->isEnabled());
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("lbl_MaskValue"))->text(),
                 QStringLiteral("255.255.255.0"));
        QCOMPARE(dialog.preview().planned.size(), std::size_t{5});
        QCOMPARE(dialog.preview().planned[4].nameBytes, std::string("Line1-11"));
        // Addresses other modules hold are skipped as the note says, without naming them.
        auto* note = dialog.findChild<QLabel*>(QStringLiteral("lbl_TakenHint"));
        QCOMPARE(note->text(), Text("lang_ApplyPlan_TakenHint"));

        // Without a pattern the modules take the file's name.
        dialog.setFields({QStringLiteral("192.168.0.30"), QString(), 1});
        QCOMPARE(Column(*table, 4), QStringList(5, QStringLiteral("Pump")));
        QVERIFY(dialog.preview().planned[0].name.empty());
    }

    // Enter while typing the plan must not apply it: that would write every selected module.
    void enterInAnEditAppliesNothing_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::newRow("first address") << "edt_FirstIP"
                                       << "192.168.0.30";
        QTest::newRow("name pattern") << "edt_NamePattern"
                                      << "Line1-{n:02}";
    }

    void enterInAnEditAppliesNothing() {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        Tfrm_ApplyPlan dialog(QStringLiteral("pump.json"), P6Config(), FiveModules(), {}, {});
        QSignalSpy applied(&dialog, &QDialog::accepted);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* box = dialog.findChild<QLineEdit*>(edit);
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        QTest::keyClicks(box, typed);
        QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("btn_Apply"))->isEnabled());
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(box, key);
        }
        QCOMPARE(applied.count(), 0);
        QVERIFY(dialog.isVisible());
        QCOMPARE(box->text(), typed);
    }

    // The note under the table is text to read, not a disabled control: at least 4.5:1.
    void skippedNoteIsReadable() {
        const QByteArray panel = P6Panel + R"(, "edt_GatewayIP": "192.168.0.1")";
        Tfrm_ApplyPlan dialog(QStringLiteral("pump.json"), P6Config(panel), FiveModules(), {}, {});
        dialog.setFields({QStringLiteral("192.168.0.1"), QString(), 1});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* note = dialog.findChild<QLabel*>(QStringLiteral("lbl_TakenHint"));
        QVERIFY(note->text().contains(Text("lang_ApplyPlan_SkipGateway")));
        const QPalette::ColorGroup group =
            note->isEnabled() ? QPalette::Active : QPalette::Disabled;
        const QColor text = note->palette().color(group, note->foregroundRole());
        // The label fills no background of its own: the dialog's shows through.
        QVERIFY(!note->autoFillBackground());
        const QColor background = dialog.palette().color(QPalette::Active, dialog.backgroundRole());
        const double ratio = ContrastRatio(text, background);
        QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1 on %2: %3:1")
                                              .arg(text.name(), background.name())
                                              .arg(ratio, 0, 'f', 2)));
    }

    // The file's gateway and DNS server and this computer's addresses are never planned, and the
    // note names each one skipped, in the current language.
    void previewSkipsTheGatewayDnsAndThisComputerAndSaysSo() {
        const QByteArray panel =
            P6Panel + R"(, "edt_GatewayIP": "192.168.0.1")" + R"(, "edtDns": "192.168.0.4")";
        Tfrm_ApplyPlan dialog(QStringLiteral("pump.json"), P6Config(panel), FiveModules(),
                              {QStringLiteral("192.168.0.3")},
                              {QStringLiteral("127.0.0.1"), QStringLiteral("192.168.0.6")});
        dialog.setFields({QStringLiteral("192.168.0.1"), QString(), 1});
        auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("tbl_Preview"));
        QCOMPARE(Column(*table, 2), (QStringList{"192.168.0.2", "192.168.0.5", "192.168.0.7",
                                                 "192.168.0.8", "192.168.0.9"}));
        QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("btn_Apply"))->isEnabled());
        auto* note = dialog.findChild<QLabel*>(QStringLiteral("lbl_TakenHint"));
        for (const bool chinese : {true, false}) {
            LangList.UseChinese = chinese;
            dialog.retranslate();
            QCOMPARE(note->text(), Text("lang_ApplyPlan_TakenHint") + '\n' +
                                       Text("lang_ApplyPlan_Skipped") + "192.168.0.1 (" +
                                       Text("lang_ApplyPlan_SkipGateway") + "), 192.168.0.4 (" +
                                       Text("lang_ApplyPlan_SkipDns") + "), 192.168.0.6 (" +
                                       Text("lang_ApplyPlan_SkipLocal") + ")");
        }
        QCOMPARE(note->text(), QStringLiteral("Addresses the device list shows, the chosen "
                                              "modules' own included, are skipped.\nAlso "
                                              "skipped: 192.168.0.1 (the file's gateway), "
                                              "192.168.0.4 (the file's DNS server), 192.168.0.6 "
                                              "(an address of this computer)"));
        // The plan's skips follow the typing: past this computer's address only.
        dialog.setFields({QStringLiteral("192.168.0.5"), QString(), 1});
        QCOMPARE(Column(*table, 2), (QStringList{"192.168.0.5", "192.168.0.7", "192.168.0.8",
                                                 "192.168.0.9", "192.168.0.10"}));
        QVERIFY(note->text().endsWith(Text("lang_ApplyPlan_Skipped") + "192.168.0.6 (" +
                                      Text("lang_ApplyPlan_SkipLocal") + ")"));
        // Nothing skipped: the note alone.
        dialog.setFields({QString(), QString(), 1});
        QCOMPARE(note->text(), Text("lang_ApplyPlan_TakenHint"));
    }

    void previewWithoutAFirstAddressKeepsEachModulesOwn() {
        Tfrm_ApplyPlan dialog(QStringLiteral("pump.json"), P6Config(), FiveModules(), {}, {});
        dialog.setFields({QString(), QStringLiteral("N{n}"), 1});
        auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("tbl_Preview"));
        QCOMPARE(Column(*table, 2), Column(*table, 1));
        QCOMPARE(Column(*table, 4), (QStringList{"N1", "N2", "N3", "N4", "N5"}));
        QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("btn_Apply"))->isEnabled());
        QVERIFY(dialog.preview().planned[0].ip.empty());
    }

    void planThatCannotBeKeptDisablesApply_data() {
        QTest::addColumn<QByteArray>("panel");
        QTest::addColumn<QString>("firstIp");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not an address") << P6Panel << "192.168.0.300"
                                        << ""
                                        << "192.168.0.300";
        QTest::newRow("subnet runs out") << P6Panel << "192.168.0.252"
                                         << ""
                                         << "runs out";
        QTest::newRow("broadcast") << P6Panel << "192.168.0.255"
                                   << ""
                                   << "broadcast";
        QTest::newRow("one name for all") << P6Panel << ""
                                          << "Pump"
                                          << "same name";
        QTest::newRow("name too long") << P6Panel << ""
                                       << "ABCDEFGHIJKLMNOP{n}"
                                       << "16";
        QTest::newRow("bad counter") << P6Panel << ""
                                     << "N{n:2}"
                                     << "{n:2}";
        QTest::newRow("no mask in the file")
            << QByteArray(R"("edt_ModName": "Pump")") << "192.168.0.30"
            << "" << Text("lang_ApplyPlan_NoMask");
    }

    void planThatCannotBeKeptDisablesApply() {
        QFETCH(QByteArray, panel);
        QFETCH(QString, firstIp);
        QFETCH(QString, pattern);
        QFETCH(QString, reason);
        Tfrm_ApplyPlan dialog(QStringLiteral("pump.json"), P6Config(panel), FiveModules(), {}, {});
        auto* apply = dialog.findChild<QPushButton*>(QStringLiteral("btn_Apply"));
        auto* error = dialog.findChild<QLabel*>(QStringLiteral("lbl_PlanError"));
        QVERIFY(apply->isEnabled());
        dialog.setFields({firstIp, pattern, 1});
        QVERIFY(!apply->isEnabled());
        QVERIFY2(error->text().startsWith(Text("lang_ApplyPlan_PlanError")),
                 qPrintable(error->text()));
        QVERIFY2(error->text().contains(reason), qPrintable(error->text()));
        QVERIFY(dialog.preview().planned.empty());
        auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("tbl_Preview"));
        QCOMPARE(Column(*table, 2), QStringList(5, QString()));

        // Mended, the plan is back.
        dialog.setFields({QString(), QString(), 1});
        QVERIFY(apply->isEnabled());
        QCOMPARE(error->text(), QString());
    }

    void dialogsFollowTheLanguage() {
        Tfrm_ApplyPlan plan(QStringLiteral("pump.json"), P6Config(), FiveModules(), {}, {});
        Tfrm_BatchProgress progress(BatchKind::ApplyFile, FiveModules());
        progress.setOutcome(0, {BatchOutcome::State::Ok, {}});
        auto* planTable = plan.findChild<QTableWidget*>(QStringLiteral("tbl_Preview"));
        auto* rows = progress.findChild<QTableWidget*>(QStringLiteral("tbl_Batch"));
        for (const bool chinese : {true, false}) {
            LangList.UseChinese = chinese;
            plan.retranslate();
            progress.retranslate();
            QCOMPARE(plan.windowTitle(), Text("lang_ApplyPlan_Title"));
            QCOMPARE(planTable->horizontalHeaderItem(2)->text(),
                     Text("lang_ApplyPlan_colPlannedIP"));
            QCOMPARE(plan.findChild<QPushButton*>(QStringLiteral("btn_Apply"))->text(),
                     Text("lang_ApplyPlan_btnApply"));
            QCOMPARE(progress.windowTitle(), Text("lang_Batch_TitleApply"));
            QCOMPARE(rows->item(0, 2)->text(), Text("lang_Batch_OK"));
            QCOMPARE(rows->item(1, 2)->text(), Text("lang_Batch_Waiting"));
        }
        QCOMPARE(Text("lang_Batch_OK"), QStringLiteral("ok"));
    }

    void progressShowsEachModuleStopsAndClosesWhenDone() {
        Tfrm_BatchProgress dialog(BatchKind::Restart, FiveModules());
        QCOMPARE(dialog.objectName(), QStringLiteral("Tfrm_BatchProgress"));
        auto* rows = dialog.findChild<QTableWidget*>(QStringLiteral("tbl_Batch"));
        auto* stop = dialog.findChild<QPushButton*>(QStringLiteral("btn_Stop"));
        auto* close = dialog.findChild<QPushButton*>(QStringLiteral("btn_Close"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(Column(*rows, 1).first(), QStringLiteral("192.168.0.20"));
        QVERIFY(stop->isVisible() && !close->isVisible());

        dialog.setOutcome(0, {BatchOutcome::State::Ok, {}});
        dialog.setOutcome(1, {BatchOutcome::State::Failed, QStringLiteral("no answer")});
        dialog.setOutcome(2, {BatchOutcome::State::Running, {}, 40});
        QCOMPARE(rows->item(1, 2)->text(), Text("lang_Batch_Failed") + QStringLiteral("no answer"));
        QVERIFY(rows->item(2, 2)->text().endsWith(QStringLiteral("40%")));

        QSignalSpy stopped(&dialog, &Tfrm_BatchProgress::stopRequested);
        QTest::mouseClick(stop, Qt::LeftButton);
        QCOMPARE(stopped.size(), 1);
        QVERIFY(!stop->isEnabled());
        dialog.reject(); // Escape while the job runs: the outcome must be seen
        QVERIFY(dialog.isVisible());

        dialog.setOutcome(2, {BatchOutcome::State::Ok, {}});
        dialog.setOutcome(3, {BatchOutcome::State::NotRun, {}});
        dialog.setOutcome(4, {BatchOutcome::State::NotRun, {}});
        dialog.setFinished();
        QVERIFY(close->isVisible() && !stop->isVisible());
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("lbl_Summary"))->text(),
                 Text("lang_Batch_Summary").arg(2).arg(1).arg(2));
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(BatchDialogs)
#include "test_batch_dialogs.moc"
