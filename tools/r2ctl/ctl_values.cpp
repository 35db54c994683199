#include "tools/r2ctl/ctl_values.h"

#include "tools/r2ctl/ctl_declaration.h"

#include <algorithm>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace r2::ctl {

namespace {

QString ToSetting(const QString& value, QString& out) {
    out = value;
    if (!value.contains('=') || value.startsWith('=')) {
        return QStringLiteral("needs CONTROL=VALUE, not \"%1\"").arg(value);
    }
    return {};
}

// A file's values come in the order of their names, so a hex box could flip after its data edit
// was set and turn the file's text into hex digits. The file's lists and boxes therefore go
// first, then its edits, then the --set values in the order they were given.
std::vector<const SetValue*> ApplyOrder(std::span<const ControlInfo> table,
                                        const std::vector<SetValue>& values) {
    const auto isEdit = [table](const SetValue& value) {
        const auto info = std::ranges::find(table, value.control.toStdString(), &ControlInfo::name);
        return info != table.end() && info->kind == ControlKind::Edit;
    };
    std::vector<const SetValue*> order;
    for (const SetValue& value : values) {
        if (value.fromFile && !isEdit(value)) {
            order.push_back(&value);
        }
    }
    for (const SetValue& value : values) {
        if (value.fromFile && isEdit(value)) {
            order.push_back(&value);
        }
    }
    for (const SetValue& value : values) {
        if (!value.fromFile) {
            order.push_back(&value);
        }
    }
    return order;
}

template <class Panel>
bool ApplyWith(Panel& panel, std::span<const ControlInfo> table,
               const std::vector<SetValue>& values, QString& error) {
    for (const SetValue* ordered : ApplyOrder(table, values)) {
        const SetValue& value = *ordered;
        const auto text = ControlText(table, value, error);
        if (!text) {
            return false;
        }
        std::string problem;
        if (!SetControl(panel, value.control.toStdString(), *text, problem)) {
            error = QString::fromStdString(problem);
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<std::vector<SetValue>> ValuesToSet(const CtlOptions& options, QString& error) {
    std::vector<SetValue> values;
    if (!options.fromFile.isEmpty()) {
        QFile file(options.fromFile);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read %1: %2").arg(options.fromFile, file.errorString());
            return std::nullopt;
        }
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
        if (!doc.isObject()) {
            error = QStringLiteral("%1 is not a JSON object of CONTROL: value (%2)")
                        .arg(options.fromFile, parseError.errorString());
            return std::nullopt;
        }
        const QJsonObject object = doc.object();
        for (auto it = object.begin(); it != object.end(); ++it) {
            const auto text = SetTextFromJson(it.value());
            if (!text) {
                error = QStringLiteral("%1: the value in %2 is not a string, whole number or "
                                       "true/false")
                            .arg(it.key(), options.fromFile);
                return std::nullopt;
            }
            values.push_back({it.key(), *text, it.value().isDouble(), true});
        }
    }
    for (const QString& set : options.sets) {
        values.push_back({set.section('=', 0, 0), set.section('=', 1), false});
    }
    return values;
}

bool ApplyValues(PanelP6& panel, const std::vector<SetValue>& values, QString& error) {
    return ApplyWith(panel, ControlTableP6(), values, error);
}

bool ApplyValues(PanelP7& panel, const std::vector<SetValue>& values, QString& error) {
    return ApplyWith(panel, ControlTableP7(), values, error);
}

bool ApplyValues(PanelP5& panel, const std::vector<SetValue>& values, QString& error) {
    return ApplyWith(panel, ControlTableP5(), values, error);
}

void DeclareValueOptions(CommandDeclaration& declaration) {
    declaration.list("--set", "CONTROL=VALUE", declaration.options().sets,
                     "A control's value (may be repeated).", &ToSetting);
    declaration.text("--from", "FILE.json", declaration.options().fromFile,
                     "The controls' values from a file.");
}

} // namespace r2::ctl
