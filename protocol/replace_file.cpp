#include "protocol/replace_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace r2 {

namespace {

std::string ErrnoText(std::string_view what) {
    return std::string(what) + ": " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A fresh file beside `target`, made by this call alone (O_EXCL); `created` is its name.
int CreateBeside(const std::filesystem::path& target, mode_t mode, std::string& created) {
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = target.string() + ".tmp" + std::to_string(random() % 1000000);
        const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// The permission bits the new file gets once written; empty: leave those it was created with.
std::optional<mode_t> FinalMode(const std::filesystem::path& target, NewFileAccess access) {
    if (access == NewFileAccess::OwnerOnly) {
        return S_IRUSR | S_IWUSR;
    }
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        return old.st_mode & 07777;
    }
    return std::nullopt;
}

// Makes the rename itself durable. Some file systems refuse fsync on a directory; the file's
// contents are already on disk then, so that is not worth failing the save over.
void SyncDirectory(const std::filesystem::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::filesystem::path ReplacementTarget(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec)) {
        return path;
    }
    auto target = std::filesystem::canonical(path, ec);
    return ec ? path : target;
}

std::optional<std::string> ReplaceFile(const std::filesystem::path& path, std::string_view bytes,
                                       NewFileAccess access) {
    const std::filesystem::path target = ReplacementTarget(path);
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) {
        dir = ".";
    }
    // An owner-only file is created so before a single byte of its contents is in it.
    const mode_t createMode = access == NewFileAccess::OwnerOnly ? S_IRUSR | S_IWUSR : 0666;
    std::string temp;
    const int fd = CreateBeside(target, createMode, temp);
    if (fd < 0) {
        return ErrnoText("cannot create a file in " + dir.string());
    }
    std::optional<std::string> failure;
    const std::optional<mode_t> mode = FinalMode(target, access);
    if (mode && ::fchmod(fd, *mode) != 0) {
        failure = ErrnoText("cannot set the file's permissions");
    } else if (!WriteAll(fd, bytes)) {
        failure = ErrnoText("cannot write the new contents");
    } else if (::fsync(fd) != 0) {
        failure = ErrnoText("cannot flush the new contents to disk");
    }
    if (::close(fd) != 0 && !failure) {
        failure = ErrnoText("cannot close the new file");
    }
    if (!failure && ::rename(temp.c_str(), target.c_str()) != 0) {
        failure = ErrnoText("cannot replace the old file");
    }
    if (failure) {
        ::unlink(temp.c_str());
        return failure;
    }
    SyncDirectory(dir);
    return std::nullopt;
}

} // namespace r2
