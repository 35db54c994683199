#pragma once
// Which password the commands carry: --password, or the first line of --password-file, or
// R2_PASSWORD, or the default. A password typed on the command line is visible to every user
// of the machine in the process list; the file and the environment are not.

#include "tools/r2ctl/ctl_args.h"

#include <optional>
#include <QString>
#include <QStringList>

namespace r2::ctl {

// Sets options.password from its source; `passwordGiven`: --password was on the line,
// `envPassword`: R2_PASSWORD. Returns the refusal (both --password and --password-file, a file
// that cannot be used), or nothing; a password file others may read adds a warning.
QString ResolvePassword(SharedOptions& options, bool passwordGiven,
                        const std::optional<QString>& envPassword, QStringList& warnings);

} // namespace r2::ctl
