#pragma once
// Replacing a small file in one step: the new contents go to a temporary file in the same
// directory, reach the disk, and are renamed over the old file, so a crash, a full disk or a
// process out of descriptors leaves either the old file or the new one, never a torn or
// missing one. Used for every text file the program writes whole (settings, command rows).

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace r2 {

// Who may read the new file.
enum class NewFileAccess {
    OwnerOnly, // 0600 whatever the old file allowed (the file holds a password)
    AsBefore,  // the old file's permission bits; a new file gets 0666 less the umask
};

// Where a replacement lands: a symbolic link's target, so a link stays a link.
std::filesystem::path ReplacementTarget(const std::filesystem::path& path);

// Replaces the file at ReplacementTarget(path) with `bytes`. Empty on success, else why it
// could not be done ("cannot create a file in DIR: No space left on device"); the old file is
// then untouched and no temporary file is left behind.
std::optional<std::string> ReplaceFile(const std::filesystem::path& path, std::string_view bytes,
                                       NewFileAccess access);

} // namespace r2
