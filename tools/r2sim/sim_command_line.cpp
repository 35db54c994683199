#include "tools/r2sim/sim_command_line.h"

#include "protocol/address_text.h"
#include "protocol/Unit_ProFun.h"
#include "tools/r2sim/sim_serial_state_file.h"

namespace r2::sim::options {

namespace {

// The option groups of --help; the modes are told apart by them too.
const std::string ModulesGroup = "Modules";
const std::string SharedGroup = "Shared settings (a module's own settings win)";
const std::string HostileGroup = "Hostile modules (for testing what a tool must withstand)";
const std::string LoggingGroup = "Logging";
const std::string SerialGroup =
    "Serial (one module on a pseudo-terminal, as if its CFG pin were grounded; no network)";
const std::string BootLoaderGroup = "Boot loader (one module's, on UDP; give one r2sim per module)";
const std::string OtherGroup = "Other";

// Options that any mode takes.
bool IsModeFree(const CLI::Option& o) {
    return o.get_group() == LoggingGroup || o.get_group() == OtherGroup;
}

// Options of the modes on UDP: the modules' and the boot loader's.
bool IsLanOption(const CLI::Option& o) {
    return !IsModeFree(o) && o.get_group() != SerialGroup;
}

bool IsBootLoaderOption(const CLI::Option& o) {
    return o.get_group() == BootLoaderGroup;
}

} // namespace

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
    declareModules();
    declareShared();
    declareHostile();
    declareLogging();
    declareSerial();
    declareBootLoader();
    declareBootLoaderFaults();
    declareOther();
}

void CommandLine::declareModules() {
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
}

void CommandLine::declareShared() {
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
}

void CommandLine::declareHostile() {
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
}

void CommandLine::declareLogging() {
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
}

void CommandLine::declareSerial() {
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
}

void CommandLine::declareBootLoader() {
    BootLoaderConfig& boot = m_boot.config;
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
}

// The boot loader's faults, each for a test of what a tool must withstand.
void CommandLine::declareBootLoaderFaults() {
    BootLoaderConfig& boot = m_boot.config;
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
}

void CommandLine::declareOther() {
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
    const bool boot = m_bootLoaderOption->count() > 0;
    if (m_serialModel && boot) {
        throw ConfigError("--bootloader and --serial cannot be combined: r2sim plays either a "
                          "boot loader on UDP or a module on a pseudo-terminal");
    }
    if (boot) {
        return bootLoaderMode();
    }
    if (const std::string bootOption = firstGiven(IsBootLoaderOption); !bootOption.empty()) {
        throw ConfigError(bootOption + " needs --bootloader MAC");
    }
    if (m_serialModel) {
        return serialMode();
    }
    if (const std::string serialOption = firstSerialOption(); !serialOption.empty()) {
        throw ConfigError(serialOption + " needs --serial p5|p6|p7");
    }
    return modules();
}

std::string CommandLine::firstSerialOption() const {
    return firstGiven([this](const CLI::Option& o) {
        return o.get_group() == SerialGroup && &o != m_serialOption;
    });
}

SimOptions CommandLine::bootLoaderMode() {
    if (const std::string serialOption = firstSerialOption(); !serialOption.empty()) {
        throw ConfigError(serialOption + " needs --serial p5|p6|p7, not --bootloader");
    }
    const std::string moduleOption = firstGiven([](const CLI::Option& o) {
        return IsLanOption(o) && !IsBootLoaderOption(o) && o.get_name() != "--silent";
    });
    if (!moduleOption.empty()) {
        throw ConfigError("--bootloader plays one boot loader; " + moduleOption +
                          " is for simulated modules");
    }
    m_boot.config.silent = m_shared.silent;
    m_options.bootLoader = m_boot;
    return m_options;
}

SimOptions CommandLine::serialMode() {
    if (const std::string lanOption = firstGiven(IsLanOption); !lanOption.empty()) {
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

} // namespace r2::sim::options
