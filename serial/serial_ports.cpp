#include "serial/serial_ports.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <tuple>

namespace r2 {
namespace {

// A port of the serial core (serial8250 registers several whether or not a UART answers) whose
// "type" reads 0, PORT_UNKNOWN: no UART was found behind it. The driver's name cannot decide
// this, since newer kernels put a "port" device of the serial-base bus between the terminal and
// serial8250. Terminals of other drivers (USB adapters, ...) have no "type" and are kept.
bool hasNoUart(const QString& ttyDir) {
    QFile type(ttyDir + QStringLiteral("/type"));
    if (!type.open(QIODevice::ReadOnly)) {
        return false;
    }
    bool ok = false;
    const int value = type.readAll().trimmed().toInt(&ok);
    return ok && value == 0;
}

// ttyS2 before ttyS10: the trailing number counts as a number.
bool naturalLess(const QString& a, const QString& b) {
    const auto split = [](const QString& s) {
        qsizetype digits = s.size();
        while (digits > 0 && s.at(digits - 1).isDigit()) {
            --digits;
        }
        const QString number = s.mid(digits);
        return std::make_tuple(s.left(digits), number.size(), number);
    };
    return split(a) < split(b);
}

} // namespace

QStringList ListSerialPortsUnder(const QString& sysClassTty, const QString& dev) {
    QStringList ports;
    const QDir sys(sysClassTty);
    for (const QString& name : sys.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        const QString ttyDir = sys.filePath(name);
        const QString node = dev + QLatin1Char('/') + name;
        if (QFileInfo::exists(ttyDir + QStringLiteral("/device")) && QFileInfo::exists(node) &&
            !hasNoUart(ttyDir)) {
            ports << node;
        }
    }
    const QDir devDir(dev);
    const QStringList usb = devDir.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                                             QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QString& name : usb) {
        ports << dev + QLatin1Char('/') + name;
    }
    std::sort(ports.begin(), ports.end(), naturalLess);
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    return ports;
}

QStringList ListSerialPorts() {
    return ListSerialPortsUnder(QStringLiteral("/sys/class/tty"), QStringLiteral("/dev"));
}

} // namespace r2
