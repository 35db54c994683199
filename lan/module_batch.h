#pragma once
// ModuleBatch: one job run over several modules over an endpoint and parameter mirror the
// caller owns (r2ctl's, or the window's own).
//
// Contract:
// - Jobs: restart every target, or apply one module configuration to every target. A
//   configuration job reads the target as a save needs it and refuses to write when the
//   module rejected the login, when its read cannot be trusted (several modules answered from
//   its address), when it sent no base block, when its base block names another MAC, or when
//   the module is of another model than the file. The file goes over what the module sent
//   (its MAC never, its address settings only with withNetwork), then the target's planned
//   address (static, the planned IP, the file's mask and gateway, a P6's DNS too) and name;
//   then the ordinary all-or-nothing save runs as the window's.
// - The verdict of a module counts only what the module itself answered: statuses from its
//   own address, the frames the sequence's ledger saw acknowledged in their own windows, and
//   after the last frame replyWaitMs more for late answers.
// - A target without an address was not found by the search and fails as such.
// - Dry run: the read goes out, the save is planned, and its frames are reported instead of
//   sent. A restart's dry run sends nothing at all.
// - stopOnError: after the first failure the modules not yet started are reported not run,
//   once the saves under way have finished; a module whose read was under way is not written
//   (not run).
// - stopAfterCurrent(): every module under way (its read, its save) runs to its end, so a stop
//   never cuts a module's frames; then the modules not yet started are reported not run.
// - Everything waits on timers and signals: the owner's event loop keeps running. Modules are
//   started in target order and read one at a time, because the endpoint keeps one read check
//   and one mirror. Without overlapSaves a module starts when the one before has finished.
//   With overlapSaves (configuration jobs that send) the next module is read as soon as the
//   save before has started, its blocks already encoded into its frames and its mirror
//   committed, unless a save still under way goes to the same address: answers are told apart
//   by their sender only, so modules sharing an address are saved one after another. Every
//   save keeps its own sequence, counts and verdict; moduleFinished may then come out of
//   target order.
// - moduleStarted(i) and moduleFinished(i, result) come for every module that runs;
//   moduleFinished alone for one not run; finished() after the last has finished.

#include "lan/found_modules.h"
#include "lan/lan_sequences.h"
#include "lan/module_outcome.h"
#include "lan/save_over_read.h"
#include "protocol/config/address_plan.h"
#include "protocol/config/config_file.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p6_reader.h"
#include "protocol/panel_p7.h"

#include <memory>
#include <optional>
#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <string>
#include <vector>

namespace r2 {

class TUdpSvr;

// A module as the search listed it, with what the job plans for it. `ip` empty: the search
// did not find it.
struct BatchTarget : FoundModule {
    std::optional<config::PlannedModule> planned; // clone --ip-from / --name
};

struct BatchSettings {
    QString user = QStringLiteral("admin");
    QString password = QStringLiteral("tulip");
    int replyWaitMs = 2000; // after a read, and after a sequence's last frame
    bool dryRun = false;
    bool stopOnError = false;
    // Configuration jobs: read the next module while saves to other addresses go on.
    bool overlapSaves = false;
};

// What a frame that was not sent would have been.
struct BatchFrame {
    quint8 command = 0;
    quint16 port = 0;
    QByteArray bytes;
};

struct BatchModuleResult {
    enum class Result { Ok, Failed, NotRun, DryRun };
    using Failure = ModuleFailure;

    Result result = Result::NotRun;
    Failure failure = Failure::None;
    QString message;                       // what happened and what to do (failures)
    QStringList skippedKeys;               // language keys of blocks a save's checks skipped
    std::vector<BatchFrame> framesNotSent; // dry run
};

class ModuleBatch final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModuleBatch)

public:
    ModuleBatch(TUdpSvr& udp, ParamMirror& mirror, QObject* parent = nullptr);
    ~ModuleBatch() override;

    // Each starts the job and returns at once; false when a job is already running.
    bool startRestart(std::vector<BatchTarget> targets, BatchSettings settings);
    bool startConfig(std::vector<BatchTarget> targets, config::ModuleConfig file,
                     BatchSettings settings, bool withNetwork = false);

    void stopAfterCurrent();
    bool isRunning() const { return m_running; }
    const std::vector<BatchTarget>& targets() const { return m_targets; }
    // One per target; complete once finished() was emitted.
    const std::vector<BatchModuleResult>& results() const { return m_results; }

signals:
    void moduleStarted(int index);
    void moduleFinished(int index, const r2::BatchModuleResult& result);
    void finished();

private:
    // A module's sequence (a save or restart), from its start to the end of the wait for its
    // late answers.
    struct Flight {
        std::size_t index = 0;
        QString moduleIp;    // whose statuses count
        ModuleCounts counts; // what the module answered while its save ran
        QStringList skippedKeys;
        std::unique_ptr<LanSequence> sequence;
        QTimer wait;
    };

    bool begin(std::vector<BatchTarget> targets, BatchSettings settings);
    void runNext();
    bool mayStart(const BatchTarget& target) const;
    void startModule();
    void startRead(const BatchTarget& target);
    // Takes the batch's reader back from the endpoint when a read is under way.
    void endRead();
    void onReadDone();
    void saveOverRead(const BatchTarget& target);
    void runPlan(const BatchTarget& target, const SequencePlan& plan);
    void onSequenceFinished(Flight& flight);
    BatchModuleResult verdictResult(const Flight& flight) const;
    BatchModuleResult dryRunResult(const SequencePlan& plan) const;
    void endFlight(Flight& flight);
    void finishModule(std::size_t index, BatchModuleResult result);

    void onStatusFrom(int code, const QString& senderIp);
    bool reading() const { return m_current && m_readSequence; }

    enum class Job { Restart, Config };

    TUdpSvr& m_udp;
    ParamMirror& m_mirror;
    Job m_job = Job::Restart;
    bool m_running = false;
    std::vector<BatchTarget> m_targets;
    std::vector<BatchModuleResult> m_results;
    BatchSettings m_settings;
    std::optional<config::ModuleConfig> m_file;
    bool m_withNetwork = false;
    std::size_t m_next = 0; // the first module not started
    bool m_failedOnce = false;
    bool m_stopAsked = false;

    // The module started and not yet handed to a flight nor finished, and its read.
    std::optional<std::size_t> m_current;
    QString m_readIp;          // whose statuses count during the read
    ModuleCounts m_readCounts; // what the module answered to its read
    PanelP6 m_panel;
    PanelP6Reader m_reader{m_panel}; // the target's replies into m_panel
    std::unique_ptr<LanSequence> m_readSequence;
    QTimer m_readWait;

    std::vector<std::unique_ptr<Flight>> m_flights;
    // Ended flights, dropped outside their own signals.
    std::vector<std::unique_ptr<Flight>> m_ended;
};

} // namespace r2

Q_DECLARE_METATYPE(r2::BatchModuleResult)
