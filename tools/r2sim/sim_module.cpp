#include "tools/r2sim/sim_module.h"

#include "protocol/Unit_ProFun.h"

#include <algorithm>
#include <utility>

namespace r2::sim {
namespace {

constexpr std::array<std::string_view, BlockCount> BlockNames = {
    "base", "port", "cloud", "heartReg", "httpd", "modbusPack", "modbus"};

constexpr std::uint8_t ResultAccepted = 'K';
constexpr std::uint8_t ResultBadLogin = 'P';
constexpr std::uint8_t ResultOther = 'E';
constexpr std::uint8_t CheckErrHead = 'E';

constexpr std::size_t MacOffset = 3;
constexpr std::size_t UserOffset = 9;
constexpr std::size_t PasswordOffset = 15;

struct CommandInfo {
    std::uint8_t code;
    std::string_view action;
    std::string_view kind; // key of the raw replies
};

constexpr std::array<CommandInfo, 11> Commands = {{
    {CmdRestart, "restart", "restart"},
    {CmdRead, "read", "read"},
    {CmdWriteEnd, "write end", "write"},
    {CmdWriteBase, "write base", "write"},
    {CmdWritePort, "write port", "write"},
    {CmdFactoryReset, "factory reset", "reset"},
    {CmdWriteCloud, "write cloud", "write"},
    {CmdWriteHeartReg, "write heartReg", "write"},
    {CmdWriteHttpdUrl, "write httpdUrl", "write"},
    {CmdWriteHttpdHead, "write httpdHead", "write"},
    {CmdWriteModbus, "write modbus", "write"},
}};

const CommandInfo* FindCommand(std::uint8_t code) {
    const auto* it = std::find_if(Commands.begin(), Commands.end(),
                                  [code](const CommandInfo& c) { return c.code == code; });
    return it == Commands.end() ? nullptr : it;
}

Bytes Ack(std::uint8_t command, std::uint8_t result) {
    return {AckHead0, AckHead1, command, result};
}

Answer Ignored(std::string action, std::string why) {
    return {std::move(action), "ignored: " + std::move(why), {}};
}

// A single-port block write: the command, the block it replaces and that block's length.
struct PlainWrite {
    std::uint8_t command;
    BlockId block;
    std::size_t length;
};
constexpr std::array<PlainWrite, 4> PlainWrites = {{
    {CmdWriteBase, BlockId::Base, BaseBlockLen},
    {CmdWritePort, BlockId::Port, PortBlockLen},
    {CmdWriteCloud, BlockId::Cloud, CloudBlockLen},
    {CmdWriteHeartReg, BlockId::HeartReg, HeartRegBlockLen},
}};

} // namespace

std::string_view BlockName(BlockId id) {
    return BlockNames[static_cast<std::size_t>(id)];
}

std::optional<BlockId> BlockFromName(std::string_view name) {
    for (std::size_t i = 0; i < BlockCount; ++i) {
        if (BlockNames[i] == name) {
            return static_cast<BlockId>(i);
        }
    }
    return std::nullopt;
}

std::string_view ModelName(Model model) {
    switch (model) {
    case Model::P6:
        return "P6";
    case Model::P7:
        return "P7";
    case Model::Old:
        return "old";
    }
    return "?";
}

std::optional<Model> ModelFromName(std::string_view name) {
    for (const Model m : {Model::P6, Model::P7, Model::Old}) {
        if (ModelName(m) == name) {
            return m;
        }
    }
    return std::nullopt;
}

std::optional<MacBytes> FrameMac(const Bytes& frame) {
    if (frame.size() < CmdFrameOverhead || frame[0] != 0xFF ||
        static_cast<std::size_t>(frame[1]) + 3 != frame.size()) {
        return std::nullopt;
    }
    MacBytes mac{};
    std::copy_n(frame.begin() + MacOffset, MacWidth, mac.begin());
    return mac;
}

bool IsSearchRequest(const Bytes& frame) {
    return frame == BuildSearchRequest();
}

std::string MacBytesToText(const MacBytes& mac) {
    return MacToText(mac);
}

SimModule::SimModule(ModuleConfig config)
    : m_config(std::move(config)), m_blocks(m_config.factoryBlocks) {
    if (m_config.hostileSeed) {
        m_hostility.emplace(*m_config.hostileSeed, m_config.mac);
    }
}

const std::vector<Bytes>* SimModule::rawFor(std::string_view kind) const {
    const auto it = m_config.rawReplies.find(kind);
    return it == m_config.rawReplies.end() ? nullptr : &it->second;
}

Answer SimModule::answerSearch(std::uint16_t localPort) {
    if (m_config.silent) {
        return Ignored("search", "silent");
    }
    if (localPort != CfgPortP6) {
        return Ignored("search", "wrong port");
    }
    Answer answer{"search", "reply", {}};
    if (const auto* raw = rawFor("search")) {
        answer.result = "raw";
        for (const Bytes& b : *raw) {
            answer.replies.push_back({m_config.searchPort, b});
        }
        return answer;
    }
    const Bytes reply = BuildSearchReply({m_config.ip, m_config.name, macText(), m_config.version});
    answer.replies.push_back({m_config.searchPort, reply});
    if (m_hostility) {
        m_hostility->spoilSearch(answer);
    }
    if (m_config.floodCount > 0) {
        answer.flood = m_hostility ? m_hostility->floodMix(reply) : std::vector<Bytes>{reply};
    }
    return answer;
}

bool SimModule::listensOn(std::uint8_t command, std::uint16_t localPort) const {
    if (m_config.model == Model::P7 && command != CmdRestart) {
        return localPort == CfgPortP7;
    }
    return localPort == CfgPortP6;
}

bool SimModule::credentialsMatch(const Bytes& frame) const {
    Bytes expected(CmdFrameOverhead, 0);
    PutCredential(m_config.user, expected, UserOffset);
    PutCredential(m_config.password, expected, PasswordOffset);
    return std::equal(expected.begin() + UserOffset,
                      expected.begin() + PasswordOffset + CredentialWidth,
                      frame.begin() + UserOffset);
}

Answer SimModule::answerCommand(const Bytes& frame, std::uint16_t localPort) {
    if (!FrameMac(frame)) {
        return Ignored("", "not a command frame");
    }
    const CommandInfo* info = FindCommand(frame[2]);
    std::string action =
        info ? std::string(info->action) : "command " + BytesToHexSep(ByteView(&frame[2], 1), "");
    if (m_config.silent) {
        return Ignored(std::move(action), "silent");
    }
    if (!listensOn(frame[2], localPort)) {
        return Ignored(std::move(action), "wrong port");
    }
    const std::uint8_t expectedSum = SumBytes(ByteView(frame).subspan(1, frame.size() - 2));
    if (frame.back() != expectedSum) {
        return {std::move(action), "check error", {{localPort, {CheckErrHead, expectedSum}}}};
    }
    if (const auto* raw = info ? rawFor(info->kind) : nullptr) {
        Answer answer{std::move(action), "raw", {}};
        for (const Bytes& b : *raw) {
            answer.replies.push_back({localPort, b});
        }
        return answer;
    }
    Answer answer = take(frame, localPort);
    if (answer.action.empty()) {
        answer.action = std::move(action);
    }
    if (m_hostility && answer.result == "blocks") {
        m_hostility->spoilRead(answer);
    } else if (m_hostility) {
        m_hostility->spoilAck(answer);
    }
    return answer;
}

Answer SimModule::take(const Bytes& frame, std::uint16_t localPort) {
    if (!credentialsMatch(frame)) {
        return {"", "P", {{localPort, Ack(frame[2], ResultBadLogin)}}};
    }
    const Bytes block(frame.begin() + CmdFrameBlockOffset, frame.end() - 1);
    if (frame[2] == CmdRead) {
        return read(localPort);
    }
    return execute(frame[2], block, localPort);
}

Answer SimModule::read(std::uint16_t localPort) const {
    Answer answer{"read", "blocks", {}};
    const auto& base = m_blocks[static_cast<std::size_t>(BlockId::Base)];
    const auto& port = m_blocks[static_cast<std::size_t>(BlockId::Port)];
    if (base && port) {
        Bytes both = *base;
        both.insert(both.end(), port->begin(), port->end());
        answer.replies.push_back({localPort, std::move(both)});
    }
    for (std::size_t i = static_cast<std::size_t>(BlockId::Cloud); i < BlockCount; ++i) {
        if (m_blocks[i]) {
            answer.replies.push_back({localPort, *m_blocks[i]});
        }
    }
    return answer;
}

// Restarts, resets, or stores an accepted block, and answers 'K'; a block of the wrong
// length, or a command this model does not know, gets 'E' and changes nothing.
Answer SimModule::execute(std::uint8_t command, const Bytes& block, std::uint16_t localPort) {
    auto accept = [&](std::string action) {
        return Answer{std::move(action), "K", {{localPort, Ack(command, ResultAccepted)}}};
    };
    auto reject = [&](std::string why) {
        return Answer{"", "E: " + std::move(why), {{localPort, Ack(command, ResultOther)}}};
    };
    const bool p7 = m_config.model == Model::P7;
    if (command == CmdRestart) {
        return accept("");
    }
    if (command == CmdFactoryReset) {
        m_blocks = m_config.factoryBlocks;
        return accept("");
    }
    if (command == CmdWriteEnd) {
        return p7 && block.empty() ? accept("") : reject("no write end here");
    }
    for (const PlainWrite& w : PlainWrites) {
        if (w.command != command) {
            continue;
        }
        if (p7 && w.block != BlockId::Base && w.block != BlockId::Port) {
            return reject("not a P7 block");
        }
        if (block.size() != w.length) {
            return reject("block length " + std::to_string(block.size()));
        }
        m_blocks[static_cast<std::size_t>(w.block)] = block;
        return accept("");
    }
    if (p7) {
        return reject("not a P7 command");
    }
    if (command == CmdWriteHttpdUrl || command == CmdWriteHttpdHead) {
        const bool url = command == CmdWriteHttpdUrl;
        if (block.size() != (url ? HttpdUrlBlockLen : HttpdHeadBlockLen)) {
            return reject("block length " + std::to_string(block.size()));
        }
        auto& httpd = m_blocks[static_cast<std::size_t>(BlockId::Httpd)];
        if (!httpd) {
            httpd = Bytes(HttpdReplyLen, 0);
        }
        std::copy(block.begin(), block.end(), httpd->begin() + (url ? 0 : HttpdUrlBlockLen));
        return accept("");
    }
    if (command == CmdWriteModbus) {
        if (block.size() == ModbusPackBlockLen) {
            m_blocks[static_cast<std::size_t>(BlockId::ModbusPack)] = block;
            return accept("write modbusPack");
        }
        if (block.size() == ModbusShortLen || block.size() == ModbusSwitchLen) {
            m_blocks[static_cast<std::size_t>(BlockId::Modbus)] = block;
            return accept("write modbus");
        }
        return reject("block length " + std::to_string(block.size()));
    }
    return reject("unknown command");
}

} // namespace r2::sim
