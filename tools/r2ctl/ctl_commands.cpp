#include "tools/r2ctl/ctl_command.h"

#include <array>

namespace r2::ctl {

std::span<const CommandSpec* const> Commands() {
    static const std::array<const CommandSpec*, 11> table = {
        &SearchCommand,  &ReadCommand,   &WriteCommand,   &BackupCommand,
        &RestoreCommand, &CloneCommand,  &RestartCommand, &ResetCommand,
        &FieldsCommand,  &SerialCommand, &UpgradeCommand};
    return table;
}

const CommandSpec* CommandFor(CommandId id) {
    for (const CommandSpec* spec : Commands()) {
        if (spec->id == id) {
            return spec;
        }
    }
    return nullptr;
}

const CommandSpec* CommandNamed(const QString& name) {
    for (const CommandSpec* spec : Commands()) {
        if (name == QLatin1String(spec->name)) {
            return spec;
        }
    }
    return nullptr;
}

QString CheckOneMac(CtlOptions& options, const QStringList& arguments) {
    if (arguments.size() != 1) {
        return QStringLiteral("%1 needs exactly one MAC address").arg(options.command);
    }
    const auto mac = NormalizeMac(arguments.first());
    if (!mac) {
        return QStringLiteral("\"%1\" is not a MAC address (12 hex digits)").arg(arguments.first());
    }
    options.mac = *mac;
    return {};
}

QString NormalizeMacs(CtlOptions& options, const QStringList& texts) {
    options.macs.clear();
    for (const QString& text : texts) {
        const auto mac = NormalizeMac(text);
        if (!mac) {
            return QStringLiteral("\"%1\" is not a MAC address (12 hex digits)").arg(text);
        }
        if (options.macs.contains(*mac)) {
            return QStringLiteral("the MAC %1 is given twice").arg(*mac);
        }
        options.macs << *mac;
    }
    options.mac = options.macs.value(0);
    return {};
}

} // namespace r2::ctl
