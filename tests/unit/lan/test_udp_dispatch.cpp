// The endpoint's reply dispatch, driven through UDPRead without any socket.

#include "lan/Unit_Udp.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace r2 {
namespace {

// Everything the endpoint raised for one datagram, as short texts in order.
struct Recorder {
    std::vector<std::string> events;
    ParamMirror mirror;
    TUdpSvr udp{mirror};

    Recorder() {
        QObject::connect(&udp, &TUdpSvr::OnReceived,
                         [this](const QByteArray& f, const QString&, quint16, quint16,
                                const QString&) { add("received " + std::to_string(f.size())); });
        QObject::connect(&udp, &TUdpSvr::OnStatus, [this](int code, const QString& text) {
            add("status " + std::to_string(code) + " " + text.toStdString());
        });
        QObject::connect(&udp, &TUdpSvr::OnDeviceFound,
                         [this](const QString& ip, const QString& name, int index, int flag,
                                const QString& version, const QString& mac) {
                             add("device " + ip.toStdString() + " " + name.toStdString() + " " +
                                 std::to_string(index) + " " + std::to_string(flag) + " " +
                                 version.toStdString() + " " + mac.toStdString());
                         });
        QObject::connect(
            &udp, &TUdpSvr::OnBaseParams,
            [this](const TBaseParam&, const TarrComParam& ports, int flag, bool serial) {
                add("base " + std::to_string(ports.size()) + " " + std::to_string(flag) + " " +
                    (serial ? "serial" : "lan"));
            });
        QObject::connect(&udp, &TUdpSvr::OnCloudParams,
                         [this](const TarrCloudParam& c, bool serial, int flag) {
                             add("cloud " + std::to_string(c.size()) + " " + std::to_string(flag) +
                                 " " + (serial ? "serial" : "lan"));
                         });
        QObject::connect(&udp, &TUdpSvr::OnHeartReg, [this](const QByteArray& b, bool, int flag) {
            add("heartreg " + std::to_string(b.size()) + " " + std::to_string(flag));
        });
        QObject::connect(&udp, &TUdpSvr::OnHttpd,
                         [this](const QByteArray& url, const QByteArray& head) {
                             add("httpd " + url.toStdString() + "|" + head.toStdString());
                         });
        QObject::connect(&udp, &TUdpSvr::OnModbusParam, [this](const TModbusParam& p, int length) {
            add("modbus " + std::to_string(length) + " tcp=" + std::to_string(p.ModbusTCP));
        });
        QObject::connect(&udp, &TUdpSvr::OnModbusPack, [this](const TModbusPackParam&, int length) {
            add("modbuspack " + std::to_string(length));
        });
    }

    void add(std::string e) { events.push_back(std::move(e)); }

    std::vector<std::string> feed(const QByteArray& bytes, quint16 senderPort, int socketIndex = 0,
                                  const QString& senderIp = QStringLiteral("192.168.0.7")) {
        events.clear();
        LanDatagram d;
        d.bytes = bytes;
        d.senderIp = senderIp;
        d.senderPort = senderPort;
        d.socketIndex = socketIndex;
        udp.UDPRead(d);
        return events;
    }
};

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

QByteArray Zeros(int n) {
    return QByteArray(n, '\0');
}

QByteArray SearchReplyBytes(unsigned version, const char* name = "R2-P6") {
    SearchReply r;
    r.ip = "192.168.0.7";
    r.name = name;
    r.mac = "00 11 22 33 44 55";
    r.version = version;
    const Bytes b = BuildSearchReply(r);
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

struct DispatchCase {
    const char* what;
    QByteArray bytes;
    quint16 senderPort;
    std::vector<std::string> expected; // after the "received n" line

    friend void PrintTo(const DispatchCase& c, std::ostream* os) { *os << c.what; }
};

class Dispatch : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(Dispatch, RaisesExactlyTheseEvents) {
    const DispatchCase& c = GetParam();
    Recorder rec;
    std::vector<std::string> expected{"received " + std::to_string(c.bytes.size())};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(rec.feed(c.bytes, c.senderPort), expected) << c.what;
}

QByteArray HttpdReply() {
    QByteArray r = Zeros(302);
    r[0] = 3;
    r[1] = 'a';
    r[2] = 'b';
    r[3] = 'c';
    r[101] = 2;
    r[102] = 'H';
    r[103] = 'd';
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, Dispatch,
    ::testing::Values(
        DispatchCase{"empty datagram", QByteArray(), 1500, {"status 555555 0"}},
        DispatchCase{"one byte", Hex("01"), 1500, {"modbus 1 tcp=1"}},
        DispatchCase{"check error", Hex("450a"), 1500, {"status 269 0A"}},
        DispatchCase{"check error upper hex", Hex("45ab"), 1500, {"status 269 AB"}},
        DispatchCase{"two bytes not E", Hex("460a"), 1500, {}},
        DispatchCase{"ack K", Hex("ff01034b"), 1500, {"status 275 ACK"}},
        DispatchCase{"ack P", Hex("ff010550"), 1500, {"status 480 UsrName or Password Error"}},
        DispatchCase{"ack E", Hex("ff010545"), 1500, {"status 469 Other Error"}},
        DispatchCase{"ack X", Hex("ff010358"), 1500, {}},
        DispatchCase{"modbus 4 bytes", Hex("02010064"), 1500, {"modbus 4 tcp=2"}},
        DispatchCase{"forty bytes", Zeros(40), 1500, {}},
        DispatchCase{"cloud", Zeros(50), 1500, {"cloud 1 2 lan"}},
        DispatchCase{"heart/reg", Zeros(85), 1500, {"heartreg 85 2"}},
        DispatchCase{"modbus pack", Zeros(87), 1500, {"modbuspack 87"}},
        DispatchCase{"base and port", Zeros(130), 1500, {"base 1 2 lan"}},
        DispatchCase{"base from a P7", Zeros(130), 1901, {"base 1 36 lan"}},
        DispatchCase{"base from another port", Zeros(130), 7000, {"base 1 0 lan"}},
        DispatchCase{"httpd", HttpdReply(), 1500, {"httpd abc|Hd"}},
        DispatchCase{"other series 193", Zeros(193), 1500, {"status 193256 Read R6/L83"}},
        DispatchCase{"other series 256", Zeros(256), 1500, {"status 193256 Read R6/L83"}},
        DispatchCase{"unknown 17", Zeros(17), 1500, {"status 555555 17"}},
        DispatchCase{"unknown 131", Zeros(131), 1500, {"status 555555 131"}},
        DispatchCase{"search reply with a bad header", Zeros(36), 1500, {}},
        DispatchCase{"search v2001 from 1500",
                     SearchReplyBytes(2001),
                     1500,
                     {"device 192.168.0.7 R2-P6 0 0 2001 00 11 22 33 44 55"}},
        DispatchCase{"search v2002 from 1500",
                     SearchReplyBytes(2002),
                     1500,
                     {"device 192.168.0.7 R2-P6 0 2 2002 00 11 22 33 44 55"}},
        DispatchCase{"search v2002 from 1901",
                     SearchReplyBytes(2002),
                     1901,
                     {"device 192.168.0.7 R2-P6 0 36 2002 00 11 22 33 44 55"}},
        DispatchCase{"search v5000 from 7000",
                     SearchReplyBytes(5000),
                     7000,
                     {"device 192.168.0.7 R2-P6 0 0 5000 00 11 22 33 44 55"}}));

TEST(DispatchSearch, ReportsTheSocketIndexAndDecodesTheNameAsGbk) {
    Recorder rec;
    // "模块" in GBK.
    const auto events = rec.feed(SearchReplyBytes(4017, "\xC4\xA3\xBF\xE9"), 1500, 2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], "device 192.168.0.7 \u6a21\u5757 2 2 4017 00 11 22 33 44 55");
}

TEST(DispatchParamReply, StoresTheBlocksInTheMirror) {
    Recorder rec;
    QByteArray reply = Zeros(130);
    reply[0] = 0x11;
    reply[66] = 0x22;
    reply[67] = 0x33;
    reply[129] = 0x44;
    rec.feed(reply, 1500);
    EXPECT_EQ(rec.mirror.base[0], 0x11);
    EXPECT_EQ(rec.mirror.base[66], 0x22);
    EXPECT_EQ(rec.mirror.port[0], 0x33);
    EXPECT_EQ(rec.mirror.port[62], 0x44);
}

// ---- Which module a read takes its blocks from --------------------------------------------

const QString ModuleIp = QStringLiteral("192.168.0.7");
const QString OtherIp = QStringLiteral("192.168.0.8");

// A base and port reply whose first byte tells the blocks apart.
QByteArray BaseReply(char mark) {
    QByteArray r = Zeros(130);
    r[0] = mark;
    return r;
}

struct ReadRecorder : Recorder {
    std::vector<std::string> foreign;
    std::vector<std::string> conflicts;

    ReadRecorder() {
        QObject::connect(&udp, &TUdpSvr::foreignParamReply,
                         [this](const QString& ip, int length, const QString&) {
                             foreign.push_back(ip.toStdString() + " " + std::to_string(length));
                         });
        QObject::connect(&udp, &TUdpSvr::readConflict,
                         [this](const QString& text) { conflicts.push_back(text.toStdString()); });
        feed(SearchReplyBytes(4017), 1500, 0, ModuleIp);
        udp.beginRead(ModuleIp);
    }
};

TEST(ReadCheck, TakesParameterRepliesOnlyFromTheModuleBeingRead) {
    ReadRecorder rec;
    EXPECT_EQ(rec.feed(BaseReply(0x11), 1500, 0, OtherIp),
              (std::vector<std::string>{"received 130"}));
    EXPECT_EQ(rec.feed(Zeros(50), 1500, 0, OtherIp), (std::vector<std::string>{"received 50"}));
    EXPECT_EQ(rec.foreign, (std::vector<std::string>{"192.168.0.8 130", "192.168.0.8 50"}));
    EXPECT_EQ(rec.mirror.base[0], 0) << "another module's block reached the mirror";

    EXPECT_EQ(rec.feed(BaseReply(0x22), 1500, 0, ModuleIp),
              (std::vector<std::string>{"received 130", "base 1 2 lan"}));
    EXPECT_EQ(rec.mirror.base[0], 0x22);
    const ReadCheck& check = rec.udp.readCheck();
    EXPECT_EQ(check.foreignReplies, 2);
    ASSERT_EQ(check.replies.size(), 1u);
    EXPECT_EQ(check.replies.at(130), BaseReply(0x22));
    EXPECT_TRUE(check.trustworthy());
    EXPECT_FALSE(rec.udp.saveRefusal("00 11 22 33 44 55"));
}

TEST(ReadCheck, TwoDifferentBaseBlocksFromOneAddressRefuseEverySave) {
    ReadRecorder rec;
    rec.feed(BaseReply(0x22), 1500, 0, ModuleIp);
    rec.feed(BaseReply(0x22), 1500, 0, ModuleIp); // the same module repeating itself
    EXPECT_TRUE(rec.udp.readCheck().trustworthy());
    rec.feed(BaseReply(0x33), 1500, 0, ModuleIp);
    rec.feed(BaseReply(0x44), 1500, 0, ModuleIp);
    const std::string text =
        "several modules answer from 192.168.0.7: give each its own address first";
    EXPECT_EQ(rec.conflicts, std::vector<std::string>{text});
    EXPECT_FALSE(rec.udp.readCheck().trustworthy());
    const auto refusal = rec.udp.saveRefusal("001122334455");
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->text().toStdString(), text);
    EXPECT_EQ(refusal->reason, SaveRefusal::Reason::SeveralModules);
    EXPECT_EQ(refusal->readIp, ModuleIp);

    rec.udp.beginRead(ModuleIp); // the next read starts afresh
    EXPECT_TRUE(rec.udp.readCheck().trustworthy());
    EXPECT_FALSE(rec.udp.saveRefusal("00 11 22 33 44 55"));
}

TEST(ReadCheck, ASaveToAnotherModuleThanTheOneReadIsRefused) {
    ReadRecorder rec;
    SearchReply other;
    other.ip = "192.168.0.8";
    other.mac = "00 11 22 33 44 66";
    other.version = 4017;
    const Bytes b = BuildSearchReply(other);
    rec.feed(QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size())),
             1500, 0, OtherIp);
    EXPECT_EQ(rec.udp.moduleAddress("00:11:22:33:44:66"), OtherIp);
    const auto refusal = rec.udp.saveRefusal("00 11 22 33 44 66");
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->reason, SaveRefusal::Reason::OtherModule);
    EXPECT_EQ(refusal->readIp, ModuleIp);
    EXPECT_EQ(refusal->mac, "00 11 22 33 44 66");
    EXPECT_EQ(refusal->macIp, OtherIp);
    EXPECT_EQ(refusal->text().toStdString(),
              "the parameters held are those of the module at 192.168.0.7, not of "
              "00 11 22 33 44 66 (192.168.0.8): read 00 11 22 33 44 66 before saving it");
    EXPECT_FALSE(rec.udp.saveRefusal("00 11 22 33 44 55"));
}

// A read's own reader: records what the codec hands it, in the signal recorder's words.
struct ReaderRecorder final : ParamReplySink {
    std::vector<std::string> events;

    void OnBaseParams(const TBaseParam&, const TarrComParam& ports, int flag,
                      bool serial) override {
        events.push_back("base " + std::to_string(ports.size()) + " " + std::to_string(flag) + " " +
                         (serial ? "serial" : "lan"));
    }
    void OnCloudParams(const TarrCloudParam& c, bool serial, int flag) override {
        events.push_back("cloud " + std::to_string(c.size()) + " " + std::to_string(flag) + " " +
                         (serial ? "serial" : "lan"));
    }
    void OnHeartReg(ByteView block, bool, int flag) override {
        events.push_back("heartreg " + std::to_string(block.size()) + " " + std::to_string(flag));
    }
    void OnHttpd(const std::string& url, const std::string& header) override {
        events.push_back("httpd " + url + "|" + header);
    }
    void OnModbusParam(const TModbusParam& p, int length) override {
        events.push_back("modbus " + std::to_string(length) +
                         " tcp=" + std::to_string(p.ModbusTCP));
    }
    void OnModbusPack(const TModbusPackParam&, int length) override {
        events.push_back("modbuspack " + std::to_string(length));
    }
};

TEST(ReplyReader, TakesEveryParameterReplyInsteadOfTheSignalsUntilTakenBack) {
    const std::vector<std::pair<QByteArray, std::string>> replies{
        {BaseReply(0x11), "base 1 2 lan"}, {Zeros(50), "cloud 1 2 lan"},
        {Zeros(85), "heartreg 85 2"},      {HttpdReply(), "httpd abc|Hd"},
        {Hex("01"), "modbus 1 tcp=1"},     {Zeros(87), "modbuspack 87"},
    };
    ReadRecorder rec;
    ReaderRecorder reader;
    rec.udp.setReplyReader(&reader);
    std::vector<std::string> expected;
    for (const auto& [bytes, event] : replies) {
        EXPECT_EQ(rec.feed(bytes, 1500, 0, ModuleIp),
                  (std::vector<std::string>{"received " + std::to_string(bytes.size())}))
            << event << " was also raised as a signal";
        expected.push_back(event);
    }
    EXPECT_EQ(reader.events, expected);
    EXPECT_EQ(rec.mirror.base[0], 0x11) << "the mirror is filled whoever takes the reply";

    // Another address's reply during the read reaches neither the reader nor the signals.
    rec.feed(BaseReply(0x22), 1500, 0, OtherIp);
    EXPECT_EQ(reader.events, expected);
    EXPECT_EQ(rec.foreign, std::vector<std::string>{"192.168.0.8 130"});

    rec.udp.setReplyReader(nullptr);
    EXPECT_EQ(rec.feed(Zeros(85), 1500, 0, ModuleIp),
              (std::vector<std::string>{"received 85", "heartreg 85 2"}));
    EXPECT_EQ(reader.events, expected);
}

TEST(ModuleAddress, TheFirstSearchReplyOfAMacWins) {
    Recorder rec;
    rec.feed(SearchReplyBytes(4017), 1500, 0, ModuleIp);
    rec.feed(SearchReplyBytes(4017), 1500, 1, OtherIp);
    EXPECT_EQ(rec.udp.moduleAddress("00 11 22 33 44 55"), ModuleIp);
    EXPECT_EQ(rec.udp.moduleAddress("001122334455"), ModuleIp);
    EXPECT_EQ(rec.udp.moduleAddress("00 11 22 33 44 56"), QString());
}

TEST(StatusFrom, CarriesTheSenderAndTheKernelsArrivalStamp) {
    Recorder rec;
    std::vector<std::string> seen;
    QObject::connect(&rec.udp, &TUdpSvr::statusFrom,
                     [&seen](int code, const QString& text, const QString& ip, qint64 ns) {
                         seen.push_back(std::to_string(code) + " " + text.toStdString() + " " +
                                        ip.toStdString() + " " + std::to_string(ns));
                     });
    LanDatagram d;
    d.bytes = Hex("ff01034b");
    d.senderIp = OtherIp;
    d.arrivalNs = 1234;
    rec.udp.UDPRead(d);
    d.bytes = Hex("450a");
    rec.udp.UDPRead(d);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"275 ACK 192.168.0.8 1234", "269 0A 192.168.0.8 1234"}));
}

TEST(Senders, DropAFrameWhenTheSocketIndexDoesNotExist) {
    ParamMirror mirror;
    TUdpSvr udp(mirror);
    int sent = 0;
    QObject::connect(&udp, &TUdpSvr::OnSent, [&sent] { ++sent; });
    EXPECT_FALSE(udp.SendCmdP6(0, "001122334455", CmdRead, "admin", "tulip"));
    EXPECT_FALSE(udp.SendBlockP7(-1, "001122334455", CmdWriteBase, "admin", "tulip", Bytes(67)));
    EXPECT_EQ(sent, 0);
}

} // namespace
} // namespace r2
