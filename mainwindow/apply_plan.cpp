#include "mainwindow/apply_plan.h"

#include "lang/gbk_text.h"
#include "protocol/config/config_plan.h"
#include "protocol/config/config_store.h"
#include "qt_bridge/qt_bridge.h"

#include <string_view>

namespace r2 {

namespace {

std::string_view ReasonKey(config::SkipReason reason) {
    switch (reason) {
    case config::SkipReason::Network:
        return "lang_ApplyPlan_SkipNetwork";
    case config::SkipReason::Broadcast:
        return "lang_ApplyPlan_SkipBroadcast";
    case config::SkipReason::Gateway:
        return "lang_ApplyPlan_SkipGateway";
    case config::SkipReason::Dns:
        return "lang_ApplyPlan_SkipDns";
    case config::SkipReason::ThisComputer:
        break;
    }
    return "lang_ApplyPlan_SkipLocal";
}

// The name a module gets when no pattern is given: the file's, else its own.
QString UnplannedName(const config::ModuleConfig& file, const FoundModule& target) {
    const std::string* bytes = config::FileValue(file, config::AddressControlsOf(file.model).name);
    if (!bytes) {
        return target.name;
    }
    const auto text = GbkToUtf8(*bytes);
    return text ? QString::fromStdString(*text)
                : QString::fromLatin1(QByteArray::fromStdString(*bytes).toHex(' '));
}

std::vector<std::string> StdStrings(const QStringList& list) {
    std::vector<std::string> out;
    for (const QString& text : list) {
        out.push_back(text.toStdString());
    }
    return out;
}

} // namespace

ApplyFile ReadApplyFile(const QString& path, const std::vector<FoundModule>& targets) {
    const std::string fileName = path.toStdString();
    config::LoadResult read = config::LoadModuleConfig(fileName);
    if (!read.config) {
        return {std::nullopt, QString::fromStdString(read.error)};
    }
    for (const FoundModule& target : targets) {
        const auto model = config::ModelFromFlag(target.flag);
        if (!model) {
            return {std::nullopt, Text("lang_Batch_NotR2") + target.mac};
        }
        const std::string problem = config::CheckTargetModel(*read.config, *model, fileName);
        if (!problem.empty()) {
            return {std::nullopt, QString::fromStdString(problem) + QStringLiteral(" (") +
                                      target.mac + QStringLiteral(")")};
        }
    }
    return {std::move(read.config), {}};
}

QString FileSubnetMask(const config::ModuleConfig& file) {
    return QString::fromStdString(config::NetworkOfFile(file).mask);
}

PlanPreview PreviewPlan(const config::ModuleConfig& file, const std::vector<FoundModule>& targets,
                        const QStringList& taken, const QStringList& thisComputer,
                        const PlanFields& fields) {
    PlanPreview preview;
    for (const FoundModule& target : targets) {
        preview.rows.push_back({target.mac, target.ip, target.name, {}, {}});
    }
    config::ConfigPlan plan =
        config::PlanConfig(file,
                           {fields.firstIp.trimmed().toStdString(),
                            fields.namePattern.toStdString(), fields.counterStart},
                           targets.size(), StdStrings(taken), StdStrings(thisComputer));
    if (plan.noMask) {
        preview.error = Text("lang_ApplyPlan_NoMask");
        return preview;
    }
    if (!plan.error.empty()) {
        preview.error = QString::fromStdString(plan.error);
        return preview;
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const config::PlannedModule& module = plan.modules[i];
        PlanRow& row = preview.rows[i];
        row.plannedIp = module.ip.empty() ? targets[i].ip : QString::fromStdString(module.ip);
        row.plannedName = module.name.empty() ? UnplannedName(file, targets[i])
                                              : QString::fromStdString(module.name);
        preview.skipped.insert(preview.skipped.end(), module.skipped.begin(), module.skipped.end());
    }
    preview.planned = std::move(plan.modules);
    return preview;
}

QString SkippedNote(const std::vector<config::SkippedAddress>& skipped) {
    QStringList items;
    for (const config::SkippedAddress& address : skipped) {
        items << QStringLiteral("%1 (%2)").arg(QString::fromStdString(address.ip),
                                               Text(ReasonKey(address.reason)));
    }
    return items.isEmpty() ? QString() : Text("lang_ApplyPlan_Skipped") + items.join(", ");
}

} // namespace r2
