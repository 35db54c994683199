#include "serial/pseudo_terminal.h"

#include <array>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace r2 {

PseudoTerminal::PseudoTerminal() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    std::array<char, 128> name{};
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name.data(), name.size()) != 0) {
        if (master >= 0) {
            close(master);
        }
        return;
    }
    // The master stands for a device: it passes bytes as they are, in both directions.
    termios t{};
    if (tcgetattr(master, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
    }
    m_master = master;
    m_path = name.data();
}

PseudoTerminal::~PseudoTerminal() {
    closeMaster();
}

void PseudoTerminal::closeMaster() {
    if (m_master >= 0) {
        close(m_master);
        m_master = -1;
    }
}

} // namespace r2
