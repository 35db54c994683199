#pragma once
// The module configuration file: one module's panel values as JSON, so that a configuration
// can be saved, kept under version control and loaded into another module.
//
//   {"format": "r2config-module", "version": 1, "model": "P6", "firmware": 4017,
//    "mac": "02 52 32 06 00 01", "time": "2026-12-10T07:54:24Z",
//    "panel": {"cbb_AddrType": 1, "edt_StaticIP": "192.168.0.7", ...}}
//
// The panel holds controls by the names and in the value forms `r2ctl read --json` prints: an
// edit its text (UTF-8), a list its entry index (-1 for none), a baud list the rate it shows,
// a check box true/false. One form more: an edit whose bytes are not GBK text (a module may
// hold any bytes) is written as {"hex": "C4E3..."}, so that every byte goes back as it came.
// A file may name fewer controls than the panel has; only those are applied.
//
// Contract: ReadModuleConfig either returns a configuration whose every value the model's
// panel accepts (each checked through SetControl on a scratch panel) or an error naming the
// file, the control and the value; nothing is ever half read.

#include "protocol/panel_controls.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace r2::config {

inline constexpr std::string_view FormatName = "r2config-module";
inline constexpr int FormatVersion = 1;

enum class Model { P6, P7, P5 };

std::string_view ModelName(Model model);
std::optional<Model> ModelFromName(std::string_view name);
// The device-list flag of a model found on the LAN (P6, P7); empty for other flags.
std::optional<Model> ModelFromFlag(int devFlag);
std::span<const ControlInfo> ControlTable(Model model);

struct ModuleConfig {
    Model model = Model::P6;
    std::uint32_t firmware = 0; // the version the values were read from
    std::string mac;            // MAC text of the module they were read from
    std::string time;           // ISO 8601 UTC, e.g. 2026-12-10T07:54:24Z
    // In the form SetControl takes: edits as the module's bytes (GBK), lists as entry names.
    std::vector<ControlValue> values;

    bool operator==(const ModuleConfig&) const = default;
};

// The value the file holds for `control`; nullptr when it holds none.
const std::string* FileValue(const ModuleConfig& file, std::string_view control);

// The controls of a model's own address and name (what an address plan sets and reads); empty
// where the model has none.
struct AddressControls {
    std::string_view addrType;
    std::string_view staticIp;
    std::string_view mask;
    std::string_view gateway;
    std::string_view dns;
    std::string_view name;
};
const AddressControls& AddressControlsOf(Model model);

// "YYYY-MM-DDTHH:MM:SSZ".
std::string UtcTimeText(std::chrono::system_clock::time_point when);

// The file's text: UTF-8, one control per line, ending with a line feed.
std::string WriteModuleConfig(const ModuleConfig& config);

// A module's file is about 3 KB. A text far larger is not one and is refused before it is
// parsed, so that it cannot take the reader's time or memory.
inline constexpr std::size_t MaxFileBytes = 256 * 1024;

// The refusal of a file over MaxFileBytes, naming it and its size (unknown for a device or a
// pipe, which is only known to hold more).
std::string FileTooLarge(std::string_view fileName, std::optional<std::uintmax_t> size);

struct ReadResult {
    std::optional<ModuleConfig> config;
    std::string error; // set when config is empty; starts with the file's name
};

// Reads and validates the text of `fileName` (the name only labels the messages); a text over
// MaxFileBytes is refused unread.
ReadResult ReadModuleConfig(std::string_view text, std::string_view fileName);

// Empty when the configuration may go to a module of `target`, else why not (naming the file).
std::string CheckTargetModel(const ModuleConfig& config, Model target, std::string_view fileName);

} // namespace r2::config
