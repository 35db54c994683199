#include "tools/r2ctl/ctl_command_line.h"

#include "tools/cli/cli_support.h"
#include "tools/r2ctl/ctl_argv.h"
#include "tools/r2ctl/ctl_password.h"

#include <algorithm>
#include <array>

namespace r2::ctl {

namespace {

// `r2ctl help [COMMAND]`: the overview, or one command's help.
const std::string HelpCommand = "help";

// Options given to a command that does not take them are refused naming the options of their
// family and the commands they belong to.
struct Family {
    std::vector<std::string> options;
    const char* refusal;
};
const std::array<Family, 8> Families = {{
    {{"-o", "--output"}, "-o belongs to backup"},
    {{"--force"}, "--force belongs to backup"},
    {{"--with-network"}, "--with-network belongs to restore"},
    {{"--to", "--all-found", "--ip-from", "--name", "--name-start", "--dry-run"},
     "--to, --all-found, --ip-from, --name, --name-start and --dry-run belong to clone"},
    {{"--stop-on-error"}, "--stop-on-error belongs to restart, upgrade and clone"},
    {{"--port", "--model", "--baud"}, "--port, --model and --baud belong to serial"},
    {{"--ip", "--mac", "--local-ip", "--file"},
     "--ip, --mac, --local-ip and --file belong to upgrade"},
    {{"--set", "--from"}, "--set and --from belong to write"},
}};

const Family* FamilyOf(const std::string& option) {
    for (const Family& family : Families) {
        if (std::find(family.options.begin(), family.options.end(), option) !=
            family.options.end()) {
            return &family;
        }
    }
    return nullptr;
}

QString ToWait(const QString& value, int& out) {
    bool ok = false;
    out = value.toInt(&ok);
    if (!ok || out < 0) {
        return QStringLiteral("needs a number of milliseconds, not \"%1\"").arg(value);
    }
    return {};
}

QStringList TextsOf(const std::vector<std::string>& utf8) {
    QStringList texts;
    for (const std::string& text : utf8) {
        texts << Text(text);
    }
    return texts;
}

} // namespace

CommandLine::CommandLine() {
    m_app.set_help_flag();
    m_app.allow_extras();
    m_app.require_subcommand(0, 1);
    m_app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    for (const CommandSpec* spec : Commands()) {
        declareCommand(*spec);
    }
    CLI::App* help = m_app.add_subcommand(HelpCommand);
    help->group(""); // listed by the help's own usage lines, not among the commands
    help->fallthrough();
    help->add_option("arguments", m_arguments);
    declareSharedOptions();
}

void CommandLine::declareCommand(const CommandSpec& spec) {
    CLI::App* command =
        m_app.add_subcommand(spec.name, std::string(spec.synopsis) + "\n" + spec.description);
    command->group("Commands");
    command->fallthrough();
    command->add_option("arguments", m_arguments);
    if (spec.declare != nullptr) {
        CommandDeclaration declaration(*command, m_o, m_lists);
        spec.declare(declaration);
    }
}

void CommandLine::declareSharedOptions() {
    m_app.option_defaults()->group("Options");
    CommandDeclaration shared(m_app, m_o, m_lists);
    shared.text("--user", "NAME", m_o.user, "User name the commands carry (default admin).");
    m_password = shared.text("--password", "PW", m_o.password,
                             "Password the commands carry; others see it in the process list.\n"
                             "Without it: the first line of --password-file, else R2_PASSWORD,\n"
                             "else tulip. A file or R2_PASSWORD stay out of the process list.");
    shared.text("--password-file", "FILE", m_o.passwordFile,
                "The password is the first line of FILE (not with --password).\n"
                "FILE must be a regular file of at most 4096 bytes; a warning\n"
                "goes to standard error when its group or others may read it.");
    shared.value("--wait", "MS", m_o.waitMs, &ToWait,
                 "How long to collect replies, in milliseconds (default 2000).");
    shared.flag("--json", m_o.json,
                "Machine-readable output on standard output.\n"
                "A failure still leaves JSON there: the command's document with\n"
                "\"error\" and \"exit\" added, or {\"error\": TEXT, \"exit\": N} when it\n"
                "printed none (search keeps its list of modules).");
    shared.flag("--show-secrets", m_o.showSecrets,
                "Print passwords in the frames and blocks shown (text and JSON).\n"
                "Without it each password byte is shown as ** in the hex: the\n"
                "password the commands carry, the module's login password (base\n"
                "block) and its cloud communication password (cloud block). The\n"
                "panel read prints keeps its password controls, so that its JSON\n"
                "goes back to write --from unchanged.");
    shared.flag("-h,--help", m_o.help, "This overview; after a command, that command's help.");
    shared.flag("--help-all", m_o.helpAll,
                "Every command with its options, and the exit statuses in full.");
    shared.flag("--version", m_o.version, "The program's name and version.");
}

const CLI::App& CommandLine::command(const CommandSpec& spec) const {
    return *m_app.get_subcommand(spec.name);
}

bool CommandLine::takesValue(const std::string& name) const {
    const auto takes = [&name](const CLI::App& app) {
        const CLI::Option* option = app.get_option_no_throw(name);
        return option != nullptr && option->get_items_expected_min() > 0;
    };
    if (takes(m_app)) {
        return true;
    }
    const auto commands = m_app.get_subcommands([](const CLI::App*) { return true; });
    return std::any_of(commands.begin(), commands.end(),
                       [&takes](const CLI::App* command) { return takes(*command); });
}

std::vector<std::string> CommandLine::commandFirst(const QStringList& args) const {
    std::vector<std::string> line;
    std::size_t command = 0;
    bool found = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const std::string arg = args[i].toStdString();
        const std::string name = OptionName(arg);
        // "-o=FILE", as "--output=FILE" is written; CLI11 reads a short option's "=" as part
        // of the value.
        if (name.size() == 2 && arg.size() > 2 && arg[2] == '=') {
            line.push_back(name);
            line.push_back(arg.substr(3));
            continue;
        }
        line.push_back(arg);
        if (name.empty() && !found) {
            command = line.size() - 1;
            found = true;
        } else if (!name.empty() && arg == name && takesValue(name) && i + 1 < args.size()) {
            line.push_back(args[++i].toStdString());
        }
    }
    if (found) {
        std::rotate(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(command),
                    line.begin() + static_cast<std::ptrdiff_t>(command) + 1);
    }
    return line;
}

// What the parse left over: an unknown option, an option of another command, no or an
// unknown command; empty when nothing is left over.
QString CommandLine::refusal() const {
    const std::vector<std::string> left = m_app.remaining(true);
    for (const std::string& arg : left) {
        const std::string name = OptionName(arg);
        if (!name.empty() && FamilyOf(name) == nullptr) {
            return QStringLiteral("unknown option %1").arg(Text(arg));
        }
    }
    if (m_o.help || m_o.helpAll || m_o.version) {
        return {};
    }
    if (m_app.get_subcommands().empty()) {
        for (const std::string& arg : left) {
            if (OptionName(arg).empty()) {
                return QStringLiteral("unknown command \"%1\"").arg(Text(arg));
            }
        }
        return QStringLiteral(
            "no command given (search, read, write, restart, reset, fields, serial, upgrade, "
            "backup, restore)");
    }
    for (const std::string& arg : left) {
        if (const Family* family = FamilyOf(OptionName(arg))) {
            return QString::fromLatin1(family->refusal);
        }
    }
    return {};
}

QString CommandLine::resolveHelp(const CLI::App* given, const QStringList& arguments) {
    if (given == nullptr) {
        return {};
    }
    if (given->get_name() != HelpCommand) {
        m_o.command = QString::fromStdString(given->get_name());
        return {};
    }
    m_o.help = true;
    if (arguments.size() > 1) {
        return QStringLiteral("help takes one command, not %1 arguments").arg(arguments.size());
    }
    if (arguments.size() == 1) {
        if (CommandNamed(arguments.first()) == nullptr) {
            return QStringLiteral("unknown command \"%1\"").arg(arguments.first());
        }
        m_o.command = arguments.first();
    }
    return {};
}

ParseResult CommandLine::parse(const QStringList& args, const std::optional<QString>& envPassword) {
    std::vector<std::string> line = commandFirst(args);
    std::reverse(line.begin(), line.end()); // CLI11 takes the line backwards
    try {
        m_app.parse(line);
    } catch (const CLI::ParseError& e) {
        return {std::nullopt, Text(cli::ErrorText(e))};
    }
    if (const QString error = refusal(); !error.isEmpty()) {
        return {std::nullopt, error};
    }
    const CLI::App* given = m_app.get_subcommands().empty() ? nullptr : m_app.get_subcommands()[0];
    const QStringList arguments = TextsOf(m_arguments);
    if (m_o.help || m_o.helpAll || m_o.version || (given && given->get_name() == HelpCommand)) {
        if (const QString error = resolveHelp(given, arguments); !error.isEmpty()) {
            return {std::nullopt, error};
        }
        return {m_o, QString()};
    }
    const CommandSpec& spec = *CommandNamed(QString::fromStdString(given->get_name()));
    m_o.id = spec.id;
    m_o.command = QString::fromLatin1(spec.name);
    for (const ListBinding& list : m_lists) {
        *list.target << TextsOf(list.option->results());
    }
    if (const QString error = spec.check(m_o, arguments); !error.isEmpty()) {
        return {std::nullopt, error};
    }
    QStringList warnings;
    if (const QString error = ResolvePassword(m_o, m_password->count() > 0, envPassword, warnings);
        !error.isEmpty()) {
        return {std::nullopt, error, false, warnings};
    }
    return {m_o, QString(), false, warnings};
}

} // namespace r2::ctl
