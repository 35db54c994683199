#include "lan/lan_sequences.h"

#include "lan/Unit_Udp.h"

#include <algorithm>

namespace r2 {

namespace {

template <std::size_t N> Bytes BlockOf(const std::array<std::uint8_t, N>& section) {
    return Bytes(section.begin(), section.end());
}

SequenceStep FrameStep(quint8 command, quint16 port, Bytes block, const LanTarget& target,
                       int gapAfterMs) {
    return SequenceStep{LanFrame{command, port, std::move(block), target}, QString(), gapAfterMs};
}

// A plan of one frame without a block; empty when there is no port to send it to.
SequencePlan OneFramePlan(quint8 command, std::optional<quint16> port, const LanTarget& row) {
    SequencePlan plan;
    if (port) {
        plan.steps.push_back(FrameStep(command, *port, {}, row, 0));
    }
    return plan;
}

// The port a module of this model takes commands on; none for a module of neither model.
std::optional<quint16> CommandPortFor(int devFlag) {
    if (devFlag == DevFlagP6) {
        return CfgPortP6;
    }
    if (devFlag == DevFlagP7) {
        return CfgPortP7;
    }
    return std::nullopt;
}

SequenceStep MessageStep(const char* key) {
    return SequenceStep{std::nullopt, QString::fromLatin1(key), 0};
}

PlanResult Failed(const EncodeResult& result) {
    return PlanResult{std::nullopt, QString::fromStdString(result.Message()), result};
}

// The cloud block needs a 20-byte device ID and an 8-byte communication code; only the
// lengths are checked. Returns the message key of the failed check, or null.
const char* CloudCheckFailure(const PanelP6& panel) {
    if (panel.edtDid.size() != DeviceIdBytes) {
        return "lang_DeviceId";
    }
    if (panel.edtCompass.size() != CommCodeBytes) {
        return "lang_CommCode";
    }
    return nullptr;
}

} // namespace

int SequencePlan::frameCount() const {
    return static_cast<int>(std::count_if(
        steps.begin(), steps.end(), [](const SequenceStep& s) { return s.frame.has_value(); }));
}

SequencePlan PlanRead(int devFlag, const LanTarget& row) {
    return OneFramePlan(CmdRead, CommandPortFor(devFlag), row);
}

SequencePlan PlanRestart(const LanTarget& row) {
    return OneFramePlan(CmdRestart, CfgPortP6, row);
}

SequencePlan PlanFactoryReset(int devFlag, const LanTarget& row) {
    return OneFramePlan(CmdFactoryReset, CommandPortFor(devFlag), row);
}

PlanResult PlanP6Save(const PanelP6& panel, const ParamMirror& mirror, const LanTarget& row,
                      const LanTarget& sel, unsigned version) {
    ParamMirror scratch = mirror;
    SequencePlan plan;
    auto& steps = plan.steps;

    if (auto result = EncodeBaseP6(panel, scratch); !result) {
        return Failed(result);
    }
    if (auto result = EncodePortP6(panel, scratch); !result) {
        return Failed(result);
    }
    steps.push_back(FrameStep(CmdWriteBase, CfgPortP6, BlockOf(scratch.base), row, BlockGapMs));
    steps.push_back(FrameStep(CmdWritePort, CfgPortP6, BlockOf(scratch.port), row, BlockGapMs));

    if (panel.RzComboBox2.index == RegTypeCloudEntry) {
        if (const char* key = CloudCheckFailure(panel)) {
            steps.push_back(MessageStep(key));
        } else {
            if (auto result = EncodeCloud(panel, scratch); !result) {
                return Failed(result);
            }
            steps.push_back(
                FrameStep(CmdWriteCloud, CfgPortP6, BlockOf(scratch.cloud), sel, BlockGapMs));
        }
    }

    const bool newer = version >= HeartRegMinVersion;
    if (newer) {
        if (auto result = EncodeHeartReg(panel, scratch); !result) {
            return Failed(result);
        }
        steps.push_back(
            FrameStep(CmdWriteHeartReg, CfgPortP6, BlockOf(scratch.heartReg), sel, BlockGapMs));
    }
    if (newer && panel.cbb_WorkMode0.index == WorkModeHttpdEntry) {
        EncodeHttpd(panel, scratch);
        steps.push_back(
            FrameStep(CmdWriteHttpdUrl, CfgPortP6, HttpdUrlBlock(scratch), sel, BlockGapMs));
        steps.push_back(
            FrameStep(CmdWriteHttpdHead, CfgPortP6, HttpdHeadBlock(scratch), sel, BlockGapMs));
    }

    // The switch controls are visible only when the module sent its Modbus switches, and the
    // poll box only when it sent the 4-byte form: answer in the form it understands.
    if (panel.state.rzgrpbxModbus.visible) {
        if (panel.state.rzchckbxmodbuspool.visible) {
            if (auto result = EncodeModbus(panel, scratch); !result) {
                return Failed(result);
            }
            steps.push_back(
                FrameStep(CmdWriteModbus, CfgPortP6, BlockOf(scratch.modbusSwitches), sel, 0));
        } else {
            steps.push_back(FrameStep(CmdWriteModbus, CfgPortP6, EncodeModbusShort(panel), sel, 0));
        }
    }
    if (panel.state.RzGroupBox1.visible) {
        if (auto result = EncodeModbusPack(panel, scratch); !result) {
            return Failed(result);
        }
        steps.push_back(FrameStep(CmdWriteModbus, CfgPortP6, BlockOf(scratch.modbusPack), sel, 0));
    }

    // The restart waits a further 1500 ms after the last block and its own pause.
    auto lastFrame = std::find_if(steps.rbegin(), steps.rend(),
                                  [](const SequenceStep& s) { return s.frame.has_value(); });
    lastFrame->gapAfterMs += RestartGapMs;
    steps.push_back(FrameStep(CmdRestart, CfgPortP6, {}, row, 0));
    plan.mirror = scratch;
    return PlanResult{std::move(plan), QString(), {}};
}

PlanResult PlanP7Save(const PanelP7& panel, const ParamMirror& mirror, const LanTarget& row) {
    ParamMirror scratch = mirror;
    if (auto result = EncodeBaseP7(panel, scratch); !result) {
        return Failed(result);
    }
    if (auto result = EncodePortP7(panel, scratch); !result) {
        return Failed(result);
    }
    SequencePlan plan;
    plan.steps.push_back(
        FrameStep(CmdWriteBase, CfgPortP7, BlockOf(scratch.base), row, BlockGapMs));
    plan.steps.push_back(
        FrameStep(CmdWritePort, CfgPortP7, BlockOf(scratch.port), row, BlockGapMs));
    plan.steps.push_back(FrameStep(CmdWriteEnd, CfgPortP7, {}, row, 0));
    plan.mirror = scratch;
    return PlanResult{std::move(plan), QString(), {}};
}

LanSequence::LanSequence(TUdpSvr& udp, ParamMirror& liveMirror, SequencePlan plan, QString user,
                         QString password, QObject* parent)
    : QObject(parent), m_udp(udp), m_liveMirror(liveMirror), m_plan(std::move(plan)),
      m_user(std::move(user)), m_password(std::move(password)) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &LanSequence::runSteps);
    m_ackTimer.setSingleShot(true);
    m_ackTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_ackTimer, &QTimer::timeout, this, &LanSequence::onAckTimer);
    connect(&m_udp, &TUdpSvr::statusFrom, this, &LanSequence::onStatusFrom);
}

void LanSequence::start() {
    if (m_running) {
        return;
    }
    m_ledger = AckLedger{};
    if (m_plan.mirror) {
        m_refusal = saveRefusal();
        if (m_refusal) {
            m_ledger.refuse(m_refusal->text() + QStringLiteral("; nothing was sent"));
            emit finished();
            return;
        }
        m_liveMirror = *m_plan.mirror;
    }
    m_running = true;
    m_next = 0;
    m_gapMs = 0;
    m_joinsPrevious = false;
    m_ackWaitOver = false;
    runSteps();
}

std::optional<SaveRefusal> LanSequence::saveRefusal() const {
    for (const SequenceStep& step : m_plan.steps) {
        if (step.frame && !step.frame->block.empty()) {
            if (auto why = m_udp.saveRefusal(step.frame->target.mac)) {
                return why;
            }
        }
    }
    return std::nullopt;
}

bool LanSequence::expectsAnyAck() const {
    return std::ranges::any_of(
        m_plan.steps, [](const SequenceStep& s) { return s.frame && s.frame->command != CmdRead; });
}

void LanSequence::runSteps() {
    // A timer may fire a little early; a pause must never be shorter than planned. One spare
    // millisecond keeps it so on the module's side too, whatever the jitter on the way.
    const qint64 due = m_gapMs + 1;
    if (m_gapMs > 0 && m_sinceLast.isValid() && m_sinceLast.elapsed() < due) {
        m_timer.start(static_cast<int>(due - m_sinceLast.elapsed()));
        return;
    }
    while (m_next < m_plan.steps.size()) {
        const SequenceStep& step = m_plan.steps[m_next];
        const int index = static_cast<int>(m_next);
        ++m_next;
        if (step.frame) {
            const LanFrame& frame = *step.frame;
            // Taken before the send: no answer to this frame can arrive earlier.
            const qint64 sentNs = RealTimeNs();
            const bool ok = sendFrame(frame);
            m_sinceLast.start();
            m_ledger.frameSent(FrameVerdict{index, frame.command, frame.target.mac,
                                            m_udp.moduleAddress(frame.target.mac), ok,
                                            frame.command != CmdRead, FrameAnswer::None},
                               sentNs, m_joinsPrevious);
            m_joinsPrevious = true;
            emit stepSent(index, frame, ok);
        } else {
            emit message(step.messageKey);
        }
        if (step.gapAfterMs > 0 && m_next < m_plan.steps.size()) {
            m_gapMs = step.gapAfterMs;
            m_joinsPrevious = false;
            m_timer.start(step.gapAfterMs + 1);
            return;
        }
    }
    if (expectsAnyAck()) {
        m_ackTimer.start(AckWaitMs + 1);
        return;
    }
    finish();
}

void LanSequence::onAckTimer() {
    if (!m_ackWaitOver) {
        m_ackWaitOver = true;
        m_ledger.close(RealTimeNs());
        m_ackTimer.start(AckGraceMs);
        return;
    }
    finish();
}

void LanSequence::onStatusFrom(int code, const QString&, const QString& senderIp,
                               qint64 arrivalNs) {
    if (m_running) {
        m_ledger.answer(AnswerForStatus(code), senderIp, arrivalNs);
    }
}

void LanSequence::finish() {
    m_running = false;
    emit finished();
}

bool LanSequence::sendFrame(const LanFrame& frame) {
    return m_udp.SendCommand(frame.target.socketIndex, frame.target.mac, frame.command, m_user,
                             m_password, frame.block, frame.port);
}

} // namespace r2
