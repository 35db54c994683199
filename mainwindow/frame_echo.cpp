#include "mainwindow/frame_echo.h"

#include "mainwindow/controller_texts.h"
#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"

#include <vector>

namespace r2 {

namespace {

QString HexDump(const QByteArray& frame) {
    return QString::fromStdString(BytesToHexLine(ViewOf(frame)));
}

QString Endpoint(const QString& ip, quint16 port) {
    return ip + Utf8(" : ") + QString::number(port);
}

// The hex pane's echo of one frame: its head line and the length in `colour`, then the dump.
// A LAN datagram's echo starts with an empty line, a serial frame's does not.
std::vector<ColouredLine> HexEcho(const QString& head, PaneColour colour, const QByteArray& frame,
                                  bool lan) {
    std::vector<ColouredLine> lines;
    if (lan) {
        lines.push_back({QString()});
    }
    lines.push_back({head, colour});
    lines.push_back({Utf8("[ Length : ") + QString::number(frame.size()) + Utf8(" ]"), colour});
    lines.push_back({HexDump(frame)});
    return lines;
}

QString SerialHead(std::string_view arrow) {
    return Utf8(HexOpen) + Utf8(HexPC) + Utf8(arrow) + Utf8(HexDevice) + Utf8(HexClose);
}

} // namespace

void FrameEcho::LanSent(const QByteArray& frame, const QString& destIp, quint16 localPort,
                        quint16 destPort, const QString& localIp) {
    const QString head = Utf8(HexOpen) + Endpoint(localIp, localPort) + Utf8(HexToDevice) +
                         Endpoint(destIp, destPort) + Utf8(HexClose);
    m_output.AddHexBlock(HexEcho(head, PaneColour::Blue, frame, true));
    LogText(m_output, "lang_Hint_Sending", PaneColour::Green);
}

void FrameEcho::LanReceived(const QByteArray& frame, const QString& senderIp, quint16 localPort,
                            quint16 senderPort, const QString& localIp) {
    const QString head = Utf8(HexOpen) + Endpoint(localIp, localPort) + Utf8(HexFromDevice) +
                         Endpoint(senderIp, senderPort) + Utf8(HexClose);
    m_output.AddHexBlock(HexEcho(head, PaneColour::Green, frame, true));
}

void FrameEcho::SerialSent(const QByteArray& frame, bool ok) {
    if (!ok) {
        LogText(m_output, "lang_Ts_ComSendFailure", PaneColour::Red);
        return;
    }
    m_output.AddHexBlock(HexEcho(SerialHead(HexToDevice), PaneColour::Blue, frame, false));
    m_output.AddLogLine(Text("lang_ts_Send") + Text("lang_ts_OK"), PaneColour::Green);
}

void FrameEcho::SerialReceived(const QByteArray& chunk) {
    m_output.AddHexBlock(HexEcho(SerialHead(HexFromDevice), PaneColour::Green, chunk, false));
}

} // namespace r2
