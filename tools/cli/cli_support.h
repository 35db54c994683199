#pragma once
// What r2's command-line tools share on top of CLI11, so that their errors and help read alike.
//
// An option's check is a CLI11 validator that returns its complaint as the words that follow
// the option's name ("needs a number, not \"x\""); ErrorText puts the name in front
// ("--p6 needs a number, not \"x\""). A value missing at the end of the line reads
// "--p6 needs a value", an argument nobody takes "unknown option --p8".
// HelpFormatter lays --help out as the tools always did: the usage lines, a description, the
// commands (subcommands), the options by group in a column, then the footer. A command's
// description starts with its synopsis: the lines that start with the command's name or a
// space; its own options follow it, indented.

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

namespace r2::cli {

class HelpFormatter final : public CLI::Formatter {
public:
    // `usage`: the usage lines, each ending in a new line. `width`: the column the options'
    // descriptions start at.
    HelpFormatter(std::string usage, std::size_t width);

    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override;
    std::string make_group(std::string group, bool is_positional,
                           std::vector<const CLI::Option*> opts) const override;
    std::string make_subcommand(const CLI::App* sub) const override;

private:
    std::string m_usage;
};

// A validator from a check that returns its complaint without the option's name, or nothing
// when the text is good.
CLI::Validator Check(std::function<std::string(const std::string&)> complaint);

// CLI11's refusal in the tools' words.
std::string ErrorText(const CLI::ParseError& error);

// The refusal of the first argument no option took ("unknown option ARG"), or nothing when
// every argument was taken.
std::string UnknownArgumentText(const std::vector<std::string>& remaining);

} // namespace r2::cli
