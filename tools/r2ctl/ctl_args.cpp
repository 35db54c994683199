#include "tools/r2ctl/ctl_args.h"

#include "protocol/address_text.h"
#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"
#include "tools/r2ctl/ctl_argv.h"
#include "tools/r2ctl/ctl_command_line.h"

namespace r2::ctl {

std::optional<QString> NormalizeMac(const QString& text) {
    const auto mac = ParseMacText(text.toStdString());
    return mac ? std::optional(QString::fromStdString(MacToText(*mac))) : std::nullopt;
}

ParseResult ParseArguments(const QStringList& args, const std::optional<QString>& envPassword) {
    ParseResult result = CommandLine().parse(args, envPassword);
    // A line that does not parse has no reliable option set; "--json" anywhere asks for JSON.
    result.json = result.options ? result.options->json : args.contains(QStringLiteral("--json"));
    return result;
}

namespace {

// The refusal of a line with an argument that is not UTF-8, naming the option whose value it
// is ("--password" for "--password X" and for "--password=X"), or its position when it is an
// option, a command or a MAC.
QString UndecodableRefusal(const DecodedArguments& decoded) {
    const QStringList& args = decoded.args;
    const qsizetype first = decoded.undecodable.first();
    const CommandLine declarations;
    QString owner;
    for (qsizetype i = 0; i <= first && i < args.size(); ++i) {
        const std::string name = OptionName(args[i].toStdString());
        if (name.empty() || !declarations.takesValue(name)) {
            continue;
        }
        if (args[i].contains('=')) {
            if (i == first) {
                owner = QString::fromStdString(name);
            }
        } else if (++i == first) {
            owner = QString::fromStdString(name);
        }
    }
    const QString what = owner.isEmpty() ? QStringLiteral("argument %1").arg(first + 1)
                                         : QStringLiteral("the value of %1").arg(owner);
    return QStringLiteral("%1 is not UTF-8 text; r2ctl reads its arguments as UTF-8 and would "
                          "send other bytes than were typed: give it in a UTF-8 terminal or "
                          "locale")
        .arg(what);
}

} // namespace

ParseResult ParseCommandLine(const QByteArrayList& rawArgs) {
    const DecodedArguments decoded = DecodeArguments(rawArgs);
    if (decoded.undecodable.isEmpty()) {
        std::optional<QString> envPassword;
        if (qEnvironmentVariableIsSet("R2_PASSWORD")) {
            envPassword = qEnvironmentVariable("R2_PASSWORD");
        }
        return ParseArguments(decoded.args, envPassword);
    }
    ParseResult result{std::nullopt, UndecodableRefusal(decoded)};
    result.json = decoded.args.contains(QStringLiteral("--json"));
    return result;
}

} // namespace r2::ctl
