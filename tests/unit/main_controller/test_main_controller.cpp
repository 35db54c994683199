// The main controller's parts driven against fake slices of the view: the device list (search
// replies in, rows and shared-address marks out, one batch of rows per event-loop pass), the
// frame echo (the exact blocks of the hex pane), the P6 replies into the panel (shown once per
// event-loop pass) and the typed device menu. The window's gui tests
// see the same through widgets; here each rule is checked alone and cheaply, also for the bursts
// and orders that a widget test would have to stage on a network.
#include "lang/Unit_Baselang.h"
#include "mainwindow/device_list.h"
#include "mainwindow/device_menu.h"
#include "mainwindow/frame_echo.h"
#include "mainwindow/panel_replies.h"

#include <QSignalSpy>
#include <QTest>
#include <set>
#include <span>

namespace r2 {
namespace {

// The device list's slice as plain lists: each AddDeviceRows call, each mark, the selection.
class FakeDeviceListView final : public DeviceListView {
public:
    void ClearDeviceList() override {
        ++clears;
        shown.clear();
    }
    void AddDeviceRows(std::span<const FoundModule> rows) override {
        batches.push_back(static_cast<int>(rows.size()));
        shown.insert(shown.end(), rows.begin(), rows.end());
    }
    void MarkSharedAddress(int row) override { marked.push_back(row); }
    int SelectedRow() const override { return selected; }
    std::vector<int> SelectedRows() const override { return selectedRows; }

    int clears = 0;
    std::vector<int> batches; // rows per AddDeviceRows call
    std::vector<FoundModule> shown;
    std::vector<int> marked;
    int selected = -1;
    std::vector<int> selectedRows;
};

// The output slice: every line of both panes, every hex block, messages and the clipboard.
class FakeOutputView final : public OutputView {
public:
    void AddLogLine(const QString& text, PaneColour colour) override {
        log.push_back({text, colour});
    }
    void AddHexLine(const QString& text, PaneColour colour) override {
        blocks.push_back({{text, colour}});
    }
    void AddHexBlock(const std::vector<ColouredLine>& lines) override { blocks.push_back(lines); }
    void ClearPanes() override {
        log.clear();
        blocks.clear();
    }
    void ShowMessage(const QString& text) override { messages << text; }
    void SetClipboardText(const QString& text) override { clipboard = text; }

    std::vector<ColouredLine> log;
    std::vector<std::vector<ColouredLine>> blocks;
    QStringList messages;
    QString clipboard;
};

// The panel slice: each ShowPanel call with the P6 panel as it was shown.
class FakePanelView final : public PanelView {
public:
    explicit FakePanelView(const PanelP6& p6) : m_p6(p6) {}

    void SwitchLayout(int code) override { layouts.push_back(code); }
    void ShowPanel(PanelId panel) override {
        shownPanels.push_back(panel);
        shownP6.push_back(m_p6);
    }
    void FocusControl(const QString&) override {}

    std::vector<int> layouts;
    std::vector<PanelId> shownPanels;
    std::vector<PanelP6> shownP6;

private:
    const PanelP6& m_p6;
};

// PanelReplies with its fake slices and the panel it fills.
struct RepliesFixture {
    PanelP6 panel;
    PanelP6Reader reader{panel};
    FakeOutputView output;
    FakePanelView panels{panel};
    FakeDeviceListView listView;
    DeviceList devices{listView};
    bool jobRunning = false;
    PanelReplies replies{output, panels, devices, reader, [this] { return jobRunning; }};
};

QString Lang(const char* key) {
    return QString::fromStdString(GetLangText(key));
}

struct Reply {
    const char* ip;
    const char* mac;
};

void Found(DeviceList& list, const Reply& reply, const char* name = "Module") {
    list.OnDeviceFound(QString::fromLatin1(reply.ip), QString::fromLatin1(name), 1, 2,
                       QStringLiteral("4017"), QString::fromLatin1(reply.mac));
}

std::vector<QString> Macs(std::span<const FoundModule> rows) {
    std::vector<QString> macs;
    for (const FoundModule& row : rows) {
        macs.push_back(row.mac);
    }
    return macs;
}

void CompareLines(const std::vector<ColouredLine>& actual,
                  const std::vector<ColouredLine>& expected) {
    QCOMPARE(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(actual[i].text, expected[i].text);
        QVERIFY2(actual[i].colour == expected[i].colour, qPrintable(expected[i].text));
    }
}

} // namespace

class TestMainController : public QObject {
    Q_OBJECT

private slots:
    // A burst of replies reaches the view as one batch on the next event-loop pass; the first
    // reply per MAC wins, also against a row listed in an earlier pass.
    void deviceListBatchesABurstAndKeepsTheFirstReplyPerMac() {
        FakeDeviceListView view;
        DeviceList list(view);
        QSignalSpy added(&list, &DeviceList::rowsAdded);
        Found(list, {"192.168.0.10", "02 00 00 00 00 01"}, "First");
        Found(list, {"192.168.0.11", "02 00 00 00 00 02"});
        Found(list, {"192.168.0.12", "02 00 00 00 00 01"}, "Second");
        QVERIFY(view.batches.empty()); // nothing before the event loop turns
        QVERIFY(list.rows().empty());
        QTRY_COMPARE(added.size(), 1);
        QCOMPARE(view.batches, std::vector<int>{2});
        QCOMPARE(added.at(0).at(0).toInt(), 2);
        QCOMPARE(list.rows()[0].name, QStringLiteral("First"));
        QCOMPARE(list.rows()[0].ip, QStringLiteral("192.168.0.10"));

        Found(list, {"192.168.0.13", "02 00 00 00 00 02"});
        Found(list, {"192.168.0.14", "02 00 00 00 00 03"});
        QTRY_COMPARE(added.size(), 2);
        QCOMPARE(view.batches, (std::vector<int>{2, 1}));
        QCOMPARE(Macs(list.rows()), (std::vector<QString>{QStringLiteral("02 00 00 00 00 01"),
                                                          QStringLiteral("02 00 00 00 00 02"),
                                                          QStringLiteral("02 00 00 00 00 03")}));
        QCOMPARE(Macs(view.shown), Macs(list.rows()));
        QVERIFY(view.marked.empty());
    }

    // Every row of an address that more than one listed module has is marked once: the first
    // when the second arrives, each later one as it arrives, within one batch and across them.
    void deviceListMarksEveryRowOfASharedAddressOnce() {
        FakeDeviceListView view;
        DeviceList list(view);
        QSignalSpy added(&list, &DeviceList::rowsAdded);
        Found(list, {"10.0.0.5", "02 00 00 00 00 01"});
        Found(list, {"10.0.0.6", "02 00 00 00 00 02"});
        Found(list, {"10.0.0.5", "02 00 00 00 00 03"});
        Found(list, {"10.0.0.5", "02 00 00 00 00 04"});
        QTRY_COMPARE(added.size(), 1);
        QCOMPARE(view.marked, (std::vector<int>{0, 2, 3}));
        Found(list, {"10.0.0.6", "02 00 00 00 00 05"});
        Found(list, {"10.0.0.5", "02 00 00 00 00 06"});
        QTRY_COMPARE(added.size(), 2);
        QCOMPARE(view.marked, (std::vector<int>{0, 2, 3, 1, 4, 5}));
        const std::set<int> unique(view.marked.begin(), view.marked.end());
        QCOMPARE(unique.size(), view.marked.size());
    }

    // A new search forgets the MACs and addresses of the last one, and a reply still waiting
    // for its event-loop pass.
    void deviceListClearStartsAfresh() {
        FakeDeviceListView view;
        DeviceList list(view);
        QSignalSpy added(&list, &DeviceList::rowsAdded);
        Found(list, {"10.0.0.5", "02 00 00 00 00 01"});
        QTRY_COMPARE(added.size(), 1);
        Found(list, {"10.0.0.9", "02 00 00 00 00 09"}); // pending when the search restarts
        list.Clear();
        QCOMPARE(view.clears, 1);
        QVERIFY(list.rows().empty());
        Found(list, {"10.0.0.5", "02 00 00 00 00 02"});
        Found(list, {"10.0.0.7", "02 00 00 00 00 01"});
        QTRY_COMPARE(added.size(), 2);
        QCOMPARE(added.at(1).at(0).toInt(), 2);
        QCOMPARE(list.rows()[1].ip, QStringLiteral("10.0.0.7"));
        QVERIFY(view.marked.empty()); // 10.0.0.5 is listed once in this search
        QCOMPARE(view.batches, (std::vector<int>{1, 2}));
    }

    // The selection as the one-module actions and the jobs see it: an index the list does not
    // hold (a view ahead of the list, or several selected) is no module.
    void deviceListSelectionIgnoresIndexesItDoesNotHold() {
        FakeDeviceListView view;
        DeviceList list(view);
        QSignalSpy added(&list, &DeviceList::rowsAdded);
        Found(list, {"10.0.0.1", "02 00 00 00 00 01"});
        Found(list, {"", "02 00 00 00 00 02"});
        QTRY_COMPARE(added.size(), 1);
        for (const int index : {-1, 2, 99}) {
            view.selected = index;
            QVERIFY2(list.Selected() == nullptr, qPrintable(QString::number(index)));
        }
        view.selected = 1;
        QVERIFY(list.Selected() == &list.rows()[1]);
        view.selectedRows = {1, 5, 0, -1};
        QCOMPARE(Macs(list.SelectedRows()),
                 (std::vector<QString>{QStringLiteral("02 00 00 00 00 02"),
                                       QStringLiteral("02 00 00 00 00 01")}));
        QCOMPARE(list.addressesTaken(), QStringList{QStringLiteral("10.0.0.1")});
    }

    // The hex pane's block for each kind of frame, line by line with its colour, and the log
    // line that goes with a send.
    void frameEchoWritesOneBlockPerFrame() {
        FakeOutputView output;
        FrameEcho echo(output);
        const QByteArray frame = QByteArray::fromHex("ff01a0");
        const QString arrowTo = QString::fromUtf8(" ] \u2192 [ ");
        const QString arrowFrom = QString::fromUtf8(" ] \u2190 [ ");

        echo.LanSent(frame, QStringLiteral("192.168.0.7"), 1501, 1500,
                     QStringLiteral("192.168.0.2"));
        echo.LanReceived(frame, QStringLiteral("192.168.0.7"), 1501, 1500,
                         QStringLiteral("192.168.0.2"));
        echo.SerialSent(frame, true);
        echo.SerialReceived(frame.left(2));
        QCOMPARE(output.blocks.size(), std::size_t{4});
        CompareLines(output.blocks[0],
                     {{QString()},
                      {"[ 192.168.0.2 : 1501" + arrowTo + "192.168.0.7 : 1500 ]", PaneColour::Blue},
                      {QStringLiteral("[ Length : 3 ]"), PaneColour::Blue},
                      {QStringLiteral("FF 01 A0 ")}});
        CompareLines(
            output.blocks[1],
            {{QString()},
             {"[ 192.168.0.2 : 1501" + arrowFrom + "192.168.0.7 : 1500 ]", PaneColour::Green},
             {QStringLiteral("[ Length : 3 ]"), PaneColour::Green},
             {QStringLiteral("FF 01 A0 ")}});
        CompareLines(output.blocks[2], {{"[ PC" + arrowTo + "Device ]", PaneColour::Blue},
                                        {QStringLiteral("[ Length : 3 ]"), PaneColour::Blue},
                                        {QStringLiteral("FF 01 A0 ")}});
        CompareLines(output.blocks[3], {{"[ PC" + arrowFrom + "Device ]", PaneColour::Green},
                                        {QStringLiteral("[ Length : 2 ]"), PaneColour::Green},
                                        {QStringLiteral("FF 01 ")}});
        CompareLines(output.log, {{Lang("lang_Hint_Sending"), PaneColour::Green},
                                  {Lang("lang_ts_Send") + Lang("lang_ts_OK"), PaneColour::Green}});
    }

    // A frame the port did not take is said in red in the log and not echoed.
    void frameEchoReportsASerialSendThatFailed() {
        FakeOutputView output;
        FrameEcho echo(output);
        echo.SerialSent(QByteArray::fromHex("ff01"), false);
        QVERIFY(output.blocks.empty());
        CompareLines(output.log, {{Lang("lang_Ts_ComSendFailure"), PaneColour::Red}});
        QVERIFY(!output.log[0].text.isEmpty());
    }

    // Replies that arrive together are shown once, on the next event-loop pass, with all of them
    // in the panel; a reply that changes nothing shows nothing.
    void panelRepliesShowThePanelOncePerEventLoopPass() {
        RepliesFixture f;
        f.replies.OnHttpd(QByteArrayLiteral("/api"), QByteArrayLiteral("H:"));
        f.replies.OnModbusParam(TModbusParam{1, 0, ""}, static_cast<int>(ModbusShortLen));
        QVERIFY(f.panels.shownPanels.empty()); // nothing before the event loop turns
        QTRY_COMPARE(f.panels.shownPanels.size(), std::size_t{1});
        QVERIFY(f.panels.shownPanels[0] == PanelId::P6);
        QVERIFY(f.panels.shownP6[0] == f.panel);
        QVERIFY(f.panels.shownP6[0] != PanelP6{});

        f.replies.OnCloudParams(TarrCloudParam{{"A", "B"}, {"C", "D"}}, false, DevFlagP6);
        QTest::qWait(20);
        QCOMPARE(f.panels.shownPanels.size(), std::size_t{1});

        f.replies.OnHttpd(QByteArrayLiteral("/other"), QByteArrayLiteral("K:"));
        QTRY_COMPARE(f.panels.shownPanels.size(), std::size_t{2});
        QVERIFY(f.panels.shownP6[1] == f.panel);
        QVERIFY(f.panels.layouts.empty());
        QVERIFY(f.output.log.empty());
    }

    // While a job over the selection runs, a LAN reply is the job's: the panel stays as it was
    // and is not shown.
    void panelRepliesLeaveThePanelAloneWhileAJobRuns() {
        RepliesFixture f;
        f.jobRunning = true;
        f.replies.OnHttpd(QByteArrayLiteral("/api"), QByteArrayLiteral("H:"));
        f.replies.OnModbusParam(TModbusParam{1, 0, ""}, static_cast<int>(ModbusShortLen));
        QTest::qWait(20);
        QVERIFY(f.panels.shownPanels.empty());
        QVERIFY(f.panel == PanelP6{});
    }

    // Each item of the device menu is found by its QAction's objectName, each name to its own
    // item; the selection's items are told from the one-module items.
    void deviceMenuItemsAreFoundByObjectName() {
        const struct {
            const char* name;
            DeviceMenuItem item;
            bool onSelection;
        } cases[] = {
            {"mniReadTheParam", DeviceMenuItem::ReadTheParam, false},
            {"mni_OpenWeb", DeviceMenuItem::OpenWeb, false},
            {"mni_Restart", DeviceMenuItem::Restart, false},
            {"mni_FirmwareUp", DeviceMenuItem::FirmwareUp, false},
            {"mni_Reset", DeviceMenuItem::Reset, false},
            {"mni_CopyTheMac", DeviceMenuItem::CopyTheMac, false},
            {"mni_CopeAllMac", DeviceMenuItem::CopyAllMacs, false},
            {"mni_SelRestart", DeviceMenuItem::SelRestart, true},
            {"mni_SelCopyMacs", DeviceMenuItem::SelCopyMacs, true},
            {"mni_SelApplyFile", DeviceMenuItem::SelApplyFile, true},
            {"mni_SelUpgrade", DeviceMenuItem::SelUpgrade, true},
        };
        for (const auto& c : cases) {
            const std::optional<DeviceMenuItem> item =
                DeviceMenuItemNamed(QString::fromLatin1(c.name));
            QVERIFY2(item && *item == c.item, c.name);
            QVERIFY2(ActsOnSelection(c.item) == c.onSelection, c.name);
        }
        for (const char* name : {"", "mni_Sel", "mni_CopyAllMac", "MNI_RESTART", "mniN6"}) {
            QVERIFY2(!DeviceMenuItemNamed(QString::fromLatin1(name)), name);
        }
    }
};

} // namespace r2

QTEST_GUILESS_MAIN(r2::TestMainController)
#include "test_main_controller.moc"
