#include "config_store.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <string_view>
#include <sys/stat.h>
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

// A fresh file next to `target`, created by this call alone (O_EXCL), with the mode a new file
// gets under the user's umask, or the target's own mode when it exists.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& created) {
    std::random_device seed;
    std::mt19937 random(seed());
    int fd = -1;
    for (int attempt = 0; attempt < 20 && fd < 0; ++attempt) {
        created = target;
        created += ".tmp" + std::to_string(random() % 1000000);
        fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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

std::string SaveModuleConfig(const std::filesystem::path& path, const ModuleConfig& config) {
    const std::string text = WriteModuleConfig(config);
    if (const ReadResult back = ReadModuleConfig(text, path.string()); !back.config) {
        std::string error = back.error;
        error.append(" (the module holds a value its panel does not take back); the file was not "
                     "written");
        return error;
    }
    const std::filesystem::path target = WriteTarget(path);
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
