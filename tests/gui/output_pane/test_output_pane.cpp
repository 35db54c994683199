// OutputPane and its PaneBacklog: what the window tests cannot see from outside, that a flood
// reaches the screen in bounded slices, that the backlog holds no more than its bounds (a
// block left out whole and counted), that the pane keeps only its last lines, and that the
// notice of what was left out comes once the backlog has drained.

#include "widgets_common/output_pane.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

using namespace r2;

namespace {

std::vector<PaneLine> Numbered(int first, int count, QColor colour = {}) {
    std::vector<PaneLine> lines;
    for (int i = first; i < first + count; ++i) {
        lines.push_back({QString::number(i), colour});
    }
    return lines;
}

QStringList Texts(const std::vector<PaneLine>& lines) {
    QStringList texts;
    for (const PaneLine& line : lines) {
        texts << line.text;
    }
    return texts;
}

QStringList PaneLines(const OutputPane& pane) {
    return pane.toPlainText().split(QLatin1Char('\n'));
}

// The line count of the document after every slice the pane shows.
struct SliceCounts {
    explicit SliceCounts(OutputPane& pane) {
        QObject::connect(&pane, &OutputPane::flushed, &pane,
                         [this, &pane] { counts.push_back(pane.blockCount()); });
    }
    std::vector<int> counts;
};

} // namespace

class TestOutputPane final : public QObject {
    Q_OBJECT

private slots:
    void backlogHoldsNoMoreThanItsBoundsAndCountsWhatItDrops() {
        constexpr qsizetype LineLimit = 5000;
        constexpr qsizetype CharLimit = 1 << 20;
        PaneBacklog backlog(LineLimit, CharLimit);
        const PaneLine longLine{QString(1000, 'x'), {}};
        long added = 0;
        for (int i = 0; i < 5000; ++i) {
            added += backlog.Add({&longLine, 1}) ? 1 : 0;
        }
        QVERIFY(backlog.PendingChars() <= CharLimit);
        QCOMPARE(added, CharLimit / 1000);
        QCOMPARE(backlog.Dropped(), 5000 - added);

        backlog.Clear();
        QCOMPARE(backlog.Dropped(), 0);
        const PaneLine shortLine{QStringLiteral("x"), {}};
        for (int i = 0; i < LineLimit + 10; ++i) {
            backlog.Add({&shortLine, 1});
        }
        QCOMPARE(backlog.PendingLines(), LineLimit);
        QCOMPARE(backlog.Dropped(), 10);
    }

    // A frame's lines go in together or not at all: never half a frame on the screen.
    void backlogLeavesOutABlockWhole() {
        PaneBacklog backlog(10, PaneBacklog::Unbounded);
        QVERIFY(backlog.Add(Numbered(0, 4)));
        QVERIFY(backlog.Add(Numbered(4, 4)));
        QVERIFY(!backlog.Add(Numbered(8, 3)));
        QVERIFY(backlog.Add(Numbered(8, 2)));
        QCOMPARE(backlog.PendingLines(), 10);
        QCOMPARE(backlog.TakeDropped(), 1);
        QCOMPARE(backlog.Dropped(), 0);
        QCOMPARE(Texts(backlog.Take(100, PaneBacklog::Unbounded)).join(','),
                 QStringLiteral("0,1,2,3,4,5,6,7,8,9"));
    }

    void backlogTakesSlicesInOrder() {
        PaneBacklog backlog;
        for (const char* line : {"one", "two", "three", "four"}) {
            const PaneLine paneLine{QString::fromLatin1(line), {}};
            backlog.Add({&paneLine, 1});
        }
        QCOMPARE(Texts(backlog.Take(2, 1000)), QStringList({"one", "two"}));
        // A character bound lets the first line through whatever its size, then stops.
        QCOMPARE(Texts(backlog.Take(10, 1)), QStringList({"three"}));
        QCOMPARE(backlog.PendingChars(), 4);
        QCOMPARE(Texts(backlog.Take(10, 1000)), QStringList({"four"}));
        QVERIFY(backlog.Take(10, 1000).empty());
        QCOMPARE(backlog.PendingChars(), 0);
    }

    // A burst reaches the screen a slice per event-loop pass, all of it, in order.
    void eachPassShowsABurstInSlices() {
        OutputPane pane;
        pane.Configure({.pace = OutputPane::Pace::EachPass, .sliceLines = 200});
        const SliceCounts slices(pane);
        pane.AddBlock(Numbered(0, 1000));
        QCOMPARE(pane.toPlainText(), QString()); // nothing drawn inside the caller's pass
        QTRY_COMPARE(pane.PendingLines(), 0);
        QCOMPARE(slices.counts, (std::vector<int>{200, 400, 600, 800, 1000}));
        QCOMPARE(PaneLines(pane), Texts(Numbered(0, 1000)));
    }

    // Beyond the backlog, frames are left out whole; once it has drained, one notice says how
    // many, and the count starts again.
    void dropNoticeFollowsTheDrainedBacklog() {
        OutputPane pane;
        pane.Configure({.pace = OutputPane::Pace::EachPass, .sliceLines = 4, .backlogLines = 6});
        pane.SetDropNotice([](long dropped) {
            return PaneLine{QStringLiteral("%1 left out").arg(dropped), QColor(255, 0, 0)};
        });
        pane.AddBlock(Numbered(0, 3));
        pane.AddBlock(Numbered(3, 3));
        pane.AddBlock(Numbered(6, 3));
        pane.AddBlock(Numbered(9, 1));
        QCOMPARE(pane.Dropped(), 2);
        QTRY_COMPARE(pane.PendingLines(), 0);
        QCOMPARE(PaneLines(pane), QStringList({"0", "1", "2", "3", "4", "5", "2 left out"}));
        QCOMPARE(pane.document()->lastBlock().begin().fragment().charFormat().foreground().color(),
                 QColor(255, 0, 0));
        QCOMPARE(pane.Dropped(), 0);

        pane.AddBlock(Numbered(6, 1));
        QTRY_COMPARE(PaneLines(pane).size(), 8);
        QCOMPARE(PaneLines(pane).back(), QStringLiteral("6"));
    }

    // On a timer: each tick shows at most its lines and characters, the backlog's character
    // bound drops what does not fit, and the pane keeps only its last lines.
    void onTimerSlicesAndKeepsItsLastLines() {
        OutputPane pane;
        pane.Configure({.pace = OutputPane::Pace::OnTimer,
                        .timerMs = 5,
                        .sliceLines = 200,
                        .sliceChars = 100,
                        .backlogLines = 5000,
                        .backlogChars = 2000,
                        .keptLines = 30,
                        .follow = OutputPane::Follow::WhenAtEnd});
        const SliceCounts slices(pane);
        for (int i = 0; i < 300; ++i) {
            pane.AddLine({QStringLiteral("%1").arg(i, 10, 10, QLatin1Char('0')), {}});
        }
        QCOMPARE(pane.PendingLines(), 200);
        QCOMPARE(pane.Dropped(), 100);
        QTRY_COMPARE(pane.PendingLines(), 0);
        QCOMPARE(slices.counts.front(), 10);
        QCOMPARE(slices.counts.back(), 30);
        QCOMPARE(PaneLines(pane).front(), QStringLiteral("0000000170"));
        QCOMPARE(PaneLines(pane).back(), QStringLiteral("0000000199"));
    }

    // At once: every line shows as it is added, with its colour or the pane's own format; an
    // empty first line is a line; Clear leaves no empty line in front of the next one.
    void atOnceShowsEveryLineAndClearStartsAfresh() {
        OutputPane pane;
        pane.AddLine({QString(), {}});
        pane.AddLine({QStringLiteral("green"), QColor(0, 128, 0)});
        QCOMPARE(PaneLines(pane), QStringList({"", "green"}));
        const QTextBlock first = pane.document()->firstBlock();
        QVERIFY(!first.charFormat().hasProperty(QTextFormat::ForegroundBrush));
        QCOMPARE(first.next().begin().fragment().charFormat().foreground().color(),
                 QColor(0, 128, 0));

        pane.Clear();
        pane.AddLine({QStringLiteral("after"), {}});
        QCOMPARE(PaneLines(pane), QStringList({"after"}));
    }

    void clearForgetsTheBacklogAndTheDropped() {
        OutputPane pane;
        pane.Configure({.pace = OutputPane::Pace::EachPass, .backlogLines = 2});
        pane.AddBlock(Numbered(0, 3));
        pane.AddBlock(Numbered(0, 2));
        QCOMPARE(pane.Dropped(), 1);
        pane.Clear();
        QCOMPARE(pane.Dropped(), 0);
        QCOMPARE(pane.PendingLines(), 0);
        QTest::qWait(20);
        QCOMPARE(pane.toPlainText(), QString());
    }

    // Always goes to the end after a slice; WhenAtEnd leaves a view the user scrolled up.
    void followsTheEndAsConfigured() {
        for (const auto follow : {OutputPane::Follow::Always, OutputPane::Follow::WhenAtEnd}) {
            OutputPane pane;
            pane.resize(200, 100);
            pane.Configure({.pace = OutputPane::Pace::EachPass, .follow = follow});
            pane.show();
            QVERIFY(QTest::qWaitForWindowExposed(&pane));
            pane.AddBlock(Numbered(0, 100));
            QTRY_COMPARE(pane.PendingLines(), 0);
            QScrollBar* bar = pane.verticalScrollBar();
            QVERIFY(bar->maximum() > 0);
            QCOMPARE(bar->value(), bar->maximum());

            bar->setValue(0);
            pane.AddBlock(Numbered(100, 100));
            QTRY_COMPARE(pane.PendingLines(), 0);
            QTest::qWait(10);
            QCOMPARE(bar->value(), follow == OutputPane::Follow::Always ? bar->maximum() : 0);
        }
    }
};

QTEST_MAIN(TestOutputPane)
#include "test_output_pane.moc"
