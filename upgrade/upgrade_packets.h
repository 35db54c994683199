#pragma once
// The datagrams of a firmware upgrade, as free functions: the wake-up packet that sends a module
// into its boot loader, the checks of its boot request (a BOOTP layout) and our boot reply, its
// TFTP-style read request, the data blocks we serve, its acknowledgements, and the arithmetic of
// blocks and progress over the image file.
//
// The image file's bytes 0-3 are the hardware identity it was built for; they are never sent.
// The payload is the rest, served as numbered 512-byte blocks from file offset 4; a block shorter
// than 512 bytes (possibly empty) is the final one.

#include <array>
#include <cstdint>
#include <optional>
#include <QByteArray>
#include <QString>

namespace r2::upgrade {

inline constexpr quint16 WakeUpPort = 9;
inline constexpr quint16 BootServerPort = 67;
inline constexpr quint16 BootClientPort = 68;
inline constexpr quint16 ReadRequestPort = 69;
inline constexpr quint16 TransferPort = 40300;
inline constexpr quint16 ModuleTransferPort = 13633;
inline constexpr const char* BroadcastIp = "255.255.255.255";
inline constexpr const char* ImageName = "firmware.bin";
inline constexpr const char* TransferMode = "octet";

inline constexpr int BlockSize = 512;
inline constexpr int IdentityLength = 4;
inline constexpr int WakeUpLength = 30;
inline constexpr int BootPacketLength = 300;
inline constexpr int ReadRequestLength = 21;
inline constexpr int AckLength = 4;
inline constexpr int DataHeadLength = 4;
// Block numbers are 16 bits on the wire. The final block of the largest image we serve is
// block 65535, so its payload holds at most 65534 whole blocks and a partial one.
inline constexpr int LastBlockNumber = 65535;
inline constexpr qint64 LargestImage = qint64{LastBlockNumber} * BlockSize + IdentityLength - 1;

using Identity = std::array<std::uint8_t, IdentityLength>;
using Ipv4Bytes = std::array<std::uint8_t, 4>;

// Six 0xAA bytes and the MAC four times; empty when `mac` is not 12 hex digits (spaces aside).
std::optional<QByteArray> WakeUpPacket(const QString& mac);

// Dotted decimal into four bytes, first number first (spaces ignored, each number modulo 256);
// empty unless the text is four dotted numbers.
std::optional<Ipv4Bytes> DottedBytes(const QString& ip);

// A 300-byte boot request with op 1, htype 1, hlen 6, hops 0 and flags 0.
bool IsBootRequest(const QByteArray& datagram);
// The hardware identity the module announces in its boot request (bytes 44-47).
Identity AnnouncedIdentity(const QByteArray& request);
// Whether the boot request comes from the module with that MAC (its chaddr, bytes 28-33).
bool RequestFromMac(const QByteArray& request, const QString& mac);
// Byte 26 of a boot request: when the identity differs and this is set, the module says it is
// waiting for us, so the user must hear about the mismatch.
bool AsksForMismatchReport(const QByteArray& request);
// The request turned into our reply: op 2, yiaddr, siaddr and "firmware.bin" at the file
// field; every other byte as received.
QByteArray BootReply(QByteArray request, const Ipv4Bytes& yiaddr, const Ipv4Bytes& siaddr);

// A 21-byte read request for "firmware.bin" in mode "octet".
bool IsReadRequest(const QByteArray& datagram);

// The block an acknowledgement names; empty unless it is 4 bytes starting 00 04.
std::optional<int> AcknowledgedBlock(const QByteArray& datagram);

// A TFTP error packet from the module: 00 05, a 16-bit code big-endian, a text up to a zero
// byte (or the datagram's end). Bytes outside printable ASCII in the text become '?', so it can
// be shown as it is.
struct ModuleError {
    int code = 0;
    QString text;
};
std::optional<ModuleError> ErrorPacket(const QByteArray& datagram);

struct BlockPlan {
    qint64 position = 0; // file offset of the block's first byte
    int length = 0;      // 0..512
    bool final = false;  // shorter than a whole block: nothing follows it
};
// Where block `n` (1 for the first) of a file of `fileSize` bytes lies.
BlockPlan PlanBlock(qint64 fileSize, int n);
// The progress shown after sending whole block `n`: n / floor(size / 512) * 100, rounded to
// the nearest whole number (halves up).
int ProgressPercent(qint64 fileSize, int n);
// The data block as sent: 00 03, the low 16 bits of `n` big-endian, the payload.
QByteArray DataBlock(int n, const QByteArray& payload);

} // namespace r2::upgrade
