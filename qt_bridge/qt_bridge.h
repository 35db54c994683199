#pragma once
// Between QtCore and the standard-library core: a QByteArray seen as the protocol's bytes and
// back, UTF-8 text as a QString, and the current language's text of a key. Every layer from the
// transports up converts through these, so a byte or text crosses the boundary one way only.

#include "protocol/Unit_ProFun.h"

#include <QByteArray>
#include <QString>
#include <string_view>

namespace r2 {

// The bytes of `bytes`, without a copy: valid while the array lives and is not changed.
ByteView ViewOf(const QByteArray& bytes);
// A copy of `bytes`.
QByteArray ByteArrayOf(ByteView bytes);
// UTF-8 text (a literal, a protocol text held as UTF-8) as a QString.
QString Utf8(std::string_view text);
// The current language's text of `key` (GetLangText), as it is stored.
QString Text(std::string_view key);

} // namespace r2
