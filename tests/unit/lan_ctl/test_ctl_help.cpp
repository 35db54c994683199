// r2ctl's help: the overview fits one screen, each command's help is its own, --help-all keeps
// everything for the man page.

#include "tools/r2ctl/ctl_args.h"

#include <gtest/gtest.h>
#include <ostream>
#include <QRegularExpression>

namespace r2::ctl {
namespace {

const QStringList AllCommands = {"search",  "read",  "write",  "backup", "restore", "clone",
                                 "restart", "reset", "fields", "serial", "upgrade"};

bool HasLineStarting(const QString& text, const QString& start) {
    const QRegularExpression line(QStringLiteral("^") + QRegularExpression::escape(start),
                                  QRegularExpression::MultilineOption);
    return text.contains(line);
}

TEST(Help, OverviewIsOneScreenWithEveryCommandTheSharedOptionsAndTheExitStatuses) {
    const QString text = HelpText();
    EXPECT_LE(text.count('\n'), 50) << text.toStdString();
    for (const QString& command : AllCommands) {
        EXPECT_TRUE(HasLineStarting(text, "  " + command + " ")) << command.toStdString();
    }
    for (const char* option : {"--user NAME", "--password-file FILE", "--wait MS", "--json",
                               "--show-secrets", "--help-all"}) {
        EXPECT_TRUE(text.contains(QLatin1String(option))) << option;
    }
    EXPECT_TRUE(text.contains("Exit status: 0 success"));
    EXPECT_TRUE(text.contains("7 upgrade"));
    // A command's own options are in its own help only.
    EXPECT_FALSE(text.contains("--port")) << text.toStdString();
    EXPECT_FALSE(text.contains("--stop-on-error")) << text.toStdString();
}

struct CommandHelpCase {
    const char* command;
    const char* usage;     // the first usage line
    const char* ownOption; // nullptr: the command has none
    const char* otherOption;

    friend void PrintTo(const CommandHelpCase& c, std::ostream* os) { *os << c.command; }
};

class CommandHelp : public ::testing::TestWithParam<CommandHelpCase> {};

TEST_P(CommandHelp, HasItsSynopsisItsOwnOptionsAndAnExample) {
    const CommandHelpCase& c = GetParam();
    const QString text = HelpText(QString::fromLatin1(c.command));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Usage: r2ctl [OPTIONS] %1\n").arg(c.usage)))
        << text.toStdString();
    if (c.ownOption != nullptr) {
        EXPECT_TRUE(HasLineStarting(text, QStringLiteral("  ") + c.ownOption))
            << text.toStdString();
    } else {
        EXPECT_FALSE(text.contains("Options:")) << text.toStdString();
    }
    EXPECT_FALSE(text.contains(QLatin1String(c.otherOption))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Example:\n  ")));
    EXPECT_TRUE(text.contains(QStringLiteral("r2ctl %1 ").arg(c.command)));
    EXPECT_LT(text.count('\n'), HelpText().count('\n')) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandHelp,
    ::testing::Values(
        CommandHelpCase{"search", "search", nullptr, "--set"},
        CommandHelpCase{"read", "read MAC", nullptr, "--set"},
        CommandHelpCase{"write", "write MAC [--set CONTROL=VALUE]... [--from FILE.json]",
                        "--set CONTROL=VALUE", "--port"},
        CommandHelpCase{"backup", "backup MAC -o FILE [--force]", "-o,--output FILE",
                        "--with-network"},
        CommandHelpCase{"restore", "restore MAC FILE [--with-network]", "--with-network",
                        "--force"},
        CommandHelpCase{"clone",
                        "clone FILE (--to MAC[,MAC...] | --all-found) [--ip-from IP] "
                        "[--name PATTERN]",
                        "--ip-from IP", "--local-ip"},
        CommandHelpCase{"restart", "restart MAC[,MAC...] [MAC...]", "--stop-on-error", "--to"},
        CommandHelpCase{"reset", "reset MAC", nullptr, "--stop-on-error"},
        CommandHelpCase{"fields", "fields [p6|p7|p5]", nullptr, "--port"},
        CommandHelpCase{"serial", "serial read --port PATH --model p6|p5|p7 [--baud N]", "--baud N",
                        "--dry-run"},
        CommandHelpCase{"upgrade",
                        "upgrade --ip IP[,IP...] --mac MAC[,MAC...] --local-ip IP --file PATH",
                        "--local-ip IP", "--output"}));

TEST(Help, AllKeepsEveryCommandWithItsOptionsAndTheExitStatusesInFull) {
    const QString all = HelpText(QString(), true);
    for (const QString& command : AllCommands) {
        EXPECT_TRUE(all.contains(HelpText(command).section('\n', 0, 0).mid(23)))
            << command.toStdString();
    }
    for (const char* option : {"--stop-on-error", "--with-network", "--name-start N", "--baud N",
                               "--local-ip IP", "--show-secrets", "--help-all"}) {
        EXPECT_TRUE(all.contains(QLatin1String(option))) << option;
    }
    EXPECT_TRUE(all.contains("Exit status:\n  0  success"));
    EXPECT_TRUE(all.contains("the status of the first module that failed"));
}

struct HelpLine {
    QStringList args;
    const char* command; // the command whose help is asked; "" for the overview
    bool all;
};

TEST(Help, IsAskedByFlagOrCommandWithoutTheCommandsArguments) {
    for (const HelpLine& line :
         {HelpLine{{"--help"}, "", false}, HelpLine{{"-h"}, "", false},
          HelpLine{{"help"}, "", false}, HelpLine{{"help", "write"}, "write", false},
          HelpLine{{"write", "--help"}, "write", false},
          HelpLine{{"--help", "serial"}, "serial", false},
          HelpLine{{"read", "-h", "--json"}, "read", false}, HelpLine{{"--help-all"}, "", true}}) {
        const auto r = ParseArguments(line.args);
        ASSERT_TRUE(r.options) << line.args.join(' ').toStdString() << ": "
                               << r.error.toStdString();
        EXPECT_EQ(r.options->command, QLatin1String(line.command))
            << line.args.join(' ').toStdString();
        EXPECT_EQ(r.options->helpAll, line.all) << line.args.join(' ').toStdString();
        EXPECT_TRUE(r.options->help || r.options->helpAll) << line.args.join(' ').toStdString();
    }
}

TEST(Help, OfAnUnknownCommandIsRefused) {
    const auto unknown = ParseArguments({"help", "scan"});
    EXPECT_FALSE(unknown.options);
    EXPECT_EQ(unknown.error, "unknown command \"scan\"");
    const auto two = ParseArguments({"help", "read", "write"});
    EXPECT_FALSE(two.options);
    EXPECT_TRUE(two.error.contains("one command")) << two.error.toStdString();
}

} // namespace
} // namespace r2::ctl
