#include "protocol/config/config_store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace r2::config {

namespace {

// "cannot read FILE: why" / "cannot write FILE: why".
std::string Cannot(std::string_view verb, const std::filesystem::path& path, int code) {
    std::string message("cannot ");
    message.append(verb).append(" ").append(path.string()).append(": ").append(std::strerror(code));
    return message;
}

// Where a save lands: through a symbolic link to the file it names, so the link stays a link.
std::filesystem::path WriteTarget(const std::filesystem::path& path) {
    std::error_code ignored;
    if (std::filesystem::is_symlink(path, ignored)) {
        const auto resolved = std::filesystem::weakly_canonical(path, ignored);
        if (!ignored) {
            return resolved;
        }
    }
    return path;
}

// A new configuration file is private: it holds passwords.
constexpr mode_t NewFileMode = 0600;

std::string ModeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::filesystem::path DirectoryOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : ".";
}

std::string PlantedLinkRefusal(const std::filesystem::path& path) {
    if (!IsLinkInSharedDirectory(path)) {
        return {};
    }
    return path.string() + " is a symbolic link in " + DirectoryOf(path).string() +
           ", a directory every user may create files in; another user may have put it there, "
           "so it is not followed and nothing was written: give the file it points to, or "
           "another name";
}

// A fresh file next to `target`, created by this call alone (O_EXCL) and private (0600), or
// with the target's own mode when it exists, so that a save never widens who may read it.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& created) {
    std::random_device seed;
    std::mt19937 random(seed());
    int fd = -1;
    for (int attempt = 0; attempt < 20 && fd < 0; ++attempt) {
        created = target;
        created += ".tmp" + std::to_string(random() % 1000000);
        fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, NewFileMode);
        if (fd < 0 && errno != EEXIST) {
            return -1;
        }
    }
    struct stat existing {};
    if (fd >= 0 && ::stat(target.c_str(), &existing) == 0) {
        ::fchmod(fd, existing.st_mode & 07777);
    }
    return fd;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool IsLinkInSharedDirectory(const std::filesystem::path& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
        return false;
    }
    struct stat parent {};
    return ::stat(DirectoryOf(path).c_str(), &parent) == 0 && (parent.st_mode & S_ISVTX) != 0 &&
           (parent.st_mode & S_IWOTH) != 0;
}

bool IsWriteProtected(const std::filesystem::path& path) {
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0) {
        return false;
    }
    // EROFS and the like are left to the write itself, whose message names them.
    return (file.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
           (::access(path.c_str(), W_OK) != 0 && errno == EACCES);
}

LoadResult LoadModuleConfig(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return {std::nullopt, Cannot("read", path, errno)};
    }
    // One byte past the cap tells a file over it, and /dev/zero or a huge file is never read
    // into memory.
    std::string text(MaxFileBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) {
        return {std::nullopt, Cannot("read", path, errno)};
    }
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > MaxFileBytes) {
        std::error_code unknown;
        const bool regular = std::filesystem::is_regular_file(path, unknown);
        const auto size = regular ? std::filesystem::file_size(path, unknown) : 0;
        return {std::nullopt, FileTooLarge(path.string(), regular && !unknown ? std::optional(size)
                                                                              : std::nullopt)};
    }
    ReadResult read = ReadModuleConfig(text, path.string());
    return {std::move(read.config), std::move(read.error)};
}

std::string SaveModuleConfig(const std::filesystem::path& path, const ModuleConfig& config,
                             ReplaceReadOnly readOnly) {
    const std::string text = WriteModuleConfig(config);
    if (const ReadResult back = ReadModuleConfig(text, path.string()); !back.config) {
        std::string error = back.error;
        error.append(" (the module holds a value its panel does not take back); the file was not "
                     "written");
        return error;
    }
    if (std::string planted = PlantedLinkRefusal(path); !planted.empty()) {
        return planted;
    }
    const std::filesystem::path target = WriteTarget(path);
    if (readOnly == ReplaceReadOnly::Refuse && IsWriteProtected(target)) {
        struct stat file {};
        ::stat(target.c_str(), &file);
        return path.string() + " has no write permission (mode " + ModeText(file.st_mode) +
               "), so it was not replaced and nothing was written";
    }
    std::filesystem::path temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0) {
        return Cannot("write", path, errno);
    }
    const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        const int code = written ? errno : writeError;
        ::unlink(temporary.c_str());
        return Cannot("write", path, code);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return Cannot("write", path, code);
    }
    return {};
}

} // namespace r2::config
