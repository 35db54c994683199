#include "sim_config.h"

#include "default_blocks.h"
#include "Unit_ProFun.h"

#include <charconv>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <set>
#include <stdexcept>

namespace r2::sim {
namespace {

constexpr std::array<std::size_t, BlockCount> BlockLengths = {
    BaseBlockLen,  PortBlockLen,       CloudBlockLen,  HeartRegBlockLen,
    HttpdReplyLen, ModbusPackBlockLen, ModbusSwitchLen};
constexpr std::array<std::string_view, 5> RawKinds = {"search", "read", "write", "restart",
                                                      "reset"};

struct ConfigError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Shared options given on the command line; a module's own settings override them.
struct Shared {
    std::string firstIp = "192.168.0.7";
    std::optional<bool> broadcast;
    int delayMs = 0;
    int copies = 1;
    bool silent = false;
    std::string user{DefaultUserName};
    std::string password{DefaultPassword};
    std::optional<std::uint64_t> hostileSeed;
    std::string secondIp;
    int floodCount = 0;
    int floodMs = 0;
};

// Hands out default MACs and addresses in the order modules are created.
class Allocator final {
public:
    explicit Allocator(std::uint32_t firstIp) : m_nextIp(firstIp) {}

    MacBytes nextMac(Model model) {
        const std::uint8_t modelByte = model == Model::P6 ? 0x06 : model == Model::P7 ? 0x07 : 0x05;
        const unsigned n = ++m_counts[static_cast<std::size_t>(model)];
        return {0x02,
                0x52,
                0x32,
                modelByte,
                static_cast<std::uint8_t>(n >> 8),
                static_cast<std::uint8_t>(n)};
    }
    std::string nextIp() { return IntToIPText(m_nextIp++); }
    unsigned count(Model model) const { return m_counts[static_cast<std::size_t>(model)]; }

private:
    std::uint32_t m_nextIp;
    std::array<unsigned, 3> m_counts{};
};

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

int ToInt(std::string_view text, std::string_view option) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0) {
        throw ConfigError(std::string(option) + " needs a number, not \"" + std::string(text) +
                          "\"");
    }
    return value;
}

std::uint64_t ToSeed(std::string_view text, std::string_view option) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        throw ConfigError(std::string(option) + " needs a whole number as its seed, not \"" +
                          std::string(text) + "\"");
    }
    return value;
}

std::string CheckedIp(const std::string& ip, std::string_view option) {
    if (!IPTextToInt(ip)) {
        throw ConfigError(std::string(option) + " needs an IPv4 address, not \"" + ip + "\"");
    }
    return ip;
}

// COUNT:MS, both above 0.
std::pair<int, int> ToFlood(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        throw ConfigError("--flood needs COUNT:MS, not \"" + text + "\"");
    }
    const int count = ToInt(std::string_view(text).substr(0, colon), "--flood COUNT");
    const int ms = ToInt(std::string_view(text).substr(colon + 1), "--flood MS");
    if (count == 0 || ms == 0) {
        throw ConfigError("--flood needs a COUNT and MS above 0");
    }
    return {count, ms};
}

// Options only the boot loader takes; --silent it shares with the simulated modules.
constexpr std::array<std::string_view, 13> BootLoaderOnly = {"--bootloader",
                                                             "--identity",
                                                             "--giaddr-byte26",
                                                             "--lose-acks",
                                                             "--duplicate-acks",
                                                             "--no-final-ack",
                                                             "--stop-before-read",
                                                             "--read-from-other-address",
                                                             "--loss",
                                                             "--seed",
                                                             "--retry-ms",
                                                             "--image-out",
                                                             "--exit-after-transfer"};

bool IsBootLoaderOnly(std::string_view option) {
    return std::find(BootLoaderOnly.begin(), BootLoaderOnly.end(), option) != BootLoaderOnly.end();
}

int ToIntAtMost(std::string_view text, std::string_view option, int most) {
    const int value = ToInt(text, option);
    if (value > most) {
        throw ConfigError(std::string(option) + " takes at most " + std::to_string(most) +
                          ", not " + std::string(text));
    }
    return value;
}

// Block numbers separated by commas; a number may come more than once.
std::vector<std::uint16_t> ToBlockList(const std::string& text, std::string_view option) {
    std::vector<std::uint16_t> blocks;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view item = std::string_view(text).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start);
        const int block = ToIntAtMost(item, option, 0xFFFF);
        if (block == 0) {
            throw ConfigError(std::string(option) + " takes block numbers from 1 on");
        }
        blocks.push_back(static_cast<std::uint16_t>(block));
        if (comma == std::string::npos) {
            return blocks;
        }
        start = comma + 1;
    }
}

std::array<std::uint8_t, 4> ToIdentity(const std::string& text) {
    const auto bytes = ParseHexBytes(text);
    if (!bytes || bytes->size() != 4) {
        throw ConfigError("--identity needs 4 bytes as 8 hex digits, not \"" + text + "\"");
    }
    return {(*bytes)[0], (*bytes)[1], (*bytes)[2], (*bytes)[3]};
}

std::string Str(const QJsonValue& v) {
    return v.toString().toStdString();
}

Bytes HexOrThrow(const QJsonValue& v, const std::string& what) {
    if (!v.isString()) {
        throw ConfigError(what + " must be a hex string");
    }
    auto bytes = ParseHexBytes(Str(v));
    if (!bytes) {
        throw ConfigError(what + " is not hex: " + Str(v));
    }
    return *bytes;
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

// A module with every default; a module that brings its own address takes none of the
// default ones, so the next module still gets the next free one.
ModuleConfig MakeModule(Model model, const Shared& shared, Allocator& alloc, bool needIp = true) {
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

// A MAC as people write it: with spaces, colons or dashes between the pairs, or none.
std::string MacDigits(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (c != ' ' && c != ':' && c != '-') {
            digits += c;
        }
    }
    return digits;
}

MacBytes ToMac(const std::string& text, std::string_view option) {
    MacBytes mac{};
    if (!MacTextToBytes(MacDigits(text), mac)) {
        throw ConfigError(std::string(option) + " needs a MAC of 12 hex digits, not \"" + text +
                          "\"");
    }
    return mac;
}

ModuleConfig ModuleFromJson(const QJsonObject& j, const Shared& shared, Allocator& alloc) {
    const std::string modelName = j.contains("model") ? Str(j["model"]) : "P6";
    const auto model = ModelFromName(modelName);
    if (!model) {
        throw ConfigError("unknown model \"" + modelName + "\" (P6, P7 or old)");
    }
    ModuleConfig m = MakeModule(*model, shared, alloc, !j.contains("ip"));
    if (j.contains("mac") && !MacTextToBytes(MacDigits(Str(j["mac"])), m.mac)) {
        throw ConfigError("bad MAC \"" + Str(j["mac"]) + "\"");
    }
    if (j.contains("ip")) {
        m.ip = Str(j["ip"]);
        Bytes probe(4);
        if (!TextToRevIP(m.ip, probe)) {
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

QJsonDocument ReadJsonFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        throw ConfigError("cannot read " + path + ": " + file.errorString().toStdString());
    }
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &err);
    if (doc.isNull()) {
        throw ConfigError(path + ": " + err.errorString().toStdString() + " at offset " +
                          std::to_string(err.offset));
    }
    return doc;
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

// {"base": HEX, "port": HEX, "cloud": HEX, "heartReg": HEX, "p5": HEX, "p5Extra": HEX,
// "p6Tail": HEX}, each optional, each of its exact length.
void LoadSerialState(const std::string& path, SerialState& state) {
    const QJsonDocument doc = ReadJsonFile(path);
    if (!doc.isObject()) {
        throw ConfigError(path + ": the serial state must be a JSON object");
    }
    Bytes extra{state.p5Extra};
    const std::array<std::pair<std::string_view, Bytes*>, 7> fields = {
        {{"base", &state.base},
         {"port", &state.port},
         {"cloud", &state.cloud},
         {"heartReg", &state.heartReg},
         {"p5", &state.p5},
         {"p5Extra", &extra},
         {"p6Tail", &state.p6Tail}}};
    const QJsonObject json = doc.object();
    for (auto it = json.begin(); it != json.end(); ++it) {
        const std::string name = it.key().toStdString();
        const auto* field = std::find_if(fields.begin(), fields.end(),
                                         [&name](const auto& f) { return f.first == name; });
        if (field == fields.end()) {
            throw ConfigError(path + ": unknown serial state \"" + name + "\"");
        }
        Bytes bytes = HexOrThrow(it.value(), "serial state " + name);
        if (bytes.size() != field->second->size()) {
            throw ConfigError("serial state " + name + " has " + std::to_string(bytes.size()) +
                              " bytes, not " + std::to_string(field->second->size()));
        }
        *field->second = std::move(bytes);
    }
    state.p5Extra = extra[0];
}

void CheckUniqueMacs(const std::vector<ModuleConfig>& modules) {
    std::set<MacBytes> seen;
    for (const ModuleConfig& m : modules) {
        if (!seen.insert(m.mac).second) {
            throw ConfigError("two modules share the MAC " + MacBytesToText(m.mac));
        }
    }
}

SimOptions Parse(const std::vector<std::string>& args) {
    SimOptions options;
    Shared shared;
    std::string configPath;
    std::array<int, 3> counts{};
    std::string lanOption;    // the first option that only simulated LAN modules take
    std::string serialOption; // the first --serial-* option
    std::string bootOption;   // the first option that only the boot loader takes
    std::string moduleOption; // the first option that neither serial nor boot loader takes
    bool boot = false;
    BootLoaderOptions bootOptions;
    BootLoaderConfig& bootConfig = bootOptions.config;
    std::optional<SerialModel> serialModel;
    SerialSimOptions serial;
    std::string serialStatePath;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) {
                throw ConfigError(a + " needs a value");
            }
            return args[++i];
        };
        const bool common =
            a == "--help" || a == "--version" || a == "--json-log" || a == "--quiet";
        if (lanOption.empty() && a.starts_with("--") && !a.starts_with("--serial") && !common) {
            lanOption = a;
        }
        if (bootOption.empty() && IsBootLoaderOnly(a)) {
            bootOption = a;
        }
        if (moduleOption.empty() && a.starts_with("--") && !a.starts_with("--serial") && !common &&
            !IsBootLoaderOnly(a) && a != "--silent") {
            moduleOption = a;
        }
        if (serialOption.empty() && a.starts_with("--serial-")) {
            serialOption = a;
        }
        if (a == "--help" || a == "-h") {
            options.help = true;
        } else if (a == "--version") {
            options.version = true;
        } else if (a == "--p6") {
            counts[0] = ToInt(value(), a);
        } else if (a == "--p7") {
            counts[1] = ToInt(value(), a);
        } else if (a == "--old") {
            counts[2] = ToInt(value(), a);
        } else if (a == "--config") {
            configPath = value();
        } else if (a == "--first-ip") {
            shared.firstIp = value();
        } else if (a == "--reply") {
            const std::string& r = value();
            if (r != "unicast" && r != "broadcast") {
                throw ConfigError("--reply takes unicast or broadcast");
            }
            shared.broadcast = r == "broadcast";
        } else if (a == "--delay") {
            shared.delayMs = ToInt(value(), a);
        } else if (a == "--copies") {
            shared.copies = ToInt(value(), a);
        } else if (a == "--duplicate") {
            shared.copies = 2;
        } else if (a == "--silent") {
            shared.silent = true;
        } else if (a == "--user") {
            shared.user = value();
        } else if (a == "--password") {
            shared.password = value();
        } else if (a == "--hostile") {
            shared.hostileSeed = ToSeed(value(), a);
        } else if (a == "--second-ip") {
            shared.secondIp = CheckedIp(value(), a);
        } else if (a == "--flood") {
            std::tie(shared.floodCount, shared.floodMs) = ToFlood(value());
        } else if (a == "--json-log") {
            options.jsonLogPath = value();
        } else if (a == "--quiet") {
            options.quiet = true;
        } else if (a == "--serial") {
            const std::string& name = value();
            serialModel = SerialModelFromName(name);
            if (!serialModel) {
                throw ConfigError("--serial takes p5, p6 or p7, not \"" + name + "\"");
            }
        } else if (a == "--serial-bad-checksum") {
            serial.behaviour.badChecksum = true;
        } else if (a == "--serial-split") {
            serial.splitMs = ToInt(value(), a);
        } else if (a == "--serial-silent") {
            serial.behaviour.silent = true;
        } else if (a == "--serial-state") {
            serialStatePath = value();
        } else if (a == "--bootloader") {
            bootConfig.mac = ToMac(value(), a);
            boot = true;
        } else if (a == "--identity") {
            bootConfig.identity = ToIdentity(value());
        } else if (a == "--giaddr-byte26") {
            bootConfig.giaddrByte26 = static_cast<std::uint8_t>(ToIntAtMost(value(), a, 0xFF));
        } else if (a == "--lose-acks") {
            bootConfig.loseAcks = ToBlockList(value(), a);
        } else if (a == "--duplicate-acks") {
            bootConfig.duplicateAcks = ToBlockList(value(), a);
        } else if (a == "--no-final-ack") {
            bootConfig.noFinalAck = true;
        } else if (a == "--stop-before-read") {
            bootConfig.stopBeforeRead = true;
        } else if (a == "--read-from-other-address") {
            bootConfig.readFromIp = *IPTextToInt(CheckedIp(value(), a));
        } else if (a == "--loss") {
            bootConfig.lossPercent = ToIntAtMost(value(), a, 100);
        } else if (a == "--seed") {
            bootConfig.seed = ToSeed(value(), a);
        } else if (a == "--retry-ms") {
            bootConfig.retryMs = ToInt(value(), a);
            if (bootConfig.retryMs == 0) {
                throw ConfigError("--retry-ms needs a number above 0");
            }
        } else if (a == "--image-out") {
            bootOptions.imagePath = value();
        } else if (a == "--exit-after-transfer") {
            bootOptions.exitAfterTransfer = true;
        } else {
            throw ConfigError("unknown option " + a);
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (serialModel && boot) {
        throw ConfigError("--bootloader and --serial cannot be combined: r2sim plays either a "
                          "boot loader on UDP or a module on a pseudo-terminal");
    }
    if (boot) {
        if (!serialOption.empty()) {
            throw ConfigError(serialOption + " needs --serial p5|p6|p7, not --bootloader");
        }
        if (!moduleOption.empty()) {
            throw ConfigError("--bootloader plays one boot loader; " + moduleOption +
                              " is for simulated modules");
        }
        bootConfig.silent = shared.silent;
        options.bootLoader = std::move(bootOptions);
        return options;
    }
    if (!bootOption.empty()) {
        throw ConfigError(bootOption + " needs --bootloader MAC");
    }
    if (serialModel) {
        if (!lanOption.empty()) {
            throw ConfigError("--serial runs one module on a pseudo-terminal; " + lanOption +
                              " is for modules on UDP");
        }
        serial.model = *serialModel;
        if (!serialStatePath.empty()) {
            LoadSerialState(serialStatePath, serial.state);
        }
        options.serial = std::move(serial);
        return options;
    }
    if (!serialOption.empty()) {
        throw ConfigError(serialOption + " needs --serial p5|p6|p7");
    }
    const auto first = IPTextToInt(shared.firstIp);
    if (!first) {
        throw ConfigError("bad --first-ip " + shared.firstIp);
    }
    Allocator alloc(*first);
    if (!configPath.empty()) {
        LoadConfigFile(configPath, shared, alloc, options.modules);
    }
    const std::array<Model, 3> models = {Model::P6, Model::P7, Model::Old};
    for (std::size_t k = 0; k < models.size(); ++k) {
        for (int n = 0; n < counts[k]; ++n) {
            options.modules.push_back(MakeModule(models[k], shared, alloc));
            FinishBlocks(options.modules.back(), nullptr);
        }
    }
    if (options.modules.empty()) {
        throw ConfigError("no modules: give --p6, --p7, --old or --config");
    }
    CheckUniqueMacs(options.modules);
    return options;
}

} // namespace

std::optional<Bytes> ParseHexBytes(std::string_view text) {
    const std::string digits = RemoveSpaces(text);
    if (digits.size() % 2 != 0) {
        return std::nullopt;
    }
    Bytes bytes(digits.size() / 2);
    if (!HexToBytes(digits, bytes)) {
        return std::nullopt;
    }
    return bytes;
}

ParseResult ParseArguments(const std::vector<std::string>& args) {
    try {
        return {Parse(args), {}};
    } catch (const ConfigError& e) {
        return {{}, e.what()};
    }
}

std::string UsageText() {
    return R"(usage: r2sim [OPTIONS]
       r2sim --serial p5|p6|p7 [--serial-... OPTIONS] [--json-log FILE] [--quiet]
       r2sim --bootloader MAC [BOOT LOADER OPTIONS] [--json-log FILE] [--quiet]
Simulates R2 modules on UDP ports 1500 and 1901 (and any other search port a module uses),
one module on a pseudo-terminal, or one module's boot loader fetching new firmware.
Run it only inside a private network namespace (see tests/lab/labenv.py).

Modules:
  --p6 N, --p7 N, --old N   N modules of that model (old = firmware 2001, no known model)
  --config FILE.json        modules from a file: {"modules": [ {...}, ... ]} or a bare array
                            with, per module (all optional): model ("P6", "P7", "old"), mac,
                            ip, name, version, user, password, searchPort, reply ("unicast" or
                            "broadcast"), delayMs, copies, silent, hostile (seed), secondIp,
                            floodCount, floodMs, blocks {NAME: HEX | false}
                            (NAME: base, port, cloud, heartReg, httpd, modbusPack, modbus of 1
                            or 4 bytes; false leaves the block out), raw {KIND: [HEX, ...]}
                            (KIND: search, read, write, restart, reset; these datagrams are sent
                            instead of the normal answer, "" is an empty datagram)
  --first-ip A.B.C.D        first default address (192.168.0.7), counting up
Shared settings (a module's own settings win):
  --reply unicast|broadcast reply to the sender, or to 255.255.255.255 at the sender's port
  --delay MS                wait before answering
  --copies N, --duplicate   send every answer N times (--duplicate: twice)
  --silent                  never answer
  --user NAME, --password PW  the modules' login (admin / tulip)
Hostile modules (for testing what a tool must withstand):
  --hostile SEED            spoil every answer, decided by a pseudo-random sequence from SEED
                            and the module's MAC (the same seed and requests give the same
                            datagrams): answers kept, dropped, repeated, reordered; blocks and
                            acknowledgements also or only from the second address; a second,
                            different base block; acknowledgements with another command byte
                            or result; added datagrams of every length around the reply
                            classifier's thresholds (0-5, 35-37, 39-41, 49-51, 84-88, 129-131,
                            192-194, 255-257, 301-303, 65507) with random content; search
                            replies with random name bytes. Raw replies are sent as configured.
  --second-ip A.B.C.D       the address "another host" sends from (default: the system's choice
                            of source, in the lab the lab side's own address; also when this
                            host lacks the address given)
  --flood COUNT:MS          with every search reply, COUNT more datagrams to the searcher, as
                            fast as the socket takes them, ending after MS ms at the latest
                            (copies of the search reply; a hostile module mixes in junk)
Logging:
  --json-log FILE           one JSON object per frame received ("rx") and sent ("tx"):
                            t (monotonic ms; for rx the kernel's arrival time, for tx just
                            after the send), t0 (tx: just before the send), dir, peer
                            (ip:port), port (local), src (tx: the address it left from, ""
                            for the system's choice), hex, len, cmd, module (MAC text or
                            null), action, result; a flood logs its first datagram and a
                            summary
  --quiet                   no per-frame text on standard output
Serial (one module on a pseudo-terminal, as if its CFG pin were grounded; no network):
  --serial p5|p6|p7         open a pseudo-terminal and answer on it: a P6 the read 55 BD
                            (137 bytes: 55 BD, base, port, 5 further bytes), the follow-up
                            55 C1 (115 bytes: 55 C1, device ID, password, heartReg) and the
                            save 55 BE/55 BF/55 B1 5A ('K'); a P5 or P7 the read 55 BC
                            (32 bytes) and the write 55 BA ('K'). A later read returns what
                            was saved; a write with a wrong sum is not stored and its save
                            gets no 'K'. Frames may arrive split or joined; bytes that start
                            no frame are dropped up to the next 55, and the start of a frame
                            that stays unfinished for 500 ms is dropped
  --serial-bad-checksum     the 32-byte P5/P7 reply carries a wrong sum (the P6 replies and
                            'K' carry none and are unchanged)
  --serial-split MS         write every reply longer than one byte in two parts, MS ms apart
  --serial-silent           log what arrives, never answer or store
  --serial-state FILE.json  start from these bytes instead of the factory ones: {"base": HEX,
                            "port": HEX, "cloud": HEX, "heartReg": HEX, "p5": HEX (28 bytes),
                            "p5Extra": HEX (1), "p6Tail": HEX (5)}, each optional
  Standard output starts with "serial MODEL PATH" (the path a tool opens) and "ready". The
  logs name the peer "serial" and port 0; actions: read p6, follow-up, write base, write
  port, save p6, read p5, write p5, garbage, and open/close when a tool opens or closes the
  port. A close releases the tool's exclusive claim and drops what it left unread; replies
  due while no tool has the port open are lost, as on a real line.
Boot loader (one module's, on UDP; give one r2sim per module):
  --bootloader MAC          wait on UDP 9 for a 30-byte wake-up (six AA, then MAC four
                            times); then broadcast a 300-byte BOOTP boot request from port 68
                            to 255.255.255.255:67 until a boot reply comes to port 68 (op 2,
                            our transaction id and MAC, yiaddr and siaddr set, "firmware.bin"
                            at offset 108); then send the TFTP read request for
                            "firmware.bin" (octet) from yiaddr:13633 to siaddr:69, take the
                            data blocks on 13633 and acknowledge each to the address and port
                            it came from. The final block (under 512 bytes) ends the transfer:
                            "received BYTES PATH" on standard output. A block that comes again
                            is acknowledged again, not written twice. A wake-up starts afresh
  --identity HEX8           the hardware identity in bytes 44-47 (default 52325036, "R2P6")
  --giaddr-byte26 N         byte 26 of the boot request (default 0)
  --retry-ms MS             repeat the boot request this often until a reply (default 1000)
  --image-out FILE          write the received image there (emptied when a transfer starts)
  --exit-after-transfer     end after the first completed transfer
  --stop-before-read        send no read request after the boot reply (another TFTP client
                            may then fetch the image from the module's address)
  --read-from-other-address A.B.C.D  send the read request from this address, not yiaddr
  --lose-acks N,N,...       withhold one acknowledgement of block N per listed N
  --duplicate-acks N,N,...  send one acknowledgement of block N twice per listed N
  --no-final-ack            never acknowledge the final block
  --loss PERCENT            drop that share of incoming data blocks and outgoing
                            acknowledgements, decided by a sequence from --seed (default 1)
  --seed N
  --silent                  log what arrives, send nothing
  Standard output starts with "bootloader MAC ready". Log actions: wake-up, boot request,
  boot reply, read request, data N, ack N, lost ack N, lost data N; module is the MAC.
On UDP, standard output starts with one "module ..." line per module and then "ready".
SIGTERM or SIGINT ends the simulator cleanly.
Other:
  -h, --help                this text
  --version                 the program's name and version
)";
}

} // namespace r2::sim
