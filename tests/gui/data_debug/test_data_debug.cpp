// Tfrm_DataDebug offscreen: the counterpart proposed for each work mode, a UDP send arriving at
// a listener with the row's bytes, and the receive pane showing what an echoing peer answers
// over UDP and over TCP.
#include "cmd_file.h"
#include "panel_p6.h"
#include "Unit_AppLang.h"
#include "Unit_DataDebug.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <QUdpSocket>

namespace r2 {

class TestDataDebug final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    std::unique_ptr<Tfrm_DataDebug> Window(const PanelP6& panel) {
        auto window = std::make_unique<Tfrm_DataDebug>(m_dir.path(), std::string());
        window->FormShow(panel);
        window->show();
        return window;
    }
    template <typename T> static T* Child(QWidget& window, const char* name) {
        auto* child = window.findChild<T*>(QString::fromLatin1(name));
        if (child == nullptr) {
            qFatal("no control %s", name);
        }
        return child;
    }
    static PanelP6 Mode(int mode) {
        PanelP6 panel;
        panel.cbb_WorkMode0.Select(mode);
        panel.edt_RemoteIP0 = "192.168.0.201";
        panel.edt_RemotePort0 = "8234";
        panel.edt_LocalPort0 = "20108";
        return panel;
    }
    static quint16 FreeUdpPort() {
        QUdpSocket probe;
        probe.bind(QHostAddress::LocalHost, 0);
        return probe.localPort();
    }
    // Row 0 in hex holding 41 42 4.
    static void FillRow0(QWidget& window) {
        QWidget* row = Child<QWidget>(window, "C0");
        Child<QLineEdit>(*row, "edtCmd")->setText(QStringLiteral("41 42 4"));
        Child<QCheckBox>(*row, "chkHex")->setChecked(true);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        LangList = TLangList{};
        BuildBuiltInTexts(LangList);
        LangList.UseChinese = false;
        // FormShow loads the program's command file; a missing one would open a message box.
        CmdRows rows;
        ClearCmdRows(rows, "Right custom name");
        QCOMPARE(QString::fromStdString(SaveCmdFile(
                     (m_dir.path() + QStringLiteral("/DataSelf.txt")).toStdString(), rows)),
                 QString());
    }

    void proposesTheCounterpartOfTheWorkMode_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("caption");
        QTest::newRow("TCP Client") << 1 << "TCP Server"
                                    << "8234"
                                    << "192.168.0.201"
                                    << "Start";
        QTest::newRow("TCP Server") << 3 << "TCP Client"
                                    << "20108"
                                    << ""
                                    << "Connect";
        QTest::newRow("UDP Client") << 0 << "UDP Server"
                                    << "8234"
                                    << "192.168.0.201"
                                    << "Start";
        QTest::newRow("UDP Server") << 2 << "UDP Client"
                                    << "20108"
                                    << "192.168.0.201"
                                    << "Start";
    }
    void proposesTheCounterpartOfTheWorkMode() {
        QFETCH(int, mode);
        QFETCH(QString, kind);
        const auto window = Window(Mode(mode));
        QCOMPARE(Child<QComboBox>(*window, "cbbProtrolType")->currentText(), kind);
        QFETCH(QString, port);
        QFETCH(QString, ip);
        QFETCH(QString, caption);
        QCOMPARE(Child<QLineEdit>(*window, "edtPort")->text(), port);
        QCOMPARE(Child<QComboBox>(*window, "cbbIP")->currentText(), ip);
        QCOMPARE(Child<QPushButton>(*window, "btnConnet")->text(), caption);
        QCOMPARE(window->windowTitle(), QString("Network data debugging"));
    }

    void httpdClientSelectsNothing() {
        const auto window = Window(Mode(4));
        QCOMPARE(Child<QComboBox>(*window, "cbbProtrolType")->currentIndex(), -1);
        QTest::mouseClick(Child<QPushButton>(*window, "btnConnet"), Qt::LeftButton);
        QCOMPARE(Child<QLabel>(*window, "stat1")->text(), QString());
    }

    void udpSendArrivesAndTheReplyIsShown() {
        QUdpSocket peer;
        QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
        const quint16 port = FreeUdpPort();
        PanelP6 panel = Mode(0);
        panel.edt_RemoteIP0 = "127.0.0.1";
        panel.edt_RemotePort0 = std::to_string(port);
        const auto window = Window(panel);
        QTest::mouseClick(Child<QPushButton>(*window, "btnConnet"), Qt::LeftButton);
        QCOMPARE(Child<QPushButton>(*window, "btnConnet")->text(), QString("Stop"));
        QCOMPARE(Child<QLabel>(*window, "stat1")->text(), QString("UDP has started!"));
        QCOMPARE(Child<QLineEdit>(*window, "edtLoIP")->text(), QString("127.0.0.1"));
        QCOMPARE(Child<QLineEdit>(*window, "edtLoport")->text(), QString("1234"));
        QVERIFY(!Child<QComboBox>(*window, "cbbProtrolType")->isEnabled());
        Child<QLineEdit>(*window, "edtLoport")->setText(QString::number(peer.localPort()));

        FillRow0(*window);
        QTest::mouseClick(Child<QPushButton>(*Child<QWidget>(*window, "C0"), "btnSend"),
                          Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(peer.hasPendingDatagrams(), 5000);
        QCOMPARE(peer.receiveDatagram().data(), QByteArray("\x41\x42\x04", 3));

        peer.writeDatagram(QByteArray("pong"), QHostAddress::LocalHost, port);
        auto* pane = Child<QPlainTextEdit>(*window, "mmoReceive");
        QTRY_VERIFY_WITH_TIMEOUT(pane->toPlainText().contains("70 6F 6E 67"), 5000);
        QVERIFY(pane->toPlainText().contains(
            QStringLiteral("127.0.0.1:%1  [4]").arg(peer.localPort())));

        Child<QLineEdit>(*window, "edtLoport")->setText(QStringLiteral("70000"));
        QTest::mouseClick(Child<QPushButton>(*Child<QWidget>(*window, "C0"), "btnSend"),
                          Qt::LeftButton);
        QCOMPARE(Child<QLabel>(*window, "stat1")->text(),
                 QString("The port must be a number from 0 to 65535!"));
    }

    void tcpClientReplyIsShownAsText() {
        QTcpServer echo;
        QVERIFY(echo.listen(QHostAddress::LocalHost, 0));
        connect(&echo, &QTcpServer::newConnection, &echo, [&echo] {
            QTcpSocket* socket = echo.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket,
                    [socket] { socket->write("echo:" + socket->readAll()); });
        });
        PanelP6 panel = Mode(3);
        panel.edt_LocalPort0 = std::to_string(echo.serverPort());
        const auto window = Window(panel);
        Child<QComboBox>(*window, "cbbIP")->setEditText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(Child<QPushButton>(*window, "btnConnet"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Child<QPushButton>(*window, "btnConnet")->text(),
                                  QString("Disconnect"), 5000);
        QCOMPARE(Child<QLabel>(*window, "stat1")->text(),
                 QString("Already connected to 127.0.0.1"));

        Child<QCheckBox>(*window, "chkRecvHex")->setChecked(false);
        QWidget* row = Child<QWidget>(*window, "C1");
        Child<QLineEdit>(*row, "edtCmd")->setText(QStringLiteral("AT+CMD 1"));
        QTest::mouseClick(Child<QPushButton>(*row, "btnSend"), Qt::LeftButton);
        auto* pane = Child<QPlainTextEdit>(*window, "mmoReceive");
        QTRY_VERIFY_WITH_TIMEOUT(pane->toPlainText().contains("echo:AT+CMD 1"), 5000);
        QVERIFY(Child<QLabel>(*window, "lblCounters")->text().contains("Sent: 8 bytes"));
    }

    void refusedClientKeepsConnect() {
        PanelP6 panel = Mode(3);
        panel.edt_LocalPort0 = std::to_string(FreeUdpPort());
        const auto window = Window(panel);
        Child<QComboBox>(*window, "cbbIP")->setEditText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(Child<QPushButton>(*window, "btnConnet"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(
            Child<QLabel>(*window, "stat1")->text(),
            QString("An error occurred in the connection with the server!111"), 5000);
        QCOMPARE(Child<QPushButton>(*window, "btnConnet")->text(), QString("Connect"));
        QVERIFY(Child<QLineEdit>(*window, "edtPort")->isEnabled());
    }
};

} // namespace r2

QTEST_MAIN(r2::TestDataDebug)
#include "test_data_debug.moc"
