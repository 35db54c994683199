#pragma once
// r2ctl's commands as a table: each command's name, texts, options, checks and runner, each
// declared beside the code that runs it (ctl_session_commands, ctl_config, ctl_batch,
// ctl_serial, ctl_upgrade, ctl_fields). The command line (ctl_args) and the help (ctl_help)
// read the table; main runs the command a line names through it.

#include "tools/r2ctl/ctl_args.h"

#include <optional>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <span>

namespace r2::ctl {

class CommandDeclaration;

struct CommandSpec {
    CommandId id;
    const char* name;
    // The command's forms, one per line, each starting with its name (or spaces, for a form
    // continued on the next line).
    const char* synopsis;
    // One line for the command list of `r2ctl --help`.
    const char* summary;
    // What the command does, in full, for `r2ctl COMMAND --help` and `--help-all`.
    const char* description;
    // A command line that shows a typical use, for `r2ctl COMMAND --help`.
    const char* example;
    // Declares the command's own options (none: nullptr).
    void (*declare)(CommandDeclaration& declaration);
    // Checks the command's arguments (and its options together) and fills in what they name:
    // the refusal, or nothing when the line is good.
    QString (*check)(CtlOptions& options, const QStringList& arguments);
    // Runs the command of a line that parsed; returns the exit status.
    int (*run)(const CtlOptions& options, QTextStream& out, QTextStream& err);
};

// Every command, in the order the help lists them.
std::span<const CommandSpec* const> Commands();
// The command of `id`; nullptr for CommandId::None (a line that asked only for help).
const CommandSpec* CommandFor(CommandId id);
const CommandSpec* CommandNamed(const QString& name);

// The commands' specs, each defined in the file that runs the command.
extern const CommandSpec SearchCommand;
extern const CommandSpec ReadCommand;
extern const CommandSpec WriteCommand;
extern const CommandSpec BackupCommand;
extern const CommandSpec RestoreCommand;
extern const CommandSpec CloneCommand;
extern const CommandSpec RestartCommand;
extern const CommandSpec ResetCommand;
extern const CommandSpec FieldsCommand;
extern const CommandSpec SerialCommand;
extern const CommandSpec UpgradeCommand;

// Checks shared by several commands.
// Exactly one MAC as the command's argument into options.mac.
QString CheckOneMac(CtlOptions& options, const QStringList& arguments);
// Every MAC of `texts` as MAC text into options.macs, the first into options.mac; a MAC given
// twice is refused.
QString NormalizeMacs(CtlOptions& options, const QStringList& texts);

} // namespace r2::ctl
