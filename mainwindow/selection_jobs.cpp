#include "mainwindow/selection_jobs.h"

#include "lan/Unit_Udp.h"
#include "mainwindow/apply_plan.h"
#include "mainwindow/controller_texts.h"
#include "mainwindow/selection_batch.h"
#include "protocol/local_ips.h"

#include <utility>

namespace r2 {

SelectionJobs::SelectionJobs(TUdpSvr& udp, ParamMirror& mirror, const DeviceList& devices,
                             LanSession& session, JobViews views, QObject* parent)
    : QObject(parent), m_udp(udp), m_devices(devices), m_session(session), m_output(views.output),
      m_panels(views.panels), m_view(views.batch),
      m_batch(std::make_unique<SelectionBatch>(udp, mirror)) {
    connect(m_batch.get(), &SelectionBatch::outcome, this,
            [this](int index, const BatchOutcome& outcome) {
                m_view.ShowBatchOutcome(index, outcome);
            });
    connect(m_batch.get(), &SelectionBatch::finished, this, [this] {
        m_view.BatchFinished();
        emit finished();
    });
    connect(&m_session, &LanSession::sequenceOver, this, &SelectionJobs::onSessionSequenceOver);
}

SelectionJobs::~SelectionJobs() = default;

bool SelectionJobs::isRunning() const {
    return m_batch->isRunning() || m_whenLanIdle;
}

void SelectionJobs::WindDown() {
    if (m_whenLanIdle) {
        m_whenLanIdle = {};
        m_view.BatchFinished();
    }
    m_batch->stop();
}

void SelectionJobs::Stop() {
    m_batch->stop();
}

void SelectionJobs::onSessionSequenceOver() {
    if (m_session.sequencesRunning() == 0 && m_whenLanIdle) {
        std::exchange(m_whenLanIdle, {})();
    }
}

void SelectionJobs::MenuAction(DeviceMenuItem item) {
    if (isRunning()) {
        return;
    }
    switch (item) {
    case DeviceMenuItem::SelCopyMacs:
        copyMacs();
        return;
    case DeviceMenuItem::SelRestart:
        restart();
        return;
    case DeviceMenuItem::SelApplyFile:
        if (const QString path = m_view.ChooseConfigFile(); !path.isEmpty()) {
            ApplyFileToSelection(path);
        }
        return;
    case DeviceMenuItem::SelUpgrade:
        if (const QString path = m_view.ChooseFirmwareFile(); !path.isEmpty()) {
            UpgradeSelection(path);
        }
        return;
    default:
        return;
    }
}

void SelectionJobs::copyMacs() {
    QStringList macs;
    for (const FoundModule& row : m_devices.SelectedRows()) {
        macs << row.mac;
    }
    if (!macs.isEmpty()) {
        m_output.SetClipboardText(macs.join(QLatin1Char('\n')));
    }
}

std::vector<BatchTarget> SelectionJobs::batchTargets(const std::vector<FoundModule>& rows) const {
    std::vector<BatchTarget> targets;
    for (const FoundModule& row : rows) {
        targets.push_back({row, std::nullopt});
    }
    return targets;
}

BatchSettings SelectionJobs::batchSettings() const {
    BatchSettings settings;
    settings.user = m_session.userName();
    settings.password = m_session.password();
    return settings;
}

// The job reads and writes through the window's endpoint and mirror: the panel shown would no
// longer match what a save sends, so the window goes back to the search layout until a module
// is clicked again.
void SelectionJobs::start(BatchKind kind, const std::vector<FoundModule>& targets,
                          std::function<void()> begin) {
    m_panels.SwitchLayout(LayoutSearch);
    m_view.ShowBatchProgress(kind, targets);
    if (m_session.sequencesRunning() == 0) {
        begin();
    } else {
        m_whenLanIdle = std::move(begin);
    }
}

std::vector<FoundModule> SelectionJobs::selectionForJob() {
    if (isRunning()) {
        return {};
    }
    std::vector<FoundModule> targets = m_devices.SelectedRows();
    if (targets.empty()) {
        LogText(m_output, "lang_Hint_NoTarget", PaneColour::Red);
    }
    return targets;
}

void SelectionJobs::restart() {
    const std::vector<FoundModule> targets = selectionForJob();
    if (targets.empty()) {
        return;
    }
    start(BatchKind::Restart, targets, [this, jobTargets = batchTargets(targets)] {
        m_batch->startRestart(jobTargets, batchSettings());
    });
}

void SelectionJobs::ApplyFileToSelection(const QString& path) {
    const std::vector<FoundModule> targets = selectionForJob();
    if (targets.empty()) {
        return;
    }
    const ApplyFile file = ReadApplyFile(path, targets);
    if (!file.config) {
        m_output.AddLogLine(file.error, PaneColour::Red);
        m_output.ShowMessage(file.error);
        return;
    }
    QStringList thisComputer;
    for (const std::string& ip : ThisComputerAddresses()) {
        thisComputer << QString::fromStdString(ip);
    }
    const auto plan =
        m_view.AskApplyPlan(path, *file.config, targets, m_devices.addressesTaken(), thisComputer);
    if (!plan || plan->size() != targets.size()) {
        return;
    }
    std::vector<BatchTarget> jobTargets = batchTargets(targets);
    for (std::size_t i = 0; i < jobTargets.size(); ++i) {
        const config::PlannedModule& planned = (*plan)[i];
        if (!planned.ip.empty() || !planned.name.empty()) {
            jobTargets[i].planned = planned;
        }
    }
    start(BatchKind::ApplyFile, targets,
          [this, jobTargets = std::move(jobTargets), config = *file.config] {
              m_batch->startConfig(jobTargets, config, batchSettings());
          });
}

void SelectionJobs::UpgradeSelection(const QString& imagePath) {
    const std::vector<FoundModule> targets = selectionForJob();
    if (targets.empty()) {
        return;
    }
    QList<UpgradeTarget> upgradeTargets;
    for (const FoundModule& row : targets) {
        upgradeTargets.push_back(
            {row.ip, MacWithoutSpaces(row.mac), m_udp.socketLocalIp(row.socketIndex)});
    }
    start(BatchKind::Upgrade, targets,
          [this, upgradeTargets, imagePath] { m_batch->startUpgrade(upgradeTargets, imagePath); });
}

} // namespace r2
