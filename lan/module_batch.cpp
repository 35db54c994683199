#include "lan/module_batch.h"

#include "lan/frame_text.h"
#include "lan/Unit_Udp.h"
#include "qt_bridge/qt_bridge.h"

#include <algorithm>

namespace r2 {

namespace {

using Result = BatchModuleResult::Result;
using Failure = BatchModuleResult::Failure;

BatchModuleResult Failed(Failure failure, const QString& message) {
    BatchModuleResult result;
    result.result = Result::Failed;
    result.failure = failure;
    result.message = message;
    return result;
}

} // namespace

ModuleBatch::ModuleBatch(TUdpSvr& udp, ParamMirror& mirror, QObject* parent)
    : QObject(parent), m_udp(udp), m_mirror(mirror) {
    m_readWait.setSingleShot(true);
    m_readWait.setTimerType(Qt::PreciseTimer);
    connect(&m_readWait, &QTimer::timeout, this, &ModuleBatch::onReadDone);
    connect(&m_udp, &TUdpSvr::statusFrom, this,
            [this](int code, const QString&, const QString& senderIp, qint64) {
                onStatusFrom(code, senderIp);
            });
    connect(&m_udp, &TUdpSvr::OnStatus, this, [this](int code, const QString&) {
        // A socket that could not be opened sends nothing; it has no sender to come from.
        if (code != StPortInUse) {
            return;
        }
        if (reading()) {
            CountStatus(m_readCounts, code);
        }
        for (const auto& flight : m_flights) {
            CountStatus(flight->counts, code);
        }
    });
}

ModuleBatch::~ModuleBatch() {
    endRead();
}

bool ModuleBatch::startRestart(std::vector<BatchTarget> targets, BatchSettings settings) {
    if (m_running) {
        return false;
    }
    m_job = Job::Restart;
    m_file.reset();
    return begin(std::move(targets), std::move(settings));
}

bool ModuleBatch::startConfig(std::vector<BatchTarget> targets, config::ModuleConfig file,
                              BatchSettings settings, bool withNetwork) {
    if (m_running) {
        return false;
    }
    m_job = Job::Config;
    m_file = std::move(file);
    m_withNetwork = withNetwork;
    return begin(std::move(targets), std::move(settings));
}

void ModuleBatch::stopAfterCurrent() {
    if (m_running) {
        m_stopAsked = true;
    }
}

bool ModuleBatch::begin(std::vector<BatchTarget> targets, BatchSettings settings) {
    m_running = true;
    m_targets = std::move(targets);
    m_settings = std::move(settings);
    m_results.assign(m_targets.size(), BatchModuleResult{});
    m_next = 0;
    m_current.reset();
    m_failedOnce = false;
    m_stopAsked = false;
    // The first module starts from the event loop, so that the caller's start returns first.
    QTimer::singleShot(0, this, &ModuleBatch::runNext);
    return true;
}

void ModuleBatch::runNext() {
    // Sequences that ended are dropped here, outside their own signals.
    m_ended.clear();
    if (!m_running || m_current) {
        return;
    }
    if (m_next >= m_targets.size()) {
        if (m_flights.empty()) {
            m_running = false;
            emit finished();
        }
        return;
    }
    if (m_stopAsked || (m_failedOnce && m_settings.stopOnError)) {
        // Once the saves under way have ended, so that the modules left out end after them.
        if (!m_flights.empty()) {
            return;
        }
        // Reported as not run, one by one, so that a listener sees every module's end.
        const std::size_t index = m_next++;
        finishModule(index, BatchModuleResult{});
        return;
    }
    if (mayStart(m_targets[m_next])) {
        startModule();
    }
}

bool ModuleBatch::mayStart(const BatchTarget& target) const {
    if (m_flights.empty()) {
        return true;
    }
    if (!m_settings.overlapSaves || m_job != Job::Config) {
        return false;
    }
    // A module that answers from the address of a save under way could not be told from it.
    const QString ip = m_udp.moduleAddress(target.mac);
    return std::ranges::none_of(m_flights,
                                [&ip](const auto& flight) { return flight->moduleIp == ip; });
}

void ModuleBatch::startModule() {
    m_current = m_next++;
    const std::size_t index = *m_current;
    const BatchTarget& target = m_targets[index];
    emit moduleStarted(static_cast<int>(index));
    if (target.ip.isEmpty()) {
        finishModule(index, Failed(Failure::NotFound,
                                   QStringLiteral("no module with the MAC %1 answered the search; "
                                                  "check that it is powered and on this network")
                                       .arg(target.mac)));
        return;
    }
    if (m_job == Job::Restart) {
        runPlan(target, PlanRestart(target.target()));
        return;
    }
    const auto model = config::ModelFromFlag(target.flag);
    if (!model) {
        finishModule(index,
                     Failed(Failure::Refused,
                            QStringLiteral("the module's firmware (version %1) is of no model a "
                                           "configuration file is made for; nothing was written")
                                .arg(target.version)));
        return;
    }
    if (const std::string refused = config::CheckTargetModel(*m_file, *model, "the file");
        !refused.empty()) {
        finishModule(index, Failed(Failure::Refused,
                                   QString::fromStdString(refused) +
                                       QStringLiteral("; nothing was written to this module")));
        return;
    }
    startRead(target);
}

void ModuleBatch::startRead(const BatchTarget& target) {
    m_readCounts = ModuleCounts{};
    m_panel = PanelP6{};
    m_reader.ReadModule(target.mac.toStdString(), target.flag);
    // The panel is filled as the window fills it on a click, from the target's replies only
    // (the endpoint passes no other address's parameter replies during a read).
    m_udp.setReplyReader(&m_reader);
    m_readIp = m_udp.moduleAddress(target.mac);
    m_readSequence =
        std::make_unique<LanSequence>(m_udp, m_mirror, PlanRead(target.flag, target.target()),
                                      m_settings.user, m_settings.password);
    m_readSequence->start();
    // The module sends its blocks one reply after another; none says it was the last.
    m_readWait.start(m_settings.replyWaitMs);
}

void ModuleBatch::endRead() {
    if (reading()) {
        m_udp.setReplyReader(nullptr);
    }
}

void ModuleBatch::onReadDone() {
    endRead();
    m_readSequence.reset();
    const BatchTarget& target = m_targets[*m_current];
    if (auto refused = ReadForSaveRefusal(m_udp.readCheck(), m_readCounts.passwordErrors,
                                          target.flag, m_reader.Filled(), target.mac)) {
        // What to do next, where the check's own words do not say it.
        if (refused->failure == Failure::Password) {
            refused->message += QStringLiteral("; give the module's own user name and password");
        } else if (refused->failure == Failure::NoAnswer) {
            refused->message += QStringLiteral("; check that it is powered and reachable, then "
                                               "try again");
        }
        finishModule(*m_current, Failed(refused->failure, refused->message));
        return;
    }
    if (m_failedOnce && m_settings.stopOnError) {
        // A save under way failed while this module was read: nothing more is written.
        finishModule(*m_current, BatchModuleResult{});
        return;
    }
    saveOverRead(target);
}

void ModuleBatch::saveOverRead(const BatchTarget& target) {
    PanelP6 p6Panel = m_panel;
    PanelP7 p7;
    if (std::string problem;
        !ApplyOverRead(target.flag, target.mac, m_mirror, *m_file, m_withNetwork,
                       target.planned ? &*target.planned : nullptr, p6Panel, p7, problem)) {
        finishModule(*m_current,
                     Failed(Failure::Refused, QString::fromStdString(problem) +
                                                  QStringLiteral("; nothing was written")));
        return;
    }
    const LanTarget lanTarget = target.target();
    const PlanResult planned =
        PlanSaveOverRead(target.flag, p6Panel, p7, m_mirror, lanTarget, target.version);
    if (!planned.plan) {
        finishModule(*m_current, Failed(Failure::Refused,
                                        planned.error + QStringLiteral("; nothing was sent")));
        return;
    }
    runPlan(target, *planned.plan);
}

BatchModuleResult ModuleBatch::dryRunResult(const SequencePlan& plan) const {
    BatchModuleResult result;
    result.result = Result::DryRun;
    for (const SequenceStep& step : plan.steps) {
        if (step.frame) {
            const Bytes frame = BuildCommandFrame(
                step.frame->command, step.frame->target.mac.toStdString(),
                ToFrameText(m_settings.user), ToFrameText(m_settings.password), step.frame->block);
            result.framesNotSent.push_back(
                BatchFrame{step.frame->command, step.frame->port, ByteArrayOf(frame)});
        } else if (!step.messageKey.isEmpty()) {
            result.skippedKeys << step.messageKey;
        }
    }
    return result;
}

void ModuleBatch::runPlan(const BatchTarget& target, const SequencePlan& plan) {
    const std::size_t index = *m_current;
    if (m_settings.dryRun) {
        finishModule(index, dryRunResult(plan));
        return;
    }
    auto owned = std::make_unique<Flight>();
    Flight& flight = *owned;
    flight.index = index;
    flight.moduleIp = m_udp.moduleAddress(target.mac);
    flight.wait.setSingleShot(true);
    flight.wait.setTimerType(Qt::PreciseTimer);
    connect(&flight.wait, &QTimer::timeout, this, [this, &flight] { endFlight(flight); });
    flight.sequence =
        std::make_unique<LanSequence>(m_udp, m_mirror, plan, m_settings.user, m_settings.password);
    connect(flight.sequence.get(), &LanSequence::stepSent, this,
            [&flight](int, const LanFrame&, bool ok) {
                ++(ok ? flight.counts.framesSent : flight.counts.framesFailed);
            });
    connect(flight.sequence.get(), &LanSequence::message, this,
            [&flight](const QString& key) { flight.skippedKeys << key; });
    connect(flight.sequence.get(), &LanSequence::finished, this,
            [this, &flight] { onSequenceFinished(flight); });
    m_flights.push_back(std::move(owned));
    // The module is no longer the one being started: its frames carry their blocks and the
    // sequence commits its mirror as it starts, so the next read may fill the mirror.
    m_current.reset();
    flight.sequence->start();
    QTimer::singleShot(0, this, &ModuleBatch::runNext);
}

void ModuleBatch::onSequenceFinished(Flight& flight) {
    if (!flight.sequence->verdict().refused.isEmpty() ||
        flight.counts.framesSent + flight.counts.framesFailed == 0) {
        endFlight(flight);
        return;
    }
    // Late answers still speak for the module (an error status after its acknowledgement).
    flight.wait.start(m_settings.replyWaitMs);
}

void ModuleBatch::endFlight(Flight& flight) {
    BatchModuleResult result = verdictResult(flight);
    const std::size_t index = flight.index;
    const auto it =
        std::ranges::find_if(m_flights, [&flight](const auto& f) { return f.get() == &flight; });
    m_ended.push_back(std::move(*it));
    m_flights.erase(it);
    finishModule(index, std::move(result));
}

BatchModuleResult ModuleBatch::verdictResult(const Flight& flight) const {
    const SequenceVerdict& verdict = flight.sequence->verdict();
    if (!verdict.refused.isEmpty()) {
        return Failed(Failure::Other, verdict.refused + QStringLiteral("; nothing was sent"));
    }
    // The acknowledgements that count are those the ledger saw in their own windows.
    ModuleCounts c = flight.counts;
    c.acks = verdict.acknowledgedCount();
    const QString unacknowledged = verdict.text();
    const auto withVerdict = [&unacknowledged](QString text) {
        return unacknowledged.isEmpty() ? text : text + QStringLiteral("; ") + unacknowledged;
    };
    BatchModuleResult result;
    switch (JudgeModule(c)) {
    case ModuleOutcome::Ok:
        result.result = Result::Ok;
        break;
    case ModuleOutcome::PasswordRefused:
        result = Failed(Failure::Password,
                        QStringLiteral("the module rejected the user name or password; give its "
                                       "own login"));
        break;
    case ModuleOutcome::SendFailed:
        result = Failed(Failure::Other, QStringLiteral("%1 frame(s) could not be sent; check "
                                                       "this computer's network")
                                            .arg(c.framesFailed));
        break;
    case ModuleOutcome::NothingSent:
        result = Failed(Failure::Other, QStringLiteral("nothing was sent"));
        break;
    case ModuleOutcome::ErrorStatus:
        result = Failed(
            Failure::Other,
            withVerdict(
                QStringLiteral("the module answered with %1 error status(es)").arg(c.otherErrors)));
        break;
    case ModuleOutcome::NoAnswer:
        result = Failed(Failure::NoAnswer,
                        QStringLiteral("nothing answered the %1 frame(s) sent; check that the "
                                       "module is powered and reachable")
                            .arg(c.framesSent));
        break;
    case ModuleOutcome::TooFewAcks:
        result = Failed(Failure::Other,
                        withVerdict(QStringLiteral("only %1 of %2 frame(s) were acknowledged")
                                        .arg(c.acks)
                                        .arg(c.framesSent)));
        break;
    }
    result.skippedKeys = flight.skippedKeys;
    return result;
}

void ModuleBatch::finishModule(std::size_t index, BatchModuleResult result) {
    if (m_current == index) {
        endRead();
        m_current.reset();
        m_readWait.stop();
    }
    if (result.result == Result::Failed) {
        m_failedOnce = true;
    }
    m_results[index] = std::move(result);
    emit moduleFinished(static_cast<int>(index), m_results[index]);
    QTimer::singleShot(0, this, &ModuleBatch::runNext);
}

void ModuleBatch::onStatusFrom(int code, const QString& senderIp) {
    // Only the module's own answers speak for it.
    if (reading() && senderIp == m_readIp) {
        CountStatus(m_readCounts, code);
    }
    for (const auto& flight : m_flights) {
        if (senderIp == flight->moduleIp) {
            CountStatus(flight->counts, code);
        }
    }
}

} // namespace r2
