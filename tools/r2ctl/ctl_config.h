#pragma once
// backup and restore: a module's panel to a configuration file and back, through the same
// read, checks and save as write. The file itself (format, validation, applying it over a
// panel read from the target, reading and writing it on disk) is protocol/config; here are its
// QString forms and the session.

#include "protocol/config/config_file.h"

#include <optional>
#include <QString>

namespace r2::ctl {

// The configuration in FILE, checked in full; empty with `error` naming the file, the control
// and the value when it is refused.
std::optional<config::ModuleConfig> LoadModuleConfig(const QString& path, QString& error);

// Writes the configuration to FILE whole or not at all (config::SaveModuleConfig). False with
// `error` set when it cannot be written, when the text would not read back (a value the panel
// itself does not take, such as a baud list showing its custom prompt), when FILE has no write
// permission and `force` is not given, or when FILE is a link another user may have planted.
bool SaveModuleConfig(const QString& path, const config::ModuleConfig& config, bool force,
                      QString& error);

} // namespace r2::ctl
