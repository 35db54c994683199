#pragma once
// Line-at-a-time text files: each call appends one line of "|"-joined texts, ended by CR LF.
// The texts are written as given (the caller encodes them). One process-wide lock serialises
// every create, append and close, so lines written from different threads never interleave.

#include <filesystem>
#include <mutex>
#include <span>
#include <string>
#include <system_error>

namespace r2 {

std::mutex& TxtLogLock();

// The line AppendTxtLog writes for these texts: joined by "|", ended by CR LF.
std::string TxtLogLine(std::span<const std::string> texts);

// Creates an empty file when none exists. False with `error` set when it cannot be created.
bool EnsureTxtFile(const std::filesystem::path& path, std::error_code& error);
// Appends the texts joined by "|" and CR LF (an empty list gives an empty line). False with
// `error` set when the file cannot be created, opened or written; the file is closed either way.
bool AppendTxtLog(const std::filesystem::path& path, std::span<const std::string> texts,
                  std::error_code& error);

} // namespace r2
