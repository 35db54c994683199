// The port list over a fake /sys/class/tty and /dev.

#include "serial/serial_ports.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace r2 {
namespace {

void makeFile(const QString& path, const QByteArray& content = {}) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

TEST(SerialPorts, ListsTerminalsWithADeviceAndUsbNodesOnceInNaturalOrder) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString sys = root.filePath(QStringLiteral("sys/class/tty"));
    const QString dev = root.filePath(QStringLiteral("dev"));
    struct Tty {
        const char* name;
        bool device;      // has a device behind it
        const char* type; // the serial core's "type", null when absent
        bool node;        // has a /dev node
    };
    const Tty ttys[] = {
        {"ttyS0", true, "4\n", true}, // a 16550A
        {"ttyS1", true, "0\n", true}, // serial8250 found no UART
        {"ttyS2", true, "4\n", true},
        {"ttyS10", true, "1\n", true},
        {"tty0", false, nullptr, true}, // a virtual console
        {"ptmx", false, nullptr, true},
        {"ttyUSB0", true, nullptr, true}, // also found by its /dev name
        {"ttyAMA0", true, "83\n", false}, // no node to open
    };
    for (const Tty& t : ttys) {
        const QString dir = sys + QLatin1Char('/') + QLatin1String(t.name);
        QDir().mkpath(dir);
        if (t.device) {
            QDir().mkpath(dir + QStringLiteral("/device"));
        }
        if (t.type != nullptr) {
            makeFile(dir + QStringLiteral("/type"), t.type);
        }
        if (t.node) {
            makeFile(dev + QLatin1Char('/') + QLatin1String(t.name));
        }
    }
    makeFile(dev + QStringLiteral("/ttyACM0"));
    makeFile(dev + QStringLiteral("/ttyUSB10"));
    makeFile(dev + QStringLiteral("/ttyUSB2"));
    makeFile(dev + QStringLiteral("/null"));

    QStringList expected;
    for (const char* name :
         {"ttyACM0", "ttyS0", "ttyS2", "ttyS10", "ttyUSB0", "ttyUSB2", "ttyUSB10"}) {
        expected << dev + QLatin1Char('/') + QLatin1String(name);
    }
    EXPECT_EQ(ListSerialPortsUnder(sys, dev), expected);
}

TEST(SerialPorts, MissingRootsGiveAnEmptyList) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    EXPECT_TRUE(ListSerialPortsUnder(root.filePath(QStringLiteral("no-sys")),
                                     root.filePath(QStringLiteral("no-dev")))
                    .isEmpty());
}

} // namespace
} // namespace r2
