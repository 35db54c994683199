#include "tools/r2sim/serial_module.h"

#include "tools/r2sim/default_blocks.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <utility>

namespace r2::sim {
namespace {

constexpr std::uint8_t SerAccepted = 'K';
constexpr std::uint8_t SerSaveP6Code = SerSaveP6[0];

struct SerialCommand {
    std::uint8_t code;
    std::size_t length;
    std::string_view action;
    bool p6; // a P6 command; the others belong to P5 and P7
};

constexpr std::array<SerialCommand, 7> Commands = {{
    {SerReadP6, 2, "read p6", true},
    {SerReadAck, 2, "follow-up", true},
    {SerWriteBase, 2 + BaseBlockLen + 1, "write base", true},
    {SerWritePort, 2 + PortBlockLen + 1, "write port", true},
    {SerSaveP6Code, 3, "save p6", true},
    {SerReadP5P7, 2, "read p5", false},
    {SerWriteP5, P5FrameLen, "write p5", false},
}};

const SerialCommand* FindCommand(std::uint8_t code) {
    const auto* it = std::find_if(Commands.begin(), Commands.end(),
                                  [code](const SerialCommand& c) { return c.code == code; });
    return it == Commands.end() ? nullptr : it;
}

std::size_t NextHead(const Bytes& buffer, std::size_t from) {
    const auto it =
        std::find(buffer.begin() + static_cast<std::ptrdiff_t>(from), buffer.end(), SerHead);
    return static_cast<std::size_t>(it - buffer.begin());
}

// How many bytes at the front of the buffer can never start a frame; 0 when the front is a
// frame, or may still become one.
std::size_t GarbageLength(const Bytes& buffer) {
    if (buffer.empty()) {
        return 0;
    }
    if (buffer[0] != SerHead) {
        return NextHead(buffer, 0);
    }
    if (buffer.size() < 2) {
        return 0;
    }
    const SerialCommand* command = FindCommand(buffer[1]);
    const bool badSaveTail = command != nullptr && command->code == SerSaveP6Code &&
                             buffer.size() >= 3 && buffer[2] != SerSaveP6[1];
    return command == nullptr || badSaveTail ? NextHead(buffer, 1) : 0;
}

Bytes Cut(Bytes& buffer, std::size_t n) {
    Bytes front(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    return front;
}

std::string Hex2(std::uint8_t b) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

// A write frame: head, command, block, sum of the block. Empty when the sum is wrong, with
// the reason in `error`.
std::optional<Bytes> CheckedBlock(const Bytes& frame, std::string& error) {
    const ByteView block = ByteView(frame).subspan(2, frame.size() - 3);
    const std::uint8_t want = SumBytes(block);
    if (frame.back() != want) {
        error = "check error: sum " + Hex2(frame.back()) + ", expected " + Hex2(want);
        return std::nullopt;
    }
    return Bytes(block.begin(), block.end());
}

void Append(Bytes& to, ByteView bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

} // namespace

std::optional<SerialModel> SerialModelFromName(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const SerialModel m : {SerialModel::P5, SerialModel::P6, SerialModel::P7}) {
        if (lower == SerialModelName(m)) {
            return m;
        }
    }
    return std::nullopt;
}

std::string_view SerialModelName(SerialModel model) {
    switch (model) {
    case SerialModel::P5:
        return "p5";
    case SerialModel::P6:
        return "p6";
    case SerialModel::P7:
        return "p7";
    }
    return "?";
}

SerialState DefaultSerialState() {
    // The identity the first module of "r2sim --p6 1" gets, so both sides look alike.
    const Identity id{
        Model::P6, {0x02, 0x52, 0x32, 0x06, 0x00, 0x01}, "192.168.0.7",
        "P6-0001", std::string(DefaultUserName),         std::string(DefaultPassword)};
    BlockSet blocks = DefaultBlocks(id);
    auto take = [&blocks](BlockId which) {
        return std::move(*blocks[static_cast<std::size_t>(which)]);
    };
    SerialState state;
    state.base = take(BlockId::Base);
    state.port = take(BlockId::Port);
    state.cloud = take(BlockId::Cloud);
    state.heartReg = take(BlockId::HeartReg);
    state.p5 = DefaultP5Params();
    // Neither byte is examined by a tool; non-zero, so a sum that leaves the P5 one out and a
    // decoder that reads the P6 ones as block bytes both show.
    state.p5Extra = 0x01;
    state.p6Tail = {0xE0, 0xE1, 0xE2, 0xE3, 0xE4};
    return state;
}

SerialModule::SerialModule(SerialModel model, SerialState state, SerialBehaviour behaviour)
    : m_model(model), m_state(std::move(state)), m_behaviour(behaviour) {}

std::vector<SerialEvent> SerialModule::feed(ByteView bytes, double nowMs) {
    std::vector<SerialEvent> events = expire(nowMs);
    if (!bytes.empty()) {
        Append(m_buffer, bytes);
        m_lastByteMs = nowMs;
    }
    for (;;) {
        if (const std::size_t garbage = GarbageLength(m_buffer); garbage > 0) {
            events.push_back({Cut(m_buffer, garbage), "garbage", "dropped", {}});
            continue;
        }
        const SerialCommand* command = m_buffer.size() >= 2 ? FindCommand(m_buffer[1]) : nullptr;
        if (command == nullptr || m_buffer.size() < command->length) {
            return events;
        }
        events.push_back(take(Cut(m_buffer, command->length)));
    }
}

std::vector<SerialEvent> SerialModule::expire(double nowMs) {
    std::vector<SerialEvent> events;
    if (!m_buffer.empty() && nowMs - m_lastByteMs >= IncompleteFrameMs) {
        events.push_back({std::move(m_buffer), "garbage", "dropped: incomplete frame", {}});
        m_buffer.clear();
    }
    return events;
}

std::optional<double> SerialModule::deadline() const {
    if (m_buffer.empty()) {
        return std::nullopt;
    }
    return m_lastByteMs + IncompleteFrameMs;
}

SerialEvent SerialModule::take(Bytes frame) {
    const SerialCommand& command = *FindCommand(frame[1]);
    if (m_behaviour.silent) {
        return {std::move(frame), std::string(command.action), "ignored: silent", {}};
    }
    if (command.p6 != (m_model == SerialModel::P6)) {
        return {std::move(frame),
                std::string(command.action),
                command.p6 ? "ignored: a P6 command" : "ignored: a P5/P7 command",
                {}};
    }
    return command.p6 ? takeP6(std::move(frame)) : takeP5(std::move(frame));
}

SerialEvent SerialModule::takeP6(Bytes frame) {
    const std::uint8_t code = frame[1];
    if (code == SerReadP6) {
        Bytes reply{SerHead, SerReadP6};
        Append(reply, m_state.base);
        Append(reply, m_state.port);
        Append(reply, m_state.p6Tail);
        return {std::move(frame), "read p6", "reply", std::move(reply)};
    }
    if (code == SerReadAck) {
        Bytes reply{SerHead, SerReadAck};
        // The device ID and the communication password: what fits between head and block.
        Append(reply,
               ByteView(m_state.cloud).subspan(2, SerCloudHeartReplyLen - 2 - HeartRegBlockLen));
        Append(reply, m_state.heartReg);
        return {std::move(frame), "follow-up", "reply", std::move(reply)};
    }
    if (code == SerWriteBase) {
        return stage(std::move(frame), m_stagedBase, "write base");
    }
    if (code == SerWritePort) {
        return stage(std::move(frame), m_stagedPort, "write port");
    }
    // The save: all that was staged since the last one, or nothing.
    std::optional<Bytes> base = std::exchange(m_stagedBase, std::nullopt);
    std::optional<Bytes> port = std::exchange(m_stagedPort, std::nullopt);
    if (std::exchange(m_saveSpoiled, false)) {
        return {std::move(frame), "save p6", "ignored: a write of this save had a check error", {}};
    }
    const std::string stored = std::string(base ? " base" : "") + (port ? " port" : "");
    if (base) {
        m_state.base = std::move(*base);
    }
    if (port) {
        m_state.port = std::move(*port);
    }
    return {std::move(frame),
            "save p6",
            stored.empty() ? "K, nothing staged" : "K, stored" + stored,
            {SerAccepted}};
}

SerialEvent SerialModule::stage(Bytes frame, std::optional<Bytes>& slot, std::string action) {
    std::string error;
    std::optional<Bytes> block = CheckedBlock(frame, error);
    if (!block) {
        m_saveSpoiled = true;
        return {std::move(frame), std::move(action), error, {}};
    }
    slot = std::move(block);
    return {std::move(frame), std::move(action), "staged", {}};
}

SerialEvent SerialModule::takeP5(Bytes frame) {
    if (frame[1] == SerReadP5P7) {
        Bytes reply{SerHead, SerReadP5P7};
        Append(reply, m_state.p5);
        reply.push_back(m_state.p5Extra);
        const std::uint8_t sum = SumBytes(ByteView(reply).subspan(2));
        reply.push_back(m_behaviour.badChecksum ? static_cast<std::uint8_t>(sum + 1) : sum);
        return {std::move(frame), "read p5",
                m_behaviour.badChecksum ? "reply with a wrong checksum" : "reply",
                std::move(reply)};
    }
    std::string error;
    std::optional<Bytes> params = CheckedBlock(frame, error);
    if (!params) {
        return {std::move(frame), "write p5", error, {}};
    }
    m_state.p5 = std::move(*params);
    return {std::move(frame), "write p5", "K", {SerAccepted}};
}

} // namespace r2::sim
