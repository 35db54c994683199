#include "tools/r2ctl/ctl_password.h"

#include "tools/r2ctl/ctl_password_file.h"

namespace r2::ctl {

QString ResolvePassword(SharedOptions& options, bool passwordGiven,
                        const std::optional<QString>& envPassword, QStringList& warnings) {
    if (passwordGiven && !options.passwordFile.isEmpty()) {
        return QStringLiteral("give the password once: --password or --password-file");
    }
    if (!options.passwordFile.isEmpty()) {
        const PasswordFile file = ReadPasswordFile(options.passwordFile);
        if (!file.warning.isEmpty()) {
            warnings << file.warning;
        }
        if (!file.password) {
            return file.error;
        }
        options.password = *file.password;
    } else if (!passwordGiven && envPassword) {
        options.password = *envPassword;
    }
    return {};
}

} // namespace r2::ctl
