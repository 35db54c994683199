#pragma once
// The modules r2sim plays on UDP: every default a module gets (MAC, address, name, version,
// login, factory blocks), the shared settings of the command line, and the modules file
// (--config FILE.json).

#include "protocol/Unit_ProFun.h"
#include "tools/r2sim/sim_module.h"

#include <array>
#include <cstdint>
#include <optional>
#include <QJsonObject>
#include <string>
#include <vector>

namespace r2::sim::options {

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

// A module with every default; a module that brings its own address takes none of the
// default ones, so the next module still gets the next free one.
ModuleConfig MakeModule(Model model, const Shared& shared, Allocator& alloc, bool needIp = true);
// The module's factory blocks from its settings, then the blocks `json` (a module of the
// modules file, or nullptr) sets.
void FinishBlocks(ModuleConfig& m, const QJsonObject* json);
// Every module of the modules file at `path`, appended to `out`.
void LoadConfigFile(const std::string& path, const Shared& shared, Allocator& alloc,
                    std::vector<ModuleConfig>& out);
void CheckUniqueMacs(const std::vector<ModuleConfig>& modules);

} // namespace r2::sim::options
