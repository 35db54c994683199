// fields: the panel controls usable with --set, as a table or JSON.

#include "protocol/panel_p5.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p7.h"
#include "tools/r2ctl/ctl_command.h"
#include "tools/r2ctl/ctl_output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <utility>
#include <vector>

namespace r2::ctl {

namespace {

QString CheckFields(CtlOptions& options, const QStringList& arguments) {
    const QStringList panels = {"p6", "p7", "p5"};
    if (arguments.size() > 1 ||
        (arguments.size() == 1 && !panels.contains(arguments.first().toLower()))) {
        return QStringLiteral("fields takes one of p6, p7, p5 or nothing");
    }
    options.fieldsPanel = arguments.isEmpty() ? QString() : arguments.first().toLower();
    return {};
}

int RunFields(const CtlOptions& options, QTextStream& out, QTextStream& /*err*/) {
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

const CommandSpec FieldsCommand{CommandId::Fields,
                                "fields",
                                "fields [p6|p7|p5]",
                                "List the panel controls usable with --set.",
                                "List the panel controls usable with --set: name, kind, meaning,\n"
                                "accepted values.",
                                "r2ctl fields p6",
                                nullptr,
                                &CheckFields,
                                &RunFields};

} // namespace r2::ctl
