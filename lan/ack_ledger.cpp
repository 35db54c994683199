#include "lan/ack_ledger.h"

#include "protocol/Unit_Public.h"

#include <algorithm>

namespace r2 {

namespace {

QString AnswerText(FrameAnswer answer) {
    switch (answer) {
    case FrameAnswer::None:
        return QStringLiteral("no answer");
    case FrameAnswer::Ack:
        return QStringLiteral("ACK");
    case FrameAnswer::PasswordError:
        return QStringLiteral("the answer \"UsrName or Password Error\"");
    case FrameAnswer::CheckError:
        return QStringLiteral("the answer \"Check Error\"");
    case FrameAnswer::OtherError:
        return QStringLiteral("the answer \"Other Error\"");
    }
    return {};
}

} // namespace

FrameAnswer AnswerForStatus(int statusCode) {
    switch (statusCode) {
    case StAck:
        return FrameAnswer::Ack;
    case StPswdErr:
        return FrameAnswer::PasswordError;
    case StCheckErr:
        return FrameAnswer::CheckError;
    case StOtherErr:
        return FrameAnswer::OtherError;
    default:
        return FrameAnswer::None;
    }
}

QString CommandName(quint8 command) {
    switch (command) {
    case CmdRestart:
        return QStringLiteral("restart");
    case CmdRead:
        return QStringLiteral("read");
    case CmdWriteEnd:
        return QStringLiteral("write end");
    case CmdWriteBase:
        return QStringLiteral("base");
    case CmdWritePort:
        return QStringLiteral("port");
    case CmdFactoryReset:
        return QStringLiteral("factory reset");
    case CmdWriteCloud:
        return QStringLiteral("cloud");
    case CmdWriteHeartReg:
        return QStringLiteral("heartbeat/registration");
    case CmdWriteHttpdUrl:
        return QStringLiteral("HTTPD URL");
    case CmdWriteHttpdHead:
        return QStringLiteral("HTTPD header");
    case CmdWriteModbus:
        return QStringLiteral("Modbus");
    default:
        return QStringLiteral("command %1").arg(command);
    }
}

std::optional<std::size_t> SequenceVerdict::firstUnacknowledged() const {
    const auto it = std::ranges::find_if(
        frames, [](const FrameVerdict& f) { return f.expectsAck && !f.acknowledged(); });
    return it == frames.end() ? std::nullopt
                              : std::optional(static_cast<std::size_t>(it - frames.begin()));
}

bool SequenceVerdict::allAcknowledged() const {
    return refused.isEmpty() && !firstUnacknowledged();
}

int SequenceVerdict::acknowledgedCount() const {
    return static_cast<int>(std::ranges::count_if(frames, &FrameVerdict::acknowledged));
}

QString SequenceVerdict::text() const {
    if (!refused.isEmpty()) {
        return refused;
    }
    const auto first = firstUnacknowledged();
    if (!first) {
        return {};
    }
    const FrameVerdict& f = frames[*first];
    const QString which = QStringLiteral("the %1 frame (%2 of %3)")
                              .arg(CommandName(f.command))
                              .arg(*first + 1)
                              .arg(frames.size());
    if (!f.sent) {
        return which + QStringLiteral(" could not be sent");
    }
    if (f.moduleIp.isEmpty()) {
        return which + QStringLiteral(" was not acknowledged: no search reply of %1 is known, "
                                      "so no answer can be taken for it; search again")
                           .arg(f.mac);
    }
    QString text =
        f.answer == FrameAnswer::None
            ? which + QStringLiteral(" was not acknowledged by %1").arg(f.moduleIp)
            : which + QStringLiteral(" got %1 from %2").arg(AnswerText(f.answer), f.moduleIp);
    if (foreignAnswers > 0) {
        text += QStringLiteral(" (%1 answer(s) from other addresses were not counted)")
                    .arg(foreignAnswers);
    }
    return text;
}

void AckLedger::frameSent(FrameVerdict frame, qint64 sentNs, bool joinsPrevious) {
    m_verdict.frames.push_back(std::move(frame));
    if (!joinsPrevious || m_windows.empty()) {
        m_windows.push_back(Window{sentNs, m_verdict.frames.size() - 1, 0});
    }
    ++m_windows.back().frameCount;
}

AckLedger::Window* AckLedger::windowAt(qint64 arrivalNs) {
    if (m_endNs && arrivalNs >= *m_endNs) {
        return nullptr;
    }
    // The last window that opened before the arrival; the next one's opening closes it.
    for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) {
        if (it->startNs < arrivalNs) {
            return &*it;
        }
    }
    return nullptr;
}

void AckLedger::answer(FrameAnswer answer, const QString& senderIp, qint64 arrivalNs) {
    if (answer == FrameAnswer::None) {
        return;
    }
    Window* window = windowAt(arrivalNs);
    if (window == nullptr) {
        return;
    }
    bool fromModule = false;
    for (std::size_t i = window->firstFrame; i < window->firstFrame + window->frameCount; ++i) {
        FrameVerdict& f = m_verdict.frames[i];
        if (f.moduleIp.isEmpty() || f.moduleIp != senderIp) {
            continue;
        }
        fromModule = true;
        if (f.sent && f.expectsAck && f.answer == FrameAnswer::None) {
            f.answer = answer;
            return;
        }
    }
    ++(fromModule ? m_verdict.surplusAnswers : m_verdict.foreignAnswers);
}

void AckLedger::close(qint64 endNs) {
    m_endNs = endNs;
}

void AckLedger::refuse(const QString& why) {
    m_verdict.refused = why;
}

} // namespace r2
