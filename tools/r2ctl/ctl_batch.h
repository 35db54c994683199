#pragma once
// clone, and restart with several MACs: a search, then ModuleBatch over every module (clone
// saves modules at distinct addresses overlapping, restart one after another), reported in the
// order of the modules as ctl_batch_report prints it (a line per module and a summary, or one
// JSON array) with the first failure's exit status.
//
// clone checks everything it can before the search (the file in full, --ip-from, the name
// pattern) and makes the whole address plan after it, before anything is written: a refusal
// at either point sends nothing the modules would keep.

#include "lan/module_batch.h"
#include "lan/Unit_Udp.h"
#include "protocol/config/config_plan.h"
#include "tools/r2ctl/ctl_args.h"
#include "tools/r2ctl/ctl_batch_report.h"
#include "tools/r2ctl/ctl_output.h"

#include <optional>
#include <QObject>
#include <QTextStream>
#include <vector>

namespace r2::ctl {

// The exit status a module's failure gives, as the same command on that module alone would.
int BatchExitCode(BatchModuleResult::Failure failure);

class BatchSession final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BatchSession)

public:
    BatchSession(const CtlOptions& options, QTextStream& out, QTextStream& err);

    int run();

private:
    int runClone();
    // clone's steps; each returns the exit status of its refusal, told on the error stream.
    // The options' checks that need the file, before the search.
    std::optional<int> checkClone(const config::ModuleConfig& file,
                                  const config::PlanFields& fields);
    // The modules to write: those --to names, or every listed module of the file's model.
    std::optional<int> takeCloneTargets(const config::ModuleConfig& file);
    // Every found target's planned address and name, before anything is written: a plan that
    // cannot be kept writes nothing.
    std::optional<int> planCloneTargets(const config::ModuleConfig& file,
                                        const config::PlanFields& fields);
    int runRestart();
    // Searches until every MAC asked for answered (every MAC of `macs`; none: the whole wait).
    void search(const QStringList& macs);
    BatchTarget targetFor(const QString& mac) const;
    // Runs the job, printing each module's line once it and every module before it ended;
    // returns the exit status.
    int runBatch(const std::function<bool(ModuleBatch&)>& start);
    void onModuleFinished(int index, const BatchModuleResult& result);
    // Fills a module's row from its result and prints its lines.
    void report(BatchRow& row, const BatchModuleResult& result);
    int fail(int status, const QString& message);

    const CtlOptions m_options;
    QTextStream& m_out;
    QTextStream& m_err;
    ParamMirror m_mirror;
    TUdpSvr m_udp{m_mirror};
    FoundModules m_devices{TUdpSvr::MaxKnownModules};
    std::vector<BatchTarget> m_targets;
    std::vector<BatchRow> m_rows;
    std::vector<std::optional<BatchModuleResult>> m_ended; // by target, until printed
    std::size_t m_printed = 0;                             // rows printed so far
    bool m_namesPlanned = false;
};

} // namespace r2::ctl
