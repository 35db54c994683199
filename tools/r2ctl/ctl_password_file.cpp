#include "tools/r2ctl/ctl_password_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <QByteArray>
#include <QFile>
#include <QStringDecoder>
#include <sys/stat.h>
#include <unistd.h>

namespace r2::ctl {

namespace {

// What a file that is no regular file is, for the refusal.
QString KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return QStringLiteral("a directory");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("a FIFO (named pipe)");
    }
    if (S_ISCHR(mode)) {
        return QStringLiteral("a character device");
    }
    if (S_ISBLK(mode)) {
        return QStringLiteral("a block device");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("a socket");
    }
    return QStringLiteral("no regular file");
}

QString NotRegular(const QString& path, mode_t mode) {
    return QStringLiteral("--password-file: \"%1\" is %2, not a regular file; put the password "
                          "on the first line of a file")
        .arg(path, KindOf(mode));
}

QString TooLarge(const QString& path) {
    return QStringLiteral("--password-file: \"%1\" is larger than %2 bytes, too large for a "
                          "password file (the password on its first line)")
        .arg(path)
        .arg(MaxPasswordFileBytes);
}

QString CannotRead(const QString& path, int code) {
    return QStringLiteral("--password-file: cannot read \"%1\" (%2)")
        .arg(path, QString::fromLocal8Bit(std::strerror(code)));
}

class Descriptor final {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Up to `limit` + 1 bytes, so that a file that grew past the limit is seen to.
std::optional<QByteArray> ReadAtMost(int fd, qint64 limit, int& code) {
    QByteArray bytes(static_cast<qsizetype>(limit + 1), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            code = errno;
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

// The first line as text; empty when it is not UTF-8.
std::optional<QString> FirstLine(QByteArray bytes) {
    if (const qsizetype end = bytes.indexOf('\n'); end >= 0) {
        bytes.truncate(end);
    }
    while (bytes.endsWith('\r')) {
        bytes.chop(1);
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString line = utf8.decode(bytes);
    if (utf8.hasError()) {
        return std::nullopt;
    }
    return line;
}

} // namespace

PasswordFile ReadPasswordFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so that opening a FIFO that has no writer returns at once.
    const Descriptor fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat file {};
    if (fd.get() < 0) {
        const int code = errno;
        if (::stat(name.constData(), &file) == 0 && !S_ISREG(file.st_mode)) {
            return {std::nullopt, NotRegular(path, file.st_mode), {}};
        }
        return {std::nullopt, CannotRead(path, code), {}};
    }
    if (::fstat(fd.get(), &file) != 0) {
        return {std::nullopt, CannotRead(path, errno), {}};
    }
    if (!S_ISREG(file.st_mode)) {
        return {std::nullopt, NotRegular(path, file.st_mode), {}};
    }
    if (file.st_size > MaxPasswordFileBytes) {
        return {std::nullopt, TooLarge(path), {}};
    }
    int code = 0;
    const auto bytes = ReadAtMost(fd.get(), MaxPasswordFileBytes, code);
    if (!bytes) {
        return {std::nullopt, CannotRead(path, code), {}};
    }
    if (bytes->size() > MaxPasswordFileBytes) {
        return {std::nullopt, TooLarge(path), {}};
    }
    PasswordFile result{FirstLine(*bytes), {}, {}};
    if (!result.password) {
        result.error =
            QStringLiteral("--password-file: the first line of \"%1\" is not UTF-8 text").arg(path);
        return result;
    }
    if ((file.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        result.warning =
            QStringLiteral("--password-file: \"%1\" can be read by other users (mode %2); keep "
                           "the password private: chmod 600 \"%1\"")
                .arg(path)
                .arg(file.st_mode & 07777, 4, 8, QLatin1Char('0'));
    }
    return result;
}

} // namespace r2::ctl
