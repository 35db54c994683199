#include "tools/r2sim/sim_modules_file.h"

#include "protocol/address_text.h"
#include "protocol/Unit_ProFun.h"
#include "tools/r2sim/default_blocks.h"
#include "tools/r2sim/sim_json_file.h"
#include "tools/r2sim/sim_option_values.h"

#include <algorithm>
#include <QJsonArray>
#include <set>

namespace r2::sim::options {

namespace {

constexpr std::array<std::size_t, BlockCount> BlockLengths = {
    BaseBlockLen,  PortBlockLen,       CloudBlockLen,  HeartRegBlockLen,
    HttpdReplyLen, ModbusPackBlockLen, ModbusSwitchLen};
constexpr std::array<std::string_view, 5> RawKinds = {"search", "read", "write", "restart",
                                                      "reset"};

unsigned DefaultVersion(Model model) {
    switch (model) {
    case Model::P6:
        return 4017;
    case Model::P7:
        return 5002;
    case Model::Old:
        return 2001;
    }
    return 0;
}

std::string DefaultName(Model model, unsigned n) {
    std::string number = std::to_string(n);
    number.insert(0, number.size() < 4 ? 4 - number.size() : 0, '0');
    return std::string(model == Model::Old ? "OLD" : ModelName(model)) + "-" + number;
}

void ApplyBlocks(const QJsonObject& json, BlockSet& blocks) {
    for (auto it = json.begin(); it != json.end(); ++it) {
        const std::string name = it.key().toStdString();
        const auto id = BlockFromName(name);
        if (!id) {
            throw ConfigError("unknown block \"" + name + "\"");
        }
        auto& slot = blocks[static_cast<std::size_t>(*id)];
        if (it.value().isBool() && !it.value().toBool()) {
            slot.reset();
            continue;
        }
        Bytes b = HexOrThrow(it.value(), "block " + name);
        const std::size_t want = BlockLengths[static_cast<std::size_t>(*id)];
        const bool ok =
            *id == BlockId::Modbus ? (b.size() == 1 || b.size() == 4) : b.size() == want;
        if (!ok) {
            throw ConfigError("block " + name + " has " + std::to_string(b.size()) + " bytes");
        }
        slot = std::move(b);
    }
}

void ApplyRaw(const QJsonObject& json, ModuleConfig& m) {
    for (auto it = json.begin(); it != json.end(); ++it) {
        const std::string kind = it.key().toStdString();
        if (std::find(RawKinds.begin(), RawKinds.end(), kind) == RawKinds.end()) {
            throw ConfigError("unknown raw reply kind \"" + kind + "\"");
        }
        std::vector<Bytes> list;
        for (const QJsonValue& v : it.value().toArray()) {
            list.push_back(HexOrThrow(v, "raw reply for " + kind));
        }
        m.rawReplies[kind] = std::move(list);
    }
}

ModuleConfig ModuleFromJson(const QJsonObject& j, const Shared& shared, Allocator& alloc) {
    const std::string modelName = j.contains("model") ? Str(j["model"]) : "P6";
    const auto model = ModelFromName(modelName);
    if (!model) {
        throw ConfigError("unknown model \"" + modelName + "\" (P6, P7 or old)");
    }
    ModuleConfig m = MakeModule(*model, shared, alloc, !j.contains("ip"));
    if (j.contains("mac")) {
        const auto mac = ParseMacText(Str(j["mac"]));
        if (!mac) {
            throw ConfigError("bad MAC \"" + Str(j["mac"]) + "\"");
        }
        m.mac = *mac;
    }
    if (j.contains("ip")) {
        m.ip = Str(j["ip"]);
        if (!ParseIpv4Text(m.ip)) {
            throw ConfigError("bad IP address \"" + m.ip + "\"");
        }
    }
    m.name = j.contains("name") ? Str(j["name"]) : m.name;
    m.version = static_cast<unsigned>(j["version"].toInt(static_cast<int>(m.version)));
    m.user = j.contains("user") ? Str(j["user"]) : m.user;
    m.password = j.contains("password") ? Str(j["password"]) : m.password;
    m.searchPort = static_cast<std::uint16_t>(j["searchPort"].toInt(m.searchPort));
    if (j.contains("reply")) {
        const std::string reply = Str(j["reply"]);
        if (reply != "unicast" && reply != "broadcast") {
            throw ConfigError("reply must be unicast or broadcast");
        }
        m.broadcastReplies = reply == "broadcast";
    }
    m.delayMs = j["delayMs"].toInt(m.delayMs);
    m.copies = j["copies"].toInt(m.copies);
    m.silent = j["silent"].toBool(m.silent);
    if (j.contains("hostile")) {
        m.hostileSeed = ToSeed(j["hostile"].toVariant().toString().toStdString(), "hostile");
    }
    m.secondIp = j.contains("secondIp") ? CheckedIp(Str(j["secondIp"]), "secondIp") : m.secondIp;
    m.floodCount = j["floodCount"].toInt(m.floodCount);
    m.floodMs = j["floodMs"].toInt(m.floodMs);
    ApplyRaw(j["raw"].toObject(), m);
    FinishBlocks(m, &j);
    return m;
}

} // namespace

ModuleConfig MakeModule(Model model, const Shared& shared, Allocator& alloc, bool needIp) {
    ModuleConfig m;
    m.model = model;
    m.mac = alloc.nextMac(model);
    m.ip = needIp ? alloc.nextIp() : std::string();
    m.name = DefaultName(model, alloc.count(model));
    m.version = DefaultVersion(model);
    m.user = shared.user;
    m.password = shared.password;
    m.searchPort = model == Model::P7 ? CfgPortP7 : CfgPortP6;
    m.broadcastReplies = shared.broadcast.value_or(false);
    m.delayMs = shared.delayMs;
    m.copies = shared.copies;
    m.silent = shared.silent;
    m.hostileSeed = shared.hostileSeed;
    m.secondIp = shared.secondIp;
    m.floodCount = shared.floodCount;
    m.floodMs = shared.floodMs;
    return m;
}

void FinishBlocks(ModuleConfig& m, const QJsonObject* json) {
    m.factoryBlocks = DefaultBlocks({m.model, m.mac, m.ip, m.name, m.user, m.password});
    if (json && json->contains("blocks")) {
        ApplyBlocks((*json)["blocks"].toObject(), m.factoryBlocks);
    }
}

void LoadConfigFile(const std::string& path, const Shared& shared, Allocator& alloc,
                    std::vector<ModuleConfig>& out) {
    const QJsonDocument doc = ReadJsonFile(path);
    const QJsonArray modules = doc.isArray() ? doc.array() : doc.object()["modules"].toArray();
    for (const QJsonValue& v : modules) {
        if (!v.isObject()) {
            throw ConfigError(path + ": every module must be a JSON object");
        }
        out.push_back(ModuleFromJson(v.toObject(), shared, alloc));
    }
}

void CheckUniqueMacs(const std::vector<ModuleConfig>& modules) {
    std::set<MacBytes> seen;
    for (const ModuleConfig& m : modules) {
        if (!seen.insert(m.mac).second) {
            throw ConfigError("two modules share the MAC " + MacBytesToText(m.mac));
        }
    }
}

} // namespace r2::sim::options
