#pragma once
// One simulated R2 module: its identity, its parameter blocks and how it answers a frame.
//
// Contract:
// - The answer functions never touch the network. They take one received datagram and the
//   local port it arrived on, apply accepted writes and factory resets to the module's
//   blocks, and return what to send back and from which local port.
// - A module takes a command frame only when the frame names its MAC (the caller routes by
//   FrameMac) and only on the port its model listens on for that command: a P6 (and an old
//   module) takes everything on 1500; a P7 takes the restart on 1500 and its other commands
//   on 1901. Anything else is ignored, as a real module on another port never sees it.
// - Checks run in this order: port, checksum ('E' + the expected sum), raw replies, the
//   credentials ('P'), then the command. Raw replies stand in for the whole answer and
//   change nothing, so a test can make a module send any datagram it likes.
// - A silent module ignores everything.
// - A hostile module (hostileSeed set) spoils every answer it would give, see hostile.h; raw
//   replies stay as configured. A module with a flood asks, with each search reply, for
//   floodCount more datagrams to the searcher within floodMs.

#include "protocol/Unit_Public.h"
#include "tools/r2sim/hostile.h"
#include "tools/r2sim/sim_answer.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace r2::sim {

enum class Model { P6, P7, Old };

// The parameter blocks a module may hold, in the order a read sends them.
enum class BlockId : std::size_t { Base, Port, Cloud, HeartReg, Httpd, ModbusPack, Modbus };
inline constexpr std::size_t BlockCount = 7;
using BlockSet = std::array<std::optional<Bytes>, BlockCount>;

// The names used in configuration files and in the logs.
std::string_view BlockName(BlockId id);
std::optional<BlockId> BlockFromName(std::string_view name);
std::string_view ModelName(Model model);
std::optional<Model> ModelFromName(std::string_view name);

struct ModuleConfig {
    Model model = Model::P6;
    MacBytes mac{};
    std::string ip;
    std::string name;
    unsigned version = 0;
    std::string user{DefaultUserName};
    std::string password{DefaultPassword};
    // Source port of the search reply: 1500 for a P6, 1901 for a P7; anything else makes the
    // search see a module of no known model.
    std::uint16_t searchPort = CfgPortP6;
    bool broadcastReplies = false;
    int delayMs = 0;
    int copies = 1; // every answer datagram is sent this many times
    bool silent = false;
    BlockSet factoryBlocks;
    // Datagrams sent instead of the normal answer, by request kind: "search", "read",
    // "write" (every write command, the P7 write end included), "restart", "reset".
    std::map<std::string, std::vector<Bytes>, std::less<>> rawReplies;
    std::optional<std::uint64_t> hostileSeed;
    // Where the datagrams of "another host" come from; empty: the system's choice of source.
    std::string secondIp;
    int floodCount = 0;
    int floodMs = 0;
};

// The MAC a command frame names, when the frame is long enough to carry one and its length
// byte agrees with its size.
std::optional<MacBytes> FrameMac(const Bytes& frame);
bool IsSearchRequest(const Bytes& frame);
std::string MacBytesToText(const MacBytes& mac);

class SimModule final {
public:
    explicit SimModule(ModuleConfig config);

    const ModuleConfig& config() const { return m_config; }
    const BlockSet& blocks() const { return m_blocks; }
    std::string macText() const { return MacBytesToText(m_config.mac); }

    Answer answerSearch(std::uint16_t localPort);
    Answer answerCommand(const Bytes& frame, std::uint16_t localPort);

private:
    bool listensOn(std::uint8_t command, std::uint16_t localPort) const;
    bool credentialsMatch(const Bytes& frame) const;
    // A frame that passed the port and checksum checks: the login, then the command.
    Answer take(const Bytes& frame, std::uint16_t localPort);
    Answer read(std::uint16_t localPort) const;
    Answer execute(std::uint8_t command, const Bytes& block, std::uint16_t localPort);
    const std::vector<Bytes>* rawFor(std::string_view kind) const;

    ModuleConfig m_config;
    BlockSet m_blocks;
    std::optional<Hostility> m_hostility;
};

} // namespace r2::sim
