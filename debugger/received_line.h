#pragma once
// What the receive pane shows of a received chunk (a datagram, or what one read of a TCP
// connection brought): one line, however long the chunk, so that no peer, however long its
// data without a line break, can grow the window's memory or stall its thread. A line shows
// at most ReceivedShownBytes of its chunk and says how many bytes it leaves out.

#include <cstdint>
#include <QByteArray>
#include <QString>

namespace r2 {

inline constexpr qsizetype ReceivedShownBytes = 256;

// The line of one chunk: "stamp  address:port  [size]  data", the data as text (GBK, control
// characters written as escapes so a line end neither breaks the line nor hides) or as hex
// bytes separated by spaces, cut after ReceivedShownBytes with `moreBytes` (a text with
// %1 for the count left out, "… (%1 more bytes)") after it.
QString ReceivedLine(const QString& stamp, const QString& address, std::uint16_t port,
                     const QByteArray& bytes, bool hex, const QString& moreBytes);

} // namespace r2
