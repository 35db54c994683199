#pragma once
// SelectionBatch: a job over the modules selected in the device list, run one module after
// another: a restart or the apply of a configuration file through ModuleBatch, a firmware
// upgrade through UpgradeBatch. Each is handed one module at a time, so that a stop takes
// effect after the module it is on, never in the middle of its frames or its transfer.
//
// Contract: start*() returns at once. outcome(i, Running) when module i starts (again, with
// a percentage, as an upgrade goes on), outcome(i, Ok/Failed) when it is over, outcome(i,
// NotRun) for every module a stop left out; finished() once, after the last. Everything waits
// on timers and signals, so the owner's event loop keeps running.

#include "lan_sequences.h"
#include "main_view.h"
#include "module_batch.h"
#include "upgrade_batch.h"

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
    // `localIps`: for each target the computer's address on its network, which its boot loader
    // is told to fetch the image from.
    void startUpgrade(QList<UpgradeTarget> targets, QStringList localIps, QString imagePath);
    void stop();
    bool isRunning() const { return m_running; }

signals:
    void outcome(int index, const r2::BatchOutcome& outcome);
    void finished();

private:
    enum class Job { Restart, Config, Upgrade };

    void begin(Job job, int count);
    void runNext();
    void startModule(int index);
    void moduleOver(const BatchOutcome& result);

    TUdpSvr& m_udp;
    ParamMirror& m_mirror;
    Job m_job = Job::Restart;
    bool m_running = false;
    bool m_stopRequested = false;
    int m_count = 0;
    int m_current = -1;
    std::vector<BatchTarget> m_targets;
    std::optional<config::ModuleConfig> m_file;
    BatchSettings m_settings;
    QList<UpgradeTarget> m_upgradeTargets;
    QStringList m_localIps;
    QString m_imagePath;
    std::unique_ptr<ModuleBatch> m_moduleJob;
    std::unique_ptr<UpgradeBatch> m_upgradeJob;
    std::optional<BatchOutcome> m_result; // of the current module, once it is known
};

} // namespace r2
