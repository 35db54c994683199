#include "ctl_config.h"

#include "config_store.h"
#include "ctl_session.h"
#include "module_batch.h"

#include <chrono>

namespace r2::ctl {

namespace {

std::string NameOf(const QString& path) {
    return path.toStdString();
}

} // namespace

std::optional<config::ModuleConfig> LoadModuleConfig(const QString& path, QString& error) {
    config::LoadResult loaded = config::LoadModuleConfig(NameOf(path));
    if (!loaded.config) {
        error = QString::fromStdString(loaded.error);
    }
    return std::move(loaded.config);
}

bool SaveModuleConfig(const QString& path, const config::ModuleConfig& config, bool force,
                      QString& error) {
    const std::string refused = config::SaveModuleConfig(NameOf(path), config,
                                                         force ? config::ReplaceReadOnly::Replace
                                                               : config::ReplaceReadOnly::Refuse);
    error = QString::fromStdString(refused);
    if (!refused.empty() && !force && config::IsWriteProtected(NameOf(path)) &&
        !config::IsLinkInSharedDirectory(NameOf(path))) {
        error += QStringLiteral("; --force replaces it");
    }
    return refused.empty();
}

int CtlSession::runBackup() {
    const auto row = findDevice();
    if (!row) {
        return failNotFound();
    }
    if (row->flag == DevFlagP7) {
        return fail(exitcode::OtherError,
                    QStringLiteral("%1 is a P7: its read fills no panel, so there are no panel "
                                   "values to back up; nothing was written")
                        .arg(row->mac));
    }
    if (const auto failed = readForSave(*row)) {
        return *failed;
    }
    const config::ModuleConfig saved{
        config::Model::P6, row->version.toUInt(), row->mac.toStdString(),
        config::UtcTimeText(std::chrono::system_clock::now()), ControlValuesP6(m_panel)};
    QString error;
    if (!SaveModuleConfig(m_options.outputFile, saved, m_options.force, error)) {
        return fail(exitcode::OtherError, error);
    }
    if (m_options.json) {
        m_out << QJsonDocument(QJsonObject{{"device", DeviceJson(*row)},
                                           {"file", m_options.outputFile},
                                           {"model", "P6"},
                                           {"controls", static_cast<int>(saved.values.size())}})
                     .toJson(QJsonDocument::Indented);
    } else {
        m_out << "saved the P6 configuration of " << row->mac << " (firmware " << row->version
              << ", " << saved.values.size() << " controls) to " << m_options.outputFile
              << Qt::endl;
    }
    return exitcode::Ok;
}

int CtlSession::runRestore() {
    QString error;
    const auto file = LoadModuleConfig(m_options.configFile, error);
    if (!file) {
        return fail(exitcode::BadArguments, error + QStringLiteral("; nothing was sent"));
    }
    const auto row = findDevice();
    if (!row) {
        return failNotFound();
    }
    if (const auto model = config::ModelFromFlag(row->flag)) {
        if (const std::string refused =
                config::CheckTargetModel(*file, *model, NameOf(m_options.configFile));
            !refused.empty()) {
            return fail(exitcode::BadArguments,
                        QString::fromStdString(refused) + QStringLiteral("; nothing was written"));
        }
    }
    if (const auto failed = readForSave(*row)) {
        return *failed;
    }
    PanelP7 p7;
    if (std::string problem; !ApplyOverRead(row->flag, row->mac, m_mirror, *file,
                                            m_options.withNetwork, nullptr, m_panel, p7, problem)) {
        return fail(exitcode::BadArguments,
                    QStringLiteral("%1: %2; nothing was written")
                        .arg(m_options.configFile, QString::fromStdString(problem)));
    }
    return saveOverRead(*row, p7);
}

} // namespace r2::ctl
