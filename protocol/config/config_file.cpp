#include "protocol/config/config_file.h"

#include "lang/gbk_text.h"
#include "protocol/address_text.h"
#include "protocol/config/config_json.h"
#include "protocol/panel_p5.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p7.h"
#include "protocol/panel_table.h"
#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <ctime>
#include <variant>

namespace r2::config {

namespace {

constexpr std::string_view HexMember = "hex";
constexpr std::string_view TopKeys[] = {"format", "version", "model", "firmware",
                                        "mac",    "time",    "panel"};

const ControlInfo* FindControl(std::span<const ControlInfo> table, std::string_view name) {
    const auto it = std::ranges::find(table, name, &ControlInfo::name);
    return it == table.end() ? nullptr : &*it;
}

// The module's bytes of an edit as the file holds them: text when they read as GBK and that
// text gives the same bytes back, else their hex digits.
std::string EditJson(const std::string& bytes) {
    if (const auto utf8 = GbkToUtf8(bytes); utf8 && Utf8ToGbk(*utf8) == bytes) {
        return json::Quote(*utf8);
    }
    const ByteView view(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return "{" + json::Quote(HexMember) + ": " + json::Quote(BytesToHexSep(view, "")) + "}";
}

std::string ValueJson(const ControlInfo* info, const ControlValue& value) {
    if (!info) {
        return json::Quote(value.value);
    }
    switch (info->kind) {
    case ControlKind::List: {
        const auto names = panel_table::EntryNames(info->accepted);
        const auto it = std::ranges::find(names, std::string_view(value.value));
        return std::to_string(it == names.end() ? -1 : static_cast<int>(it - names.begin()));
    }
    case ControlKind::CheckBox:
        return value.value == "1" ? "true" : "false";
    case ControlKind::BaudList:
        return json::Quote(GbkToUtf8(value.value).value_or(value.value));
    case ControlKind::Edit:
        break;
    }
    return EditJson(value.value);
}

// A panel of the model, for checking values the way the window would take them.
using AnyPanel = std::variant<PanelP6, PanelP7, PanelP5>;

AnyPanel ScratchPanel(Model model) {
    switch (model) {
    case Model::P7:
        return PanelP7{};
    case Model::P5:
        return PanelP5{};
    case Model::P6:
        break;
    }
    return PanelP6{};
}

class Reader final {
public:
    explicit Reader(std::string_view fileName) : m_file(fileName) {}

    ReadResult Run(std::string_view text) {
        ModuleConfig config;
        const json::ParseResult parsed = json::Parse(text);
        if (!parsed.value) {
            return fail("is not valid JSON (" + parsed.error + ")");
        }
        const json::Value& doc = *parsed.value;
        if (doc.type != json::Type::Object) {
            return fail("is not a JSON object");
        }
        for (const json::Member& m : doc.members) {
            if (std::ranges::find(TopKeys, m.name) == std::end(TopKeys)) {
                return fail("has an unknown key \"" + m.name + "\"");
            }
        }
        if (!readHeader(doc, config) || !readPanel(doc, config)) {
            return {std::nullopt, m_error};
        }
        return {std::move(config), {}};
    }

private:
    ReadResult fail(const std::string& what) {
        error(what);
        return {std::nullopt, m_error};
    }
    bool error(const std::string& what) {
        m_error = std::string(m_file) + ": " + what;
        return false;
    }

    const json::Value* member(const json::Value& doc, std::string_view key, json::Type type) {
        const json::Value* value = doc.Find(key);
        if (!value) {
            error("has no \"" + std::string(key) + "\"");
            return nullptr;
        }
        if (value->type != type) {
            error("\"" + std::string(key) + "\" must be " + std::string(json::TypeName(type)) +
                  ", not " + std::string(json::TypeName(value->type)));
            return nullptr;
        }
        return value;
    }

    bool readHeader(const json::Value& doc, ModuleConfig& config) {
        const json::Value* format = member(doc, "format", json::Type::String);
        if (!format) {
            return false;
        }
        if (format->text != FormatName) {
            return error("is not a module configuration (format \"" + format->text +
                         "\", expected \"" + std::string(FormatName) + "\")");
        }
        const json::Value* version = member(doc, "version", json::Type::Number);
        if (!version) {
            return false;
        }
        const auto number = version->Integer();
        if (!number || *number < 1) {
            return error("\"version\" must be a whole number from 1, not " + version->text);
        }
        if (*number > FormatVersion) {
            return error("is of format version " + version->text +
                         ", newer than this program "
                         "reads (" +
                         std::to_string(FormatVersion) + "); use a newer r2config");
        }
        const json::Value* model = member(doc, "model", json::Type::String);
        if (!model) {
            return false;
        }
        const auto known = ModelFromName(model->text);
        if (!known) {
            return error("\"model\" must be P6, P7 or P5, not \"" + model->text + "\"");
        }
        config.model = *known;
        const json::Value* firmware = member(doc, "firmware", json::Type::Number);
        if (!firmware) {
            return false;
        }
        const auto version32 = firmware->Integer();
        if (!version32 || *version32 < 0 || *version32 > 0xFFFFFFFF) {
            return error("\"firmware\" must be a whole number from 0, not " + firmware->text);
        }
        config.firmware = static_cast<std::uint32_t>(*version32);
        const json::Value* mac = member(doc, "mac", json::Type::String);
        if (!mac) {
            return false;
        }
        const auto bytes = ParseMacText(mac->text);
        if (!bytes) {
            return error("\"mac\" must be 12 hex digits, not \"" + mac->text + "\"");
        }
        config.mac = MacToText(*bytes);
        const json::Value* time = member(doc, "time", json::Type::String);
        if (!time) {
            return false;
        }
        config.time = time->text;
        return true;
    }

    bool readPanel(const json::Value& doc, ModuleConfig& config) {
        const json::Value* panel = member(doc, "panel", json::Type::Object);
        if (!panel) {
            return false;
        }
        const auto table = ControlTable(config.model);
        AnyPanel scratch = ScratchPanel(config.model);
        for (const auto& [name, value] : panel->members) {
            const std::string& control = name;
            const ControlInfo* info = FindControl(table, name);
            if (!info) {
                return error("control \"" + name + "\" is not on the " +
                             std::string(ModelName(config.model)) + " panel");
            }
            auto text = controlText(*info, value);
            if (!text) {
                return false;
            }
            std::string problem;
            if (!std::visit([&](auto& p) { return SetControl(p, control, *text, problem); },
                            scratch)) {
                return error("control \"" + name + "\": " + problem);
            }
            config.values.push_back({name, std::move(*text)});
        }
        return true;
    }

    bool wrongKind(const ControlInfo& info, const json::Value& value, std::string_view wanted) {
        return error("control \"" + std::string(info.name) + "\" (" +
                     std::string(ControlKindName(info.kind)) + ") takes " + std::string(wanted) +
                     ", not " + shown(value));
    }

    static std::string shown(const json::Value& value) {
        switch (value.type) {
        case json::Type::String:
            return json::Quote(value.text);
        case json::Type::Number:
            return value.text;
        case json::Type::Bool:
            return value.boolean ? "true" : "false";
        default:
            return std::string(json::TypeName(value.type));
        }
    }

    // The value in SetControl's form, or empty (with the error set) when its kind is wrong.
    std::optional<std::string> controlText(const ControlInfo& info, const json::Value& value) {
        switch (info.kind) {
        case ControlKind::CheckBox:
            if (value.type != json::Type::Bool) {
                wrongKind(info, value, "true or false");
                return std::nullopt;
            }
            return value.boolean ? "1" : "0";
        case ControlKind::List: {
            const auto index = value.Integer();
            const auto names = panel_table::EntryNames(info.accepted);
            if (!index || *index < -1 || *index >= static_cast<std::int64_t>(names.size())) {
                wrongKind(info, value,
                          "an entry index from -1 to " + std::to_string(names.size() - 1) + " (" +
                              std::string(info.accepted) + ")");
                return std::nullopt;
            }
            return panel_table::EntryName(info.accepted, static_cast<int>(*index));
        }
        case ControlKind::BaudList:
            if (value.type != json::Type::String) {
                wrongKind(info, value, "the rate as a string");
                return std::nullopt;
            }
            return value.text;
        case ControlKind::Edit:
            break;
        }
        return editText(info, value);
    }

    std::optional<std::string> editText(const ControlInfo& info, const json::Value& value) {
        if (value.type == json::Type::String) {
            auto gbk = Utf8ToGbk(value.text);
            if (!gbk) {
                error("control \"" + std::string(info.name) + "\": " + json::Quote(value.text) +
                      " has characters the module cannot store (GBK)");
            }
            return gbk;
        }
        const json::Value* hex = value.type == json::Type::Object && value.members.size() == 1
                                     ? value.Find(HexMember)
                                     : nullptr;
        if (!hex || hex->type != json::Type::String) {
            wrongKind(info, value, "a string, or {\"hex\": \"HEX DIGITS\"}");
            return std::nullopt;
        }
        const std::string& digits = hex->text;
        if (digits.size() % 2 != 0 ||
            !std::ranges::all_of(digits, [](char c) { return std::isxdigit(c & 0xFF); })) {
            error("control \"" + std::string(info.name) + "\": {\"hex\": " + json::Quote(digits) +
                  "} needs pairs of hex digits");
            return std::nullopt;
        }
        std::string bytes(digits.size() / 2, '\0');
        HexToBytes(digits, ByteField(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()));
        return bytes;
    }

    std::string_view m_file;
    std::string m_error;
};

} // namespace

std::string_view ModelName(Model model) {
    switch (model) {
    case Model::P7:
        return "P7";
    case Model::P5:
        return "P5";
    case Model::P6:
        break;
    }
    return "P6";
}

std::optional<Model> ModelFromName(std::string_view name) {
    for (const Model m : {Model::P6, Model::P7, Model::P5}) {
        if (ModelName(m) == name) {
            return m;
        }
    }
    return std::nullopt;
}

std::optional<Model> ModelFromFlag(int devFlag) {
    if (devFlag == DevFlagP6) {
        return Model::P6;
    }
    if (devFlag == DevFlagP7) {
        return Model::P7;
    }
    return std::nullopt;
}

const std::string* FileValue(const ModuleConfig& file, std::string_view control) {
    const auto it = std::ranges::find(file.values, control, &ControlValue::name);
    return it == file.values.end() ? nullptr : &it->value;
}

const AddressControls& AddressControlsOf(Model model) {
    static constexpr AddressControls P6{"cbb_AddrType",  "edt_StaticIP", "edt_SubnetMask",
                                        "edt_GatewayIP", "edtDns",       "edt_ModName"};
    static constexpr AddressControls P7{
        "cbb_AddrTypeP7", "edt_StaticIPP7", "edt_SubnetMaskP7", "edt_GatewayIPP7", "",
        "edt_ModNameP7"};
    static constexpr AddressControls P5{"", "edt_ModuleIP", "edt_Mask", "edt_Gateway", "", ""};
    switch (model) {
    case Model::P7:
        return P7;
    case Model::P5:
        return P5;
    case Model::P6:
        break;
    }
    return P6;
}

std::span<const ControlInfo> ControlTable(Model model) {
    switch (model) {
    case Model::P7:
        return ControlTableP7();
    case Model::P5:
        return ControlTableP5();
    case Model::P6:
        break;
    }
    return ControlTableP6();
}

std::string UtcTimeText(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buffer;
}

std::string WriteModuleConfig(const ModuleConfig& config) {
    std::string out = "{\n";
    out += "  \"format\": " + json::Quote(FormatName) + ",\n";
    out += "  \"version\": " + std::to_string(FormatVersion) + ",\n";
    out += "  \"model\": " + json::Quote(ModelName(config.model)) + ",\n";
    out += "  \"firmware\": " + std::to_string(config.firmware) + ",\n";
    out += "  \"mac\": " + json::Quote(config.mac) + ",\n";
    out += "  \"time\": " + json::Quote(config.time) + ",\n";
    out += "  \"panel\": {";
    const auto table = ControlTable(config.model);
    for (std::size_t i = 0; i < config.values.size(); ++i) {
        const ControlValue& v = config.values[i];
        out += (i == 0 ? "\n    " : ",\n    ") + json::Quote(v.name) + ": " +
               ValueJson(FindControl(table, v.name), v);
    }
    out += config.values.empty() ? "}\n}\n" : "\n  }\n}\n";
    return out;
}

std::string FileTooLarge(std::string_view fileName, std::optional<std::uintmax_t> size) {
    const std::string cap = std::to_string(MaxFileBytes);
    return std::string(fileName) + ": " +
           (size ? "is " + std::to_string(*size) + " bytes, more than the " + cap
                 : "is larger than the " + cap) +
           " bytes (" + std::to_string(MaxFileBytes / 1024) +
           " KiB) a module configuration file may have (one is about 3 KB); check that it is the "
           "right file";
}

ReadResult ReadModuleConfig(std::string_view text, std::string_view fileName) {
    if (text.size() > MaxFileBytes) {
        return {std::nullopt, FileTooLarge(fileName, text.size())};
    }
    return Reader(fileName).Run(text);
}

std::string CheckTargetModel(const ModuleConfig& config, Model target, std::string_view fileName) {
    if (config.model == target) {
        return {};
    }
    return std::string(fileName) + ": holds a " + std::string(ModelName(config.model)) +
           " configuration; the target is a " + std::string(ModelName(target)) +
           " module, whose panel differs";
}

} // namespace r2::config
