// r2ctl: search, read, write, restart and reset R2 modules from a terminal.

#include "ctl_args.h"
#include "ctl_output.h"
#include "ctl_session.h"
#include "panel_p5.h"
#include "panel_p6.h"
#include "panel_p7.h"

#include <cstdio>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QTextStream>

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

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const ParseResult parsed = ParseArguments(app.arguments().mid(1));
    if (!parsed.options) {
        err << "r2ctl: " << parsed.error << "\nTry 'r2ctl --help'." << Qt::endl;
        return exitcode::BadArguments;
    }
    const CtlOptions& options = *parsed.options;
    if (options.help) {
        out << HelpText();
        return exitcode::Ok;
    }
    if (options.command == "fields") {
        return RunFields(options, out);
    }
    CtlSession session(options, out, err);
    const int status = session.run();
    out.flush();
    return status;
}
