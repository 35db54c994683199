#pragma once
// What r2sim's JSON files (the modules file, the serial-state file) share: the file read whole
// and parsed, a string member, and hex bytes.

#include "tools/r2sim/sim_module.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <string>

namespace r2::sim::options {

// The document in `path`; a file that cannot be read or parsed is refused naming it.
QJsonDocument ReadJsonFile(const std::string& path);
std::string Str(const QJsonValue& v);
// A hex string's bytes; `what` names the value in the refusal.
Bytes HexOrThrow(const QJsonValue& v, const std::string& what);

} // namespace r2::sim::options
