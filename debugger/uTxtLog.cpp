#include "debugger/uTxtLog.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace r2 {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::error_code LastError() {
    return {errno, std::generic_category()};
}

} // namespace

std::mutex& TxtLogLock() {
    static std::mutex lock;
    return lock;
}

std::string TxtLogLine(std::span<const std::string> texts) {
    std::string line;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) {
            line += '|';
        }
        line += texts[i];
    }
    line += "\r\n";
    return line;
}

bool EnsureTxtFile(const std::filesystem::path& path, std::error_code& error) {
    const std::lock_guard guard(TxtLogLock());
    // "a" creates the file when it is missing and never truncates one that exists, so a
    // second thread's append between a check and a create cannot be lost.
    const File file(std::fopen(path.c_str(), "ab"));
    if (!file) {
        error = LastError();
        return false;
    }
    return true;
}

bool AppendTxtLog(const std::filesystem::path& path, std::span<const std::string> texts,
                  std::error_code& error) {
    if (!EnsureTxtFile(path, error)) {
        return false;
    }
    const std::string line = TxtLogLine(texts);
    const std::lock_guard guard(TxtLogLock());
    File file(std::fopen(path.c_str(), "ab"));
    if (!file) {
        error = LastError();
        return false;
    }
    const bool written = std::fwrite(line.data(), 1, line.size(), file.get()) == line.size();
    const std::error_code writeError = written ? std::error_code{} : LastError();
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        error = written ? LastError() : writeError;
        return false;
    }
    return true;
}

} // namespace r2
