#include "ctl_values.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace r2::ctl {

namespace {

template <class Panel>
bool ApplyWith(Panel& panel, std::span<const ControlInfo> table,
               const std::vector<SetValue>& values, QString& error) {
    for (const SetValue& value : values) {
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
            values.push_back({it.key(), *text, it.value().isDouble()});
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

} // namespace r2::ctl
