#pragma once
// PseudoTerminal: a pseudo-terminal pair whose terminal end a TComm opens by path, while the
// master end plays the device on the other side of the line (tests, benchmarks, simulators).
// A pseudo-terminal has no baud rate and no modem lines; closing the master hangs the terminal
// end up, as unplugging a USB adapter does.

#include <string>

namespace r2 {

class PseudoTerminal final {
public:
    // Opens a pair with a blocking master; valid() tells whether it worked.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool valid() const { return m_master >= 0; }
    int master() const { return m_master; }
    // The terminal end, e.g. "/dev/pts/3".
    const std::string& path() const { return m_path; }
    void closeMaster();

private:
    int m_master = -1;
    std::string m_path;
};

} // namespace r2
