// <asm/termbits.h> defines its own struct termios and the same macros as glibc's
// <termios.h>; the two cannot meet in one translation unit, so termios2 lives here alone.
#include <asm/termbits.h>
#include <cstdint>
#include <sys/ioctl.h>

namespace r2 {

bool setCustomBaudRate(int fd, std::uint32_t rate) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return false;
    }
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = rate;
    t.c_ospeed = rate;
    return ioctl(fd, TCSETS2, &t) == 0;
}

std::uint32_t currentBaudRate(int fd) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return 0;
    }
    return t.c_ospeed;
}

} // namespace r2
