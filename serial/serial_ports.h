#pragma once
// The serial ports of this computer, as device paths for TComm::SetCommName.
//
// A port is a terminal under /sys/class/tty that has a "device" (a driver behind it), plus any
// /dev/ttyUSB* and /dev/ttyACM* node. The serial8250 driver registers a few ports whether or
// not a UART answers behind them; those whose "type" reads 0 (PORT_UNKNOWN: no UART found) are
// left out. The list is sorted naturally (ttyS2 before ttyS10) and holds each path once. Only files
// are read: no port is opened, since opening one raises DTR and resets many boards.

#include <QString>
#include <QStringList>

namespace r2 {

QStringList ListSerialPorts();

// The same from other roots, so a test can build a fake tree: `sysClassTty` stands for
// /sys/class/tty and `dev` for /dev; the paths returned begin with `dev`.
QStringList ListSerialPortsUnder(const QString& sysClassTty, const QString& dev);

} // namespace r2
