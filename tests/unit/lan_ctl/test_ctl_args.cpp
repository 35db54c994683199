// r2ctl's command line: MAC forms, options anywhere, and what is refused before any network
// work starts.

#include "tools/r2ctl/ctl_args.h"
#include "tools/r2ctl/ctl_password_file.h"

#include <gtest/gtest.h>
#include <ostream>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <sys/stat.h>

namespace r2::ctl {
namespace {

struct MacCase {
    const char* text;
    const char* expected; // nullptr: refused

    friend void PrintTo(const MacCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class MacArgument : public ::testing::TestWithParam<MacCase> {};

TEST_P(MacArgument, IsNormalisedToTheListText) {
    const auto mac = NormalizeMac(QString::fromUtf8(GetParam().text));
    if (GetParam().expected == nullptr) {
        EXPECT_FALSE(mac.has_value()) << mac.value_or(QString()).toStdString();
    } else {
        ASSERT_TRUE(mac.has_value());
        EXPECT_EQ(mac->toStdString(), GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, MacArgument,
                         ::testing::Values(MacCase{"001122aabbcc", "00 11 22 AA BB CC"},
                                           MacCase{"00:11:22:AA:BB:CC", "00 11 22 AA BB CC"},
                                           MacCase{"00-11-22-aa-bb-cc", "00 11 22 AA BB CC"},
                                           MacCase{"00 11 22 AA BB CC", "00 11 22 AA BB CC"},
                                           MacCase{"0011 22:aa-bbcc", "00 11 22 AA BB CC"},
                                           MacCase{"00112233445", nullptr},
                                           MacCase{"0011223344556", nullptr},
                                           MacCase{"00112233445G", nullptr},
                                           MacCase{"00.11.22.33.44.55", nullptr},
                                           MacCase{"", nullptr}));

QStringList Args(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* i : items) {
        out << QString::fromUtf8(i);
    }
    return out;
}

TEST(Arguments, DefaultsAndGlobalOptions) {
    const auto plain = ParseArguments(Args({"search"}));
    ASSERT_TRUE(plain.options);
    EXPECT_EQ(plain.options->user, "admin");
    EXPECT_EQ(plain.options->password, "tulip");
    EXPECT_EQ(plain.options->waitMs, 2000);
    EXPECT_FALSE(plain.options->json);

    const auto set = ParseArguments(Args({"--user", "root", "--password=pw 1", "--json", "read",
                                          "00:11:22:33:44:55", "--wait", "500"}));
    ASSERT_TRUE(set.options) << set.error.toStdString();
    EXPECT_EQ(set.options->user, "root");
    EXPECT_EQ(set.options->password, "pw 1");
    EXPECT_EQ(set.options->waitMs, 500);
    EXPECT_TRUE(set.options->json);
    EXPECT_EQ(set.options->command, "read");
    EXPECT_EQ(set.options->mac, "00 11 22 33 44 55");
}

TEST(Arguments, WriteCollectsSetsInOrderAndKeepsEqualsSignsInValues) {
    const auto r = ParseArguments(Args({"write", "001122334455", "--set", "edt_ModName=a=b",
                                        "--set=cbb_WorkMode0=4", "--from", "v.json"}));
    ASSERT_TRUE(r.options) << r.error.toStdString();
    EXPECT_EQ(r.options->sets, Args({"edt_ModName=a=b", "cbb_WorkMode0=4"}));
    EXPECT_EQ(r.options->fromFile, "v.json");
}

TEST(Arguments, FieldsTakesAnOptionalPanel) {
    EXPECT_EQ(ParseArguments(Args({"fields"})).options->fieldsPanel, "");
    EXPECT_EQ(ParseArguments(Args({"fields", "P7"})).options->fieldsPanel, "p7");
}

TEST(Arguments, SerialTakesPortModelAndSpeed) {
    const auto read = ParseArguments(
        Args({"serial", "read", "--port", "/dev/ttyUSB0", "--model", "P6", "--json"}));
    ASSERT_TRUE(read.options) << read.error.toStdString();
    EXPECT_EQ(read.options->command, "serial");
    EXPECT_EQ(read.options->serialAction, "read");
    EXPECT_EQ(read.options->port, "/dev/ttyUSB0");
    EXPECT_EQ(read.options->model, "p6");
    EXPECT_EQ(read.options->baud, 9600U);
    EXPECT_TRUE(read.options->json);

    const auto write =
        ParseArguments(Args({"--baud=115200", "serial", "write", "--model=p7", "--port", "ttyACM0",
                             "--set", "edt_ID=7", "--from", "p5.json"}));
    ASSERT_TRUE(write.options) << write.error.toStdString();
    EXPECT_EQ(write.options->serialAction, "write");
    EXPECT_EQ(write.options->model, "p7");
    EXPECT_EQ(write.options->baud, 115200U);
    EXPECT_EQ(write.options->sets, Args({"edt_ID=7"}));
    EXPECT_EQ(write.options->fromFile, "p5.json");
}

TEST(Arguments, UpgradeTakesAddressesMacAndAnExistingFile) {
    QTemporaryFile image;
    ASSERT_TRUE(image.open());
    const auto r = ParseArguments(QStringList{"upgrade", "--ip", "192.168.0.7", "--mac",
                                              "02 52 32 06 00 01", "--local-ip=192.168.0.10",
                                              "--file", image.fileName(), "--json"});
    ASSERT_TRUE(r.options) << r.error.toStdString();
    EXPECT_EQ(r.options->command, "upgrade");
    EXPECT_EQ(r.options->targetIp, "192.168.0.7");
    EXPECT_EQ(r.options->mac, "02 52 32 06 00 01");
    EXPECT_EQ(r.options->localIp, "192.168.0.10");
    EXPECT_EQ(r.options->imageFile, image.fileName());
    EXPECT_TRUE(r.options->json);
}

TEST(Arguments, BackupAndRestoreTakeTheirFiles) {
    const auto backup = ParseArguments(Args({"backup", "001122334455", "-o", "m.json"}));
    ASSERT_TRUE(backup.options) << backup.error.toStdString();
    EXPECT_EQ(backup.options->command, "backup");
    EXPECT_EQ(backup.options->mac, "00 11 22 33 44 55");
    EXPECT_EQ(backup.options->outputFile, "m.json");
    EXPECT_EQ(
        ParseArguments(Args({"--output=b.json", "backup", "001122334455"})).options->outputFile,
        "b.json");

    for (const bool network : {false, true}) {
        QStringList args = Args({"restore", "00:11:22:33:44:55", "m.json"});
        if (network) {
            args.prepend(QStringLiteral("--with-network"));
        }
        const auto restore = ParseArguments(args);
        ASSERT_TRUE(restore.options) << restore.error.toStdString();
        EXPECT_EQ(restore.options->command, "restore");
        EXPECT_EQ(restore.options->mac, "00 11 22 33 44 55");
        EXPECT_EQ(restore.options->configFile, "m.json");
        EXPECT_EQ(restore.options->withNetwork, network);
    }
}

TEST(Arguments, RestartTakesSeveralMacsInOrder) {
    const auto one = ParseArguments(Args({"restart", "001122334455"}));
    ASSERT_TRUE(one.options) << one.error.toStdString();
    EXPECT_EQ(one.options->macs, QStringList{"00 11 22 33 44 55"});
    EXPECT_FALSE(one.options->stopOnError);

    const auto several = ParseArguments(Args(
        {"restart", "00:11:22:33:44:55,001122334466", "00-11-22-33-44-77", "--stop-on-error"}));
    ASSERT_TRUE(several.options) << several.error.toStdString();
    EXPECT_EQ(several.options->macs,
              Args({"00 11 22 33 44 55", "00 11 22 33 44 66", "00 11 22 33 44 77"}));
    EXPECT_EQ(several.options->mac, "00 11 22 33 44 55");
    EXPECT_TRUE(several.options->stopOnError);
}

TEST(Arguments, UpgradePairsAddressesWithMacs) {
    QTemporaryFile image;
    ASSERT_TRUE(image.open());
    const auto r = ParseArguments(QStringList{"upgrade", "--ip", "192.168.0.7,192.168.0.8", "--mac",
                                              "001122334455,00:11:22:33:44:66", "--local-ip",
                                              "192.168.0.10", "--file", image.fileName()});
    ASSERT_TRUE(r.options) << r.error.toStdString();
    EXPECT_EQ(r.options->targetIps, Args({"192.168.0.7", "192.168.0.8"}));
    EXPECT_EQ(r.options->macs, Args({"00 11 22 33 44 55", "00 11 22 33 44 66"}));
    EXPECT_EQ(r.options->targetIp, "192.168.0.7");
    EXPECT_EQ(r.options->mac, "00 11 22 33 44 55");
}

TEST(Arguments, CloneTakesFileTargetsAndPlan) {
    const auto to = ParseArguments(Args({"clone", "line.json", "--to", "001122334455,001122334466",
                                         "--to=001122334477", "--ip-from", "10.0.0.20", "--name",
                                         "Line1-{n:02}", "--name-start", "5", "--dry-run"}));
    ASSERT_TRUE(to.options) << to.error.toStdString();
    EXPECT_EQ(to.options->command, "clone");
    EXPECT_EQ(to.options->configFile, "line.json");
    EXPECT_EQ(to.options->macs,
              Args({"00 11 22 33 44 55", "00 11 22 33 44 66", "00 11 22 33 44 77"}));
    EXPECT_FALSE(to.options->allFound);
    EXPECT_EQ(to.options->ipFrom, "10.0.0.20");
    EXPECT_EQ(to.options->namePattern, "Line1-{n:02}");
    EXPECT_EQ(to.options->nameStart, 5U);
    EXPECT_TRUE(to.options->dryRun);

    const auto all = ParseArguments(Args({"--all-found", "clone", "line.json"}));
    ASSERT_TRUE(all.options) << all.error.toStdString();
    EXPECT_TRUE(all.options->allFound);
    EXPECT_TRUE(all.options->macs.isEmpty());
    EXPECT_EQ(all.options->nameStart, 1U);
    EXPECT_FALSE(all.options->dryRun);
}

TEST(Arguments, PasswordComesFromTheLineTheFileOrTheEnvironment) {
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write("s3cret pw\r\nsecond line\n");
    file.close();
    const QString env = QStringLiteral("from-env");
    struct Case {
        const char* what;
        QStringList args;
        std::optional<QString> env;
        const char* password;
    };
    const Case cases[] = {
        {"default", Args({"search"}), std::nullopt, "tulip"},
        {"environment", Args({"search"}), env, "from-env"},
        {"option beats environment", Args({"--password", "typed", "search"}), env, "typed"},
        {"file beats environment", QStringList{"--password-file", file.fileName(), "search"}, env,
         "s3cret pw"},
        {"empty environment", Args({"search"}), QString(), ""},
    };
    for (const Case& c : cases) {
        const auto r = ParseArguments(c.args, c.env);
        ASSERT_TRUE(r.options) << c.what << ": " << r.error.toStdString();
        EXPECT_EQ(r.options->password, QString::fromUtf8(c.password)) << c.what;
    }
    const auto both = ParseArguments(
        QStringList{"--password", "x", "--password-file", file.fileName(), "search"});
    EXPECT_FALSE(both.options);
    EXPECT_TRUE(both.error.contains("once")) << both.error.toStdString();
    const auto missing = ParseArguments(Args({"--password-file", "/nonexistent/pw", "search"}));
    EXPECT_FALSE(missing.options);
    EXPECT_TRUE(missing.error.contains("/nonexistent/pw")) << missing.error.toStdString();
}

// A password file is a small regular file. Anything else is refused at once, naming the file
// and what it is: a FIFO without a writer must not block, /dev/zero must not be read without
// end, a huge file must not be read whole.
TEST(Arguments, PasswordFileIsASmallRegularFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString large = dir.filePath(QStringLiteral("large"));
    QFile file(large);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(MaxPasswordFileBytes + 1, 'x'));
    file.close();
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct Case {
        const char* what;
        QString path;
        const char* why;
    };
    const Case cases[] = {
        {"a file over the limit", large, "is larger than 4096 bytes"},
        {"an endless device", QStringLiteral("/dev/zero"), "is a character device"},
        {"a FIFO without a writer", fifo, "is a FIFO (named pipe), not a regular file"},
        {"a directory", dir.path(), "is a directory"},
    };
    for (const Case& c : cases) {
        const auto r = ParseArguments(QStringList{"--password-file", c.path, "search"});
        EXPECT_FALSE(r.options) << c.what;
        EXPECT_TRUE(r.error.startsWith(
            QStringLiteral("--password-file: \"%1\" %2").arg(c.path, QString::fromUtf8(c.why))))
            << c.what << ": " << r.error.toStdString();
    }
}

// Others may read the file: the password is used, and a warning (standard error, never the
// JSON) says so, as ssh does for a private key.
TEST(Arguments, PasswordFileOthersMayReadIsUsedWithAWarning) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char* name;
        QFileDevice::Permissions permissions;
        QByteArray contents;
        QString password;
        const char* warning; // nullptr: none
    };
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const Case cases[] = {
        {"private", owner, "pw\n", QStringLiteral("pw"), nullptr},
        {"group", owner | QFileDevice::ReadGroup, "pw\n", QStringLiteral("pw"), "(mode 0640)"},
        {"others", owner | QFileDevice::ReadOther, "pw", QStringLiteral("pw"), "(mode 0604)"},
        {"at the limit", owner, QByteArray(MaxPasswordFileBytes, 'y'),
         QString(MaxPasswordFileBytes, QLatin1Char('y')), nullptr},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.contents);
        file.close();
        ASSERT_TRUE(file.setPermissions(c.permissions));
        const auto r = ParseArguments(QStringList{"--json", "--password-file", path, "search"});
        ASSERT_TRUE(r.options) << c.name << ": " << r.error.toStdString();
        EXPECT_EQ(r.options->password, c.password) << c.name;
        if (c.warning == nullptr) {
            EXPECT_TRUE(r.warnings.isEmpty())
                << c.name << ": " << r.warnings.join(' ').toStdString();
        } else {
            ASSERT_EQ(r.warnings.size(), 1) << c.name;
            EXPECT_TRUE(r.warnings.first().contains(QString::fromLatin1(c.warning)) &&
                        r.warnings.first().contains(path))
                << r.warnings.first().toStdString();
        }
    }
}

TEST(Arguments, ShowSecretsAnywhereAndForceForBackup) {
    const auto plain = ParseArguments(Args({"backup", "001122334455", "-o", "m.json"}));
    ASSERT_TRUE(plain.options) << plain.error.toStdString();
    EXPECT_FALSE(plain.options->showSecrets);
    EXPECT_FALSE(plain.options->force);
    const auto both = ParseArguments(
        Args({"backup", "001122334455", "-o", "m.json", "--force", "--show-secrets"}));
    ASSERT_TRUE(both.options) << both.error.toStdString();
    EXPECT_TRUE(both.options->showSecrets);
    EXPECT_TRUE(both.options->force);
    const auto serial = ParseArguments(
        Args({"--show-secrets", "serial", "read", "--port", "/dev/ttyUSB0", "--model", "p6"}));
    ASSERT_TRUE(serial.options) << serial.error.toStdString();
    EXPECT_TRUE(serial.options->showSecrets);
}

TEST(Arguments, HelpAndVersionNeedNoCommand) {
    const auto help = ParseArguments(Args({"--help"}));
    ASSERT_TRUE(help.options);
    EXPECT_TRUE(help.options->help);
    EXPECT_FALSE(help.options->version);
    const auto version = ParseArguments(Args({"--version"}));
    ASSERT_TRUE(version.options);
    EXPECT_TRUE(version.options->version);
    EXPECT_FALSE(version.options->help);
}

struct RefusedCase {
    const char* what;
    QStringList args;
    const char* messagePart;

    friend void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.what; }
};

class RefusedArguments : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedArguments, SayWhy) {
    const auto r = ParseArguments(GetParam().args);
    EXPECT_FALSE(r.options);
    EXPECT_TRUE(r.error.contains(QString::fromUtf8(GetParam().messagePart)))
        << r.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Errors, RefusedArguments,
    ::testing::Values(
        RefusedCase{"no command", Args({"--json"}), "no command"},
        RefusedCase{"unknown command", Args({"scan"}), "unknown command"},
        RefusedCase{"unknown option", Args({"--verbose", "search"}), "unknown option"},
        RefusedCase{"read without MAC", Args({"read"}), "MAC"},
        RefusedCase{"bad MAC", Args({"restart", "0011"}), "not a MAC"},
        RefusedCase{"two MACs", Args({"reset", "001122334455", "001122334466"}), "one MAC"},
        RefusedCase{"wait not a number", Args({"--wait", "2s", "search"}), "--wait"},
        RefusedCase{"negative wait", Args({"--wait=-1", "search"}), "--wait"},
        RefusedCase{"option without value", Args({"search", "--user"}), "needs a value"},
        RefusedCase{"set without =", Args({"write", "001122334455", "--set", "edt_ModName"}),
                    "CONTROL=VALUE"},
        RefusedCase{"set for read", Args({"read", "001122334455", "--set", "a=b"}),
                    "belong to write"},
        RefusedCase{"search with argument", Args({"search", "001122334455"}), "no argument"},
        RefusedCase{"fields of an unknown panel", Args({"fields", "p9"}), "p6, p7, p5"},
        RefusedCase{"serial without action", Args({"serial", "--port", "x", "--model", "p6"}),
                    "read or write"},
        RefusedCase{"serial unknown action",
                    Args({"serial", "scan", "--port", "x", "--model", "p6"}), "read or write"},
        RefusedCase{"serial without port", Args({"serial", "read", "--model", "p6"}), "--port"},
        RefusedCase{"serial without model", Args({"serial", "read", "--port", "x"}), "--model"},
        RefusedCase{"unknown model", Args({"serial", "read", "--port", "x", "--model", "p8"}),
                    "--model"},
        RefusedCase{"speed not a number",
                    Args({"serial", "read", "--port", "x", "--model", "p5", "--baud", "fast"}),
                    "--baud"},
        RefusedCase{"speed zero",
                    Args({"serial", "read", "--port", "x", "--model", "p5", "--baud", "0"}),
                    "--baud"},
        RefusedCase{"negative speed",
                    Args({"serial", "read", "--port", "x", "--model", "p5", "--baud=-9600"}),
                    "--baud"},
        RefusedCase{"set for a serial read",
                    Args({"serial", "read", "--port", "x", "--model", "p5", "--set", "a=b"}),
                    "belong to write"},
        RefusedCase{"port for a LAN read", Args({"read", "001122334455", "--port", "x"}),
                    "belong to serial"},
        RefusedCase{"upgrade without file",
                    Args({"upgrade", "--ip", "192.168.0.7", "--mac", "001122334455", "--local-ip",
                          "192.168.0.10"}),
                    "--file PATH"},
        RefusedCase{"upgrade with a bad address",
                    Args({"upgrade", "--ip", "192.168.0.700", "--mac", "001122334455", "--local-ip",
                          "192.168.0.10", "--file", "fw.bin"}),
                    "--ip needs an IPv4 address"},
        RefusedCase{"upgrade with a bad local address",
                    Args({"upgrade", "--ip", "192.168.0.7", "--mac", "001122334455", "--local-ip",
                          "pc", "--file", "fw.bin"}),
                    "--local-ip needs an IPv4 address"},
        RefusedCase{"upgrade across segments",
                    Args({"upgrade", "--ip", "192.168.0.7", "--mac", "001122334455", "--local-ip",
                          "192.168.1.10", "--file", "fw.bin"}),
                    "same network segment"},
        RefusedCase{"upgrade with a bad MAC",
                    Args({"upgrade", "--ip", "192.168.0.7", "--mac", "00112233445", "--local-ip",
                          "192.168.0.10", "--file", "fw.bin"}),
                    "not a MAC"},
        RefusedCase{"upgrade of a missing file",
                    Args({"upgrade", "--ip", "192.168.0.7", "--mac", "001122334455", "--local-ip",
                          "192.168.0.10", "--file", "/nonexistent/fw.bin"}),
                    "no image file"},
        RefusedCase{"upgrade with a MAC argument",
                    Args({"upgrade", "001122334455", "--ip", "192.168.0.7", "--mac", "001122334455",
                          "--local-ip", "192.168.0.10", "--file", "fw.bin"}),
                    "no argument"},
        RefusedCase{"backup without a file", Args({"backup", "001122334455"}), "-o FILE"},
        RefusedCase{"backup of two modules",
                    Args({"backup", "001122334455", "001122334466", "-o", "m.json"}), "one MAC"},
        RefusedCase{"restore without a file", Args({"restore", "001122334455"}),
                    "a MAC address and a configuration file"},
        RefusedCase{"restore with a bad MAC", Args({"restore", "0011", "m.json"}), "not a MAC"},
        RefusedCase{"output for a read", Args({"read", "001122334455", "-o", "m.json"}),
                    "-o belongs to backup"},
        RefusedCase{"output for a search", Args({"search", "--output", "m.json"}),
                    "-o belongs to backup"},
        RefusedCase{"force for a restore", Args({"restore", "001122334455", "m.json", "--force"}),
                    "--force belongs to backup"},
        RefusedCase{"network for a backup",
                    Args({"backup", "001122334455", "-o", "m.json", "--with-network"}),
                    "--with-network belongs to restore"},
        RefusedCase{"set for a restore",
                    Args({"restore", "001122334455", "m.json", "--set", "a=b"}), "belong to write"},
        RefusedCase{"upgrade options for a read",
                    Args({"read", "001122334455", "--file", "fw.bin"}), "belong to upgrade"},
        RefusedCase{"restart with one bad MAC of two", Args({"restart", "001122334455,0011"}),
                    "\"0011\" is not a MAC"},
        RefusedCase{"restart of one module twice",
                    Args({"restart", "001122334455", "00:11:22:33:44:55"}), "given twice"},
        RefusedCase{"upgrade with more MACs than addresses",
                    Args({"upgrade", "--ip", "192.168.0.7", "--mac", "001122334455,001122334466",
                          "--local-ip", "192.168.0.10", "--file", "fw.bin"}),
                    "1 address(es) were given for 2 MAC(s)"},
        RefusedCase{
            "upgrade with a second address on another segment",
            Args({"upgrade", "--ip", "192.168.0.7,192.168.1.8", "--mac",
                  "001122334455,001122334466", "--local-ip", "192.168.0.10", "--file", "fw.bin"}),
            "same network segment"},
        RefusedCase{"clone without targets", Args({"clone", "line.json"}), "--to MAC"},
        RefusedCase{"clone with both target choices",
                    Args({"clone", "line.json", "--to", "001122334455", "--all-found"}),
                    "either --to"},
        RefusedCase{"clone without a file", Args({"clone", "--all-found"}),
                    "one configuration file"},
        RefusedCase{"clone with a bad target", Args({"clone", "f.json", "--to", "0011"}),
                    "not a MAC"},
        RefusedCase{"clone from a bad address",
                    Args({"clone", "f.json", "--all-found", "--ip-from", "10.0.0.300"}),
                    "--ip-from needs an IPv4 address"},
        // The clone itself refuses a leading zero (octal to many tools), so the check does.
        RefusedCase{"clone from an address with a leading zero",
                    Args({"clone", "f.json", "--to", "001122334455", "--ip-from", "010.0.0.1"}),
                    "--ip-from needs an IPv4 address (four numbers 0-255 with dots), not "
                    "\"010.0.0.1\""},
        RefusedCase{"upgrade to an address with a leading zero",
                    Args({"upgrade", "--ip", "192.168.0.07", "--mac", "001122334455", "--local-ip",
                          "192.168.0.10", "--file", "fw.bin"}),
                    "--ip needs an IPv4 address"},
        RefusedCase{"clone with a bad name pattern",
                    Args({"clone", "f.json", "--all-found", "--name", "L-{x}"}), "--name"},
        RefusedCase{"clone counting from a word",
                    Args({"clone", "f.json", "--all-found", "--name-start", "one"}),
                    "--name-start"},
        RefusedCase{"clone with values", Args({"clone", "f.json", "--all-found", "--set", "a=b"}),
                    "belong to write"},
        RefusedCase{"targets for a restart", Args({"restart", "001122334455", "--all-found"}),
                    "belong to clone"},
        RefusedCase{"dry run of a write", Args({"write", "001122334455", "--dry-run"}),
                    "belong to clone"},
        RefusedCase{"stop-on-error for a read", Args({"read", "001122334455", "--stop-on-error"}),
                    "--stop-on-error belongs to"}));

TEST(Arguments, TheCommandIsFoundAmongOptionsAndTheirValues) {
    struct Case {
        const char* what;
        QStringList args;
        const char* command;
        const char* user;
        const char* output;
    };
    const Case cases[] = {
        {"a command word as a value", Args({"--user", "read", "search"}), "search", "read", ""},
        {"a short option with =", Args({"-o=m.json", "backup", "001122334455"}), "backup", "admin",
         "m.json"},
        {"a short option's value before the command",
         Args({"-o", "backup", "backup", "001122334455"}), "backup", "admin", "backup"},
        {"a command option after a shared one",
         Args({"--wait", "10", "--output", "x.json", "backup", "001122334455", "--user=u"}),
         "backup", "u", "x.json"},
    };
    for (const Case& c : cases) {
        const auto r = ParseArguments(c.args);
        ASSERT_TRUE(r.options) << c.what << ": " << r.error.toStdString();
        EXPECT_EQ(r.options->command, c.command) << c.what;
        EXPECT_EQ(r.options->user, c.user) << c.what;
        EXPECT_EQ(r.options->outputFile, c.output) << c.what;
    }
    const auto other = ParseArguments(Args({"--port", "read", "read", "001122334455"}));
    EXPECT_FALSE(other.options);
    EXPECT_TRUE(other.error.contains("belong to serial")) << other.error.toStdString();
}

TEST(CommandLine, NonUtf8BytesAreRefusedNamingTheOption) {
    struct Case {
        QByteArrayList args;
        const char* names;
    };
    const Case cases[] = {
        {{"--password", "tu\xFFlip", "restart", "001122334455"}, "the value of --password"},
        {{"--user=\xC0\xAF", "restart", "001122334455"}, "the value of --user"},
        {{"restart", "00112233445\xE9"}, "argument 2"},
        {{"--json", "--password", "\xED\xA0\x80", "search"}, "the value of --password"},
    };
    for (const Case& c : cases) {
        const auto r = ParseCommandLine(c.args);
        EXPECT_FALSE(r.options) << c.names;
        EXPECT_TRUE(r.error.contains(QString::fromUtf8(c.names))) << r.error.toStdString();
        EXPECT_TRUE(r.error.contains("UTF-8")) << r.error.toStdString();
    }
    EXPECT_TRUE(ParseCommandLine(cases[3].args).json);
}

TEST(CommandLine, Utf8ArgumentsArriveUnchanged) {
    const auto r = ParseCommandLine({"--user", "\xE7\x94\xA8\xE6\x88\xB7", "--password",
                                     "\xEF\xBB\xBFpw", "restart", "001122334455"});
    ASSERT_TRUE(r.options) << r.error.toStdString();
    EXPECT_EQ(r.options->user, QString::fromUtf8("\u7528\u6237"));
    EXPECT_EQ(r.options->password, QString(QChar(0xFEFF)) + "pw")
        << "a leading byte-order mark is part of the password";
}

TEST(CommandLine, JsonIsAskedForEvenWhenTheLineIsRefused) {
    EXPECT_TRUE(ParseArguments(Args({"--json", "--wait", "x", "search"})).json);
    EXPECT_FALSE(ParseArguments(Args({"--wait", "x", "search"})).json);
    EXPECT_TRUE(ParseArguments(Args({"search", "--json"})).json);
    EXPECT_FALSE(ParseArguments(Args({"--user", "--json", "search"})).json)
        << "--json as a user name is no option";
}

} // namespace
} // namespace r2::ctl
