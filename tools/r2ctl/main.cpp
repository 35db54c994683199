// r2ctl: search, read, write, restart and reset R2 modules from a terminal, and read and save
// them over a serial line, and upgrade their firmware.

#include "tools/r2ctl/ctl_args.h"
#include "tools/r2ctl/ctl_command.h"
#include "tools/r2ctl/ctl_output.h"

#include <cstdio>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QTextStream>

namespace {

using namespace r2;
using namespace r2::ctl;

// Runs the command of a command line that parsed.
int Run(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    return CommandFor(options.id)->run(options, out, err);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QByteArrayList rawArgs;
    for (int i = 1; i < argc; ++i) {
        rawArgs << QByteArray(argv[i]);
    }
    const ParseResult parsed = ParseCommandLine(rawArgs);
    QTextStream stdOut(stdout);
    if (parsed.options && (parsed.options->help || parsed.options->helpAll)) {
        stdOut << HelpText(parsed.options->command, parsed.options->helpAll);
        return exitcode::Ok;
    }
    if (parsed.options && parsed.options->version) {
        stdOut << "r2ctl " R2_VERSION "\n";
        return exitcode::Ok;
    }
    // Straight to standard error: a warning is no failure, so it stays out of the JSON.
    QTextStream warnings(stderr);
    for (const QString& warning : parsed.warnings) {
        warnings << "r2ctl: " << warning << Qt::endl;
    }
    KeptStderr errors;
    QTextStream err(&errors);
    // Under --json the command's document is completed (and made safe for a terminal) only
    // once the exit status is known, so that a failure still leaves JSON on standard output.
    QString document;
    QTextStream documentOut(&document);
    int status = exitcode::BadArguments;
    if (parsed.options) {
        status = Run(*parsed.options, parsed.json ? documentOut : stdOut, err);
    } else {
        err << "r2ctl: " << parsed.error << "\nTry 'r2ctl --help'." << Qt::endl;
    }
    err.flush();
    stdOut.flush();
    if (parsed.json) {
        documentOut.flush();
        const QString message = parsed.options ? errors.messages() : parsed.error;
        const QByteArray json = JsonResult(document.toUtf8(), status, message);
        std::fwrite(json.constData(), 1, static_cast<std::size_t>(json.size()), stdout);
        std::fflush(stdout);
    }
    return status;
}
