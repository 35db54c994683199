#include "upgrade/upgrade_packets.h"

#include "protocol/Unit_ProFun.h"
#include "qt_bridge/qt_bridge.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace r2::upgrade {

namespace {

constexpr int OpOffset = 0;
constexpr int HtypeOffset = 1;
constexpr int HlenOffset = 2;
constexpr int HopsOffset = 3;
constexpr int FlagsOffset = 10;
constexpr int YiaddrOffset = 16;
constexpr int SiaddrOffset = 20;
constexpr int MismatchFlagOffset = 26;
constexpr int ChaddrOffset = 28;
constexpr int IdentityOffset = 44;
constexpr int FileOffset = 108;

constexpr int ReadNameOffset = 2;
constexpr int ReadModeOffset = 15;

std::uint8_t At(const QByteArray& bytes, int offset) {
    return static_cast<std::uint8_t>(bytes[offset]);
}

bool HasText(const QByteArray& bytes, int offset, const char* text) {
    const auto length = static_cast<qsizetype>(std::strlen(text));
    return bytes.size() >= offset + length && bytes.mid(offset, length) == QByteArray(text);
}

void Put(QByteArray& bytes, int offset, const Ipv4Bytes& value) {
    for (std::size_t i = 0; i < value.size(); ++i) {
        bytes[offset + static_cast<int>(i)] = static_cast<char>(value[i]);
    }
}

} // namespace

std::optional<QByteArray> WakeUpPacket(const QString& mac) {
    std::array<std::uint8_t, 6> macBytes{};
    if (!MacTextToBytes(mac.toStdString(), macBytes)) {
        return std::nullopt;
    }
    QByteArray packet(6, static_cast<char>(0xAA));
    for (int copy = 0; copy < 4; ++copy) {
        packet.append(ByteArrayOf(macBytes));
    }
    return packet;
}

std::optional<Ipv4Bytes> DottedBytes(const QString& ip) {
    Ipv4Bytes reversed{};
    if (!TextToRevIP(ip.toStdString(), reversed)) {
        return std::nullopt;
    }
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

bool IsBootRequest(const QByteArray& datagram) {
    return datagram.size() == BootPacketLength && At(datagram, OpOffset) == 1 &&
           At(datagram, HtypeOffset) == 1 && At(datagram, HlenOffset) == 6 &&
           At(datagram, HopsOffset) == 0 && At(datagram, FlagsOffset) == 0 &&
           At(datagram, FlagsOffset + 1) == 0;
}

Identity AnnouncedIdentity(const QByteArray& request) {
    Identity identity{};
    for (int i = 0; i < IdentityLength; ++i) {
        identity[static_cast<std::size_t>(i)] = At(request, IdentityOffset + i);
    }
    return identity;
}

bool RequestFromMac(const QByteArray& request, const QString& mac) {
    std::array<std::uint8_t, 6> macBytes{};
    if (request.size() < ChaddrOffset + static_cast<int>(macBytes.size()) ||
        !MacTextToBytes(mac.toStdString(), macBytes)) {
        return false;
    }
    return std::equal(macBytes.begin(), macBytes.end(), request.begin() + ChaddrOffset,
                      [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
}

bool AsksForMismatchReport(const QByteArray& request) {
    return At(request, MismatchFlagOffset) != 0;
}

QByteArray BootReply(QByteArray request, const Ipv4Bytes& yiaddr, const Ipv4Bytes& siaddr) {
    request[OpOffset] = 2;
    Put(request, YiaddrOffset, yiaddr);
    Put(request, SiaddrOffset, siaddr);
    request.replace(FileOffset, static_cast<qsizetype>(std::strlen(ImageName)), ImageName);
    return request;
}

bool IsReadRequest(const QByteArray& datagram) {
    return datagram.size() == ReadRequestLength && At(datagram, 0) == 0 && At(datagram, 1) == 1 &&
           HasText(datagram, ReadNameOffset, ImageName) &&
           HasText(datagram, ReadModeOffset, TransferMode);
}

std::optional<int> AcknowledgedBlock(const QByteArray& datagram) {
    if (datagram.size() != AckLength || At(datagram, 0) != 0 || At(datagram, 1) != 4) {
        return std::nullopt;
    }
    return At(datagram, 2) * 256 + At(datagram, 3);
}

std::optional<ModuleError> ErrorPacket(const QByteArray& datagram) {
    constexpr int TextOffset = 4;
    if (datagram.size() < TextOffset || At(datagram, 0) != 0 || At(datagram, 1) != 5) {
        return std::nullopt;
    }
    ModuleError error{At(datagram, 2) * 256 + At(datagram, 3), {}};
    for (int i = TextOffset; i < datagram.size() && datagram[i] != 0; ++i) {
        const char c = datagram[i];
        error.text.append(c >= ' ' && c <= '~' ? QLatin1Char(c) : QLatin1Char('?'));
    }
    return error;
}

BlockPlan PlanBlock(qint64 fileSize, int n) {
    BlockPlan plan;
    plan.position = qint64{n - 1} * BlockSize + IdentityLength;
    const qint64 left = std::max<qint64>(0, fileSize - plan.position);
    plan.length = static_cast<int>(std::min<qint64>(BlockSize, left));
    plan.final = plan.length < BlockSize;
    return plan;
}

int ProgressPercent(qint64 fileSize, int n) {
    const qint64 wholeBlocks = fileSize / BlockSize;
    if (wholeBlocks <= 0) {
        return 100;
    }
    return static_cast<int>(
        std::lround(static_cast<double>(n) / static_cast<double>(wholeBlocks) * 100.0));
}

QByteArray DataBlock(int n, const QByteArray& payload) {
    QByteArray block;
    block.reserve(DataHeadLength + payload.size());
    block.append(char{0});
    block.append(char{3});
    block.append(static_cast<char>((n >> 8) & 0xFF));
    block.append(static_cast<char>(n & 0xFF));
    block.append(payload);
    return block;
}

} // namespace r2::upgrade
