// The serial exchange against a module played by the test on the master end of a
// pseudo-terminal: the frames as the module sees them, the replies as the exchange reports
// them, and the order of its steps when there is no port.

#include "block_fixtures.h"
#include "hex_literal.h"
#include "p5_example.h"
#include "protocol/p5_codec.h"
#include "pty_module.h"
#include "serial/Unit_Comm.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>

using namespace r2;
using test::PtyModule;

namespace {

// Generous bounds for a busy machine: an action takes its frames, their pauses and the
// 2000 ms wait; a reply crosses the pty and the port's reader within far less than this.
constexpr int ActionMs = 10000;
constexpr int ReplyMs = 5000;
// Frames of a save are at least 500 ms apart; anything closer than this is one frame.
constexpr int BurstPauseMs = 200;

Bytes B(const QByteArray& a) {
    return Bytes(a.begin(), a.end());
}

QByteArray Q(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

Bytes P6Reply137() {
    Bytes reply = {SerHead, SerReadP6};
    const Bytes basePort = test::BasePortReply();
    reply.insert(reply.end(), basePort.begin(), basePort.end());
    reply.insert(reply.end(), {1, 2, 3, 4, 5});
    return reply;
}

Bytes CloudHeart115() {
    Bytes reply = test::Pattern(SerCloudHeartReplyLen, 0x31);
    test::PutText(reply, 2, "ABCDEFGHIJ0123456789");
    test::PutText(reply, 22, "87654321");
    return reply;
}

// A P6 panel whose every control converts.
PanelP6 SavableP6() {
    PanelP6 p;
    p.edt_StaticIP = "192.168.0.7";
    p.edt_SubnetMask = "255.255.255.0";
    p.edt_GatewayIP = "192.168.0.1";
    p.edtDns = "8.8.8.8";
    p.edt_HTTPServerPort = "80";
    p.edt_LocationURLPort = "1900";
    p.edt_UserMAC = "D8 B0 4C 00 00 01";
    p.edt_ModName = "Serial";
    return p;
}

// A read's own reader: what the exchange hands it, in the journal's words.
struct ReaderLog final : ParamReplySink {
    QStringList lines;

    void OnBaseParams(const TBaseParam&, const TarrComParam& ports, int devFlag,
                      bool fromSerial) override {
        lines << QStringLiteral("base %1 %2 %3").arg(ports.size()).arg(devFlag).arg(fromSerial);
    }
    void OnCloudParams(const TarrCloudParam&, bool fromSerial, int devFlag) override {
        lines << QStringLiteral("cloud %1 %2").arg(devFlag).arg(fromSerial);
    }
    void OnHeartReg(ByteView block, bool fromSerial, int devFlag) override {
        lines << QStringLiteral("heart %1 %2 %3").arg(block.size()).arg(devFlag).arg(fromSerial);
    }
    void OnHttpd(const std::string&, const std::string&) override { lines << "httpd"; }
    void OnModbusParam(const TModbusParam&, int) override { lines << "modbus"; }
    void OnModbusPack(const TModbusPackParam&, int) override { lines << "modbuspack"; }
};

// The exchange's signals in the order they came, with what matters of their arguments.
class Journal final {
public:
    explicit Journal(SerialExchange& x) {
        QObject::connect(&x, &SerialExchange::sessionOpened,
                         [this](bool ok) { add(ok ? "opened" : "open failed"); });
        QObject::connect(&x, &SerialExchange::sessionClosed, [this] { add("closed"); });
        QObject::connect(&x, &SerialExchange::frameSent, [this](const QByteArray& f, bool ok) {
            add(QStringLiteral("sent %1 %2")
                    .arg(QString::fromLatin1(f.toHex(' ')).toUpper(), ok ? "ok" : "failed"));
        });
        QObject::connect(&x, &SerialExchange::chunkReceived, [this](const QByteArray& c) {
            add(QStringLiteral("chunk %1").arg(c.size()));
        });
        QObject::connect(&x, &SerialExchange::saveAccepted, [this] { add("accepted"); });
        QObject::connect(&x, &SerialExchange::p5Reply, [this](const QByteArray& r) {
            add(QStringLiteral("p5 reply %1").arg(r.size()));
        });
        QObject::connect(&x, &SerialExchange::OnBaseParams,
                         [this](const TBaseParam&, const TarrComParam&, int flag, bool serial) {
                             add(QStringLiteral("base %1 %2").arg(flag).arg(serial));
                         });
        QObject::connect(&x, &SerialExchange::OnCloudParams,
                         [this](const TarrCloudParam&, bool serial, int flag) {
                             add(QStringLiteral("cloud %1 %2").arg(flag).arg(serial));
                         });
        QObject::connect(
            &x, &SerialExchange::OnHeartReg,
            [this](const QByteArray& block, bool serial, int flag) {
                add(QStringLiteral("heart %1 %2 %3").arg(block.size()).arg(flag).arg(serial));
            });
        QObject::connect(&x, &SerialExchange::finished, [this] { add("finished"); });
        m_clock.start();
    }

    QStringList lines;
    std::vector<qint64> at; // ms since the journal started, per line

private:
    void add(const QString& line) {
        lines << line;
        at.push_back(m_clock.elapsed());
    }
    QElapsedTimer m_clock;
};

} // namespace

class SerialExchangeTest final : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_pty = std::make_unique<PtyModule>();
        QVERIFY2(!m_pty->slavePath().empty(), m_pty->error().c_str());
        m_port = QString::fromStdString(m_pty->slavePath());
        m_mirror = ParamMirror{};
        m_comm = std::make_unique<TComm>();
        m_exchange = std::make_unique<SerialExchange>(*m_comm, m_mirror);
        m_journal = std::make_unique<Journal>(*m_exchange);
    }

    void cleanup() {
        m_journal.reset();
        m_exchange.reset();
        m_comm.reset();
        m_pty.reset();
    }

    void speedFromText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("speed");
        QTest::newRow("listed") << "115200" << 115200U;
        QTest::newRow("custom") << "250000" << 250000U;
        QTest::newRow("letters") << "abc" << 9600U;
        QTest::newRow("empty") << "" << 9600U;
        QTest::newRow("negative") << "-5" << 9600U;
        QTest::newRow("zero") << "0" << 9600U;
        QTest::newRow("beyond 32 bits") << "4294967296" << 9600U;
        QTest::newRow("hex") << "0x2580" << 9600U;
        QTest::newRow("digits then text") << "9600baud" << 9600U;
    }

    void speedFromText() {
        QFETCH(QString, text);
        QFETCH(uint, speed);
        QCOMPARE(SerialSpeedFromText(text), speed);
    }

    void openUsesTheExchangeSettings() {
        // Whatever the port was left with, an exchange opens it with its own settings.
        CommLineSettings odd;
        odd.Parity = TParity::Even;
        odd.ByteSize = TByteSize::_7;
        odd.Outx_XonXoffFlow = true;
        odd.DtrControl = TDtrControl::DtrDisable;
        m_comm->SetLineSettings(odd);
        m_comm->SetReadTotalTimeoutConstant(100);
        QVERIFY(m_exchange->OpenSerialSession(m_port, "abc"));
        QVERIFY(m_exchange->SerialOpen());
        QVERIFY(m_comm->ComHandle() != 0);
        const CommLineSettings& line = m_comm->LineSettings();
        QCOMPARE(line.BaudRate, 9600U);
        QVERIFY(!line.Outx_CtsFlow && !line.Outx_DsrFlow && !line.TxContinueOnXoff);
        QVERIFY(!line.ParityCheck);
        QVERIFY(line.Parity == TParity::None && line.ByteSize == TByteSize::_8 &&
                line.StopBits == TStopBits::_1);
        QVERIFY(!line.Outx_XonXoffFlow && line.DtrControl == TDtrControl::DtrEnable &&
                line.RtsControl == TRtsControl::RtsEnable);
        QCOMPARE(m_comm->Timeouts().ReadIntervalTimeout, 50U);
        QCOMPARE(m_comm->Timeouts().ReadTotalTimeoutConstant, 0U);
        // A second open of the same port closes it first instead of failing.
        QVERIFY(m_exchange->OpenSerialSession(m_port, "19200"));
        QCOMPARE(m_comm->LineSettings().BaudRate, 19200U);
        m_exchange->CloseSerialSession();
        QCOMPARE(m_comm->ComHandle(), 0U);
        QCOMPARE(m_journal->lines, (QStringList{"opened", "opened", "closed"}));
    }

    void readWithoutAPortLogsItsStepsInOrder_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("error");
        QTest::newRow("none chosen") << ""
                                     << "no serial port chosen";
        QTest::newRow("missing") << "/dev/r2-no-such-port" << CommErrOpen;
    }

    void readWithoutAPortLogsItsStepsInOrder() {
        QFETCH(QString, port);
        QFETCH(QString, error);
        QVERIFY(m_exchange->StartRead(port, "9600", DevFlagP6));
        QVERIFY(m_exchange->isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!m_exchange->isRunning(), ActionMs);
        QCOMPARE(m_journal->lines,
                 (QStringList{"open failed", "sent 55 BD failed", "closed", "finished"}));
        // The close comes after the full wait for replies.
        QVERIFY(m_journal->at[2] - m_journal->at[1] >= SerialReplyWaitMs);
        const SerialOutcome& o = m_exchange->outcome();
        QVERIFY(!o.opened && o.sendFailed);
        QCOMPARE(o.openError, error);
        QCOMPARE(m_comm->ComHandle(), 0U);
    }

    void p6ReadFillsTheMirrorAndSendsTheFollowUp() {
        QVERIFY(m_exchange->StartRead(m_port, "9600", DevFlagP6));
        QTRY_COMPARE_WITH_TIMEOUT(m_pty->received(), test::Hex("55 BD"), ReplyMs);
        QSignalSpy base(m_exchange.get(), &SerialExchange::OnBaseParams);
        m_pty->reply(P6Reply137());
        QTRY_COMPARE_WITH_TIMEOUT(m_pty->received(), test::Hex("55 BD 55 C1"), ReplyMs);
        QCOMPARE(base.size(), 1);
        QCOMPARE(qvariant_cast<TBaseParam>(base[0][0]), test::ModuleBaseParam());
        QCOMPARE(qvariant_cast<TarrComParam>(base[0][1]), TarrComParam{test::ModulePortParam()});
        QCOMPARE(base[0][2].toInt(), DevFlagP6);
        QVERIFY(base[0][3].toBool());
        QCOMPARE(Bytes(m_mirror.base.begin(), m_mirror.base.end()), test::ModuleBaseBlock());
        QCOMPARE(Bytes(m_mirror.port.begin(), m_mirror.port.end()), test::ModulePortBlock());
        QCOMPARE(m_mirror.SavedBaseFlags, 0xB5);
        QCOMPARE(m_mirror.SavedPortFlags, 0x8B);

        QSignalSpy cloud(m_exchange.get(), &SerialExchange::OnCloudParams);
        QSignalSpy heart(m_exchange.get(), &SerialExchange::OnHeartReg);
        const Bytes follow = CloudHeart115();
        m_pty->reply(follow);
        QTRY_COMPARE_WITH_TIMEOUT(heart.size(), 1, ReplyMs);
        QCOMPARE(cloud.size(), 1);
        QCOMPARE(qvariant_cast<TarrCloudParam>(cloud[0][0]),
                 (TarrCloudParam{{"ABCDEFGHIJ0123456789", "87654321"}}));
        QCOMPARE(B(heart[0][0].toByteArray()), Bytes(follow.begin() + 30, follow.end()));

        QTRY_VERIFY_WITH_TIMEOUT(!m_exchange->isRunning(), ActionMs);
        QCOMPARE(m_journal->lines,
                 (QStringList{"opened", "sent 55 BD ok", "chunk 137", "base 2 1", "sent 55 C1 ok",
                              "chunk 115", "cloud 2 1", "heart 85 2 1", "closed", "finished"}));
        const SerialOutcome& o = m_exchange->outcome();
        QVERIFY(o.opened && !o.sendFailed && o.p6Reply && o.cloudReply && !o.accepted);
    }

    void aReadsRepliesGoToItsReaderInsteadOfTheSignalsUntilTheNextRead() {
        ReaderLog reader;
        QVERIFY(m_exchange->StartRead(m_port, "9600", DevFlagP6, &reader));
        QTRY_COMPARE_WITH_TIMEOUT(m_pty->received(), test::Hex("55 BD"), ReplyMs);
        m_pty->reply(P6Reply137());
        QTRY_COMPARE_WITH_TIMEOUT(m_pty->received(), test::Hex("55 BD 55 C1"), ReplyMs);
        m_pty->reply(CloudHeart115());
        QTRY_COMPARE_WITH_TIMEOUT(reader.lines.size(), 3, ReplyMs);
        QCOMPARE(reader.lines, (QStringList{"base 1 2 1", "cloud 2 1", "heart 85 2 1"}));
        QCOMPARE(Bytes(m_mirror.base.begin(), m_mirror.base.end()), test::ModuleBaseBlock());
        QTRY_VERIFY_WITH_TIMEOUT(!m_exchange->isRunning(), ActionMs);
        QCOMPARE(m_journal->lines,
                 (QStringList{"opened", "sent 55 BD ok", "chunk 137", "sent 55 C1 ok", "chunk 115",
                              "closed", "finished"}));

        // A read given no reader reports through the signals again.
        m_journal->lines.clear();
        QVERIFY(m_exchange->StartRead(m_port, "9600", DevFlagP6));
        QTRY_COMPARE_WITH_TIMEOUT(m_pty->received(), test::Hex("55 BD 55 C1 55 BD"), ReplyMs);
        m_pty->reply(P6Reply137());
        QTRY_VERIFY_WITH_TIMEOUT(m_journal->lines.contains("base 2 1"), ReplyMs);
        QCOMPARE(reader.lines.size(), 3);
        QTRY_VERIFY_WITH_TIMEOUT(!m_exchange->isRunning(), ActionMs);
    }

    void chunksOfOtherLengthsAreEchoedAndIgnored() {
        QVERIFY(m_exchange->StartRead(m_port, "9600", DevFlagP6));
        QTRY_COMPARE_WITH_TIMEOUT(m_pty->received(), test::Hex("55 BD"), ReplyMs);
        QSignalSpy chunks(m_exchange.get(), &SerialExchange::chunkReceived);
        // The P6 reply one byte short, then a single byte that is not 'K'; each is followed by
        // more than the 50 ms that ends a chunk.
        Bytes shortReply = P6Reply137();
        shortReply.pop_back();
        m_pty->reply(shortReply);
        QTRY_COMPARE_WITH_TIMEOUT(chunks.size(), 1, ReplyMs);
        m_pty->reply({0x4E});
        QTRY_COMPARE_WITH_TIMEOUT(chunks.size(), 2, ReplyMs);
        QCOMPARE(chunks[0][0].toByteArray(), Q(shortReply));
        QCOMPARE(chunks[1][0].toByteArray(), QByteArray("\x4E"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_exchange->isRunning(), ActionMs);
        QCOMPARE(m_journal->lines, (QStringList{"opened", "sent 55 BD ok", "chunk 136", "chunk 1",
                                                "closed", "finished"}));
        QCOMPARE(m_pty->received(), test::Hex("55 BD"));
        QCOMPARE(m_mirror, ParamMirror{});
        QCOMPARE(m_exchange->outcome().otherChunks, 2);
    }

    void p6SaveSendsThreeFramesAtLeastHalfASecondApart() {
        m_mirror.base = {0x11, 0x22, 0x33};
        const PanelP6 panel = SavableP6();
        const SerialP6SaveFrames expected = EncodeSerialP6Save(panel, m_mirror);
        QVERIFY(expected.status.ok());

        QCOMPARE(m_exchange->StartSaveP6(m_port, "115200", panel), QString());
        QTRY_COMPARE_WITH_TIMEOUT(m_pty->receivedCount(), std::size_t{70 + 66 + 3}, ActionMs);
        m_pty->reply({SerAccepted});
        QTRY_VERIFY_WITH_TIMEOUT(!m_exchange->isRunning(), ActionMs);

        const auto frames = m_pty->bursts(BurstPauseMs);
        QCOMPARE(frames.size(), std::size_t{3});
        for (std::size_t i = 0; i < frames.size(); ++i) {
            QCOMPARE(frames[i].bytes, expected.frames[i]);
        }
        for (std::size_t i = 1; i < frames.size(); ++i) {
            const auto gap = frames[i].at - frames[i - 1].at;
            QVERIFY2(
                gap >= std::chrono::milliseconds(SerialFrameGapMs),
                qPrintable(
                    QStringLiteral("gap %1 ms before frame %2")
                        .arg(std::chrono::duration_cast<std::chrono::milliseconds>(gap).count())
                        .arg(i)));
        }
        QVERIFY(m_mirror == expected.mirror);
        QVERIFY(m_exchange->outcome().accepted);
        QCOMPARE(m_journal->lines.filter("accepted").size(), 1);
    }

    void p5SaveSendsTheKnownFrame() {
        QSignalSpy defaultId(m_exchange.get(), &SerialExchange::p5DefaultIdApplied);
        QCOMPARE(m_exchange->StartSaveP5(m_port, "9600", test::ExampleP5Panel()), QString());
        QTRY_COMPARE_WITH_TIMEOUT(m_pty->received(), test::ExampleP5Frame(), ReplyMs);
        m_pty->reply({SerAccepted});
        QTRY_VERIFY_WITH_TIMEOUT(!m_exchange->isRunning(), ActionMs);
        QCOMPARE(m_pty->received(), test::ExampleP5Frame());
        QVERIFY(m_exchange->outcome().accepted);
        QCOMPARE(defaultId.size(), 0);
    }

    void aValueThatDoesNotConvertSendsNothing() {
        PanelP6 p6 = SavableP6();
        p6.edt_StaticIP = "10.0.7";
        const QString p6Error = m_exchange->StartSaveP6(m_port, "9600", p6);
        QVERIFY2(p6Error.contains("edt_StaticIP"), qPrintable(p6Error));
        PanelP5 p5 = test::ExampleP5Panel();
        p5.edt_DePort = "82x4";
        const QString p5Error = m_exchange->StartSaveP5(m_port, "9600", p5);
        QVERIFY2(p5Error.contains("edt_DePort"), qPrintable(p5Error));
        QVERIFY(!m_exchange->isRunning());
        QTest::qWait(200);
        QVERIFY(m_journal->lines.isEmpty());
        QCOMPARE(m_comm->ComHandle(), 0U);
        QVERIFY(m_pty->received().empty());
        QCOMPARE(m_mirror, ParamMirror{});
    }

    void p5ReadHandsOnTheReplyAndJudgesIt_data() {
        QTest::addColumn<int>("devFlag");
        QTest::addColumn<bool>("spoil");
        QTest::newRow("P5") << DevFlagP5 << false;
        QTest::newRow("P7") << DevFlagP7 << false;
        QTest::newRow("P5, wrong checksum") << DevFlagP5 << true;
    }

    void p5ReadHandsOnTheReplyAndJudgesIt() {
        QFETCH(int, devFlag);
        QFETCH(bool, spoil);
        QVERIFY(m_exchange->StartRead(m_port, "9600", devFlag));
        QTRY_COMPARE_WITH_TIMEOUT(m_pty->received(), test::Hex("55 BC"), ReplyMs);
        Bytes reply = {SerHead, SerReadP5P7};
        reply.insert(reply.end(), test::ExampleP5Frame().begin() + 2,
                     test::ExampleP5Frame().begin() + 30);
        reply.push_back(0x5A);
        reply.push_back(static_cast<std::uint8_t>(SumBytes(ByteView(reply).subspan(2)) + spoil));
        QSignalSpy replies(m_exchange.get(), &SerialExchange::p5Reply);
        m_pty->reply(reply);
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 1, ReplyMs);
        QCOMPARE(B(replies[0][0].toByteArray()), reply);
        QTRY_VERIFY_WITH_TIMEOUT(!m_exchange->isRunning(), ActionMs);
        QCOMPARE(m_exchange->outcome().p5Reply, !spoil);
        QCOMPARE(m_exchange->outcome().p5ReplyBad, spoil);
        QCOMPARE(m_pty->received(), test::Hex("55 BC"));
    }

    void aSecondActionIsRefusedWhileOneRuns() {
        QVERIFY(m_exchange->StartRead(m_port, "9600", DevFlagP6));
        QVERIFY(!m_exchange->StartRead(m_port, "9600", DevFlagP5));
        QVERIFY(!m_exchange->StartSaveP5(m_port, "9600", test::ExampleP5Panel()).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!m_exchange->isRunning(), ActionMs);
        QCOMPARE(m_pty->received(), test::Hex("55 BD"));
        QCOMPARE(m_journal->lines.filter("opened").size(), 1);
    }

private:
    std::unique_ptr<PtyModule> m_pty;
    QString m_port;
    ParamMirror m_mirror;
    std::unique_ptr<TComm> m_comm;
    std::unique_ptr<SerialExchange> m_exchange;
    std::unique_ptr<Journal> m_journal;
};

QTEST_GUILESS_MAIN(SerialExchangeTest)
#include "test_serial_exchange.moc"
