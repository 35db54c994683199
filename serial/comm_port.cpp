#include "serial/comm_port.h"

#include <array>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace r2 {
namespace {

// Zero when the rate has no B constant.
speed_t standardSpeed(std::uint32_t rate) {
    static constexpr std::array<std::pair<std::uint32_t, speed_t>, 30> speeds{{
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    }};
    for (const auto& [bps, speed] : speeds) {
        if (bps == rate) {
            return speed;
        }
    }
    return 0;
}

tcflag_t dataBits(TByteSize size) {
    switch (size) {
    case TByteSize::_5:
        return CS5;
    case TByteSize::_6:
        return CS6;
    case TByteSize::_7:
        return CS7;
    case TByteSize::_8:
        break;
    }
    return CS8;
}

tcflag_t parityFlags(TParity parity) {
    switch (parity) {
    case TParity::None:
        break;
    case TParity::Odd:
        return PARENB | PARODD;
    case TParity::Even:
        return PARENB;
    case TParity::Mark:
        return PARENB | CMSPAR | PARODD;
    case TParity::Space:
        return PARENB | CMSPAR;
    }
    return 0;
}

void setModemLine(int fd, int line, bool on) {
    // A pseudo-terminal has no modem lines and answers ENOTTY or EINVAL: nothing to do then.
    ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

} // namespace

std::string portDevicePath(const QString& commName) {
    const std::string name = commName.toStdString();
    return commName.startsWith(QLatin1Char('/')) ? name : "/dev/" + name;
}

PortOpenResult openPortDevice(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return {-1, PortOpenError::CannotOpen};
    }
    // ComHandle 0 means "closed": a process started with stdin closed must not get port 0.
    if (fd == 0) {
        const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
        close(fd);
        if (moved < 0) {
            return {-1, PortOpenError::CannotOpen};
        }
        fd = moved;
    }
    if (!isatty(fd)) {
        close(fd);
        return {-1, PortOpenError::NotTerminal};
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        close(fd);
        return {-1, PortOpenError::CannotOpen};
    }
    tcflush(fd, TCIOFLUSH);
    return {fd, PortOpenError::None};
}

void closePortDevice(int fd) {
    // The exclusive flag belongs to the terminal, not to our descriptor, and a pseudo-terminal
    // keeps it after our close while its master lives: clear it, or our own next open fails.
    ioctl(fd, TIOCNXCL);
    close(fd);
}

void fillTermios(termios& t, const CommLineSettings& s) {
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | dataBits(s.ByteSize) | parityFlags(s.Parity);
    // Linux has no 1.5 stop bits of its own: CSTOPB gives 1.5 with 5 data bits, 2 otherwise.
    if (s.StopBits != TStopBits::_1) {
        t.c_cflag |= CSTOPB;
    }
    if (s.Outx_CtsFlow || s.RtsControl == TRtsControl::RtsHandshake) {
        t.c_cflag |= CRTSCTS;
    }
    t.c_iflag &= ~static_cast<tcflag_t>(INPCK | IGNPAR | PARMRK | IXON | IXOFF | IXANY);
    if (s.ParityCheck) {
        t.c_iflag |= INPCK;
    }
    if (s.Outx_XonXoffFlow) {
        t.c_iflag |= IXON;
    }
    if (s.Inx_XonXoffFlow) {
        t.c_iflag |= IXOFF;
    }
    t.c_cc[VSTART] = static_cast<cc_t>(s.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.XoffChar);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    // Rate 0 would hang the line up; the reference platform refuses it, so it changes nothing.
    const speed_t speed = standardSpeed(s.BaudRate);
    if (speed != 0) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    }
}

void applyLineSettings(int fd, const CommLineSettings& s) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        return;
    }
    fillTermios(t, s);
    tcsetattr(fd, TCSANOW, &t);
    if (s.BaudRate != 0 && standardSpeed(s.BaudRate) == 0) {
        setCustomBaudRate(fd, s.BaudRate);
    }
    setModemLine(fd, TIOCM_DTR, s.DtrControl != TDtrControl::DtrDisable);
    setModemLine(fd, TIOCM_RTS, s.RtsControl != TRtsControl::RtsDisable);
}

} // namespace r2
