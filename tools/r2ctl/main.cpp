// r2ctl: search, read, write, restart and reset R2 modules from a terminal, and read and save
// them over a serial line, and upgrade their firmware.

#include "ctl_args.h"
#include "ctl_batch.h"
#include "ctl_output.h"
#include "ctl_serial.h"
#include "ctl_session.h"
#include "ctl_upgrade.h"
#include "panel_p5.h"
#include "panel_p6.h"
#include "panel_p7.h"

#include <cstdio>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QTextStream>
#include <unistd.h>

namespace {

using namespace r2;
using namespace r2::ctl;

int RunFields(const CtlOptions& options, QTextStream& out) {
    const std::vector<std::pair<QString, std::span<const ControlInfo>>> panels = {
        {"p6", ControlTableP6()}, {"p7", ControlTableP7()}, {"p5", ControlTableP5()}};
    QJsonArray all;
    for (const auto& [name, table] : panels) {
        if (!options.fieldsPanel.isEmpty() && options.fieldsPanel != name) {
            continue;
        }
        if (options.json) {
            for (const auto& row : FieldsJson(name, table)) {
                all.append(row);
            }
        } else {
            out << FieldsTable(name, table) << '\n';
        }
    }
    if (options.json) {
        out << QJsonDocument(all).toJson(QJsonDocument::Indented);
    }
    return exitcode::Ok;
}

// Runs the command of a command line that parsed.
int Run(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    if (options.command == "fields") {
        return RunFields(options, out);
    }
    if (options.command == "serial") {
        SerialSession session(options, out, err);
        return session.run();
    }
    if (options.command == "upgrade") {
        UpgradeSession session(options, out, err, isatty(STDOUT_FILENO) == 1);
        return session.run();
    }
    if (IsBatchCommand(options)) {
        BatchSession session(options, out, err);
        return session.run();
    }
    CtlSession session(options, out, err);
    return session.run();
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
    if (parsed.options && parsed.options->help) {
        stdOut << HelpText();
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
