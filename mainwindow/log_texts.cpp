#include "mainwindow/log_texts.h"

#include "protocol/Unit_Public.h"
#include "qt_bridge/qt_bridge.h"

namespace r2 {

namespace {

QString AddressOrUnknown(const QString& ip) {
    return ip.isEmpty() ? Text("lang_Log_AddressUnknown") : ip;
}

QString CommandLogName(quint8 command) {
    switch (command) {
    case CmdRestart:
        return Text("lang_Log_CmdRestart");
    case CmdRead:
        return Text("lang_Log_CmdRead");
    case CmdWriteEnd:
        return Text("lang_Log_CmdWriteEnd");
    case CmdWriteBase:
        return Text("lang_Log_CmdWriteBase");
    case CmdWritePort:
        return Text("lang_Log_CmdWritePort");
    case CmdFactoryReset:
        return Text("lang_Log_CmdFactoryReset");
    case CmdWriteCloud:
        return Text("lang_Log_CmdWriteCloud");
    case CmdWriteHeartReg:
        return Text("lang_Log_CmdWriteHeartReg");
    case CmdWriteHttpdUrl:
        return Text("lang_Log_CmdWriteHttpdUrl");
    case CmdWriteHttpdHead:
        return Text("lang_Log_CmdWriteHttpdHead");
    case CmdWriteModbus:
        return Text("lang_Log_CmdWriteModbus");
    default:
        return Text("lang_Log_CmdOther").arg(command);
    }
}

QString AnswerLogText(FrameAnswer answer) {
    switch (answer) {
    case FrameAnswer::PasswordError:
        return Text("lang_Log_AnswerPswdErr");
    case FrameAnswer::CheckError:
        return Text("lang_Log_AnswerCheckErr");
    case FrameAnswer::OtherError:
        return Text("lang_Log_AnswerOtherErr");
    case FrameAnswer::None:
    case FrameAnswer::Ack:
        break;
    }
    return {};
}

} // namespace

QString DroppedDatagramsLogText() {
    return Text("lang_Log_DatagramsDropped");
}

QString FramesNotShownLogText(qsizetype count) {
    return Text("lang_Log_FramesNotShown").arg(count);
}

QString ForeignReplyLogText(int length, const QString& senderIp, const QString& moduleIp) {
    return Text("lang_Log_ForeignReply").arg(length).arg(senderIp, AddressOrUnknown(moduleIp));
}

QString ReadConflictLogText(const QString& moduleIp) {
    return Text("lang_Log_ReadConflict").arg(moduleIp);
}

QString ReadOtherModuleLogText(const QString& readIp, const QString& mac, const QString& macIp) {
    return Text("lang_Log_ReadOtherModule")
        .arg(AddressOrUnknown(readIp), mac, AddressOrUnknown(macIp));
}

QString EncodeRefusalLogText(const EncodeResult& refusal) {
    // The encoders' problems are rows of the language table by their English wording.
    return QString::fromStdString(refusal.control + ": \"" + refusal.text + "\" ") +
           Text(refusal.problem);
}

QString VerdictLogText(const SequenceVerdict& verdict, const QString& refusal) {
    if (!verdict.refused.isEmpty()) {
        return refusal + Text("lang_Log_NothingSent");
    }
    const auto first = verdict.firstUnacknowledged();
    if (!first) {
        return {};
    }
    const FrameVerdict& f = verdict.frames[*first];
    const QString which = Text("lang_Log_FrameOf")
                              .arg(CommandLogName(f.command))
                              .arg(*first + 1)
                              .arg(verdict.frames.size());
    if (!f.sent) {
        return Text("lang_Log_FrameNotSent").arg(which);
    }
    if (f.moduleIp.isEmpty()) {
        return Text("lang_Log_FrameNoSearchReply").arg(which, f.mac);
    }
    QString text = f.answer == FrameAnswer::None
                       ? Text("lang_Log_FrameNotAcknowledged").arg(which, f.moduleIp)
                       : Text("lang_Log_FrameGot").arg(which, AnswerLogText(f.answer), f.moduleIp);
    if (verdict.foreignAnswers > 0) {
        text += Text("lang_Log_ForeignAnswers").arg(verdict.foreignAnswers);
    }
    return text;
}

} // namespace r2
