#include "upgrade/upgrade_packets.h"

#include <gtest/gtest.h>

namespace r2::upgrade {
namespace {

QByteArray Hex(const char* text) {
    return QByteArray::fromHex(text);
}

// A boot request as a boot loader sends it: every field the server must not touch filled with
// a recognisable pattern.
QByteArray BootRequest() {
    QByteArray request(BootPacketLength, '\0');
    for (int i = 0; i < BootPacketLength; ++i) {
        request[i] = static_cast<char>(i * 7 + 1);
    }
    request[0] = 1;
    request[1] = 1;
    request[2] = 6;
    request[3] = 0;
    request[10] = 0;
    request[11] = 0;
    return request;
}

TEST(WakeUp, SixMarkersThenTheMacFourTimes) {
    const auto packet = WakeUpPacket(QStringLiteral("00 11 22 aa BB cc"));
    ASSERT_TRUE(packet.has_value());
    EXPECT_EQ(packet->size(), WakeUpLength);
    EXPECT_EQ(*packet, Hex("AAAAAAAAAAAA"
                           "001122AABBCC001122AABBCC001122AABBCC001122AABBCC"));
    EXPECT_EQ(WakeUpPacket(QStringLiteral("001122AABBCC")), packet);
}

TEST(WakeUp, MacsThatAreNotTwelveHexDigitsAreRefused) {
    for (const char* mac :
         {"00-11-22-33-44-55", "00:11:22:33:44:55", "0011223344", "", "0011223344GG"}) {
        EXPECT_FALSE(WakeUpPacket(QString::fromLatin1(mac)).has_value()) << mac;
    }
}

TEST(Addresses, DottedDecimalFirstNumberFirst) {
    EXPECT_EQ(DottedBytes(QStringLiteral("192.168.0.7")), (Ipv4Bytes{192, 168, 0, 7}));
    EXPECT_EQ(DottedBytes(QStringLiteral(" 10. 1.0 .300")), (Ipv4Bytes{10, 1, 0, 44}));
    EXPECT_FALSE(DottedBytes(QStringLiteral("192.168.0")).has_value());
    EXPECT_FALSE(DottedBytes(QStringLiteral("")).has_value());
}

TEST(BootRequest, EachCheckedFieldMustHoldItsValue) {
    EXPECT_TRUE(IsBootRequest(BootRequest()));
    struct Case {
        const char* name;
        int offset;
        char value;
    };
    for (const Case& c :
         {Case{"op", 0, 2}, Case{"htype", 1, 6}, Case{"hlen", 2, 16}, Case{"hops", 3, 1},
          Case{"flags high", 10, char(0x80)}, Case{"flags low", 11, 1}}) {
        QByteArray request = BootRequest();
        request[c.offset] = c.value;
        EXPECT_FALSE(IsBootRequest(request)) << c.name;
    }
    EXPECT_FALSE(IsBootRequest(BootRequest().left(299)));
    EXPECT_FALSE(IsBootRequest(BootRequest() + '\0'));
}

TEST(BootRequest, IdentityAndMismatchFlag) {
    QByteArray request = BootRequest();
    request.replace(44, 4, Hex("DEADBEEF"));
    request[26] = 0;
    EXPECT_EQ(AnnouncedIdentity(request), (Identity{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_FALSE(AsksForMismatchReport(request));
    request[26] = 1;
    EXPECT_TRUE(AsksForMismatchReport(request));
}

TEST(BootRequest, SenderMacIsTheChaddrField) {
    QByteArray request = BootRequest();
    request.replace(28, 6, Hex("0252320600AB"));
    // MAC as typed, whether it is this request's sender
    struct Case {
        const char* mac;
        bool from;
    };
    for (const Case& c : {Case{"02 52 32 06 00 ab", true}, Case{"0252320600AB", true},
                          Case{"02 52 32 06 00 AC", false}, Case{"AB 00 06 32 52 02", false},
                          Case{"not a mac", false}, Case{"", false}}) {
        EXPECT_EQ(RequestFromMac(request, QString::fromLatin1(c.mac)), c.from) << c.mac;
    }
    EXPECT_FALSE(RequestFromMac(request.left(33), QStringLiteral("0252320600AB")));
}

TEST(BootReply, ChangesOpAddressesAndFileNameOnly) {
    const QByteArray request = BootRequest();
    const QByteArray reply = BootReply(request, {192, 168, 0, 7}, {192, 168, 0, 10});
    ASSERT_EQ(reply.size(), BootPacketLength);
    QByteArray expected = request;
    expected[0] = 2;
    expected.replace(16, 4, Hex("C0A80007"));
    expected.replace(20, 4, Hex("C0A8000A"));
    expected.replace(108, 12, "firmware.bin");
    EXPECT_EQ(reply, expected);
    // No terminator: the byte after the name stays as received.
    EXPECT_EQ(reply[120], request[120]);
}

TEST(ReadRequest, NameModeAndLength) {
    const QByteArray good = Hex("0001") + "firmware.bin" + '\0' + "octet" + '\0';
    ASSERT_EQ(good.size(), ReadRequestLength);
    EXPECT_TRUE(IsReadRequest(good));
    QByteArray otherTerminators = good;
    otherTerminators[14] = 'x';
    otherTerminators[20] = 'y';
    EXPECT_TRUE(IsReadRequest(otherTerminators));
    EXPECT_FALSE(IsReadRequest(Hex("0002") + good.mid(2))); // a write request
    EXPECT_FALSE(IsReadRequest(Hex("0001") + "firmware.BIN" + good.mid(14)));
    EXPECT_FALSE(IsReadRequest(good.left(15) + "OCTET" + '\0'));
    EXPECT_FALSE(IsReadRequest(good.left(15) + "netascii" + '\0'));
    EXPECT_FALSE(IsReadRequest(good + '\0'));
}

TEST(Acknowledgement, BlockNumberBigEndian) {
    EXPECT_EQ(AcknowledgedBlock(Hex("00040001")), 1);
    EXPECT_EQ(AcknowledgedBlock(Hex("0004FFFF")), 65535);
    EXPECT_EQ(AcknowledgedBlock(Hex("00040100")), 256);
    EXPECT_FALSE(AcknowledgedBlock(Hex("00050001")).has_value()); // an error packet
    EXPECT_FALSE(AcknowledgedBlock(Hex("01040001")).has_value());
    EXPECT_FALSE(AcknowledgedBlock(Hex("0004000100")).has_value());
    EXPECT_FALSE(AcknowledgedBlock(Hex("000400")).has_value());
}

TEST(ModuleError, CodeAndTextUpToTheZero) {
    struct Case {
        const char* hex;
        int code;
        const char* text;
    };
    const Case cases[] = {
        {"0005000366756c6c00", 3, "full"},    // "full" and its terminator
        {"00050102666c617368", 258, "flash"}, // no terminator
        {"0005000061006200", 0, "a"},         // the text ends at the first zero
        {"00050007", 7, ""},                  // no text at all
        {"000500010a41ff42", 1, "?A?B"},      // a line break and a byte above ASCII
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hex);
        const auto error = ErrorPacket(Hex(c.hex));
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->code, c.code);
        EXPECT_EQ(error->text, QString::fromLatin1(c.text));
    }
    EXPECT_FALSE(ErrorPacket(Hex("00040001")).has_value()); // an acknowledgement
    EXPECT_FALSE(ErrorPacket(Hex("01050001")).has_value());
    EXPECT_FALSE(ErrorPacket(Hex("000500")).has_value());
}

TEST(DataBlock, HeadThenPayload) {
    EXPECT_EQ(DataBlock(1, {}), Hex("00030001"));
    EXPECT_EQ(DataBlock(258, "ab"), Hex("000301026162"));
    EXPECT_EQ(DataBlock(65535, {}), Hex("0003FFFF"));
}

struct BlockCase {
    const char* name;
    qint64 fileSize;
    int block;
    qint64 position;
    int length;
    bool final;
};

TEST(Blocks, LengthsAndPositions) {
    const BlockCase cases[] = {
        {"4-byte file: one empty final block", 4, 1, 4, 0, true},
        {"one payload byte", 5, 1, 4, 1, true},
        {"one whole block", 516, 1, 4, 512, false},
        {"one whole block: empty final", 516, 2, 516, 0, true},
        {"three whole blocks: third", 4 + 3 * 512, 3, 4 + 2 * 512, 512, false},
        {"three whole blocks: empty fourth", 4 + 3 * 512, 4, 4 + 3 * 512, 0, true},
        {"4+1500: first", 1504, 1, 4, 512, false},
        {"4+1500: second", 1504, 2, 516, 512, false},
        {"4+1500: third, 476 bytes", 1504, 3, 1028, 476, true},
        {"largest image: last block", LargestImage, LastBlockNumber,
         qint64{LastBlockNumber - 1} * 512 + 4, 511, true},
    };
    for (const BlockCase& c : cases) {
        const BlockPlan plan = PlanBlock(c.fileSize, c.block);
        EXPECT_EQ(plan.position, c.position) << c.name;
        EXPECT_EQ(plan.length, c.length) << c.name;
        EXPECT_EQ(plan.final, c.final) << c.name;
    }
}

TEST(Blocks, EveryPayloadByteIsServedOnceAndTheLastBlockIsShort) {
    for (const qint64 size : {qint64{4}, qint64{5}, qint64{515}, qint64{516}, qint64{517},
                              qint64{1504}, qint64{4 + 10 * 512}, LargestImage}) {
        qint64 served = 0;
        int n = 1;
        for (;; ++n) {
            const BlockPlan plan = PlanBlock(size, n);
            ASSERT_EQ(plan.position, 4 + served) << size;
            served += plan.length;
            if (plan.final) {
                break;
            }
        }
        EXPECT_EQ(served, size - 4) << size;
        EXPECT_LE(n, LastBlockNumber) << size;
    }
}

struct PercentCase {
    qint64 fileSize;
    int block;
    int percent;
};

TEST(Progress, BlockOverWholeBlocksOfTheFileRounded) {
    const PercentCase cases[] = {
        {1504, 1, 50},         {1504, 2, 100},            // floor(1504 / 512) = 2
        {4 + 3 * 512, 1, 33},  {4 + 3 * 512, 2, 67},      // 33.3, 66.7
        {4 + 3 * 512, 3, 100}, {516, 1, 100},             // the identity bytes do not count
        {4 + 8 * 512, 1, 13},                             // 12.5: halves go up
        {4 + 200 * 512, 1, 1}, {4 + 200 * 512, 199, 100}, // 99.5
        {4 + 300 * 512, 1, 0},                            // 0.33
    };
    for (const PercentCase& c : cases) {
        EXPECT_EQ(ProgressPercent(c.fileSize, c.block), c.percent)
            << c.fileSize << " block " << c.block;
    }
}

TEST(Limits, LargestImageEndsAtBlock65535) {
    EXPECT_TRUE(PlanBlock(LargestImage, LastBlockNumber).final);
    EXPECT_FALSE(PlanBlock(LargestImage + 1, LastBlockNumber).final);
}

} // namespace
} // namespace r2::upgrade
