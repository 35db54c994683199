#pragma once
// UpgradeBatch: the firmware upgrade of several modules with one image, one after another.
// Used by `r2ctl upgrade` with several MACs; a window shows the same signals.
//
// Contract:
// - Start() runs one UpgradeEngine for each target in order, never two at once: the boot
//   server's ports are fixed, so a second engine could not bind them. Between two modules the
//   endpoints and the image file are closed, so the next module's start binds afresh; a
//   success, which leaves the engine's endpoints open, is closed the same way.
// - Only the running module's boot requests are answered (by its MAC): a module of an earlier
//   turn that is still asking must not take the next one's address and image.
// - Each module has the engine's whole time: its own 10 s search and its own retransmissions.
//   A module that never answers ends in its timeout and the next one still runs.
// - A mismatch report does not end a module: the search goes on, as in the dialog, since a
//   boot request with the image's identity may still come. A search that then runs out ends
//   the module in the mismatch ending instead of the timeout.
// - stopOnError: after the first module that did not succeed, the rest are not started (they
//   get neither moduleStarted nor moduleFinished).
// - StopAfterCurrent(): the module under way runs to its end and reports it; the rest are not
//   started, as under stopOnError. Abort() is the stop that does not wait.
// - Start() returns at once; every signal comes from the event loop, so a caller may connect
//   and then run a loop until finished(). moduleStarted, moduleProgress and moduleFinished
//   carry the target's index; finished() comes once, after the last module.
// - detail: for every ending but success, what happened and what to do (English).
// - Abort() ends the batch at once: the running module is closed without a moduleFinished,
//   the rest are not started, and finished() follows from the event loop. A Start() during a
//   batch, or before an aborted one has reported finished(), replaces it: the old batch
//   reports nothing more. Destruction closes everything.

#include "upgrade/upgrade_engine.h"

#include <QList>
#include <QObject>
#include <QString>

namespace r2 {

struct UpgradeTarget {
    QString ip;  // the module's address, given to its boot loader in the boot reply
    QString mac; // 12 hex digits, spaces allowed
    // This computer's address on the module's network, which its boot loader fetches the
    // image from.
    QString localIp;
};

class UpgradeBatch final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpgradeBatch)

public:
    explicit UpgradeBatch(QObject* parent = nullptr);
    ~UpgradeBatch() override;

    void Start(const QList<UpgradeTarget>& targets, const QString& imagePath, bool stopOnError);
    void StopAfterCurrent();
    void Abort();
    bool running() const { return m_running; }

signals:
    void moduleStarted(int index);
    void moduleProgress(int index, int percent);
    void moduleFinished(int index, r2::UpgradeEnding ending, const QString& detail);
    void finished();

private:
    void startNext();
    void onEnded(UpgradeEnding ending, const QString& detail);
    void onBlockSent(int block, int length, bool retransmission);
    QString explain(UpgradeEnding ending, const QString& detail) const;
    void scheduleNext();

    UpgradeEngine m_engine;
    QList<UpgradeTarget> m_targets;
    QString m_imagePath;
    bool m_stopOnError = false;
    bool m_running = false;
    bool m_stopping = false;
    int m_current = -1;
    // Counts Start() and Abort() calls, so a next step queued for a batch that is over is
    // dropped.
    quint64 m_generation = 0;
    // The running module's search saw another hardware identity.
    bool m_mismatchSeen = false;
    int m_retransmissions = 0;
};

} // namespace r2
