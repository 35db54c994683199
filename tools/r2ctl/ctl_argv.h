#pragma once
// r2ctl's arguments as text: the bytes the process got decoded strictly as UTF-8, and the
// option name of an argument.

#include <QByteArrayList>
#include <QList>
#include <QString>
#include <QStringList>
#include <string>

namespace r2::ctl {

struct DecodedArguments {
    QStringList args;
    // The indexes of the arguments that are not UTF-8 (decoded with U+FFFD in their place).
    QList<qsizetype> undecodable;
};

// Every argument decoded as UTF-8, a leading byte-order mark kept (it may be part of a
// password): an undecodable byte would otherwise become U+FFFD and, in a user name or
// password, be sent in place of what was typed.
DecodedArguments DecodeArguments(const QByteArrayList& rawArgs);

// An argument or value as CLI11 holds it (UTF-8) back as text, a leading byte-order mark
// included: QString::fromUtf8 would drop it.
QString Text(const std::string& utf8);

// The option name of an argument ("--wait" of "--wait=5"), or empty when it is no option.
std::string OptionName(const std::string& arg);

} // namespace r2::ctl
