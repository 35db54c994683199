#include "mainwindow/selection_batch.h"

namespace r2 {

namespace {

BatchOutcome OutcomeOf(const BatchModuleResult& result) {
    using Result = BatchModuleResult::Result;
    switch (result.result) {
    case Result::Ok:
    case Result::DryRun:
        return {BatchOutcome::State::Ok, {}};
    case Result::Failed:
        return {BatchOutcome::State::Failed, result.message};
    case Result::NotRun:
        break;
    }
    return {BatchOutcome::State::NotRun, result.message};
}

} // namespace

SelectionBatch::SelectionBatch(TUdpSvr& udp, ParamMirror& mirror, QObject* parent)
    : QObject(parent), m_udp(udp), m_mirror(mirror) {}

SelectionBatch::~SelectionBatch() = default;

ModuleBatch& SelectionBatch::moduleJob() {
    if (!m_moduleJob) {
        m_moduleJob = std::make_unique<ModuleBatch>(m_udp, m_mirror);
        connect(m_moduleJob.get(), &ModuleBatch::moduleStarted, this, [this](int index) {
            emit outcome(index, {BatchOutcome::State::Running, {}});
        });
        connect(m_moduleJob.get(), &ModuleBatch::moduleFinished, this,
                [this](int index, const BatchModuleResult& result) {
                    moduleOver(index, OutcomeOf(result));
                });
        connect(m_moduleJob.get(), &ModuleBatch::finished, this, &SelectionBatch::jobFinished);
    }
    return *m_moduleJob;
}

UpgradeBatch& SelectionBatch::upgradeJob() {
    if (!m_upgradeJob) {
        m_upgradeJob = std::make_unique<UpgradeBatch>();
        connect(m_upgradeJob.get(), &UpgradeBatch::moduleStarted, this, [this](int index) {
            emit outcome(index, {BatchOutcome::State::Running, {}});
        });
        connect(m_upgradeJob.get(), &UpgradeBatch::moduleProgress, this,
                [this](int index, int percent) {
                    emit outcome(index, {BatchOutcome::State::Running, {}, percent});
                });
        connect(m_upgradeJob.get(), &UpgradeBatch::moduleFinished, this,
                [this](int index, UpgradeEnding ending, const QString& detail) {
                    moduleOver(index, ending == UpgradeEnding::Success
                                          ? BatchOutcome{BatchOutcome::State::Ok, {}}
                                          : BatchOutcome{BatchOutcome::State::Failed, detail});
                });
        connect(m_upgradeJob.get(), &UpgradeBatch::finished, this, &SelectionBatch::jobFinished);
    }
    return *m_upgradeJob;
}

void SelectionBatch::startRestart(std::vector<BatchTarget> targets, BatchSettings settings) {
    if (m_running) {
        return;
    }
    begin(targets.size());
    moduleJob().startRestart(std::move(targets), std::move(settings));
}

void SelectionBatch::startConfig(std::vector<BatchTarget> targets, config::ModuleConfig file,
                                 BatchSettings settings) {
    if (m_running) {
        return;
    }
    begin(targets.size());
    moduleJob().startConfig(std::move(targets), std::move(file), std::move(settings));
}

void SelectionBatch::startUpgrade(QList<UpgradeTarget> targets, QString imagePath) {
    if (m_running) {
        return;
    }
    begin(static_cast<std::size_t>(targets.size()));
    // A failure does not stop the rest: the window's job stops when the user says so.
    upgradeJob().Start(targets, imagePath, false);
}

void SelectionBatch::stop() {
    if (m_moduleJob) {
        m_moduleJob->stopAfterCurrent();
    }
    if (m_upgradeJob) {
        m_upgradeJob->StopAfterCurrent();
    }
}

void SelectionBatch::begin(std::size_t count) {
    m_running = true;
    m_over.assign(count, false);
}

void SelectionBatch::moduleOver(int index, const BatchOutcome& result) {
    m_over.at(static_cast<std::size_t>(index)) = true;
    emit outcome(index, result);
}

// An upgrade stopped after its module under way reports nothing of the modules it did not
// start: they were not run.
void SelectionBatch::jobFinished() {
    for (std::size_t index = 0; index < m_over.size(); ++index) {
        if (!m_over[index]) {
            emit outcome(static_cast<int>(index), {BatchOutcome::State::NotRun, {}});
        }
    }
    m_running = false;
    emit finished();
}

} // namespace r2
