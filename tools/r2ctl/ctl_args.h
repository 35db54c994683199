#pragma once
// r2ctl's command line: `r2ctl [--user NAME] [--password PW] [--wait MS] [--json] COMMAND ...`,
// and `r2ctl serial read|write --port PATH --model p6|p5|p7 [--baud N] ...` for a module on a
// serial line, and `r2ctl upgrade --ip IP --mac MAC --local-ip IP --file PATH` for a firmware
// upgrade.
// Options may stand anywhere on the line, as `--name VALUE` or `--name=VALUE`. Parsing checks
// the form only (a command, a MAC, a number); whether a control accepts a value is decided by
// the panel later, before anything is sent.

#include <cstdint>
#include <optional>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

namespace r2::ctl {

inline constexpr int DefaultWaitMs = 2000;
// The serial line's speed unless --baud says otherwise: the window's default speed entry.
inline constexpr std::uint32_t DefaultSerialBaud = 9600;

// The commands, typed; the table of their names, options, checks and runners is ctl_command.
enum class CommandId {
    None,
    Search,
    Read,
    Write,
    Restart,
    Reset,
    Fields,
    Serial,
    Upgrade,
    Backup,
    Restore,
    Clone
};

// The options every command takes.
struct SharedOptions {
    QString user = QStringLiteral("admin");
    QString password = QStringLiteral("tulip");
    QString passwordFile; // --password-file: the password is its first line
    int waitMs = DefaultWaitMs;
    bool json = false;
    bool showSecrets = false; // --show-secrets: frames are printed with their passwords
    bool help = false;        // --help, COMMAND --help, help [COMMAND]
    bool helpAll = false;     // --help-all: every command and option, for the man page
    bool version = false;
};

// read, write, reset, backup, restore: the module (MAC text with single spaces, upper case).
// restart, upgrade, clone: every MAC in the order given, `mac` holding the first.
struct ModuleArgs {
    QString mac;
    QStringList macs;
};

// write and serial write: the values.
struct WriteArgs {
    QStringList sets; // "CONTROL=VALUE", in the order given
    QString fromFile; // --from FILE.json
};

struct FieldsArgs {
    QString fieldsPanel; // p6, p7, p5 or empty for all three
};

// serial: the action (read or write), the port's path, the model and the line speed.
struct SerialArgs {
    QString serialAction;
    QString port;
    QString model; // p6, p5 or p7
    std::uint32_t baud = DefaultSerialBaud;
};

// upgrade: the module's address, this computer's address to work from, the image file;
// several modules' addresses are paired in order with the MACs, `targetIp` holding the first.
struct UpgradeArgs {
    QString targetIp;
    QString localIp;
    QString imageFile;
    QStringList targetIps;
};

// backup: the file to write (-o), and whether it replaces a file without write permission.
struct BackupArgs {
    QString outputFile;
    bool force = false;
};

// restore and clone: the configuration file to read.
struct ConfigFileArgs {
    QString configFile;
};

// restore: whether the module's own address (address type, static IP, mask, gateway, DNS) is
// taken from the file.
struct RestoreArgs {
    bool withNetwork = false;
};

// clone FILE: --to (macs) or --all-found, the address plan's first static IP and name pattern
// with its first counter value, and --dry-run.
struct CloneArgs {
    bool allFound = false;
    QString ipFrom;
    QString namePattern;
    std::uint32_t nameStart = 1;
    bool dryRun = false;
};

// restart, upgrade, clone: the modules after the first failure are not run.
struct BatchArgs {
    bool stopOnError = false;
};

// A parsed command line: the shared options, the command and the arguments of every command,
// each command filling the ones it declares (the rest keep their defaults).
struct CtlOptions : SharedOptions,
                    ModuleArgs,
                    WriteArgs,
                    FieldsArgs,
                    SerialArgs,
                    UpgradeArgs,
                    BackupArgs,
                    ConfigFileArgs,
                    RestoreArgs,
                    CloneArgs,
                    BatchArgs {
    CommandId id = CommandId::None;
    QString command; // the command's name as typed: search, read, write, ...
};

struct ParseResult {
    std::optional<CtlOptions> options;
    QString error;
    bool json = false; // --json was given, so a refusal is printed as JSON too
    // Said on standard error before the run (a password file others may read); never part of
    // the JSON on standard output.
    QStringList warnings = {};
};

// `envPassword`: the R2_PASSWORD environment variable, used when neither --password nor
// --password-file is given.
ParseResult ParseArguments(const QStringList& args,
                           const std::optional<QString>& envPassword = std::nullopt);
// The command line as the process got it, with R2_PASSWORD from the environment. Every argument
// must be UTF-8: an undecodable byte would otherwise become U+FFFD and, in a user name or password,
// be sent in place of what was typed.
ParseResult ParseCommandLine(const QByteArrayList& rawArgs);

// A MAC as ParseMacText takes it, as the MAC text the device list shows ("00 11 22 33 44 55").
std::optional<QString> NormalizeMac(const QString& text);

// The help: `command` empty, the overview of `r2ctl --help` (one screen); a command's name,
// that command's synopsis, options and example; `all`, everything (the man page's text).
QString HelpText(const QString& command = QString(), bool all = false);

} // namespace r2::ctl
