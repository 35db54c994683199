// UpgradeBatch's signals as a window sees them, on this namespace's loopback: nothing before
// Start() returns, each module started and finished in order, a failure that stops the rest
// only under stopOnError, a stop that lets the module under way end, Abort() in mid-search
// without a moduleFinished and with the ports given back. Whole transfers against boot loaders are
// tested by test_upgrade_batch.py. ctest runs it inside a private network namespace.

#include "upgrade/upgrade_batch.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

namespace {

using r2::UpgradeBatch;
using r2::UpgradeEnding;
using r2::UpgradeTarget;

const QString LocalIp = QStringLiteral("127.0.0.1");
const QList<UpgradeTarget> Targets = {
    {QStringLiteral("127.0.0.2"), QStringLiteral("025232060001"), LocalIp},
    {QStringLiteral("127.0.0.3"), QStringLiteral("025232060002"), LocalIp},
    {QStringLiteral("127.0.0.4"), QStringLiteral("025232060003"), LocalIp}};

// Every signal of the batch as a line, in the order they came.
class Recorder final : public QObject {
public:
    explicit Recorder(UpgradeBatch& batch) {
        connect(&batch, &UpgradeBatch::moduleStarted, this,
                [this](int index) { events << QStringLiteral("started %1").arg(index); });
        connect(
            &batch, &UpgradeBatch::moduleFinished, this,
            [this](int index, UpgradeEnding ending, const QString& detail) {
                events
                    << QStringLiteral("finished %1 %2").arg(index).arg(UpgradeEndingName(ending));
                details << detail;
            });
        connect(&batch, &UpgradeBatch::finished, this,
                [this] { events << QStringLiteral("done"); });
    }

    QStringList events;
    QStringList details;
};

bool PortFree(quint16 port) {
    QUdpSocket probe;
    return probe.bind(QHostAddress::AnyIPv4, port);
}

class UpgradeBatchSignals final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_image = m_dir.filePath(QStringLiteral("fw.bin"));
        QFile file(m_image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("R2P6") + QByteArray(600, 'x'));
    }

    void failureStopsTheRestOnlyUnderStopOnError_data() {
        QTest::addColumn<bool>("stopOnError");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("every module runs")
            << false
            << QStringList{"started 0", "finished 0 failure", "started 1", "finished 1 failure",
                           "started 2", "finished 2 failure", "done"};
        QTest::newRow("stop on error")
            << true << QStringList{"started 0", "finished 0 failure", "done"};
    }

    void failureStopsTheRestOnlyUnderStopOnError() {
        QFETCH(bool, stopOnError);
        QFETCH(QStringList, events);
        // Another server holding the boot server's port fails each module at its start.
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, 67));
        UpgradeBatch batch;
        Recorder recorder(batch);
        QSignalSpy done(&batch, &UpgradeBatch::finished);
        batch.Start(Targets, m_image, stopOnError);
        QVERIFY(batch.running());
        QCOMPARE(recorder.events, QStringList());
        QVERIFY(done.wait(20000));
        QCOMPARE(recorder.events, events);
        QVERIFY(!batch.running());
        for (const QString& detail : recorder.details) {
            QVERIFY2(detail.startsWith(QStringLiteral("upgrade failed: cannot open UDP port 67 "
                                                      "on 127.0.0.1: another server holds")),
                     qPrintable(detail));
        }
        for (const quint16 port : {9, 69, 40300}) {
            QVERIFY2(PortFree(port), qPrintable(QString::number(port)));
        }
    }

    // A stop asked for while a module runs lets that module end and report; the rest are not
    // started, whatever stopOnError says.
    void stopAfterCurrentLetsTheModuleUnderWayEnd() {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, 67));
        UpgradeBatch batch;
        Recorder recorder(batch);
        QSignalSpy done(&batch, &UpgradeBatch::finished);
        connect(&batch, &UpgradeBatch::moduleStarted, &batch, &UpgradeBatch::StopAfterCurrent);
        batch.Start(Targets, m_image, false);
        QVERIFY(done.wait(20000));
        QTest::qWait(200);
        QCOMPARE(recorder.events, (QStringList{"started 0", "finished 0 failure", "done"}));
        QCOMPARE(done.count(), 1);
        QVERIFY(!batch.running());
    }

    void abortInMidSearch() {
        UpgradeBatch batch;
        Recorder recorder(batch);
        QSignalSpy started(&batch, &UpgradeBatch::moduleStarted);
        QSignalSpy done(&batch, &UpgradeBatch::finished);
        batch.Start(Targets, m_image, false);
        QVERIFY(started.wait(5000));
        // No boot loader answers here: the first module searches for its 10 s.
        QVERIFY(!PortFree(67));
        batch.Abort();
        QVERIFY(done.wait(5000));
        QCOMPARE(recorder.events, (QStringList{"started 0", "done"}));
        for (const quint16 port : {9, 67, 69, 40300}) {
            QVERIFY2(PortFree(port), qPrintable(QString::number(port)));
        }
        // Nothing of the aborted batch comes later.
        QTest::qWait(200);
        QCOMPARE(done.count(), 1);
    }

    void restartAfterAbortRunsTheNewList() {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, 69));
        UpgradeBatch batch;
        Recorder recorder(batch);
        QSignalSpy done(&batch, &UpgradeBatch::finished);
        batch.Start(Targets, m_image, false);
        batch.Abort();
        batch.Start(Targets.mid(2), m_image, false);
        QVERIFY(done.wait(20000));
        QTest::qWait(200);
        // A Start() replaces the batch before it: what the old one had still to report is
        // dropped.
        QCOMPARE(recorder.events, (QStringList{"started 0", "finished 0 failure", "done"}));
        QCOMPARE(done.count(), 1);
    }

private:
    QTemporaryDir m_dir;
    QString m_image;
};

} // namespace

QTEST_GUILESS_MAIN(UpgradeBatchSignals)
#include "test_upgrade_batch_signals.moc"
