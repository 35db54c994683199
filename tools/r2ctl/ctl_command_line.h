#pragma once
// r2ctl's command line declared for CLI11: the shared options on the program, each command of
// the table (ctl_command) with its own options and its arguments, and `help [COMMAND]`.
// Options may stand anywhere on the line; parse() moves the command to the front, so that
// every option reaches the command, which hands the shared ones on to the program.

#include "tools/r2ctl/ctl_args.h"
#include "tools/r2ctl/ctl_command.h"
#include "tools/r2ctl/ctl_declaration.h"

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

namespace r2::ctl {

class CommandLine final {
public:
    CommandLine();

    ParseResult parse(const QStringList& args, const std::optional<QString>& envPassword);
    // Whether `name` is an option that takes a value ("--wait", not "--json").
    bool takesValue(const std::string& name) const;

    // The declarations, for the help's layout.
    CLI::App& app() { return m_app; }
    const CLI::App& command(const CommandSpec& spec) const;

private:
    void declareSharedOptions();
    void declareCommand(const CommandSpec& spec);
    std::vector<std::string> commandFirst(const QStringList& args) const;
    QString refusal() const;
    // What `help [COMMAND]` and `COMMAND --help` ask for, into m_o; the refusal of an unknown
    // command.
    QString resolveHelp(const CLI::App* given, const QStringList& arguments);

    CLI::App m_app{"", "r2ctl"};
    CtlOptions m_o;
    std::vector<std::string> m_arguments; // the command's arguments
    std::vector<ListBinding> m_lists;
    CLI::Option* m_password = nullptr;
};

} // namespace r2::ctl
