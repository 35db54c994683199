#include "selection_batch.h"

#include "Unit_Udp.h"

#include <QTimer>

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

void SelectionBatch::startRestart(std::vector<BatchTarget> targets, BatchSettings settings) {
    m_targets = std::move(targets);
    m_settings = std::move(settings);
    m_file.reset();
    begin(Job::Restart, static_cast<int>(m_targets.size()));
}

void SelectionBatch::startConfig(std::vector<BatchTarget> targets, config::ModuleConfig file,
                                 BatchSettings settings) {
    m_targets = std::move(targets);
    m_settings = std::move(settings);
    m_file = std::move(file);
    begin(Job::Config, static_cast<int>(m_targets.size()));
}

void SelectionBatch::startUpgrade(QList<UpgradeTarget> targets, QStringList localIps,
                                  QString imagePath) {
    m_upgradeTargets = std::move(targets);
    m_localIps = std::move(localIps);
    m_imagePath = std::move(imagePath);
    begin(Job::Upgrade, static_cast<int>(m_upgradeTargets.size()));
}

void SelectionBatch::stop() {
    m_stopRequested = m_running;
}

void SelectionBatch::begin(Job job, int count) {
    m_job = job;
    m_count = count;
    m_current = -1;
    m_running = true;
    m_stopRequested = false;
    QTimer::singleShot(0, this, &SelectionBatch::runNext);
}

void SelectionBatch::runNext() {
    // The job object of the module before may still be on the stack that emitted its end.
    if (m_moduleJob) {
        m_moduleJob.release()->deleteLater();
    }
    ++m_current;
    if (m_current < m_count && !m_stopRequested) {
        startModule(m_current);
        return;
    }
    for (int index = m_current; index < m_count; ++index) {
        emit outcome(index, {BatchOutcome::State::NotRun, {}});
    }
    m_running = false;
    emit finished();
}

void SelectionBatch::startModule(int index) {
    m_result.reset();
    emit outcome(index, {BatchOutcome::State::Running, {}});
    if (m_job == Job::Upgrade) {
        if (!m_upgradeJob) {
            m_upgradeJob = std::make_unique<UpgradeBatch>();
            connect(m_upgradeJob.get(), &UpgradeBatch::moduleProgress, this,
                    [this](int, int percent) {
                        emit outcome(m_current, {BatchOutcome::State::Running, {}, percent});
                    });
            connect(m_upgradeJob.get(), &UpgradeBatch::moduleFinished, this,
                    [this](int, UpgradeEnding ending, const QString& detail) {
                        m_result = ending == UpgradeEnding::Success
                                       ? BatchOutcome{BatchOutcome::State::Ok, {}}
                                       : BatchOutcome{BatchOutcome::State::Failed, detail};
                    });
            connect(m_upgradeJob.get(), &UpgradeBatch::finished, this, [this] {
                moduleOver(m_result.value_or(BatchOutcome{BatchOutcome::State::NotRun, {}}));
            });
        }
        m_upgradeJob->Start({m_upgradeTargets[index]}, m_localIps[index], m_imagePath, false);
        return;
    }
    m_moduleJob = std::make_unique<ModuleBatch>(m_udp, m_mirror);
    connect(m_moduleJob.get(), &ModuleBatch::moduleFinished, this,
            [this](int, const BatchModuleResult& result) { m_result = OutcomeOf(result); });
    connect(m_moduleJob.get(), &ModuleBatch::finished, this, [this] {
        moduleOver(m_result.value_or(BatchOutcome{BatchOutcome::State::NotRun, {}}));
    });
    std::vector<BatchTarget> one{m_targets[static_cast<std::size_t>(index)]};
    const bool started = m_job == Job::Config
                             ? m_moduleJob->startConfig(std::move(one), *m_file, m_settings)
                             : m_moduleJob->startRestart(std::move(one), m_settings);
    if (!started) {
        moduleOver({BatchOutcome::State::NotRun, {}});
    }
}

void SelectionBatch::moduleOver(const BatchOutcome& result) {
    emit outcome(m_current, result);
    QTimer::singleShot(0, this, &SelectionBatch::runNext);
}

} // namespace r2
