// r2ctl's help, as git and similar tools give it: `r2ctl --help` one screen (the synopsis, one
// line per command, the shared options, the exit statuses in short), `r2ctl COMMAND --help` and
// `r2ctl help COMMAND` that command's synopsis, options and an example, and `--help-all`
// everything, which the man page is made from.

#include "tools/cli/cli_support.h"
#include "tools/r2ctl/ctl_args.h"
#include "tools/r2ctl/ctl_command.h"
#include "tools/r2ctl/ctl_command_line.h"

#include <sstream>
#include <string>

namespace r2::ctl {

namespace {

// The column option descriptions start at.
constexpr std::size_t OptionColumn = 25;
// The column the overview's command summaries start at.
constexpr std::size_t CommandColumn = 12;

const char* const SharedUsage =
    "Usage: r2ctl [--user NAME] [--password PW | --password-file FILE] [--wait MS] [--json]\n"
    "             [--show-secrets] COMMAND ...\n";

const char* const HelpUsage =
    "       r2ctl COMMAND --help | r2ctl help COMMAND: that command's options and an example\n"
    "       r2ctl --help-all: every command and option, the exit statuses in full\n";

const char* const Description =
    "Works with R2 modules (P6, P7) on the local network, and with P6, P5 and P7 modules on a\n"
    "serial line, as the r2config window does, and upgrades a module's firmware as its upgrade\n"
    "dialog does.";

const char* const ShortExitStatus =
    "Exit status: 0 success; 1 bad arguments or a refused file (nothing sent); 2 module not\n"
    "found; 3 user-name/password error; 4 nothing answered; 5 any other error; 6 upgrade:\n"
    "timeout; 7 upgrade: an image for another module. Several modules: the status of the first\n"
    "module that failed. r2ctl --help-all tells each in full.\n";

const char* const FullFooter =
    R"(MAC addresses are accepted with or without spaces, colons or dashes (001122334455,
00:11:22:33:44:55, "00 11 22 33 44 55", 00-11-22-33-44-55).

Exit status:
  0  success (read, backup: blocks came and no error status; write, restore, restart, reset:
     every frame sent was acknowledged "ACK" by the module itself, from the address its
     search reply came from, before the next frame went out, and no error status came;
     backup: the file was written; serial read: the
     model's replies came whole and right; serial write: that read, then the module's 'K';
     several modules: every one of them succeeded, a dry run when its plan was made)
  1  bad arguments, or a value that does not convert, or a configuration file that is
     refused (unreadable, another format, a newer version, another model than the module's,
     an unknown control, a value of the wrong kind): nothing is sent; the message names the
     file, the control and the value
  2  the module was not found by the search
  3  the module reported a user-name/password error
  4  nothing answered the commands (read: no parameter block came; write: the module sent
     no parameters when read, so nothing was written over it; serial: nothing answered on
     the line, or no 'K' came for the save)
  5  any other error status (check error, other error, a frame not acknowledged, a module of
     another series, an unknown reply, a socket that could not be opened, several modules
     answering a read from one address; serial: a reply with a wrong head or checksum, a P6
     that sent only part of its read replies, a port that could not be opened or written;
     upgrade: the failure ending, with its reason and what to do: a UDP port held or
     without privilege, an image file that cannot be read or is shorter than 4 bytes;
     backup: a P7, whose panel no read fills, or a file that cannot be written or is
     refused: one without write permission (unless --force), a symbolic link in a
     world-writable sticky directory)
  6  upgrade: timeout (no read request within 10 s, or a 10th expiry of the reply timer)
  7  upgrade: the search time ran out after the boot loader announced another hardware
     identity than the image's (a firmware for another module)
  Several modules (restart, upgrade, clone): the status of the first module that failed.

Texts from the modules (names, URLs, ...) are shown in tables and panel lines with control
characters as escapes (\n, \t, \x1b, \u202e) and a backslash as \\. Arguments must be UTF-8.

Errors go to standard error. Run the LAN commands only on a network where broadcasting to
the modules' segment is wanted: each of them is a broadcast to 255.255.255.255.)";

// An option's name and the first line of its description: the overview's form.
class FirstLineFormatter final : public CLI::Formatter {
public:
    FirstLineFormatter() { column_width(OptionColumn); }
    std::string make_option_desc(const CLI::Option* option) const override {
        const std::string& description = option->get_description();
        return description.substr(0, description.find('\n'));
    }
};

std::string OptionLines(const CLI::App& app, const CLI::Formatter& formatter) {
    std::string text;
    for (const CLI::Option* option :
         app.get_options([](const CLI::Option* o) { return o->nonpositional(); })) {
        text.append(formatter.make_option(option, false));
    }
    return text;
}

std::string Overview(CommandLine& line) {
    std::ostringstream out;
    out << SharedUsage << HelpUsage << "\n" << Description << "\n\nCommands:\n";
    for (const CommandSpec* spec : Commands()) {
        CLI::detail::format_help(out, spec->name, spec->summary, CommandColumn);
    }
    out << "\nOptions:\n"
        << OptionLines(line.app(), FirstLineFormatter()) << "\n"
        << ShortExitStatus;
    return out.str();
}

// The command's synopsis as usage lines: "Usage: r2ctl [OPTIONS] write MAC ...".
std::string CommandUsage(const CommandSpec& spec) {
    const std::string first = "Usage: r2ctl [OPTIONS] ";
    const std::string further = "       r2ctl [OPTIONS] ";
    std::istringstream lines(spec.synopsis);
    std::string text;
    bool firstLine = true;
    for (std::string synopsis; std::getline(lines, synopsis);) {
        const bool continued = synopsis.starts_with(' ');
        text.append(continued   ? std::string(first.size(), ' ')
                    : firstLine ? first
                                : further)
            .append(continued ? synopsis.substr(synopsis.find_first_not_of(' ')) : synopsis)
            .append("\n");
        firstLine = false;
    }
    return text;
}

std::string CommandHelp(const CommandLine& line, const CommandSpec& spec) {
    std::string text = CommandUsage(spec);
    text.append("\n").append(spec.description).append("\n");
    CLI::Formatter formatter;
    formatter.column_width(OptionColumn);
    if (const std::string options = OptionLines(line.command(spec), formatter); !options.empty()) {
        text.append("\nOptions:\n").append(options);
    }
    text.append("\nExample:\n  ").append(spec.example).append("\n");
    text.append("\nThe options every command takes, the other commands and the exit statuses: "
                "r2ctl --help.\n");
    return text;
}

std::string FullHelp(CommandLine& line) {
    CLI::App& app = line.app();
    app.formatter(std::make_shared<cli::HelpFormatter>(
        std::string(SharedUsage) +
            "       r2ctl serial read|write --port PATH --model p6|p5|p7 [--baud N] [--json] ...\n"
            "       r2ctl upgrade --ip IP[,IP...] --mac MAC[,MAC...] --local-ip IP --file PATH "
            "[--json]\n" +
            HelpUsage + "\n",
        OptionColumn));
    app.description(Description);
    app.footer(FullFooter);
    return app.help();
}

} // namespace

QString HelpText(const QString& command, bool all) {
    CommandLine line;
    if (all) {
        return QString::fromStdString(FullHelp(line));
    }
    if (const CommandSpec* spec = CommandNamed(command)) {
        return QString::fromStdString(CommandHelp(line, *spec));
    }
    return QString::fromStdString(Overview(line));
}

} // namespace r2::ctl
