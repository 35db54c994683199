#include "mainwindow/panel_files.h"

#include "protocol/config/config_apply.h"
#include "protocol/config/config_store.h"
#include "protocol/Unit_Public.h"
#include "qt_bridge/qt_bridge.h"

#include <chrono>
#include <QFile>

namespace r2 {

namespace {

std::filesystem::path NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// MACs compared whatever their spacing and letter case.
QString MacKey(const QString& mac) {
    return QString(mac).remove(QLatin1Char(' ')).toUpper();
}

config::Model ModelOf(PanelId panel) {
    return panel == PanelId::P7 ? config::Model::P7 : config::Model::P6;
}

} // namespace

PanelFiles::PanelFiles(MainView& view, PanelP6& p6, PanelP7& p7, const FoundModules& found)
    : m_view(view), m_p6(p6), m_p7(p7), m_found(found) {}

std::optional<PanelFiles::Source> PanelFiles::sourceOf(PanelId panel) const {
    // A P6 panel holds the MAC its module sent with the values: after a read over the serial
    // line the list's selection may name another module.
    if (panel == PanelId::P6 && !m_p6.edt_UserMAC.empty()) {
        Source source{QString::fromStdString(m_p6.edt_UserMAC), 0};
        const QString key = MacKey(source.mac);
        for (const FoundModule& row : m_found) {
            if (row.flag == DevFlagP6 && MacKey(row.mac) == key) {
                source.firmware = row.version;
                break;
            }
        }
        return source;
    }
    const int flag = panel == PanelId::P7 ? DevFlagP7 : DevFlagP6;
    if (const FoundModule* row = m_found.at(m_view.SelectedRow()); row && row->flag == flag) {
        return Source{row->mac, row->version};
    }
    return std::nullopt;
}

void PanelFiles::refuse(const QString& text) {
    m_view.AddLogLine(text, PaneColour::Red);
    m_view.ShowMessage(text);
}

QString PanelFiles::SuggestedFileName(PanelId panel) const {
    const auto source = sourceOf(panel);
    if (!source || panel == PanelId::P5) {
        return {};
    }
    return QString::fromUtf8(config::ModelName(ModelOf(panel)).data()) + QLatin1Char('-') +
           MacKey(source->mac) + QStringLiteral(".json");
}

bool PanelFiles::SaveToFile(PanelId panel, const QString& path) {
    if (panel == PanelId::P5) {
        return false;
    }
    const auto source = sourceOf(panel);
    if (!source) {
        refuse(Text("lang_Hint_NoTarget").trimmed());
        return false;
    }
    const config::ModuleConfig file{ModelOf(panel), source->firmware, source->mac.toStdString(),
                                    config::UtcTimeText(std::chrono::system_clock::now()),
                                    panel == PanelId::P7 ? ControlValuesP7(m_p7)
                                                         : ControlValuesP6(m_p6)};
    if (const std::string error = config::SaveModuleConfig(NativePath(path), file);
        !error.empty()) {
        refuse(QString::fromStdString(error));
        return false;
    }
    m_view.AddLogLine(Text("lang_ConfigSaved") + path, PaneColour::Green);
    return true;
}

bool PanelFiles::LoadFromFile(PanelId panel, const QString& path) {
    if (panel == PanelId::P5) {
        return false;
    }
    const QString unchanged = QLatin1Char('\n') + Text("lang_ConfigPanelUnchanged");
    const config::LoadResult loaded = config::LoadModuleConfig(NativePath(path));
    if (!loaded.config) {
        refuse(QString::fromStdString(loaded.error) + unchanged);
        return false;
    }
    const config::ModuleConfig& file = *loaded.config;
    if (const std::string refused =
            config::CheckTargetModel(file, ModelOf(panel), path.toStdString());
        !refused.empty()) {
        refuse(QString::fromStdString(refused) + unchanged);
        return false;
    }
    // The address settings (address type, static IP, mask, gateway, DNS) come from the file only
    // when it was saved from this very module: restoring a module's own backup brings its address
    // back, while a file from another module, loaded to set this one up alike, must not give it
    // that module's address, which would put two modules on one IP. The panel shows the result
    // either way, and the technician can still type an address before saving.
    const auto source = sourceOf(panel);
    const bool ownFile = source && MacKey(source->mac) == MacKey(QString::fromStdString(file.mac));
    // All or nothing: a refused value leaves the panel as it was.
    if (std::string problem;
        !config::ApplyModuleConfig(ModelOf(panel), m_p6, m_p7, file, ownFile, problem)) {
        refuse(path + QStringLiteral(": ") + QString::fromStdString(problem) + unchanged);
        return false;
    }
    m_view.ShowPanel(panel);
    m_view.AddLogLine(Text("lang_ConfigLoaded") + path, PaneColour::Green);
    if (!ownFile) {
        m_view.AddLogLine(Text("lang_ConfigAddressKept"), PaneColour::Maroon);
    }
    return true;
}

} // namespace r2
