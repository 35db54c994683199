#pragma once
// SelectionBatch: a job over the modules selected in the device list: a restart or the apply of
// a configuration file through ModuleBatch, a firmware upgrade through UpgradeBatch, each given
// the whole list. A stop is the engine's own stop after the module under way, so it never
// cuts a module's frames or its transfer; this class only maps the engines' results onto the
// selection's rows.
//
// Contract: start*() returns at once; a start while a job runs is ignored. outcome(i, Running)
// when module i starts (again, with a percentage, as an upgrade goes on), outcome(i,
// Ok/Failed) when it is over, outcome(i, NotRun) for every module a stop left out; finished()
// once, after the last. Everything waits on timers and signals, so the owner's event loop
// keeps running.

#include "lan/lan_sequences.h"
#include "lan/module_batch.h"
#include "mainwindow/main_view.h"
#include "upgrade/upgrade_batch.h"

#include <memory>
#include <QObject>
#include <vector>

namespace r2 {

class TUdpSvr;

class SelectionBatch final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SelectionBatch)

public:
    SelectionBatch(TUdpSvr& udp, ParamMirror& mirror, QObject* parent = nullptr);
    ~SelectionBatch() override;

    void startRestart(std::vector<BatchTarget> targets, BatchSettings settings);
    void startConfig(std::vector<BatchTarget> targets, config::ModuleConfig file,
                     BatchSettings settings);
    // Each target names the computer's address on its network, which its boot loader is told
    // to fetch the image from.
    void startUpgrade(QList<UpgradeTarget> targets, QString imagePath);
    void stop();
    bool isRunning() const { return m_running; }

signals:
    void outcome(int index, const r2::BatchOutcome& outcome);
    void finished();

private:
    // The engines are made at their first job, and kept.
    ModuleBatch& moduleJob();
    UpgradeBatch& upgradeJob();
    void begin(std::size_t count);
    void moduleOver(int index, const BatchOutcome& outcome);
    void jobFinished();

    TUdpSvr& m_udp;
    ParamMirror& m_mirror;
    bool m_running = false;
    std::vector<bool> m_over; // per module: its last outcome was given
    std::unique_ptr<ModuleBatch> m_moduleJob;
    std::unique_ptr<UpgradeBatch> m_upgradeJob;
};

} // namespace r2
