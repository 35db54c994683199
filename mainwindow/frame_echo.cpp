#include "frame_echo.h"

#include "controller_texts.h"
#include "Unit_ProFun.h"
#include "Unit_Public.h"

#include <vector>

namespace r2 {

namespace {

QString HexDump(const QByteArray& frame) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(frame.constData());
    return QString::fromStdString(
        BytesToHexLine(ByteView(data, static_cast<std::size_t>(frame.size()))));
}

QString Endpoint(const QString& ip, quint16 port) {
    return ip + Lit(" : ") + QString::number(port);
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
    lines.push_back({Lit("[ Length : ") + QString::number(frame.size()) + Lit(" ]"), colour});
    lines.push_back({HexDump(frame)});
    return lines;
}

QString SerialHead(std::string_view arrow) {
    return Lit(HexOpen) + Lit(HexPC) + Lit(arrow) + Lit(HexDevice) + Lit(HexClose);
}

} // namespace

void FrameEcho::LanSent(const QByteArray& frame, const QString& destIp, quint16 localPort,
                        quint16 destPort, const QString& localIp) {
    const QString head = Lit(HexOpen) + Endpoint(localIp, localPort) + Lit(HexToDevice) +
                         Endpoint(destIp, destPort) + Lit(HexClose);
    m_output.AddHexBlock(HexEcho(head, PaneColour::Blue, frame, true));
    LogText(m_output, "lang_Hint_Sending", PaneColour::Green);
}

void FrameEcho::LanReceived(const QByteArray& frame, const QString& senderIp, quint16 localPort,
                            quint16 senderPort, const QString& localIp) {
    const QString head = Lit(HexOpen) + Endpoint(localIp, localPort) + Lit(HexFromDevice) +
                         Endpoint(senderIp, senderPort) + Lit(HexClose);
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
