#pragma once
// A module configuration file on disk: read and checked in full, or written whole or not at all.
// Shared by r2ctl's backup and restore and the window's panels; the text itself is
// config_file's.
//
// Contract: LoadModuleConfig returns a configuration whose every value its model's panel takes,
// or an error that names the file (and, for a refused value, the control and the value).
// SaveModuleConfig leaves either the old file or the complete new one, never a torn one: the
// text goes to a temporary file in the same directory, reaches the disk, and is renamed over the
// target. A new file is created private (0600: it holds the module's login and cloud
// passwords); an existing file keeps its mode, never widened. A save refuses a file that has no
// write permission (unless told to replace it anyway) and a symbolic link in a directory every
// user may write to (sticky and world-writable, like /tmp), where another user may have
// planted it. Messages are English, as config_file's are.

#include "protocol/config/config_file.h"

#include <filesystem>
#include <optional>
#include <string>

namespace r2::config {

struct LoadResult {
    std::optional<ModuleConfig> config;
    std::string error; // set when config is empty
};

LoadResult LoadModuleConfig(const std::filesystem::path& path);

// Whether a save may replace a file that is there and has no write permission for this user
// (none of its write bits set, or the system says so).
enum class ReplaceReadOnly { Refuse, Replace };

// Whether `path` is a symbolic link in a directory where every user may create names
// (world-writable and sticky, such as /tmp): another user may have planted it to point a write
// elsewhere, so a save refuses it.
bool IsLinkInSharedDirectory(const std::filesystem::path& path);

// Whether an existing file (or the file a link names) has no write permission for this user:
// no write bit at all (which holds for root too), or access(W_OK) refuses it (EACCES).
bool IsWriteProtected(const std::filesystem::path& path);

// Empty on success, else why nothing was written. A configuration whose text would not read
// back (a value the panel itself does not take, such as a baud list showing its custom prompt)
// is refused before the file is touched.
std::string SaveModuleConfig(const std::filesystem::path& path, const ModuleConfig& config,
                             ReplaceReadOnly readOnly = ReplaceReadOnly::Refuse);

} // namespace r2::config
