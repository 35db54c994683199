#pragma once
// The values a write applies (--from FILE.json, then each --set), and their application to a
// panel through the panel's own SetControl, so the LAN and the serial write take the same
// values the same way.

#include "protocol/panel_p5.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p7.h"
#include "tools/r2ctl/ctl_args.h"
#include "tools/r2ctl/ctl_output.h"

#include <optional>
#include <QString>
#include <vector>

namespace r2::ctl {

// The values of FILE.json (an object {"CONTROL": value}) followed by those of --set. Empty,
// with `error` set, when the file cannot be read or holds a value of another type.
std::optional<std::vector<SetValue>> ValuesToSet(const CtlOptions& options, QString& error);

// Applies the values in order; false at the first one its control refuses (`error` names it).
bool ApplyValues(PanelP6& panel, const std::vector<SetValue>& values, QString& error);
bool ApplyValues(PanelP7& panel, const std::vector<SetValue>& values, QString& error);
bool ApplyValues(PanelP5& panel, const std::vector<SetValue>& values, QString& error);

} // namespace r2::ctl
