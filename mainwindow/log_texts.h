#pragma once
// The operation log's own lines, worded in the current language from their parts. The LAN layer
// words the same reports in English for the terminal tool, whose output must not change with
// the window's language; the window words them again here.

#include "lan/ack_ledger.h"
#include "protocol/block_codec.h"

#include <QString>

namespace r2 {

// The endpoint could not keep up and dropped datagrams.
QString DroppedDatagramsLogText();
// The hex pane left `count` frames out.
QString FramesNotShownLogText(qsizetype count);
// A parameter reply of `length` bytes from `senderIp` was ignored while `moduleIp` was read
// (empty when its address is not known).
QString ForeignReplyLogText(int length, const QString& senderIp, const QString& moduleIp);
// Several modules answered the read from `moduleIp`.
QString ReadConflictLogText(const QString& moduleIp);
// The parameters held were read from `readIp`, not from the module of `mac` at `macIp`.
QString ReadOtherModuleLogText(const QString& readIp, const QString& mac, const QString& macIp);
// A control whose text an encoder could not convert: its name, its text and the problem, the
// problem in the current language.
QString EncodeRefusalLogText(const EncodeResult& refusal);
// The verdict's one sentence (see SequenceVerdict::text) in the current language; a refused
// sequence is said with `refusal`, the reason worded by the caller.
QString VerdictLogText(const SequenceVerdict& verdict, const QString& refusal);

} // namespace r2
