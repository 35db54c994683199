#pragma once
// A module configuration file on disk: read and checked in full, or written whole or not at all.
// Shared by r2ctl's backup and restore and the window's panels; the text itself is
// config_file's.
//
// Contract: LoadModuleConfig returns a configuration whose every value its model's panel takes,
// or an error that names the file (and, for a refused value, the control and the value).
// SaveModuleConfig leaves either the old file or the complete new one, never a torn one: the
// text goes to a temporary file in the same directory, reaches the disk, and is renamed over the
// target. Messages are English, as config_file's are.

#include "config_file.h"

#include <filesystem>
#include <optional>
#include <string>

namespace r2::config {

struct LoadResult {
    std::optional<ModuleConfig> config;
    std::string error; // set when config is empty
};

LoadResult LoadModuleConfig(const std::filesystem::path& path);

// Empty on success, else why nothing was written. A configuration whose text would not read
// back (a value the panel itself does not take, such as a baud list showing its custom prompt)
// is refused before the file is touched.
std::string SaveModuleConfig(const std::filesystem::path& path, const ModuleConfig& config);

} // namespace r2::config
