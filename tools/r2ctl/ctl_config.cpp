#include "tools/r2ctl/ctl_config.h"

#include "lan/save_over_read.h"
#include "protocol/config/config_store.h"
#include "tools/r2ctl/ctl_command.h"
#include "tools/r2ctl/ctl_declaration.h"
#include "tools/r2ctl/ctl_session.h"

#include <chrono>

namespace r2::ctl {

namespace {

std::string NameOf(const QString& path) {
    return path.toStdString();
}

void DeclareBackup(CommandDeclaration& d) {
    d.text("-o,--output", "FILE", d.options().outputFile,
           "The configuration file to write. A new file is made private\n"
           "(mode 0600: it holds the module's passwords); a file replaced keeps\n"
           "its mode. A file without write permission is refused (unless\n"
           "--force), and so is a symbolic link in a directory every user may\n"
           "write to (sticky, like /tmp).");
    d.flag("--force", d.options().force, "Replace FILE even when it has no write permission.");
}

QString CheckBackup(CtlOptions& options, const QStringList& arguments) {
    if (options.outputFile.isEmpty()) {
        return QStringLiteral("backup needs -o FILE (the configuration file to write)");
    }
    return CheckOneMac(options, arguments);
}

void DeclareRestore(CommandDeclaration& d) {
    d.flag("--with-network", d.options().withNetwork,
           "Take the module's address settings from the file too.");
}

QString CheckRestore(CtlOptions& options, const QStringList& arguments) {
    if (arguments.size() != 2) {
        return QStringLiteral("restore needs a MAC address and a configuration file");
    }
    options.configFile = arguments[1];
    return CheckOneMac(options, arguments.mid(0, 1));
}

} // namespace

const CommandSpec BackupCommand{
    CommandId::Backup,
    "backup",
    "backup MAC -o FILE [--force]",
    "Save a module's panel to a configuration file.",
    "Read the module (a P6) as read does and save its panel to FILE as a\n"
    "module configuration (JSON: format, version, model, firmware, MAC,\n"
    "time, and the panel by control name in the types \"read --json\"\n"
    "prints; an edit whose bytes are no GBK text as {\"hex\": \"...\"}).",
    "r2ctl backup 00:11:22:33:44:55 -o line1.json",
    &DeclareBackup,
    &CheckBackup,
    &RunCtlSession};

const CommandSpec RestoreCommand{
    CommandId::Restore,
    "restore",
    "restore MAC FILE [--with-network]",
    "Write a configuration file back to a module.",
    "Check FILE first (format, version, model, every control and value:\n"
    "a fault sends nothing), find the module, refuse a file of another\n"
    "model, read the module, apply the file's values over what it sent\n"
    "and save as write does. The module's MAC (edt_UserMAC) never comes\n"
    "from the file; its own address (address type, static IP, subnet\n"
    "mask, gateway, DNS) only with --with-network. A P7's read fills\n"
    "no panel: the file goes over the P7 panel's design state holding\n"
    "the module's own MAC and address (from its base block).",
    "r2ctl restore 00:11:22:33:44:55 line1.json",
    &DeclareRestore,
    &CheckRestore,
    &RunCtlSession};

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
    const config::ModuleConfig saved{config::Model::P6, row->version, row->mac.toStdString(),
                                     config::UtcTimeText(std::chrono::system_clock::now()),
                                     ControlValuesP6(m_panel)};
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
