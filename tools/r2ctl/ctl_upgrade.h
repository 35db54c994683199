#pragma once
// One `r2ctl upgrade` run: the firmware upgrade of the dialog, by the same UpgradeEngine.
//
// The engine's status texts are shown in English. On a terminal the progress is one bar
// redrawn in place; otherwise each new status text is a line of its own, and every
// retransmission is named. Under --json one object is printed at the end: ending, blocks (the
// highest block sent), retransmissions, bytes (payload bytes sent, each block counted once),
// seconds and detail.
//
// Exit status: 0 success, 6 timeout, 7 when the search ran out after a boot loader announced
// another hardware identity (the mismatch the dialog shows), 5 failure with its reason.
//
// With several MACs (paired in order with the --ip entries) the modules are upgraded one after
// another by UpgradeBatch, and the output is the batch report (ctl_batch_report.h): a line per
// module as it ends, the modules not run after it, the summary; or the JSON array. A module's
// old and new address are both its --ip entry. The exit status is the first failed module's.

#include "tools/r2ctl/ctl_args.h"
#include "tools/r2ctl/ctl_batch_report.h"
#include "upgrade/upgrade_batch.h"
#include "upgrade/upgrade_engine.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTextStream>
#include <vector>

namespace r2::ctl {

class UpgradeSession final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpgradeSession)

public:
    UpgradeSession(const CtlOptions& options, QTextStream& out, QTextStream& err, bool terminal);

    // Runs the upgrade (or each module's, one after another) to its ending; returns the exit
    // status.
    int run();

private:
    int runOne();
    void onStatus(const QString& key, const QString& suffix);
    void onBlockSent(int block, int length, bool retransmission);
    void drawBar(int percent);
    void endBar();
    int statusOf(UpgradeEnding ending) const;
    QString explain(UpgradeEnding ending, const QString& detail) const;
    void printSummary(UpgradeEnding ending, const QString& detail, int status);

    const CtlOptions m_options;
    QTextStream& m_out;
    QTextStream& m_err;
    const bool m_terminal;
    UpgradeEngine m_engine;
    QElapsedTimer m_clock;
    QString m_lastKey;
    QString m_keyText;
    QString m_lastStatus;
    bool m_barShown = false;
    bool m_mismatchSeen = false;
    int m_highestBlock = 0;
    int m_retransmissions = 0;
    qint64 m_bytes = 0;
    QSet<int> m_blocksSeen;
};

// The upgrade of several modules: their lines and summary, or the JSON array.
class UpgradeBatchSession final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpgradeBatchSession)

public:
    UpgradeBatchSession(const CtlOptions& options, QTextStream& out);

    int run();

private:
    void onModuleFinished(int index, UpgradeEnding ending, const QString& detail);

    const CtlOptions m_options;
    QTextStream& m_out;
    UpgradeBatch m_batch;
    std::vector<BatchRow> m_rows;
    int m_printed = 0; // the rows whose lines are out
};

} // namespace r2::ctl
