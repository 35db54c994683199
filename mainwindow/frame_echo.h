#pragma once
// FrameEcho: every frame the window's endpoint and serial exchange send or receive, echoed in the
// hex pane as one block (a head line naming both ends, the length, the dump), and each send in
// the log.

#include "mainwindow/main_view.h"

#include <QByteArray>
#include <QString>

namespace r2 {

class FrameEcho final {
public:
    explicit FrameEcho(OutputView& output) : m_output(output) {}

    void LanSent(const QByteArray& frame, const QString& destIp, quint16 localPort,
                 quint16 destPort, const QString& localIp);
    void LanReceived(const QByteArray& frame, const QString& senderIp, quint16 localPort,
                     quint16 senderPort, const QString& localIp);
    // `ok` false: the port did not take the frame, which the log says instead of an echo.
    void SerialSent(const QByteArray& frame, bool ok);
    void SerialReceived(const QByteArray& chunk);

private:
    OutputView& m_output;
};

} // namespace r2
