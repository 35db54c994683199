#pragma once
// What the receive pane is to show, on its way there: one line per received chunk (a datagram,
// or what one read of a TCP connection brought), held within bounds so that no peer, however
// fast or however long its data without a line break, can grow the window's memory or stall
// its thread. A line shows at most ShownBytes of its chunk and says how many bytes it leaves
// out; the backlog holds at most LineLimit lines and CharLimit characters, and a line that
// does not fit is dropped and counted; the pane takes the lines in slices.

#include <cstdint>
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace r2 {

// The line of one chunk: "stamp  address:port  [size]  data", the data as text (GBK, control
// characters written as escapes so a line end neither breaks the line nor hides) or as hex
// bytes separated by spaces, cut after ReceiveBacklog::ShownBytes with `moreBytes` (a text with
// %1 for the count left out, "… (%1 more bytes)") after it.
QString ReceivedLine(const QString& stamp, const QString& address, std::uint16_t port,
                     const QByteArray& bytes, bool hex, const QString& moreBytes);

class ReceiveBacklog final {
public:
    static constexpr qsizetype ShownBytes = 256;
    static constexpr qsizetype LineLimit = 5000;
    static constexpr qsizetype CharLimit = 1 << 20;

    // False, and counted as dropped, when the line does not fit.
    bool Add(QString line);
    // Up to `maxLines` lines, and beyond the first line no more than `maxChars` characters,
    // joined by line breaks; empty when nothing waits.
    QString Take(qsizetype maxLines, qsizetype maxChars);
    void Clear();

    qsizetype PendingLines() const { return m_lines.size(); }
    qsizetype PendingChars() const { return m_chars; }
    long Dropped() const { return m_dropped; }

private:
    QStringList m_lines;
    qsizetype m_chars = 0;
    long m_dropped = 0;
};

} // namespace r2
