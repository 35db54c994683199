#include "sim_config.h"

#include "address_text.h"
#include "cli_support.h"
#include "default_blocks.h"
#include "Unit_ProFun.h"

#include <charconv>
#include <functional>
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
    if (!ParseIpv4Text(ip)) {
        throw ConfigError(std::string(option) + " needs an IPv4 address, not \"" + ip + "\"");
    }
    return ip;
}

// COUNT:MS, both above 0.
std::pair<int, int> ToFlood(const std::string& text, std::string_view option) {
    const std::string name(option);
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        throw ConfigError(name + " needs COUNT:MS, not \"" + text + "\"");
    }
    const int count = ToInt(std::string_view(text).substr(0, colon), name + " COUNT");
    const int ms = ToInt(std::string_view(text).substr(colon + 1), name + " MS");
    if (count == 0 || ms == 0) {
        throw ConfigError(name + " needs a COUNT and MS above 0");
    }
    return {count, ms};
}

int ToIntAtMost(std::string_view text, std::string_view option, int most) {
    const int value = ToInt(text, option);
    if (value > most) {
        throw ConfigError(std::string(option) + " takes at most " + std::to_string(most) +
                          ", not " + std::string(text));
    }
    return value;
}

// A block number a data block can carry: 1 to 65535.
std::uint16_t ToBlock(std::string_view text, std::string_view option) {
    const int block = ToIntAtMost(text, option, 0xFFFF);
    if (block == 0) {
        throw ConfigError(std::string(option) + " takes block numbers from 1 on");
    }
    return static_cast<std::uint16_t>(block);
}

// A number an acknowledgement can name: 0 to 65535.
std::uint16_t ToAckNumber(const std::string& text, std::string_view option) {
    return static_cast<std::uint16_t>(ToIntAtMost(text, option, 0xFFFF));
}

// Block numbers separated by commas; a number may come more than once.
std::vector<std::uint16_t> ToBlockList(const std::string& text, std::string_view option) {
    std::vector<std::uint16_t> blocks;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view item = std::string_view(text).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start);
        blocks.push_back(ToBlock(item, option));
        if (comma == std::string::npos) {
            return blocks;
        }
        start = comma + 1;
    }
}

std::array<std::uint8_t, 4> ToIdentity(const std::string& text, std::string_view option) {
    const auto bytes = ParseHexBytes(text);
    if (!bytes || bytes->size() != 4) {
        throw ConfigError(std::string(option) + " needs 4 bytes as 8 hex digits, not \"" + text +
                          "\"");
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

MacBytes ToMac(const std::string& text, std::string_view option) {
    const auto mac = ParseMacText(text);
    if (!mac) {
        throw ConfigError(std::string(option) + " needs a MAC of 12 hex digits, not \"" + text +
                          "\"");
    }
    return *mac;
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

// The option groups of --help; the modes are told apart by them too.
const std::string ModulesGroup = "Modules";
const std::string SharedGroup = "Shared settings (a module's own settings win)";
const std::string HostileGroup = "Hostile modules (for testing what a tool must withstand)";
const std::string LoggingGroup = "Logging";
const std::string SerialGroup =
    "Serial (one module on a pseudo-terminal, as if its CFG pin were grounded; no network)";
const std::string BootLoaderGroup = "Boot loader (one module's, on UDP; give one r2sim per module)";
const std::string OtherGroup = "Other";

// A check for CLI11 from a converter: what it would throw, less the option's name, which CLI11
// puts in front of a complaint.
template <typename Convert> CLI::Validator CheckedBy(Convert convert) {
    return cli::Check([convert](const std::string& text) -> std::string {
        try {
            convert(text, std::string_view());
        } catch (const ConfigError& e) {
            return std::string(e.what()).substr(1);
        }
        return {};
    });
}

bool ToBroadcast(const std::string& text, std::string_view option) {
    if (text != "unicast" && text != "broadcast") {
        throw ConfigError(std::string(option) + " takes unicast or broadcast");
    }
    return text == "broadcast";
}

SerialModel ToSerialModel(const std::string& text, std::string_view option) {
    const auto model = SerialModelFromName(text);
    if (!model) {
        throw ConfigError(std::string(option) + " takes p5, p6 or p7, not \"" + text + "\"");
    }
    return *model;
}

std::uint8_t ToByte(const std::string& text, std::string_view option) {
    return static_cast<std::uint8_t>(ToIntAtMost(text, option, 0xFF));
}

std::uint32_t ToIpNumber(const std::string& text, std::string_view option) {
    return *ParseIpv4Text(CheckedIp(text, option));
}

int ToPercent(const std::string& text, std::string_view option) {
    return ToIntAtMost(text, option, 100);
}

int ToPositive(const std::string& text, std::string_view option) {
    const int value = ToInt(text, option);
    if (value == 0) {
        throw ConfigError(std::string(option) + " needs a number above 0");
    }
    return value;
}

// The command line's options, bound to what they set; the modes' rules and the modules come
// after the parse.
class CommandLine final {
public:
    CommandLine();

    SimOptions parse(const std::vector<std::string>& args);
    std::string help() const { return m_app.help(); }

private:
    // An option with a value `convert` turns into `target` (or refuses); the last one given wins.
    template <typename T, typename Convert>
    CLI::Option* addValue(const std::string& name, const std::string& valueText, T& target,
                          Convert convert, const std::string& description) {
        return m_app
            .add_option_function<std::string>(
                name, [&target, convert, name](const std::string& v) { target = convert(v, name); },
                description)
            ->option_text(valueText)
            ->check(CheckedBy(convert));
    }
    CLI::Option* addText(const std::string& name, const std::string& valueText, std::string& target,
                         const std::string& description) {
        return m_app.add_option(name, target, description)->option_text(valueText);
    }
    // The first option given, in the order of the line, that `belongs` says yes to.
    std::string firstGiven(const std::function<bool(const CLI::Option&)>& belongs) const;
    void declare();
    SimOptions modules();

    CLI::App m_app{"", "r2sim"};
    SimOptions m_options;
    Shared m_shared;
    std::string m_configPath;
    std::array<int, 3> m_counts{};
    std::pair<int, int> m_flood{};
    int m_copies = 1;
    std::optional<SerialModel> m_serialModel;
    SerialSimOptions m_serial;
    std::string m_serialStatePath;
    BootLoaderOptions m_boot;
    CLI::Option* m_serialOption = nullptr;
    CLI::Option* m_bootLoaderOption = nullptr;
    CLI::Option* m_copiesOption = nullptr;
    CLI::Option* m_duplicateOption = nullptr;
};

CommandLine::CommandLine() {
    m_app.formatter(std::make_shared<cli::HelpFormatter>(
        "usage: r2sim [OPTIONS]\n"
        "       r2sim --serial p5|p6|p7 [--serial-... OPTIONS] [--json-log FILE] [--quiet]\n"
        "       r2sim --bootloader MAC [BOOT LOADER OPTIONS] [--json-log FILE] [--quiet]\n",
        28));
    m_app.description(
        "Simulates R2 modules on UDP ports 1500 and 1901 (and any other search port a module "
        "uses),\none module on a pseudo-terminal, or one module's boot loader fetching new "
        "firmware.\nRun it only inside a private network namespace (see tests/lab/labenv.py).");
    m_app.footer("On UDP, standard output starts with one \"module ...\" line per module and then "
                 "\"ready\".\nSIGTERM or SIGINT ends the simulator cleanly.");
    m_app.set_help_flag();
    m_app.allow_extras();
    m_app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    declare();
}

void CommandLine::declare() {
    BootLoaderConfig& boot = m_boot.config;
    m_app.option_defaults()->group(ModulesGroup);
    addValue("--p6", "N", m_counts[0], ToInt, "N P6 modules");
    addValue("--p7", "N", m_counts[1], ToInt, "N P7 modules");
    addValue("--old", "N", m_counts[2], ToInt, "N old modules (firmware 2001, no known model)");
    addText("--config", "FILE.json", m_configPath,
            "modules from a file: {\"modules\": [ {...}, ... ]} or a bare array\n"
            "with, per module (all optional): model (\"P6\", \"P7\", \"old\"), mac,\n"
            "ip, name, version, user, password, searchPort, reply (\"unicast\" or\n"
            "\"broadcast\"), delayMs, copies, silent, hostile (seed), secondIp,\n"
            "floodCount, floodMs, blocks {NAME: HEX | false}\n"
            "(NAME: base, port, cloud, heartReg, httpd, modbusPack, modbus of 1\n"
            "or 4 bytes; false leaves the block out), raw {KIND: [HEX, ...]}\n"
            "(KIND: search, read, write, restart, reset; these datagrams are sent\n"
            "instead of the normal answer, \"\" is an empty datagram)");
    addText("--first-ip", "A.B.C.D", m_shared.firstIp,
            "first default address (192.168.0.7), counting up");

    m_app.option_defaults()->group(SharedGroup);
    addValue("--reply", "unicast|broadcast", m_shared.broadcast, ToBroadcast,
             "reply to the sender, or to 255.255.255.255 at the sender's port");
    addValue("--delay", "MS", m_shared.delayMs, ToInt, "wait before answering");
    m_copiesOption = addValue("--copies", "N", m_copies, ToInt, "send every answer N times");
    m_duplicateOption = m_app.add_flag("--duplicate")->description("send every answer twice");
    m_app.add_flag("--silent", m_shared.silent,
                   "never answer (with --bootloader: log what arrives, send nothing)");
    addText("--user", "NAME", m_shared.user, "the modules' login name (admin)");
    addText("--password", "PW", m_shared.password, "the modules' login password (tulip)");

    m_app.option_defaults()->group(HostileGroup);
    addValue("--hostile", "SEED", m_shared.hostileSeed, ToSeed,
             "spoil every answer, decided by a pseudo-random sequence from SEED\n"
             "and the module's MAC (the same seed and requests give the same\n"
             "datagrams): answers kept, dropped, repeated, reordered; blocks and\n"
             "acknowledgements also or only from the second address; a second,\n"
             "different base block; acknowledgements with another command byte\n"
             "or result; added datagrams of every length around the reply\n"
             "classifier's thresholds (0-5, 35-37, 39-41, 49-51, 84-88, 129-131,\n"
             "192-194, 255-257, 301-303, 65507) with random content; search\n"
             "replies with random name bytes. Raw replies are sent as configured.");
    addValue("--second-ip", "A.B.C.D", m_shared.secondIp, CheckedIp,
             "the address \"another host\" sends from (default: the system's choice\n"
             "of source, in the lab the lab side's own address; also when this\n"
             "host lacks the address given)");
    addValue("--flood", "COUNT:MS", m_flood, ToFlood,
             "with every search reply, COUNT more datagrams to the searcher, as\n"
             "fast as the socket takes them, ending after MS ms at the latest\n"
             "(copies of the search reply; a hostile module mixes in junk)");

    m_app.option_defaults()->group(LoggingGroup);
    addText("--json-log", "FILE", m_options.jsonLogPath,
            "one JSON object per frame received (\"rx\") and sent (\"tx\"):\n"
            "t (monotonic ms; for rx the kernel's arrival time, for tx just\n"
            "after the send), t0 (tx: just before the send), dir, peer\n"
            "(ip:port), port (local), src (tx: the address it left from, \"\"\n"
            "for the system's choice), hex, len, cmd, module (MAC text or\n"
            "null), action, result; a flood logs its first datagram and a\n"
            "summary");
    m_app.add_flag("--quiet", m_options.quiet, "no per-frame text on standard output");

    m_app.option_defaults()->group(SerialGroup);
    m_serialOption =
        addValue("--serial", "p5|p6|p7", m_serialModel, ToSerialModel,
                 "open a pseudo-terminal and answer on it: a P6 the read 55 BD\n"
                 "(137 bytes: 55 BD, base, port, 5 further bytes), the follow-up\n"
                 "55 C1 (115 bytes: 55 C1, device ID, password, heartReg) and the\n"
                 "save 55 BE/55 BF/55 B1 5A ('K'); a P5 or P7 the read 55 BC\n"
                 "(32 bytes) and the write 55 BA ('K'). A later read returns what\n"
                 "was saved; a write with a wrong sum is not stored and its save\n"
                 "gets no 'K'. Frames may arrive split or joined; bytes that start\n"
                 "no frame are dropped up to the next 55, and the start of a frame\n"
                 "that stays unfinished for 500 ms is dropped.\n"
                 "Standard output starts with \"serial MODEL PATH\" (the path a tool\n"
                 "opens) and \"ready\". The logs name the peer \"serial\" and port 0;\n"
                 "actions: read p6, follow-up, write base, write port, save p6,\n"
                 "read p5, write p5, garbage, and open/close when a tool opens or\n"
                 "closes the port. A close releases the tool's exclusive claim and\n"
                 "drops what it left unread; replies due while no tool has the port\n"
                 "open are lost, as on a real line");
    m_app.add_flag("--serial-bad-checksum", m_serial.behaviour.badChecksum,
                   "the 32-byte P5/P7 reply carries a wrong sum (the P6 replies and\n"
                   "'K' carry none and are unchanged)");
    addValue("--serial-split", "MS", m_serial.splitMs, ToInt,
             "write every reply longer than one byte in two parts, MS ms apart");
    m_app.add_flag("--serial-silent", m_serial.behaviour.silent,
                   "log what arrives, never answer or store");
    addText("--serial-state", "FILE.json", m_serialStatePath,
            "start from these bytes instead of the factory ones: {\"base\": HEX,\n"
            "\"port\": HEX, \"cloud\": HEX, \"heartReg\": HEX, \"p5\": HEX (28 bytes),\n"
            "\"p5Extra\": HEX (1), \"p6Tail\": HEX (5)}, each optional");

    m_app.option_defaults()->group(BootLoaderGroup);
    m_bootLoaderOption =
        addValue("--bootloader", "MAC", boot.mac, ToMac,
                 "wait on UDP 9 for a 30-byte wake-up (six AA, then MAC four\n"
                 "times); then broadcast a 300-byte BOOTP boot request from port 68\n"
                 "to 255.255.255.255:67 until a boot reply comes to port 68 (op 2,\n"
                 "our transaction id and MAC, yiaddr and siaddr set, \"firmware.bin\"\n"
                 "at offset 108); then send the TFTP read request for\n"
                 "\"firmware.bin\" (octet) from yiaddr:13633 to siaddr:69, take the\n"
                 "data blocks on 13633 and acknowledge each to the address and port\n"
                 "it came from. The final block (under 512 bytes) ends the transfer:\n"
                 "\"received BYTES PATH\" on standard output. A block that comes again\n"
                 "is acknowledged again, not written twice. A wake-up starts afresh.\n"
                 "Standard output starts with \"bootloader MAC ready\". Log actions:\n"
                 "wake-up, boot request, boot reply, read request, data N, ack N,\n"
                 "lost ack N, lost data N, error N; module is the MAC. --silent: log\n"
                 "what arrives, send nothing");
    addValue("--identity", "HEX8", boot.identity, ToIdentity,
             "the hardware identity in bytes 44-47 (default 52325036, \"R2P6\")");
    addValue("--giaddr-byte26", "N", boot.giaddrByte26, ToByte,
             "byte 26 of the boot request (default 0)");
    addValue("--retry-ms", "MS", boot.retryMs, ToPositive,
             "repeat the boot request this often until a reply (default 1000)");
    addText("--image-out", "FILE", m_boot.imagePath,
            "write the received image there (emptied when a transfer starts)");
    m_app.add_flag("--exit-after-transfer", m_boot.exitAfterTransfer,
                   "end after the first completed transfer");
    m_app.add_flag("--stop-before-read", boot.stopBeforeRead,
                   "send no read request after the boot reply (another TFTP client\n"
                   "may then fetch the image from the module's address)");
    addValue("--read-from-other-address", "A.B.C.D", boot.readFromIp, ToIpNumber,
             "send the read request from this address, not yiaddr");
    addValue("--lose-acks", "N,N,...", boot.loseAcks, ToBlockList,
             "withhold one acknowledgement of block N per listed N");
    addValue("--duplicate-acks", "N,N,...", boot.duplicateAcks, ToBlockList,
             "send one acknowledgement of block N twice per listed N");
    m_app.add_flag("--no-final-ack", boot.noFinalAck, "never acknowledge the final block");
    addValue("--loss", "PERCENT", boot.lossPercent, ToPercent,
             "drop that share of incoming data blocks and outgoing\n"
             "acknowledgements, decided by a sequence from --seed");
    addValue("--seed", "N", boot.seed, ToSeed, "the seed of --loss's sequence (default 1)");
    addValue("--ack-jump", "N", boot.ackJump, ToAckNumber,
             "acknowledge block 1 the first time as block N (0-65535), a block\n"
             "never sent");
    addValue("--stale-ack", "N", boot.staleAck, ToAckNumber,
             "just before the read request, send an acknowledgement of block N\n"
             "to siaddr:40300, as one left over from an interrupted transfer");
    m_app.add_flag("--rrq-after-final", boot.rrqAfterFinal,
                   "the first time the final block comes, do not acknowledge it:\n"
                   "send the read request again and start the image afresh");
    addValue("--restart-every", "N", boot.restartEvery, ToBlock,
             "each time block N has been written, do not acknowledge it: send\n"
             "the read request again and start the image afresh (for ever)");
    addValue("--error-after-block", "N", boot.errorAfterBlock, ToBlock,
             "once block N has been written, answer it with TFTP error 3\n"
             "\"flash write failed\" instead of its acknowledgement, and take\n"
             "no more data blocks");

    m_app.option_defaults()->group(OtherGroup);
    m_app.add_flag("-h,--help", m_options.help, "this text");
    m_app.add_flag("--version", m_options.version, "the program's name and version");
}

std::string CommandLine::firstGiven(const std::function<bool(const CLI::Option&)>& belongs) const {
    for (const CLI::Option* option : m_app.parse_order()) {
        if (belongs(*option)) {
            return option->get_name();
        }
    }
    return {};
}

SimOptions CommandLine::parse(const std::vector<std::string>& args) {
    std::vector<std::string> reversed(args.rbegin(), args.rend()); // CLI11 takes the line backwards
    try {
        m_app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        throw ConfigError(cli::ErrorText(e));
    }
    if (const std::string unknown = cli::UnknownArgumentText(m_app.remaining()); !unknown.empty()) {
        throw ConfigError(unknown);
    }
    if (m_options.help || m_options.version) {
        return m_options;
    }
    const auto modeFree = [](const CLI::Option& o) {
        return o.get_group() == LoggingGroup || o.get_group() == OtherGroup;
    };
    const auto lan = [&modeFree](const CLI::Option& o) {
        return !modeFree(o) && o.get_group() != SerialGroup;
    };
    const std::string lanOption = firstGiven(lan);
    const std::string bootOption =
        firstGiven([](const CLI::Option& o) { return o.get_group() == BootLoaderGroup; });
    const std::string moduleOption = firstGiven([&lan](const CLI::Option& o) {
        return lan(o) && o.get_group() != BootLoaderGroup && o.get_name() != "--silent";
    });
    const std::string serialOption = firstGiven([this](const CLI::Option& o) {
        return o.get_group() == SerialGroup && &o != m_serialOption;
    });
    const bool boot = m_bootLoaderOption->count() > 0;
    if (m_serialModel && boot) {
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
        m_boot.config.silent = m_shared.silent;
        m_options.bootLoader = m_boot;
        return m_options;
    }
    if (!bootOption.empty()) {
        throw ConfigError(bootOption + " needs --bootloader MAC");
    }
    if (m_serialModel) {
        if (!lanOption.empty()) {
            throw ConfigError("--serial runs one module on a pseudo-terminal; " + lanOption +
                              " is for modules on UDP");
        }
        m_serial.model = *m_serialModel;
        if (!m_serialStatePath.empty()) {
            LoadSerialState(m_serialStatePath, m_serial.state);
        }
        m_options.serial = m_serial;
        return m_options;
    }
    if (!serialOption.empty()) {
        throw ConfigError(serialOption + " needs --serial p5|p6|p7");
    }
    return modules();
}

SimOptions CommandLine::modules() {
    // --copies N and --duplicate: the later one on the line wins.
    for (const CLI::Option* option : m_app.parse_order()) {
        if (option == m_copiesOption) {
            m_shared.copies = m_copies;
        } else if (option == m_duplicateOption) {
            m_shared.copies = 2;
        }
    }
    std::tie(m_shared.floodCount, m_shared.floodMs) = m_flood;
    const auto first = ParseIpv4Text(m_shared.firstIp);
    if (!first) {
        throw ConfigError("bad --first-ip " + m_shared.firstIp);
    }
    SimOptions options = m_options;
    Allocator alloc(*first);
    if (!m_configPath.empty()) {
        LoadConfigFile(m_configPath, m_shared, alloc, options.modules);
    }
    const std::array<Model, 3> models = {Model::P6, Model::P7, Model::Old};
    for (std::size_t k = 0; k < models.size(); ++k) {
        for (int n = 0; n < m_counts[k]; ++n) {
            options.modules.push_back(MakeModule(models[k], m_shared, alloc));
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
        return {CommandLine().parse(args), {}};
    } catch (const ConfigError& e) {
        return {{}, e.what()};
    }
}

std::string UsageText() {
    return CommandLine().help();
}

} // namespace r2::sim
