#pragma once
// What the TComm tests share: a component on a fresh pseudo-terminal, a record of its events,
// and waiting on the event loop with generous limits.

#include "serial/pseudo_terminal.h"
#include "serial/SPComm.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <QByteArray>
#include <string>
#include <vector>

namespace r2 {

using namespace std::chrono_literals;

// Runs the event loop until `done` holds or `limit` has passed; returns done().
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s);
// Runs the event loop for `time`, to see that nothing more arrives.
void settle(std::chrono::milliseconds time);

// The master end of a pseudo-terminal, playing the device.
void writeAll(int fd, const QByteArray& bytes);
// What can be read at once, without waiting.
QByteArray readAvailable(int fd);

// The message OpenPort threw, or "opened".
std::string openResult(TComm& comm);

// Everything a TComm raised, in order.
struct CommRecord {
    explicit CommRecord(TComm& comm);
    QByteArray received() const;
    std::vector<qsizetype> chunkSizes() const;

    std::vector<QByteArray> chunks;
    std::vector<std::string> events; // "data", "error N", "modem N", "hangup", "txempty"
    int txEmpty = 0;
    int hangups = 0;
};

class CommOnPty : public ::testing::Test {
protected:
    void SetUp() override;
    void open();

    PseudoTerminal pty;
    TComm comm;
    CommRecord record{comm};
};

} // namespace r2
