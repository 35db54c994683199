#include "ctl_args.h"

#include "address_plan.h"
#include "Unit_ProFun.h"
#include "Unit_Public.h"

#include <array>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace r2::ctl {

namespace {

const QStringList Commands = {"search", "read",    "write",  "restart", "reset", "fields",
                              "serial", "upgrade", "backup", "restore", "clone"};
const QStringList Panels = {"p6", "p7", "p5"};
const QStringList SerialActions = {"read", "write"};
const QStringList SerialOptions = {"--port", "--model", "--baud"};
const QStringList UpgradeOptions = {"--ip", "--mac", "--local-ip", "--file"};
const QStringList CloneOptions = {"--to", "--ip-from", "--name", "--name-start"};
const QStringList ValueOptions = {"--user",    "--password", "--password-file", "--wait",
                                  "--set",     "--from",     "--port",          "--model",
                                  "--baud",    "--ip",       "--mac",           "--local-ip",
                                  "--file",    "-o",         "--output",        "--to",
                                  "--ip-from", "--name",     "--name-start"};

ParseResult Error(const QString& text) {
    return ParseResult{std::nullopt, text};
}

// The option whose value argument `index` is ("--password" for "--password X" and for
// "--password=X"), or empty when it is an option name, a command or a MAC.
QString OwnerOf(const QStringList& args, qsizetype index) {
    for (qsizetype i = 0; i <= index && i < args.size(); ++i) {
        const QString name = args[i].section('=', 0, 0);
        if (!ValueOptions.contains(name)) {
            continue;
        }
        if (args[i].contains('=')) {
            if (i == index) {
                return name;
            }
        } else if (++i == index) {
            return name;
        }
    }
    return {};
}

bool ApplyValueOption(CtlOptions& o, const QString& name, const QString& value, QString& error) {
    if (name == "--user") {
        o.user = value;
    } else if (name == "--password") {
        o.password = value;
    } else if (name == "--password-file") {
        o.passwordFile = value;
    } else if (name == "--to") {
        o.macs << value.split(',');
    } else if (name == "--ip-from") {
        o.ipFrom = value;
    } else if (name == "--name") {
        o.namePattern = value;
    } else if (name == "--name-start") {
        bool ok = false;
        o.nameStart = value.toUInt(&ok, 10);
        if (!ok) {
            error = QStringLiteral("--name-start needs a whole number (the name counter's first "
                                   "value), not \"%1\"")
                        .arg(value);
            return false;
        }
    } else if (name == "--wait") {
        bool ok = false;
        o.waitMs = value.toInt(&ok);
        if (!ok || o.waitMs < 0) {
            error = QStringLiteral("--wait needs a number of milliseconds, not \"%1\"").arg(value);
            return false;
        }
    } else if (name == "--set") {
        if (!value.contains('=') || value.startsWith('=')) {
            error = QStringLiteral("--set needs CONTROL=VALUE, not \"%1\"").arg(value);
            return false;
        }
        o.sets << value;
    } else if (name == "--port") {
        o.port = value;
    } else if (name == "--model") {
        o.model = value.toLower();
        if (!Panels.contains(o.model)) {
            error = QStringLiteral("--model takes p6, p5 or p7, not \"%1\"").arg(value);
            return false;
        }
    } else if (name == "--baud") {
        bool ok = false;
        o.baud = value.toUInt(&ok, 10);
        if (!ok || o.baud == 0) {
            error = QStringLiteral("--baud needs a speed in baud (a whole number), not \"%1\"")
                        .arg(value);
            return false;
        }
    } else if (name == "--ip") {
        o.targetIp = value;
    } else if (name == "--mac") {
        o.mac = value;
    } else if (name == "--local-ip") {
        o.localIp = value;
    } else if (name == "--file") {
        o.imageFile = value;
    } else if (name == "-o" || name == "--output") {
        o.outputFile = value;
    } else {
        o.fromFile = value;
    }
    return true;
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
            if (!IsIpv4Text(address)) {
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

// The files of backup and restore, and the options that belong to them alone.
QString CheckConfigFiles(CtlOptions& o, const QStringList& rest) {
    if (o.command != "backup" && !o.outputFile.isEmpty()) {
        return QStringLiteral("-o belongs to backup");
    }
    if (o.command != "restore" && o.withNetwork) {
        return QStringLiteral("--with-network belongs to restore");
    }
    if (o.command == "backup" && o.outputFile.isEmpty()) {
        return QStringLiteral("backup needs -o FILE (the configuration file to write)");
    }
    if (o.command == "restore" && rest.size() == 2) {
        o.configFile = rest[1];
    }
    return {};
}

QString CheckValuesBelongToWrite(const CtlOptions& o) {
    if (o.command != "write" && (!o.sets.isEmpty() || !o.fromFile.isEmpty())) {
        return QStringLiteral("--set and --from belong to write");
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
    if (!o.ipFrom.isEmpty() && !IsIpv4Text(o.ipFrom)) {
        return QStringLiteral("--ip-from needs an IPv4 address (four numbers 0-255 with dots), "
                              "not \"%1\"")
            .arg(o.ipFrom);
    }
    if (const QString error = CheckValuesBelongToWrite(o); !error.isEmpty()) {
        return error;
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

// Options that belong to one command alone, given to another.
QString CheckCommandOptions(const CtlOptions& o, bool cloneOptionGiven) {
    if (o.command != "clone" && (cloneOptionGiven || o.allFound || o.dryRun)) {
        return QStringLiteral("--to, --all-found, --ip-from, --name, --name-start and --dry-run "
                              "belong to clone");
    }
    if (o.stopOnError && o.command != "clone" && o.command != "restart" && o.command != "upgrade") {
        return QStringLiteral("--stop-on-error belongs to restart, upgrade and clone");
    }
    return {};
}

QString CheckPositionals(CtlOptions& o, const QStringList& positionals, bool serialOptionGiven,
                         bool upgradeOptionGiven, bool cloneOptionGiven) {
    if (positionals.isEmpty()) {
        return QStringLiteral(
            "no command given (search, read, write, restart, reset, fields, serial, upgrade, "
            "backup, restore)");
    }
    o.command = positionals.first();
    if (!Commands.contains(o.command)) {
        return QStringLiteral("unknown command \"%1\"").arg(o.command);
    }
    const QStringList rest = positionals.mid(1);
    if (const QString error = CheckConfigFiles(o, rest); !error.isEmpty()) {
        return error;
    }
    if (const QString error = CheckCommandOptions(o, cloneOptionGiven); !error.isEmpty()) {
        return error;
    }
    if (o.command == "serial") {
        return CheckSerial(o, rest);
    }
    if (serialOptionGiven) {
        return QStringLiteral("--port, --model and --baud belong to serial");
    }
    if (o.command == "upgrade") {
        return CheckUpgrade(o, rest);
    }
    if (upgradeOptionGiven) {
        return QStringLiteral("--ip, --mac, --local-ip and --file belong to upgrade");
    }
    if (o.command == "clone") {
        return CheckClone(o, rest);
    }
    if (o.command == "restart" && !rest.isEmpty()) {
        QStringList macs;
        for (const QString& argument : rest) {
            macs << argument.split(',');
        }
        if (const QString error = NormalizeMacs(o, macs); !error.isEmpty()) {
            return error;
        }
        return CheckValuesBelongToWrite(o);
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
    return CheckValuesBelongToWrite(o);
}

} // namespace

bool IsIpv4Text(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        return false;
    }
    for (int i = 1; i <= 4; ++i) {
        if (match.captured(i).toInt() > 255) {
            return false;
        }
    }
    return true;
}

std::optional<QString> NormalizeMac(const QString& text) {
    QString digits = text;
    digits.remove(QRegularExpression(QStringLiteral("[\\s:\\-]")));
    std::array<std::uint8_t, MacWidth> mac{};
    // MacTextToBytes reads the first 12 digits and ignores the rest, as the window's MAC
    // boxes do; a MAC argument with more digits is a typing error.
    if (digits.size() != 2 * MacWidth || !MacTextToBytes(digits.toStdString(), mac)) {
        return std::nullopt;
    }
    return QString::fromStdString(MacToText(mac));
}

namespace {

// The password: --password, or the first line of --password-file, or R2_PASSWORD, or the
// default. A password typed on the command line is visible to every user of the machine in
// the process list; the file and the environment are not.
QString ResolvePassword(CtlOptions& o, bool passwordGiven,
                        const std::optional<QString>& envPassword) {
    if (passwordGiven && !o.passwordFile.isEmpty()) {
        return QStringLiteral("give the password once: --password or --password-file");
    }
    if (!o.passwordFile.isEmpty()) {
        QFile file(o.passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            return QStringLiteral("--password-file: cannot read \"%1\" (%2)")
                .arg(o.passwordFile, file.errorString());
        }
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r')) {
            line.chop(1);
        }
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        o.password = utf8.decode(line);
        if (utf8.hasError()) {
            return QStringLiteral("--password-file: the first line of \"%1\" is not UTF-8 text")
                .arg(o.passwordFile);
        }
    } else if (!passwordGiven && envPassword) {
        o.password = *envPassword;
    }
    return {};
}

ParseResult Parse(const QStringList& args, const std::optional<QString>& envPassword) {
    CtlOptions o;
    QStringList positionals;
    bool serialOptionGiven = false;
    bool upgradeOptionGiven = false;
    bool cloneOptionGiven = false;
    bool passwordGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            continue;
        }
        if (arg == "--version") {
            o.version = true;
            continue;
        }
        if (arg == "--json") {
            o.json = true;
            continue;
        }
        if (arg == "--with-network") {
            o.withNetwork = true;
            continue;
        }
        if (arg == "--all-found") {
            o.allFound = true;
            continue;
        }
        if (arg == "--dry-run") {
            o.dryRun = true;
            continue;
        }
        if (arg == "--stop-on-error") {
            o.stopOnError = true;
            continue;
        }
        const QString name = arg.section('=', 0, 0);
        if (ValueOptions.contains(name)) {
            serialOptionGiven = serialOptionGiven || SerialOptions.contains(name);
            upgradeOptionGiven = upgradeOptionGiven || UpgradeOptions.contains(name);
            cloneOptionGiven = cloneOptionGiven || CloneOptions.contains(name);
            passwordGiven = passwordGiven || name == "--password";
            QString value;
            if (arg.contains('=')) {
                value = arg.section('=', 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return Error(QStringLiteral("%1 needs a value").arg(name));
            }
            QString error;
            if (!ApplyValueOption(o, name, value, error)) {
                return Error(error);
            }
            continue;
        }
        if (arg.startsWith("--")) {
            return Error(QStringLiteral("unknown option %1").arg(arg));
        }
        positionals << arg;
    }
    if (o.help || o.version) {
        return ParseResult{o, QString()};
    }
    if (const QString error = CheckPositionals(o, positionals, serialOptionGiven,
                                               upgradeOptionGiven, cloneOptionGiven);
        !error.isEmpty()) {
        return Error(error);
    }
    if (const QString error = ResolvePassword(o, passwordGiven, envPassword); !error.isEmpty()) {
        return Error(error);
    }
    return ParseResult{o, QString()};
}

} // namespace

ParseResult ParseArguments(const QStringList& args, const std::optional<QString>& envPassword) {
    ParseResult result = Parse(args, envPassword);
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
    const QString owner = OwnerOf(args, undecodable.first());
    const QString what = owner.isEmpty()
                             ? QStringLiteral("argument %1").arg(undecodable.first() + 1)
                             : QStringLiteral("the value of %1").arg(owner);
    ParseResult result = Error(QStringLiteral("%1 is not UTF-8 text; r2ctl reads its arguments "
                                              "as UTF-8 and would send other bytes than were "
                                              "typed: give it in a UTF-8 terminal or locale")
                                   .arg(what));
    result.json = args.contains(QStringLiteral("--json"));
    return result;
}

QString HelpText() {
    return QStringLiteral(
        R"(Usage: r2ctl [--user NAME] [--password PW | --password-file FILE] [--wait MS] [--json]
             COMMAND ...
       r2ctl serial read|write --port PATH --model p6|p5|p7 [--baud N] [--json] ...
       r2ctl upgrade --ip IP[,IP...] --mac MAC[,MAC...] --local-ip IP --file PATH [--json]

Works with R2 modules (P6, P7) on the local network, and with P6, P5 and P7 modules on a
serial line, as the r2config window does, and upgrades a module's firmware as its upgrade
dialog does.

Commands:
  search                 Broadcast the search on every local IPv4 address, collect replies
                         for --wait ms and list the modules (one row per MAC, first reply
                         wins, in arrival order).
  read MAC               Find the module by a search, read it as a click on its row does, and
                         collect the replies for --wait ms. Prints the blocks received and, for
                         a P6, the P6 panel filled from them and the Modbus controls' visibility.
  write MAC [--set CONTROL=VALUE]... [--from FILE.json]
                         Read the module, apply the values to its panel (P6: the panel as read;
                         P7: the P7 panel's design state), then save: every frame sent and every
                         status received is printed; waits --wait ms after the last frame.
                         FILE.json is an object {"CONTROL": value} in the types "read --json"
                         prints: an edit takes a string, a list its entry index as a number (or
                         an entry name as a string), a check box true/false, a baud list the
                         rate. With --set a list takes an entry name, or an index when no entry
                         has that name. --set values are applied after those of FILE.json.
                         Values are checked and every block is encoded before the first frame
                         goes out: a value that does not convert sends nothing.
  backup MAC -o FILE     Read the module (a P6) as read does and save its panel to FILE as a
                         module configuration (JSON: format, version, model, firmware, MAC,
                         time, and the panel by control name in the types "read --json"
                         prints; an edit whose bytes are no GBK text as {"hex": "..."}).
  restore MAC FILE [--with-network]
                         Check FILE first (format, version, model, every control and value:
                         a fault sends nothing), find the module, refuse a file of another
                         model, read the module, apply the file's values over what it sent
                         and save as write does. The module's MAC (edt_UserMAC) never comes
                         from the file; its own address (address type, static IP, subnet
                         mask, gateway, DNS) only with --with-network. A P7's read fills
                         no panel: the file goes over the P7 panel's design state holding
                         the module's own MAC and address (from its base block).
  clone FILE (--to MAC[,MAC...] | --all-found) [--ip-from IP] [--name PATTERN]
             [--name-start N] [--dry-run] [--stop-on-error]
                         Apply one configuration file to several modules, one after another:
                         FILE is checked in full first, then a search finds the modules (--to:
                         those MACs; --all-found: every module listed of the file's model) and
                         the whole address plan is made before anything is written. Each
                         module is read, gets the file's values over what it sent (never its
                         MAC; its address settings stay its own unless --ip-from), and is
                         saved as write does. --ip-from IP: the modules get static addresses
                         from IP up, one per module, skipping addresses the search saw and
                         never leaving the subnet (mask and gateway from the file). --name:
                         the module name from a pattern with a counter, {n} or {n:0W} (W
                         digits), counting from --name-start (default 1), e.g. Line1-{n:02};
                         every name must fit the module's 16-byte name field. --dry-run: read
                         and plan, print every frame that would be sent, send no write.
                         Prints a line per module (MAC, old and new IP, result) and a summary;
                         --json prints the same as an array.
  restart MAC [MAC...]   Send the restart command (port 1500 for every model). Several MACs
                         (also as A,B,...) are restarted one after another, with a line per
                         module and a summary.
  reset MAC              Restore the module's factory settings (P6: port 1500, P7: port 1901).
  fields [p6|p7|p5]      List the panel controls usable with --set: name, kind, meaning,
                         accepted values.
  serial read --port PATH --model p6|p5|p7 [--baud N]
                         Read a module on a serial line (its CFG pin tied to ground) as the
                         window's serial sheet does: send the read request, handle the replies
                         for 2000 ms and print the panel they filled (the P6 panel for p6, the
                         P5 panel for p5 and p7) and every frame sent and received.
  serial write --port PATH --model p6|p5|p7 [--baud N] [--set CONTROL=VALUE]...
               [--from FILE.json]
                         Read the module as above, apply the values to the panel read (as write
                         does), then save over the serial line (p6: base, port and the closing
                         frame, 500 ms apart; p5, p7: the 31-byte parameter frame) and wait
                         2000 ms for the module's acceptance 'K'. A value that does not
                         convert writes nothing.
  upgrade --ip IP --mac MAC --local-ip IP --file PATH
                         Upgrade the firmware of the module with that MAC: wake it into its boot
                         loader, answer its boot request (IP becomes its address), and serve
                         the image file from offset 4 in 512-byte blocks, each acknowledged
                         (2 s per block, 9 retransmissions per transfer). Works from UDP ports
                         9, 67, 69 and 40300 on LOCAL-IP, on the module's segment (the first
                         three numbers of both addresses equal). Ports below 1024 need
                         privilege: root, `setcap cap_net_bind_service=+ep` on r2ctl, or the
                         sysctl net.ipv4.ip_unprivileged_port_start=0. Shows a progress bar on
                         a terminal, status lines otherwise; --json prints one object (ending,
                         blocks, retransmissions, bytes, seconds, detail).
                         Several modules: --ip and --mac take lists paired in order
                         (--ip IP1,IP2 --mac MAC1,MAC2); they are upgraded one after another
                         (the boot server's ports are fixed), with a line per module and a
                         summary, or one JSON array.

MAC addresses are accepted with or without spaces, colons or dashes (001122334455,
00:11:22:33:44:55, "00 11 22 33 44 55", 00-11-22-33-44-55).

Options:
  --user NAME            User name the commands carry (default admin).
  --password PW          Password the commands carry (default tulip). A password typed here
                         is visible to every user of the machine in the process list: prefer
                         --password-file or R2_PASSWORD.
  --password-file FILE   Take the password from the first line of FILE.
  --wait MS              How long to collect replies, in milliseconds (default 2000).
  --port PATH            serial: the serial port (/dev/ttyUSB0, /dev/ttyACM0, a name under
                         /dev such as ttyUSB0, or a pseudo-terminal's path).
  --model p6|p5|p7       serial: the model of the module on the line.
  --baud N               serial: the line speed (default 9600).
  -o, --output FILE      backup: the configuration file to write.
  --with-network         restore: take the module's address settings from the file too.
  --ip IP, --mac MAC, --local-ip IP, --file PATH
                         upgrade: the module's address and MAC, this computer's address on
                         its segment, the firmware image.
  --stop-on-error        restart, upgrade, clone with several modules: leave the modules after
                         the first failure not run (without it, one failure never stops the
                         others).
  --json                 Machine-readable output on standard output. A failure still
                         leaves JSON there: the command's document with "error" and "exit"
                         added, or {"error": TEXT, "exit": N} when it printed none (search
                         keeps its list of modules).
  -h, --help             This text.
  --version              The program's name and version.

Environment:
  R2_PASSWORD            The password, when neither --password nor --password-file is given.

Exit status:
  0  success (read, backup: blocks came and no error status; write, restore, restart, reset:
     every frame sent was acknowledged "ACK" by the module itself, from the address its
     search reply came from, before the next frame went out, and no error status came;
     backup: the file was written; serial read: the
     model's replies came whole and right; serial write: that read, then the module's 'K')
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
     backup: a P7, whose panel no read fills, or a file that cannot be written)
  6  upgrade: timeout (no read request within 10 s, or a 10th expiry of the reply timer)
  7  upgrade: the search time ran out after the boot loader announced another hardware
     identity than the image's (a firmware for another module)
A command over several modules (clone; restart and upgrade with several MACs) exits 0 only
when every module succeeded, otherwise with the status of the first module that failed.

Texts from the modules (names, URLs, ...) are shown in tables and panel lines with control
characters as escapes (\n, \t, \x1b, \u202e) and a backslash as \\. Arguments must be UTF-8.

Errors go to standard error. Run the LAN commands only on a network where broadcasting to
the modules' segment is wanted: each of them is a broadcast to 255.255.255.255.
)");
}

} // namespace r2::ctl
