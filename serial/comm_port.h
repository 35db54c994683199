#pragma once
// The termios side of TComm: opening a port device for our sole use, writing its line
// settings, and the few port operations the worker threads need.
//
// Linux has no equivalent for some of the line settings: DSR output flow, DSR sensitivity,
// DTR handshaking, the XON/XOFF limits, "continue after XOFF" and the RTS toggle are accepted
// and stored but change nothing on the port. ParityCheck makes the driver check parity; a byte
// that fails it is read as NUL (Linux replaces it with 0, whatever ReplacedChar says);
// IgnoreNullChar has no termios flag, so the reader drops NUL bytes itself. A pseudo-terminal
// has no baud rate and no modem lines and always keeps 8 data bits without parity: refusals
// of those are ignored, as are refusals of the whole settings write.

#include "serial/SPComm.h"

#include <cstdint>
#include <string>
#include <termios.h>

namespace r2 {

enum class PortOpenError { None, CannotOpen, NotTerminal };

struct PortOpenResult {
    int fd = -1;
    PortOpenError error = PortOpenError::None;
};

// "ttyUSB0" -> "/dev/ttyUSB0", "pts/3" -> "/dev/pts/3"; an absolute path stays as it is.
std::string portDevicePath(const QString& commName);

// Opens the device non-blocking, not as our controlling terminal, for us alone: TIOCEXCL
// keeps other openers out, and an exclusive flock keeps out another TComm running as root
// (the kernel lets root past TIOCEXCL). Both directions are flushed.
PortOpenResult openPortDevice(const std::string& path);
// Gives the exclusive use up and closes the descriptor.
void closePortDevice(int fd);

// The terminal settings for `settings`: raw, CLOCAL|CREAD, VMIN = VTIME = 0, and the standard
// rate when there is a B constant for it (else the speed in `t` is left alone).
void fillTermios(termios& t, const CommLineSettings& settings);
// Writes them to the port, then the custom rate and the DTR and RTS lines.
void applyLineSettings(int fd, const CommLineSettings& settings);

// Rates without a B constant, through termios2/BOTHER (comm_custom_baud.cpp keeps
// <asm/termbits.h> away from <termios.h>). False when the port refused.
bool setCustomBaudRate(int fd, std::uint32_t rate);
// The output rate the port holds, in bits per second; 0 when it cannot tell.
std::uint32_t currentBaudRate(int fd);

} // namespace r2
