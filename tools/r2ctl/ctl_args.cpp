#include "ctl_args.h"

#include "address_plan.h"
#include "address_text.h"
#include "cli_support.h"
#include "ctl_password_file.h"
#include "Unit_ProFun.h"
#include "Unit_Public.h"

#include <algorithm>
#include <array>
#include <QFileInfo>
#include <QStringDecoder>
#include <string>
#include <vector>

namespace r2::ctl {

namespace {

const QStringList Panels = {"p6", "p7", "p5"};
const QStringList SerialActions = {"read", "write"};

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

// An argument or value as CLI11 holds it (UTF-8) back as text, a leading byte-order mark
// included: QString::fromUtf8 would drop it, and it may be part of a password.
QString Text(const std::string& utf8) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

// The option name of an argument ("--wait" of "--wait=5"), or empty when it is no option.
std::string OptionName(const std::string& arg) {
    if (arg.size() < 2 || arg[0] != '-') {
        return {};
    }
    return arg.substr(0, arg.find('='));
}

// Converters of option values: the complaint that follows the option's name, or nothing.
QString ToText(const QString& value, QString& out) {
    out = value;
    return {};
}

QString ToWait(const QString& value, int& out) {
    bool ok = false;
    out = value.toInt(&ok);
    if (!ok || out < 0) {
        return QStringLiteral("needs a number of milliseconds, not \"%1\"").arg(value);
    }
    return {};
}

QString ToModel(const QString& value, QString& out) {
    out = value.toLower();
    if (!Panels.contains(out)) {
        return QStringLiteral("takes p6, p5 or p7, not \"%1\"").arg(value);
    }
    return {};
}

QString ToBaud(const QString& value, std::uint32_t& out) {
    bool ok = false;
    out = value.toUInt(&ok, 10);
    if (!ok || out == 0) {
        return QStringLiteral("needs a speed in baud (a whole number), not \"%1\"").arg(value);
    }
    return {};
}

QString ToNameStart(const QString& value, std::uint32_t& out) {
    bool ok = false;
    out = value.toUInt(&ok, 10);
    if (!ok) {
        return QStringLiteral("needs a whole number (the name counter's first value), not \"%1\"")
            .arg(value);
    }
    return {};
}

QString ToSetting(const QString& value, QString& out) {
    out = value;
    if (!value.contains('=') || value.startsWith('=')) {
        return QStringLiteral("needs CONTROL=VALUE, not \"%1\"").arg(value);
    }
    return {};
}

QString CheckSerial(CtlOptions& o, const QStringList& rest) {
    if (rest.size() != 1 || !SerialActions.contains(rest.first())) {
        return QStringLiteral("serial needs read or write");
    }
    o.serialAction = rest.first();
    if (o.port.isEmpty()) {
        return QStringLiteral("serial %1 needs --port PATH (the serial port, e.g. /dev/ttyUSB0)")
            .arg(o.serialAction);
    }
    if (o.model.isEmpty()) {
        return QStringLiteral("serial %1 needs --model p6, p5 or p7").arg(o.serialAction);
    }
    if (o.serialAction != "write" && (!o.sets.isEmpty() || !o.fromFile.isEmpty())) {
        return QStringLiteral("--set and --from belong to write");
    }
    return {};
}

// Every MAC of `texts` as MAC text into o.macs, the first into o.mac.
QString NormalizeMacs(CtlOptions& o, const QStringList& texts) {
    o.macs.clear();
    for (const QString& text : texts) {
        const auto mac = NormalizeMac(text);
        if (!mac) {
            return QStringLiteral("\"%1\" is not a MAC address (12 hex digits)").arg(text);
        }
        if (o.macs.contains(*mac)) {
            return QStringLiteral("the MAC %1 is given twice").arg(*mac);
        }
        o.macs << *mac;
    }
    o.mac = o.macs.value(0);
    return {};
}

QString CheckUpgrade(CtlOptions& o, const QStringList& rest) {
    if (!rest.isEmpty()) {
        return QStringLiteral("upgrade takes no argument but its options");
    }
    if (o.targetIp.isEmpty() || o.mac.isEmpty() || o.localIp.isEmpty() || o.imageFile.isEmpty()) {
        return QStringLiteral("upgrade needs --ip IP --mac MAC --local-ip IP --file PATH");
    }
    const QStringList ips = o.targetIp.split(',');
    if (const QString error = NormalizeMacs(o, o.mac.split(',')); !error.isEmpty()) {
        return error;
    }
    if (ips.size() != o.macs.size()) {
        return QStringLiteral("upgrade pairs each --ip with a --mac in order: %1 address(es) were "
                              "given for %2 MAC(s)")
            .arg(ips.size())
            .arg(o.macs.size());
    }
    for (const QString& ip : ips) {
        for (const auto& [option, address] : {std::pair{"--ip", ip}, {"--local-ip", o.localIp}}) {
            if (!ParseIpv4Text(address.toStdString())) {
                return QStringLiteral("%1 needs an IPv4 address (four numbers 0-255 with dots), "
                                      "not \"%2\"")
                    .arg(QLatin1String(option), address);
            }
        }
        // The module takes the target address in the boot reply and answers on its own segment.
        if (!SameSubnet(ip.toStdString(), o.localIp.toStdString(), "255.255.255.0")) {
            return QStringLiteral("the module (%1) and this computer (%2) must be on the same "
                                  "network segment (the first three numbers equal)")
                .arg(ip, o.localIp);
        }
    }
    o.targetIps = ips;
    o.targetIp = ips.first();
    if (!QFileInfo(o.imageFile).isFile()) {
        return QStringLiteral("--file: no image file \"%1\"").arg(o.imageFile);
    }
    return {};
}

// clone FILE (--to MAC[,MAC...] | --all-found) [--ip-from IP] [--name PATTERN]: the plan's
// form is checked here, so that a typing error sends nothing.
QString CheckClone(CtlOptions& o, const QStringList& rest) {
    if (rest.size() != 1) {
        return QStringLiteral("clone needs one configuration file (clone FILE --to MAC[,MAC...] "
                              "or --all-found)");
    }
    o.configFile = rest.first();
    if (o.allFound == !o.macs.isEmpty()) {
        return QStringLiteral("clone needs either --to MAC[,MAC...] or --all-found");
    }
    if (const QString error = NormalizeMacs(o, QStringList(o.macs)); !error.isEmpty()) {
        return error;
    }
    if (!o.ipFrom.isEmpty() && !ParseIpv4Text(o.ipFrom.toStdString())) {
        return QStringLiteral("--ip-from needs an IPv4 address (four numbers 0-255 with dots), "
                              "not \"%1\"")
            .arg(o.ipFrom);
    }
    if (!o.namePattern.isEmpty()) {
        std::string error;
        if (!config::ExpandNamePattern(o.namePattern.toStdString(), o.nameStart, error)) {
            return QStringLiteral("--name \"%1\": %2")
                .arg(o.namePattern, QString::fromStdString(error));
        }
    }
    return {};
}

// The files of backup and restore.
QString CheckConfigFiles(CtlOptions& o, const QStringList& rest) {
    if (o.command == "backup" && o.outputFile.isEmpty()) {
        return QStringLiteral("backup needs -o FILE (the configuration file to write)");
    }
    if (o.command == "restore" && rest.size() == 2) {
        o.configFile = rest[1];
    }
    return {};
}

// A command's arguments; its options' families were checked by the parse.
QString CheckCommand(CtlOptions& o, const QStringList& rest) {
    if (const QString error = CheckConfigFiles(o, rest); !error.isEmpty()) {
        return error;
    }
    if (o.command == "serial") {
        return CheckSerial(o, rest);
    }
    if (o.command == "upgrade") {
        return CheckUpgrade(o, rest);
    }
    if (o.command == "clone") {
        return CheckClone(o, rest);
    }
    if (o.command == "restart" && !rest.isEmpty()) {
        QStringList macs;
        for (const QString& argument : rest) {
            macs << argument.split(',');
        }
        return NormalizeMacs(o, macs);
    }
    if (o.command == "search") {
        return rest.isEmpty() ? QString() : QStringLiteral("search takes no argument");
    }
    if (o.command == "fields") {
        if (rest.size() > 1 || (rest.size() == 1 && !Panels.contains(rest.first().toLower()))) {
            return QStringLiteral("fields takes one of p6, p7, p5 or nothing");
        }
        o.fieldsPanel = rest.isEmpty() ? QString() : rest.first().toLower();
        return {};
    }
    if (rest.size() != (o.command == "restore" ? 2 : 1)) {
        return o.command == "restore"
                   ? QStringLiteral("restore needs a MAC address and a configuration file")
                   : QStringLiteral("%1 needs exactly one MAC address").arg(o.command);
    }
    const auto mac = NormalizeMac(rest.first());
    if (!mac) {
        return QStringLiteral("\"%1\" is not a MAC address (12 hex digits)").arg(rest.first());
    }
    o.mac = *mac;
    return {};
}

// The password: --password, or the first line of --password-file, or R2_PASSWORD, or the
// default. A password typed on the command line is visible to every user of the machine in
// the process list; the file and the environment are not.
QString ResolvePassword(CtlOptions& o, bool passwordGiven,
                        const std::optional<QString>& envPassword, QStringList& warnings) {
    if (passwordGiven && !o.passwordFile.isEmpty()) {
        return QStringLiteral("give the password once: --password or --password-file");
    }
    if (!o.passwordFile.isEmpty()) {
        const PasswordFile file = ReadPasswordFile(o.passwordFile);
        if (!file.warning.isEmpty()) {
            warnings << file.warning;
        }
        if (!file.password) {
            return file.error;
        }
        o.password = *file.password;
    } else if (!passwordGiven && envPassword) {
        o.password = *envPassword;
    }
    return {};
}

// The command line's declarations: the shared options on the program, each command with its
// own options and its arguments. Options may stand anywhere on the line; parse() moves the
// command to the front, so that every option reaches the command, which hands the shared ones
// on to the program.
class CommandLine final {
public:
    CommandLine();

    ParseResult parse(const QStringList& args, const std::optional<QString>& envPassword);
    std::string help() const { return m_app.help(); }
    // Whether `name` is an option that takes a value ("--wait", not "--json").
    bool takesValue(const std::string& name) const;

private:
    template <typename T>
    CLI::Option* addValue(CLI::App& app, const std::string& name, const std::string& valueText,
                          T& target, QString (*convert)(const QString&, T&),
                          const std::string& description) {
        return app
            .add_option_function<std::string>(
                name, [&target, convert](const std::string& v) { convert(Text(v), target); },
                description)
            ->option_text(valueText)
            ->check(cli::Check([convert](const std::string& v) {
                T scratch{};
                return convert(Text(v), scratch).toStdString();
            }));
    }
    CLI::Option* addList(CLI::App& app, const std::string& name, const std::string& valueText,
                         const std::string& description);
    CLI::App* addCommand(const std::string& name, const std::string& synopsis,
                         const std::string& description);
    void declareCommands();
    std::vector<std::string> commandFirst(const QStringList& args) const;
    QString refusal() const;

    CLI::App m_app{"", "r2ctl"};
    CtlOptions m_o;
    std::vector<std::string> m_arguments; // the command's arguments
    CLI::Option* m_password = nullptr;
    std::vector<CLI::Option*> m_sets;
    CLI::Option* m_to = nullptr;
};

CommandLine::CommandLine() {
    m_app.formatter(std::make_shared<cli::HelpFormatter>(
        "Usage: r2ctl [--user NAME] [--password PW | --password-file FILE] [--wait MS] [--json]\n"
        "             [--show-secrets] COMMAND ...\n"
        "       r2ctl serial read|write --port PATH --model p6|p5|p7 [--baud N] [--json] ...\n"
        "       r2ctl upgrade --ip IP[,IP...] --mac MAC[,MAC...] --local-ip IP --file PATH "
        "[--json]\n\n",
        25));
    m_app.description(
        "Works with R2 modules (P6, P7) on the local network, and with P6, P5 and P7 modules on "
        "a\nserial line, as the r2config window does, and upgrades a module's firmware as its "
        "upgrade\ndialog does.");
    m_app.set_help_flag();
    m_app.allow_extras();
    m_app.require_subcommand(0, 1);
    m_app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    declareCommands();

    m_app.option_defaults()->group("Options");
    addValue(m_app, "--user", "NAME", m_o.user, ToText,
             "User name the commands carry (default admin).");
    m_password = addValue(m_app, "--password", "PW", m_o.password, ToText,
                          "Password the commands carry. Without it: the first line of\n"
                          "--password-file, else R2_PASSWORD, else tulip. A password on the\n"
                          "command line shows in the process list; a file or R2_PASSWORD do not.");
    addValue(m_app, "--password-file", "FILE", m_o.passwordFile, ToText,
             "The password is the first line of FILE (not with --password).\n"
             "FILE must be a regular file of at most 4096 bytes; a warning\n"
             "goes to standard error when its group or others may read it.");
    addValue(m_app, "--wait", "MS", m_o.waitMs, ToWait,
             "How long to collect replies, in milliseconds (default 2000).");
    m_app.add_flag("--json", m_o.json,
                   "Machine-readable output on standard output. A failure still\n"
                   "leaves JSON there: the command's document with \"error\" and \"exit\"\n"
                   "added, or {\"error\": TEXT, \"exit\": N} when it printed none (search\n"
                   "keeps its list of modules).");
    m_app.add_flag("--show-secrets", m_o.showSecrets,
                   "Print passwords in the frames and blocks shown (text and JSON).\n"
                   "Without it each password byte is shown as ** in the hex: the\n"
                   "password the commands carry, the module's login password (base\n"
                   "block) and its cloud communication password (cloud block). The\n"
                   "panel read prints keeps its password controls, so that its JSON\n"
                   "goes back to write --from unchanged.");
    m_app.add_flag("-h,--help", m_o.help, "This text.");
    m_app.add_flag("--version", m_o.version, "The program's name and version.");
    m_app.footer(
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
the modules' segment is wanted: each of them is a broadcast to 255.255.255.255.)");
}

CLI::Option* CommandLine::addList(CLI::App& app, const std::string& name,
                                  const std::string& valueText, const std::string& description) {
    return app.add_option(name, description)
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->option_text(valueText);
}

CLI::App* CommandLine::addCommand(const std::string& name, const std::string& synopsis,
                                  const std::string& description) {
    CLI::App* command = m_app.add_subcommand(name, synopsis + "\n" + description);
    command->group("Commands");
    command->fallthrough();
    command->add_option("arguments", m_arguments);
    return command;
}

void CommandLine::declareCommands() {
    addCommand("search", "search",
               "Broadcast the search on every local IPv4 address, collect replies\n"
               "for --wait ms and list the modules (one row per MAC, first reply\n"
               "wins, in arrival order).");
    addCommand("read", "read MAC",
               "Find the module by a search, read it as a click on its row does, and\n"
               "collect the replies for --wait ms. Prints the blocks received and, for\n"
               "a P6, the P6 panel filled from them and the Modbus controls' visibility.");
    CLI::App* write =
        addCommand("write", "write MAC [--set CONTROL=VALUE]... [--from FILE.json]",
                   "Read the module, apply the values to its panel (P6: the panel as read;\n"
                   "P7: the P7 panel's design state), then save: every frame sent and every\n"
                   "status received is printed; waits --wait ms after the last frame.\n"
                   "FILE.json is an object {\"CONTROL\": value} in the types \"read --json\"\n"
                   "prints: an edit takes a string, a list its entry index as a number (or\n"
                   "an entry name as a string), a check box true/false, a baud list the\n"
                   "rate. With --set a list takes an entry name, or an index when no entry\n"
                   "has that name. --set values are applied after those of FILE.json.\n"
                   "Values are checked and every block is encoded before the first frame\n"
                   "goes out: a value that does not convert sends nothing.");
    CLI::App* backup =
        addCommand("backup", "backup MAC -o FILE [--force]",
                   "Read the module (a P6) as read does and save its panel to FILE as a\n"
                   "module configuration (JSON: format, version, model, firmware, MAC,\n"
                   "time, and the panel by control name in the types \"read --json\"\n"
                   "prints; an edit whose bytes are no GBK text as {\"hex\": \"...\"}).");
    addValue(*backup, "-o,--output", "FILE", m_o.outputFile, ToText,
             "The configuration file to write. A new file is made private\n"
             "(mode 0600: it holds the module's passwords); a file replaced keeps\n"
             "its mode. A file without write permission is refused (unless\n"
             "--force), and so is a symbolic link in a directory every user may\n"
             "write to (sticky, like /tmp).");
    backup->add_flag("--force", m_o.force, "Replace FILE even when it has no write permission.");
    CLI::App* restore =
        addCommand("restore", "restore MAC FILE [--with-network]",
                   "Check FILE first (format, version, model, every control and value:\n"
                   "a fault sends nothing), find the module, refuse a file of another\n"
                   "model, read the module, apply the file's values over what it sent\n"
                   "and save as write does. The module's MAC (edt_UserMAC) never comes\n"
                   "from the file; its own address (address type, static IP, subnet\n"
                   "mask, gateway, DNS) only with --with-network. A P7's read fills\n"
                   "no panel: the file goes over the P7 panel's design state holding\n"
                   "the module's own MAC and address (from its base block).");
    restore->add_flag("--with-network", m_o.withNetwork,
                      "Take the module's address settings from the file too.");
    CLI::App* clone =
        addCommand("clone",
                   "clone FILE (--to MAC[,MAC...] | --all-found) [--ip-from IP] [--name PATTERN]\n"
                   "      [--name-start N] [--dry-run] [--stop-on-error]",
                   "Check FILE as restore does, search, plan every module's address and\n"
                   "name before anything is written, then per module: read it as write\n"
                   "does, apply the file over what it sent (never its MAC; its address\n"
                   "only from the plan) and save. One line per module and a summary\n"
                   "(--json: an array of one object per module).");
    m_to = addList(*clone, "--to", "MAC[,MAC...]", "The modules to write (may be repeated).");
    clone->add_flag("--all-found", m_o.allFound,
                    "Every module the search lists whose model is the file's.");
    addValue(*clone, "--ip-from", "IP", m_o.ipFrom, ToText,
             "Static addresses from IP on, skipping the taken ones, the file's\n"
             "gateway and DNS server and this computer's addresses (each one told).");
    addValue(*clone, "--name", "PATTERN", m_o.namePattern, ToText,
             "Module names by a pattern with a counter: {n} or {n:0W}.");
    addValue(*clone, "--name-start", "N", m_o.nameStart, ToNameStart,
             "The counter's first value (default 1).");
    clone->add_flag("--dry-run", m_o.dryRun,
                    "Search, read and plan as usual, print every frame the save would\n"
                    "send, send none.");
    CLI::App* restart = addCommand("restart", "restart MAC[,MAC...] [MAC...]",
                                   "Send the restart command (port 1500 for every model).");
    addCommand("reset", "reset MAC",
               "Restore the module's factory settings (P6: port 1500, P7: port 1901).");
    addCommand("fields", "fields [p6|p7|p5]",
               "List the panel controls usable with --set: name, kind, meaning,\n"
               "accepted values.");
    CLI::App* serial =
        addCommand("serial",
                   "serial read --port PATH --model p6|p5|p7 [--baud N]\n"
                   "serial write --port PATH --model p6|p5|p7 [--baud N] [--set CONTROL=VALUE]...\n"
                   "             [--from FILE.json]",
                   "read: read a module on a serial line (its CFG pin tied to ground) as the\n"
                   "window's serial sheet does: send the read request, handle the replies\n"
                   "for 2000 ms and print the panel they filled (the P6 panel for p6, the\n"
                   "P5 panel for p5 and p7) and every frame sent and received.\n"
                   "write: read the module as above, apply the values to the panel read (as\n"
                   "write does), then save over the serial line (p6: base, port and the\n"
                   "closing frame, 500 ms apart; p5, p7: the 31-byte parameter frame) and\n"
                   "wait 2000 ms for the module's acceptance 'K'. A value that does not\n"
                   "convert writes nothing.");
    addValue(*serial, "--port", "PATH", m_o.port, ToText,
             "The serial port (/dev/ttyUSB0, /dev/ttyACM0, a name under\n"
             "/dev such as ttyUSB0, or a pseudo-terminal's path).");
    addValue(*serial, "--model", "p6|p5|p7", m_o.model, ToModel,
             "The model of the module on the line.");
    addValue(*serial, "--baud", "N", m_o.baud, ToBaud, "The line speed (default 9600).");
    CLI::App* upgrade = addCommand(
        "upgrade", "upgrade --ip IP[,IP...] --mac MAC[,MAC...] --local-ip IP --file PATH",
        "Upgrade the firmware of the module with that MAC: wake it into its boot\n"
        "loader, answer its boot request (IP becomes its address), and serve\n"
        "the image file from offset 4 in 512-byte blocks, each acknowledged\n"
        "(2 s per block, 9 retransmissions per transfer). Works from UDP ports\n"
        "9, 67, 69 and 40300 on LOCAL-IP, on the module's segment (the first\n"
        "three numbers of both addresses equal). Ports below 1024 need\n"
        "privilege: root, `setcap cap_net_bind_service=+ep` on r2ctl, or the\n"
        "sysctl net.ipv4.ip_unprivileged_port_start=0. Shows a progress bar on\n"
        "a terminal, status lines otherwise; --json prints one object (ending,\n"
        "blocks, retransmissions, bytes, seconds, detail). Several MACs are\n"
        "paired in order with the addresses and upgraded one after another.");
    addValue(*upgrade, "--ip", "IP[,IP...]", m_o.targetIp, ToText, "The module's address.");
    addValue(*upgrade, "--mac", "MAC[,MAC...]", m_o.mac, ToText, "The module's MAC.");
    addValue(*upgrade, "--local-ip", "IP", m_o.localIp, ToText,
             "This computer's address on the module's segment.");
    addValue(*upgrade, "--file", "PATH", m_o.imageFile, ToText, "The firmware image.");
    for (CLI::App* command : {write, serial}) {
        m_sets.push_back(
            addList(*command, "--set", "CONTROL=VALUE", "A control's value (may be repeated).")
                ->check(cli::Check([](const std::string& v) {
                    QString scratch;
                    return ToSetting(Text(v), scratch).toStdString();
                })));
        addValue(*command, "--from", "FILE.json", m_o.fromFile, ToText,
                 "The controls' values from a file.");
    }
    for (CLI::App* command : {restart, upgrade, clone}) {
        command->add_flag("--stop-on-error", m_o.stopOnError,
                          "After the first module that failed, run no more.");
    }
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
    if (m_o.help || m_o.version) {
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
    if (m_o.help || m_o.version) {
        return {m_o, QString()};
    }
    m_o.command = QString::fromStdString(m_app.get_subcommands().front()->get_name());
    for (const CLI::Option* set : m_sets) {
        for (const std::string& value : set->results()) {
            m_o.sets << Text(value);
        }
    }
    for (const std::string& value : m_to->results()) {
        m_o.macs << Text(value).split(',');
    }
    QStringList rest;
    for (const std::string& argument : m_arguments) {
        rest << Text(argument);
    }
    if (const QString error = CheckCommand(m_o, rest); !error.isEmpty()) {
        return {std::nullopt, error};
    }
    QStringList warnings;
    if (const QString error = ResolvePassword(m_o, m_password->count() > 0, envPassword, warnings);
        !error.isEmpty()) {
        return {std::nullopt, error, false, warnings};
    }
    return {m_o, QString(), false, warnings};
}

} // namespace

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

ParseResult ParseCommandLine(const QByteArrayList& rawArgs) {
    QStringList args;
    QList<qsizetype> undecodable;
    for (const QByteArray& raw : rawArgs) {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                        QStringConverter::Flag::ConvertInitialBom);
        args << utf8.decode(raw);
        if (utf8.hasError()) {
            undecodable << args.size() - 1;
        }
    }
    if (undecodable.isEmpty()) {
        std::optional<QString> envPassword;
        if (qEnvironmentVariableIsSet("R2_PASSWORD")) {
            envPassword = qEnvironmentVariable("R2_PASSWORD");
        }
        return ParseArguments(args, envPassword);
    }
    // The option whose value the first undecodable argument is ("--password" for
    // "--password X" and for "--password=X"), or none when it is an option, a command or a MAC.
    const CommandLine declarations;
    QString owner;
    for (qsizetype i = 0; i <= undecodable.first() && i < args.size(); ++i) {
        const std::string name = OptionName(args[i].toStdString());
        if (name.empty() || !declarations.takesValue(name)) {
            continue;
        }
        if (args[i].contains('=')) {
            if (i == undecodable.first()) {
                owner = QString::fromStdString(name);
            }
        } else if (++i == undecodable.first()) {
            owner = QString::fromStdString(name);
        }
    }
    const QString what = owner.isEmpty()
                             ? QStringLiteral("argument %1").arg(undecodable.first() + 1)
                             : QStringLiteral("the value of %1").arg(owner);
    ParseResult result{std::nullopt,
                       QStringLiteral("%1 is not UTF-8 text; r2ctl reads its arguments as UTF-8 "
                                      "and would send other bytes than were typed: give it in a "
                                      "UTF-8 terminal or locale")
                           .arg(what)};
    result.json = args.contains(QStringLiteral("--json"));
    return result;
}

QString HelpText() {
    return QString::fromStdString(CommandLine().help());
}

} // namespace r2::ctl
