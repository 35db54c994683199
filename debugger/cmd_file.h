#pragma once
// The data debugger's command file: one line per row (line n is row n - 1, at most 50 lines
// used), five fields joined by "|": ticked ("true"/"false"), name, command, hex ("true"/
// "false"), delay. GBK text, every line ended by CR LF.
//
// Writing quotes a field that holds "|", a double quote or a control character (a line break,
// a tab): double quotes around it, each inner double quote doubled. Every other field is
// written as it is, so a file of plain rows reads exactly as older files did. Reading takes
// quoted and unquoted fields alike and keeps spaces: a name or command comes back exactly as
// it was saved. Outside quotes a control character other than CR and LF separates fields as
// "|" does, a GBK double-byte character is never split, and a quote that is never closed is
// read as an ordinary character. A line of other than five fields leaves its row cleared.

#include "debugger/cmd_rows.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace r2 {

inline constexpr std::string_view CmdFileName = "DataSelf.txt";

// A field as written: quoted when it must be.
std::string QuoteCmdField(std::string_view field);
// The five fields of a row's line, quoted where needed, in UTF-8.
std::vector<std::string> CmdRowFields(const CmdRow& row);

// The records of a file's bytes, each a list of raw (GBK, unquoted) fields; at most
// `maxRecords` records are read.
std::vector<std::vector<std::string>> SplitCmdRecords(std::string_view gbkBytes,
                                                      std::size_t maxRecords);
// The rows of a file's bytes, line by line (at most 50): a row, or empty where the line leaves
// its row cleared (not five fields, or a field that is not GBK).
std::vector<std::optional<CmdRow>> ParseCmdFile(std::string_view gbkBytes);
// Clears every row, then puts in the parsed ones.
void ApplyCmdFile(CmdRows& rows, std::span<const std::optional<CmdRow>> parsed,
                  std::string_view defaultName);

// The file shown rows are loaded from: the FilePath setting, or DataSelf.txt in the program's
// directory when the setting is empty.
std::filesystem::path CmdFileForShow(const std::string& filePathSetting,
                                     const std::filesystem::path& programDir);
// The file rows are saved to on close: the FilePath setting when that file exists, otherwise
// DataSelf.txt in the program's directory.
std::filesystem::path CmdFileForClose(const std::string& filePathSetting,
                                      const std::filesystem::path& programDir);

enum class CmdFileLoad { Loaded, Missing, Unreadable };
// Missing or Unreadable leave the rows as they were.
CmdFileLoad LoadCmdFile(const std::filesystem::path& path, CmdRows& rows,
                        std::string_view defaultName);
// Writes the 50 rows, one line each as AppendTxtLog writes it, in place of the file (for an
// empty path, nothing). The file is replaced in one step (ReplaceFile): when any part of the
// save fails (a text GBK cannot hold, no descriptor left, a full disk) the old file stays as
// it was. Returns an error message, empty on success.
std::string SaveCmdFile(const std::filesystem::path& path, const CmdRows& rows);

} // namespace r2
