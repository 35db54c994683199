#pragma once
// --password-file: the password is the first line of a small private file. Only a regular file
// is read, and only its first few KiB: a FIFO without a writer, /dev/zero or a huge file would
// otherwise block the run or eat memory. A file other users may read is used, with a warning,
// as ssh warns about a private key others may read.

#include <optional>
#include <QString>

namespace r2::ctl {

// A password file is one line; anything longer is not one.
inline constexpr qint64 MaxPasswordFileBytes = 4096;

struct PasswordFile {
    std::optional<QString> password; // the first line, without its line end
    QString error;                   // set when password is empty: names the file and why
    QString warning;                 // the file is readable by its group or by others
};

PasswordFile ReadPasswordFile(const QString& path);

} // namespace r2::ctl
