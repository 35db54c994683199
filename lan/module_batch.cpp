#include "module_batch.h"

#include "config_apply.h"
#include "Unit_Udp.h"

#include <span>

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

// The controls a planned module sets: address type, static IP, mask, gateway, DNS (P6) and
// name, by model.
struct PlannedControls {
    std::string_view addrType;
    std::string_view staticIp;
    std::string_view mask;
    std::string_view gateway;
    std::string_view dns; // empty: the model has none
    std::string_view name;
};

constexpr PlannedControls PlannedP6{"cbb_AddrType",  "edt_StaticIP", "edt_SubnetMask",
                                    "edt_GatewayIP", "edtDns",       "edt_ModName"};
constexpr PlannedControls PlannedP7{
    "cbb_AddrTypeP7", "edt_StaticIPP7", "edt_SubnetMaskP7", "edt_GatewayIPP7", "", "edt_ModNameP7"};
// The address type list's entry for a static address, as SetControl takes it.
constexpr std::string_view StaticEntry = "Static IP";

const std::string* FileValue(const config::ModuleConfig& file, std::string_view control) {
    for (const ControlValue& v : file.values) {
        if (v.name == control) {
            return &v.value;
        }
    }
    return nullptr;
}

// The planned address and name as a configuration of their own, applied with the address
// settings after the file: a static address at the planned IP with the file's mask, gateway
// (and DNS), and the planned name's bytes.
config::ModuleConfig PlannedConfig(const config::ModuleConfig& file,
                                   const config::PlannedModule& planned) {
    const PlannedControls& c = file.model == config::Model::P7 ? PlannedP7 : PlannedP6;
    config::ModuleConfig out{file.model, file.firmware, file.mac, file.time, {}};
    if (!planned.ip.empty()) {
        out.values.push_back({std::string(c.addrType), std::string(StaticEntry)});
        out.values.push_back({std::string(c.staticIp), planned.ip});
        for (const std::string_view control : {c.mask, c.gateway, c.dns}) {
            if (const std::string* value = control.empty() ? nullptr : FileValue(file, control)) {
                out.values.push_back({std::string(control), *value});
            }
        }
    }
    if (!planned.name.empty()) {
        out.values.push_back({std::string(c.name), planned.nameBytes});
    }
    return out;
}

} // namespace

std::optional<ReadRefusal> ReadForSaveRefusal(const ReadCheck& check, int passwordErrors,
                                              int devFlag, bool panelFilled, const QString& mac) {
    if (passwordErrors > 0) {
        return ReadRefusal{Failure::Password,
                           QStringLiteral("the module rejected the user name or password while "
                                          "being read; nothing was written")};
    }
    // Blocks of several modules mixed in one mirror must not go back to any of them.
    if (!check.trustworthy()) {
        return ReadRefusal{Failure::Other,
                           check.conflict + QStringLiteral("; nothing was written")};
    }
    // Saving without the module's own blocks would overwrite it with the panel's defaults.
    if (!check.replies.contains(static_cast<int>(BasePortReplyLen))) {
        return ReadRefusal{Failure::NoAnswer,
                           QStringLiteral("the module did not send its parameters when read; "
                                          "nothing was written")};
    }
    if (devFlag == DevFlagP6 && !panelFilled) {
        return ReadRefusal{Failure::Other,
                           QStringLiteral("the base block that came back names another MAC than "
                                          "%1, so the panel was not filled from it; nothing was "
                                          "written")
                               .arg(mac)};
    }
    return std::nullopt;
}

bool ApplyOverRead(int devFlag, const QString& mac, const ParamMirror& mirror,
                   const config::ModuleConfig& file, bool withNetwork,
                   const config::PlannedModule* planned, PanelP6& p6, PanelP7& p7,
                   std::string& problem) {
    // A P7's read fills no panel: its own MAC and address go in first, so that the file's
    // values land on them as on a P6's panel read from the module.
    if (devFlag != DevFlagP6) {
        p7.edt_UserMACP7 = mac.toStdString();
        config::TakeTargetAddress(p7, DecodeBaseBlock(mirror.base));
    }
    const auto apply = [&](const config::ModuleConfig& values, bool network) {
        return devFlag == DevFlagP6 ? config::ApplyModuleConfig(p6, values, network, problem)
                                    : config::ApplyModuleConfig(p7, values, network, problem);
    };
    return apply(file, withNetwork) && (!planned || apply(PlannedConfig(file, *planned), true));
}

ModuleBatch::ModuleBatch(TUdpSvr& udp, ParamMirror& mirror, QObject* parent)
    : QObject(parent), m_udp(udp), m_mirror(mirror) {
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &ModuleBatch::onWaitOver);
    connect(&m_udp, &TUdpSvr::statusFrom, this,
            [this](int code, const QString&, const QString& senderIp, qint64) {
                onStatusFrom(code, senderIp);
            });
    connect(&m_udp, &TUdpSvr::OnStatus, this, [this](int code, const QString&) {
        // A socket that could not be opened sends nothing; it has no sender to come from.
        if (code == StPortInUse && m_stage != Stage::Idle) {
            ++m_counts.otherErrors;
            ++m_counts.answers;
        }
    });
    connectFills();
}

ModuleBatch::~ModuleBatch() = default;

void ModuleBatch::connectFills() {
    // The panel is filled as the window fills it on a click, from the target's replies only
    // (the endpoint passes no other address's parameter replies during a read).
    connect(&m_udp, &TUdpSvr::OnBaseParams, this,
            [this](const TBaseParam& base, const TarrComParam& ports, int flag, bool serial) {
                if (m_stage != Stage::Reading) {
                    return;
                }
                const std::string mac = m_targets[m_index].mac.toStdString();
                m_panelFilled = FillFromBaseReply(m_panel, base, ports, flag, serial, mac) ==
                                    BaseFillResult::FilledP6 ||
                                m_panelFilled;
            });
    connect(&m_udp, &TUdpSvr::OnCloudParams, this, [this](const TarrCloudParam& clouds) {
        if (m_stage == Stage::Reading) {
            FillFromCloud(m_panel, clouds);
        }
    });
    connect(&m_udp, &TUdpSvr::OnHeartReg, this, [this](const QByteArray& block, bool, int flag) {
        if (m_stage == Stage::Reading) {
            FillFromHeartReg(m_panel,
                             std::span(reinterpret_cast<const std::uint8_t*>(block.constData()),
                                       static_cast<std::size_t>(block.size())),
                             flag);
        }
    });
    connect(&m_udp, &TUdpSvr::OnHttpd, this, [this](const QByteArray& url, const QByteArray& head) {
        if (m_stage == Stage::Reading) {
            FillFromHttpd(m_panel, url.toStdString(), head.toStdString());
        }
    });
    connect(&m_udp, &TUdpSvr::OnModbusParam, this, [this](const TModbusParam& p, int length) {
        if (m_stage == Stage::Reading) {
            FillFromModbusParam(m_panel, p, length);
        }
    });
    connect(&m_udp, &TUdpSvr::OnModbusPack, this, [this](const TModbusPackParam& p) {
        if (m_stage == Stage::Reading) {
            FillFromModbusPack(m_panel, p);
        }
    });
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

bool ModuleBatch::begin(std::vector<BatchTarget> targets, BatchSettings settings) {
    m_running = true;
    m_targets = std::move(targets);
    m_settings = std::move(settings);
    m_results.assign(m_targets.size(), BatchModuleResult{});
    m_index = 0;
    m_failedOnce = false;
    // The first module starts from the event loop, so that the caller's start returns first.
    QTimer::singleShot(0, this, &ModuleBatch::runNext);
    return true;
}

void ModuleBatch::runNext() {
    // The last module's sequence ends here, outside its own signals.
    m_sequence.reset();
    if (m_index >= m_targets.size()) {
        m_running = false;
        m_stage = Stage::Idle;
        emit finished();
        return;
    }
    if (m_failedOnce && m_settings.stopOnError) {
        // Reported as not run, one by one, so that a listener sees every module's end.
        finishModule(BatchModuleResult{});
        return;
    }
    const BatchTarget& target = m_targets[m_index];
    emit moduleStarted(static_cast<int>(m_index));
    if (target.ip.isEmpty()) {
        finishModule(Failed(Failure::NotFound,
                            QStringLiteral("no module with the MAC %1 answered the search; check "
                                           "that it is powered and on this network")
                                .arg(target.mac)));
        return;
    }
    if (m_job == Job::Restart) {
        runPlan(target, PlanRestart(LanTarget{target.ipIndex, target.mac}));
        return;
    }
    const auto model = config::ModelFromFlag(target.flag);
    if (!model) {
        finishModule(Failed(Failure::Refused,
                            QStringLiteral("the module's firmware (version %1) is of no model a "
                                           "configuration file is made for; nothing was written")
                                .arg(target.version)));
        return;
    }
    if (const std::string refused = config::CheckTargetModel(*m_file, *model, "the file");
        !refused.empty()) {
        finishModule(
            Failed(Failure::Refused, QString::fromStdString(refused) +
                                         QStringLiteral("; nothing was written to this module")));
        return;
    }
    startRead(target);
}

void ModuleBatch::startRead(const BatchTarget& target) {
    m_stage = Stage::Reading;
    m_counts = Counts{};
    m_skippedKeys.clear();
    m_panel = PanelP6{};
    if (target.flag == DevFlagP6) {
        HideModbusGroups(m_panel);
    }
    m_panelFilled = false;
    m_moduleIp = m_udp.moduleAddress(target.mac);
    m_sequence = std::make_unique<LanSequence>(
        m_udp, m_mirror, PlanRead(target.flag, LanTarget{target.ipIndex, target.mac}),
        m_settings.user, m_settings.password);
    m_sequence->start();
    // The module sends its blocks one reply after another; none says it was the last.
    m_wait.start(m_settings.replyWaitMs);
}

void ModuleBatch::onReadDone() {
    const BatchTarget& target = m_targets[m_index];
    if (auto refused = ReadForSaveRefusal(m_udp.readCheck(), m_counts.passwordErrors, target.flag,
                                          m_panelFilled, target.mac)) {
        // What to do next, where the check's own words do not say it.
        if (refused->failure == Failure::Password) {
            refused->message += QStringLiteral("; give the module's own user name and password");
        } else if (refused->failure == Failure::NoAnswer) {
            refused->message += QStringLiteral("; check that it is powered and reachable, then "
                                               "try again");
        }
        finishModule(Failed(refused->failure, refused->message));
        return;
    }
    saveOverRead(target);
}

void ModuleBatch::saveOverRead(const BatchTarget& target) {
    const bool p6 = target.flag == DevFlagP6;
    PanelP6 p6Panel = m_panel;
    PanelP7 p7;
    if (std::string problem;
        !ApplyOverRead(target.flag, target.mac, m_mirror, *m_file, m_withNetwork,
                       target.planned ? &*target.planned : nullptr, p6Panel, p7, problem)) {
        finishModule(Failed(Failure::Refused, QString::fromStdString(problem) +
                                                  QStringLiteral("; nothing was written")));
        return;
    }
    const LanTarget lanTarget{target.ipIndex, target.mac};
    const PlanResult planned =
        p6 ? PlanP6Save(p6Panel, m_mirror, lanTarget, lanTarget, target.version.toUInt())
           : PlanP7Save(p7, m_mirror, lanTarget);
    if (!planned.plan) {
        finishModule(
            Failed(Failure::Refused, planned.error + QStringLiteral("; nothing was sent")));
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
                BatchFrame{step.frame->command, step.frame->port,
                           QByteArray(reinterpret_cast<const char*>(frame.data()),
                                      static_cast<qsizetype>(frame.size()))});
        } else if (!step.messageKey.isEmpty()) {
            result.skippedKeys << step.messageKey;
        }
    }
    return result;
}

void ModuleBatch::runPlan(const BatchTarget& target, const SequencePlan& plan) {
    if (m_settings.dryRun) {
        finishModule(dryRunResult(plan));
        return;
    }
    m_stage = Stage::Saving;
    m_counts = Counts{};
    m_moduleIp = m_udp.moduleAddress(target.mac);
    m_sequence =
        std::make_unique<LanSequence>(m_udp, m_mirror, plan, m_settings.user, m_settings.password);
    connect(m_sequence.get(), &LanSequence::stepSent, this, [this](int, const LanFrame&, bool ok) {
        ++(ok ? m_counts.framesSent : m_counts.framesFailed);
    });
    connect(m_sequence.get(), &LanSequence::message, this,
            [this](const QString& key) { m_skippedKeys << key; });
    connect(m_sequence.get(), &LanSequence::finished, this, &ModuleBatch::onSequenceFinished);
    m_sequence->start();
}

void ModuleBatch::onSequenceFinished() {
    if (!m_sequence->verdict().refused.isEmpty() ||
        m_counts.framesSent + m_counts.framesFailed == 0) {
        finishModule(verdictResult());
        return;
    }
    // Late answers still speak for the module (an error status after its acknowledgement).
    m_stage = Stage::Waiting;
    m_wait.start(m_settings.replyWaitMs);
}

void ModuleBatch::onWaitOver() {
    if (m_stage == Stage::Reading) {
        onReadDone();
    } else if (m_stage == Stage::Waiting) {
        finishModule(verdictResult());
    }
}

BatchModuleResult ModuleBatch::verdictResult() const {
    const SequenceVerdict& verdict = m_sequence->verdict();
    if (!verdict.refused.isEmpty()) {
        return Failed(Failure::Other, verdict.refused + QStringLiteral("; nothing was sent"));
    }
    const Counts& c = m_counts;
    const int acks = verdict.acknowledgedCount();
    const QString unacknowledged = verdict.text();
    const auto withVerdict = [&unacknowledged](QString text) {
        return unacknowledged.isEmpty() ? text : text + QStringLiteral("; ") + unacknowledged;
    };
    BatchModuleResult result;
    if (c.passwordErrors > 0) {
        result = Failed(Failure::Password,
                        QStringLiteral("the module rejected the user name or password; give its "
                                       "own login"));
    } else if (c.framesFailed > 0) {
        result = Failed(Failure::Other, QStringLiteral("%1 frame(s) could not be sent; check "
                                                       "this computer's network")
                                            .arg(c.framesFailed));
    } else if (c.otherErrors > 0) {
        result = Failed(
            Failure::Other,
            withVerdict(
                QStringLiteral("the module answered with %1 error status(es)").arg(c.otherErrors)));
    } else if (c.framesSent == 0) {
        result = Failed(Failure::Other, QStringLiteral("nothing was sent"));
    } else if (c.answers == 0) {
        result = Failed(Failure::NoAnswer,
                        QStringLiteral("nothing answered the %1 frame(s) sent; check that the "
                                       "module is powered and reachable")
                            .arg(c.framesSent));
    } else if (acks < c.framesSent) {
        result = Failed(Failure::Other,
                        withVerdict(QStringLiteral("only %1 of %2 frame(s) were acknowledged")
                                        .arg(acks)
                                        .arg(c.framesSent)));
    } else {
        result.result = Result::Ok;
    }
    result.skippedKeys = m_skippedKeys;
    return result;
}

void ModuleBatch::finishModule(BatchModuleResult result) {
    m_stage = Stage::Idle;
    m_wait.stop();
    if (result.result == Result::Failed) {
        m_failedOnce = true;
    }
    if (result.skippedKeys.isEmpty()) {
        result.skippedKeys = m_skippedKeys;
    }
    m_skippedKeys.clear();
    m_results[m_index] = result;
    const int index = static_cast<int>(m_index);
    ++m_index;
    emit moduleFinished(index, m_results[static_cast<std::size_t>(index)]);
    QTimer::singleShot(0, this, &ModuleBatch::runNext);
}

void ModuleBatch::onStatusFrom(int code, const QString& senderIp) {
    // Only the module's own answers speak for it.
    if (m_stage == Stage::Idle || code == StSearchSent || senderIp != m_moduleIp) {
        return;
    }
    ++m_counts.answers;
    if (code == StPswdErr) {
        ++m_counts.passwordErrors;
    } else if (code != StAck) {
        ++m_counts.otherErrors;
    }
}

} // namespace r2
