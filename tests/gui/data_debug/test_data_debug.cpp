// Tfrm_DataDebug offscreen: the counterpart proposed for each work mode, a UDP send arriving at
// a listener with the row's bytes, the receive pane showing what an echoing peer answers over
// UDP and over TCP, a flood without line breaks shown cut, a peer closing a TCP connection,
// clients beyond the server's limit closed with a status, and which command file import and
// close read and write (the file dialogs and message boxes answered by the test), the first
// show before any command file exists, and the one close every way out of the window takes
// (close button, Escape, the main window closing, the program ending).
#include "app/app_shell.h"
#include "debugger/cmd_file.h"
#include "debugger/widgets/Unit_DataDebug.h"
#include "lang/Unit_AppLang.h"
#include "mainwindow/widgets/Unit_Main.h"
#include "protocol/panel_p6.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <QUdpSocket>

namespace r2 {

class TestDataDebug final : public QObject {
    Q_OBJECT

private:
    struct Message {
        QMessageBox::Icon icon;
        QString text;
    };

    QTemporaryDir m_dir;
    // The messages the window showed since it was made.
    QList<Message> m_messages;

    std::unique_ptr<Tfrm_DataDebug> Window(const PanelP6& panel, QString programDir = {},
                                           const QString& filePath = {}) {
        auto window = std::make_unique<Tfrm_DataDebug>(
            programDir.isEmpty() ? m_dir.path() : std::move(programDir), filePath.toStdString());
        m_messages.clear();
        window->setMessageShower([this](QMessageBox::Icon icon, const QString& text) {
            m_messages.append({icon, text});
        });
        window->FormShow(panel);
        window->show();
        return window;
    }
    // A command file whose first row holds `command`.
    static bool WriteCmdFile(const QString& path, const std::string& command) {
        CmdRows rows;
        ClearCmdRows(rows, "Right custom name");
        rows[0].edtCmd = command;
        return SaveCmdFile(path.toStdString(), rows).empty();
    }
    static QString Row0Command(const QString& path) {
        CmdRows rows;
        if (LoadCmdFile(path.toStdString(), rows, "Right custom name") != CmdFileLoad::Loaded) {
            return QStringLiteral("<no file>");
        }
        return QString::fromStdString(rows[0].edtCmd);
    }
    static QLineEdit* Row0Box(QWidget& window) {
        return Child<QLineEdit>(*Child<QWidget>(window, "C0"), "edtCmd");
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
    static quint16 FreeTcpPort() {
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
    }
    // The window of a module in TCP server mode, listening on `port`.
    std::unique_ptr<Tfrm_DataDebug> StartedTcpServer(quint16 port) {
        PanelP6 panel = Mode(1);
        panel.edt_RemotePort0 = std::to_string(port);
        auto window = Window(panel);
        QTest::mouseClick(Child<QPushButton>(*window, "btnConnet"), Qt::LeftButton);
        return window;
    }
    // Row 0 in hex holding 41 42 4.
    static void FillRow0(QWidget& window) {
        QWidget* row = Child<QWidget>(window, "C0");
        Child<QLineEdit>(*row, "edtCmd")->setText(QStringLiteral("41 42 4"));
        Child<QCheckBox>(*row, "chkHex")->setChecked(true);
    }

    static void UseEnglishTexts() {
        LangList = TLangList{};
        BuildBuiltInTexts(LangList);
        LangList.UseChinese = false;
    }
    // A UDP connection to `peer` cycling row 0 every 500 ms, seen sending by the peer; row 0
    // then edited to "edited", which only a save of the rows can put in a file.
    static void CycleToPeerThenEdit(Tfrm_DataDebug& window, QUdpSocket& peer) {
        Child<QComboBox>(window, "cbbProtrolType")->setCurrentIndex(0);
        Child<QComboBox>(window, "cbbIP")->setEditText(QStringLiteral("127.0.0.1"));
        Child<QLineEdit>(window, "edtPort")->setText(QString::number(FreeUdpPort()));
        QTest::mouseClick(Child<QPushButton>(window, "btnConnet"), Qt::LeftButton);
        QVERIFY(window.Transport().UdpRunning());
        Child<QLineEdit>(window, "edtLoport")->setText(QString::number(peer.localPort()));
        QWidget* row = Child<QWidget>(window, "C0");
        Child<QLineEdit>(*row, "edtCmd")->setText(QStringLiteral("ping"));
        Child<QCheckBox>(*row, "chkChoose")->setChecked(true);
        Child<QLineEdit>(window, "edtCycle")->setText(QStringLiteral("500"));
        QTest::mouseClick(Child<QPushButton>(window, "btnCycleSend"), Qt::LeftButton);
        QVERIFY(window.Cycle().Cycling());
        QTRY_VERIFY_WITH_TIMEOUT(peer.hasPendingDatagrams(), 5000);
        QCOMPARE(peer.receiveDatagram().data(), QByteArray("ping"));
        Row0Box(window)->setText(QStringLiteral("edited"));
    }
    // What every close leaves: no further pass asked for, the connection closed (so a pass
    // still finishing sends nothing), the window hidden.
    static void VerifyClosed(Tfrm_DataDebug& window) {
        QVERIFY(!window.isVisible());
        QVERIFY(!window.Cycle().Cycling());
        QVERIFY(!window.Transport().UdpRunning());
        QVERIFY(Child<QLineEdit>(window, "edtPort")->isEnabled());
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        UseEnglishTexts();
        // FormShow loads the program's command file; a missing one would open a message box.
        CmdRows rows;
        ClearCmdRows(rows, "Right custom name");
        QCOMPARE(QString::fromStdString(SaveCmdFile(
                     (m_dir.path() + QStringLiteral("/DataSelf.txt")).toStdString(), rows)),
                 QString());
    }

    // The program's shell reads the language file and its main window's close frees the table.
    void cleanup() { UseEnglishTexts(); }

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
                    [socket] { socket->write("echo:" + socket->readAll() + "\r\n"); });
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
        // One line per chunk: its line end is shown, not obeyed.
        QTRY_VERIFY_WITH_TIMEOUT(pane->toPlainText().contains("echo:AT+CMD 1\\r\\n"), 5000);
        QCOMPARE(pane->blockCount(), 1);
        QVERIFY(Child<QLabel>(*window, "lblCounters")->text().contains("Sent: 8 bytes"));
    }

    // 8 MiB without a line break: every line shows at most the first 256 bytes of its chunk
    // and says how many it leaves out.
    void floodWithoutLineBreaksIsShownCut() {
        constexpr qsizetype FloodBytes = 8 << 20;
        QTcpServer flooder;
        QVERIFY(flooder.listen(QHostAddress::LocalHost, 0));
        connect(&flooder, &QTcpServer::newConnection, &flooder, [&flooder] {
            flooder.nextPendingConnection()->write(QByteArray(FloodBytes, 'A'));
        });
        PanelP6 panel = Mode(3);
        panel.edt_LocalPort0 = std::to_string(flooder.serverPort());
        const auto window = Window(panel);
        Child<QCheckBox>(*window, "chkRecvHex")->setChecked(false);
        Child<QComboBox>(*window, "cbbIP")->setEditText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(Child<QPushButton>(*window, "btnConnet"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window->Transport().BytesReceived(),
                                  static_cast<std::uint64_t>(FloodBytes), 60000);
        auto* pane = Child<QPlainTextEdit>(*window, "mmoReceive");
        QTRY_VERIFY_WITH_TIMEOUT(pane->blockCount() > 1, 5000);

        const QRegularExpression line(QStringLiteral(
            "^\\S+  127\\.0\\.0\\.1:\\d+  \\[(\\d+)\\]  (A*)(… \\((\\d+) more bytes\\))?$"));
        int cut = 0;
        for (const QString& text : pane->toPlainText().split(QLatin1Char('\n'))) {
            const auto match = line.match(text);
            QVERIFY2(match.hasMatch(), qPrintable(text.left(400)));
            const qsizetype size = match.captured(1).toLongLong();
            const qsizetype shown = match.captured(2).size();
            QCOMPARE(shown, std::min<qsizetype>(size, 256));
            if (size > 256) {
                QCOMPARE(match.captured(4).toLongLong(), size - 256);
                ++cut;
            } else {
                QVERIFY(match.captured(3).isEmpty());
            }
        }
        QVERIFY(cut > 0);
    }

    void tcpServerClosesClientsBeyondTheLimit() {
        const quint16 port = FreeTcpPort();
        QVERIFY(port != 0);
        const auto window = StartedTcpServer(port);
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (int i = 0; i < 33; ++i) {
            clients.push_back(std::make_unique<QTcpSocket>());
            clients.back()->connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(clients.back()->waitForConnected(5000));
        }
        QTRY_COMPARE_WITH_TIMEOUT(
            Child<QLabel>(*window, "stat1")->text(),
            QString("32 clients are connected already: the new connection from 127.0.0.1 was "
                    "closed."),
            5000);
        QTRY_COMPARE_WITH_TIMEOUT(clients.back()->state(), QAbstractSocket::UnconnectedState, 5000);
        QCOMPARE(window->Transport().ClientCount(), 32);
        QCOMPARE(clients.front()->state(), QAbstractSocket::ConnectedState);
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

    void importReadsTheChosenOrTheCurrentFile_data() {
        QTest::addColumn<QString>("filePath"); // as the window is made; empty or in the folder
        QTest::addColumn<QString>("chosen");   // the dialog's answer; empty: cancelled
        QTest::addColumn<QString>("row0");
        QTest::addColumn<QString>("filePathAfter");
        QTest::addColumn<bool>("notExistMessage");
        QTest::newRow("cancelled, FilePath empty") << ""
                                                   << ""
                                                   << "typed"
                                                   << "" << true;
        QTest::newRow("cancelled, FilePath names a file") << "a.txt"
                                                          << ""
                                                          << "from A"
                                                          << "a.txt" << false;
        QTest::newRow("a file chosen") << ""
                                       << "b.txt"
                                       << "from B"
                                       << "b.txt" << false;
        QTest::newRow("another file chosen") << "a.txt"
                                             << "b.txt"
                                             << "from B"
                                             << "b.txt" << false;
    }
    void importReadsTheChosenOrTheCurrentFile() {
        QFETCH(QString, filePath);
        QFETCH(QString, chosen);
        QTemporaryDir dir;
        const auto in = [&dir](const QString& name) {
            return name.isEmpty() ? name : dir.filePath(name);
        };
        QVERIFY(WriteCmdFile(dir.filePath("DataSelf.txt"), "from DataSelf"));
        QVERIFY(WriteCmdFile(dir.filePath("a.txt"), "from A"));
        QVERIFY(WriteCmdFile(dir.filePath("b.txt"), "from B"));
        const auto window = Window(Mode(0), dir.path(), in(filePath));
        window->setImportFileChooser([&] { return in(chosen); });
        QSignalSpy changed(window.get(), &Tfrm_DataDebug::FilePathChanged);
        Row0Box(*window)->setText(QStringLiteral("typed"));

        QTest::mouseClick(Child<QPushButton>(*window, "btnImport"), Qt::LeftButton);
        QFETCH(QString, row0);
        QFETCH(QString, filePathAfter);
        QFETCH(bool, notExistMessage);
        QCOMPARE(Row0Box(*window)->text(), row0);
        QCOMPARE(QString::fromStdString(window->FilePath()), in(filePathAfter));
        QCOMPARE(changed.size(), chosen.isEmpty() ? 0 : 1);
        QCOMPARE(m_messages.size(), notExistMessage ? 1 : 0);
        if (notExistMessage) {
            QCOMPARE(m_messages.front().icon, QMessageBox::Information);
            QCOMPARE(m_messages.front().text,
                     QString("The file does not exist, please choose again!"));
        }
    }

    void closeSavesToFilePathOrDataSelf_data() {
        QTest::addColumn<QString>("filePath");      // empty or a file in the folder
        QTest::addColumn<QString>("removedBefore"); // removed after the show, before the close
        QTest::addColumn<QString>("savedTo");       // empty: saved nowhere
        QTest::addColumn<bool>("closes");
        QTest::newRow("FilePath names a file") << "a.txt"
                                               << ""
                                               << "a.txt" << true;
        QTest::newRow("FilePath names a deleted file") << "gone.txt"
                                                       << "gone.txt"
                                                       << "prog/DataSelf.txt" << true;
        QTest::newRow("FilePath empty") << ""
                                        << ""
                                        << "prog/DataSelf.txt" << true;
        QTest::newRow("the save fails") << ""
                                        << "prog"
                                        << "" << false;
    }
    void closeSavesToFilePathOrDataSelf() {
        QFETCH(QString, filePath);
        QFETCH(QString, removedBefore);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("prog"));
        QMap<QString, QString> expected{
            {"a.txt", "from A"}, {"gone.txt", "from gone"}, {"prog/DataSelf.txt", "from DataSelf"}};
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            QVERIFY(WriteCmdFile(dir.filePath(it.key()), it.value().toStdString()));
        }
        const QString fullFilePath = filePath.isEmpty() ? filePath : dir.filePath(filePath);
        const auto window = Window(Mode(0), dir.filePath("prog"), fullFilePath);
        QCOMPARE(m_messages.size(), 0);
        Row0Box(*window)->setText(QStringLiteral("typed"));
        if (!removedBefore.isEmpty()) {
            QVERIFY(QFileInfo(dir.filePath(removedBefore)).isDir()
                        ? QDir(dir.filePath(removedBefore)).removeRecursively()
                        : QFile::remove(dir.filePath(removedBefore)));
            for (const QString& name : expected.keys()) {
                if (name.startsWith(removedBefore)) {
                    expected[name] = QStringLiteral("<no file>");
                }
            }
        }

        QFETCH(QString, savedTo);
        QFETCH(bool, closes);
        QCOMPARE(window->close(), closes);
        QCOMPARE(window->isVisible(), !closes);
        if (!savedTo.isEmpty()) {
            expected[savedTo] = QStringLiteral("typed");
        }
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            QCOMPARE(Row0Command(dir.filePath(it.key())), it.value());
        }
        QCOMPARE(QString::fromStdString(window->FilePath()), fullFilePath);
        QCOMPARE(m_messages.size(), closes ? 0 : 1);
        if (!closes) {
            QCOMPARE(m_messages.front().icon, QMessageBox::Critical);
            QVERIFY2(m_messages.front().text.startsWith("Unable to write to "),
                     qPrintable(m_messages.front().text));
        }
    }

    void firstShowWithoutAFileGivesEmptyRows_data() {
        QTest::addColumn<QString>("filePath"); // in a fresh program folder without DataSelf.txt
        QTest::addColumn<bool>("notExistMessage");
        QTest::newRow("no file chosen yet") << "" << false;
        QTest::newRow("FilePath names a deleted file") << "gone.txt" << true;
    }
    void firstShowWithoutAFileGivesEmptyRows() {
        QFETCH(QString, filePath);
        QFETCH(bool, notExistMessage);
        QTemporaryDir dir;
        const auto window =
            Window(Mode(0), dir.path(), filePath.isEmpty() ? filePath : dir.filePath(filePath));
        QCOMPARE(m_messages.size(), notExistMessage ? 1 : 0);
        if (notExistMessage) {
            QCOMPARE(m_messages.front().text,
                     QString("The file does not exist, please choose again!"));
        }
        QCOMPARE(Row0Box(*window)->text(), QString());
        QCOMPARE(Child<QPushButton>(*Child<QWidget>(*window, "C0"), "btnExplanation")->text(),
                 QString("Right custom name"));
    }

    void closeButtonAndEscapeStopAndSave_data() {
        // Where Escape is pressed; empty: the close button instead.
        QTest::addColumn<QString>("escapeIn");
        QTest::newRow("close button") << "";
        // The row area has the focus once the window is shown.
        QTest::newRow("Escape") << "ScrollBox2";
        QTest::newRow("Escape in the digits-only interval box") << "edtCycle";
    }
    void closeButtonAndEscapeStopAndSave() {
        QFETCH(QString, escapeIn);
        QTemporaryDir dir;
        QUdpSocket peer;
        QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
        const auto window = Window(Mode(0), dir.path());
        CycleToPeerThenEdit(*window, peer);
        if (QTest::currentTestFailed()) {
            return;
        }
        if (escapeIn.isEmpty()) {
            QVERIFY(window->close());
        } else {
            QTest::keyClick(Child<QWidget>(*window, qPrintable(escapeIn)), Qt::Key_Escape);
        }
        VerifyClosed(*window);
        QCOMPARE(Row0Command(dir.filePath("DataSelf.txt")), QString("edited"));
    }

    void theProgramClosesAnOpenDebugger_data() {
        QTest::addColumn<bool>("mainWindowCloses"); // else the program ends without it
        QTest::newRow("the main window closes") << true;
        QTest::newRow("the program ends") << false;
    }
    void theProgramClosesAnOpenDebugger() {
        QFETCH(bool, mainWindowCloses);
        QTemporaryDir dir;
        QUdpSocket peer;
        QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
        auto shell = std::make_unique<AppShell>(dir.path(), QStringLiteral("2.2.6.0"));
        Tfrm_DataDebug& debugger = shell->dataDebug();
        m_messages.clear();
        debugger.setMessageShower([this](QMessageBox::Icon icon, const QString& text) {
            m_messages.append({icon, text});
        });
        shell->mainWindow().show();
        shell->ShowDataDebug();
        QVERIFY(debugger.isVisible());
        QCOMPARE(m_messages.size(), 0);
        CycleToPeerThenEdit(debugger, peer);
        if (QTest::currentTestFailed()) {
            return;
        }

        if (mainWindowCloses) {
            QVERIFY(shell->mainWindow().close());
            VerifyClosed(debugger);
        } else {
            shell.reset();
        }
        QCOMPARE(Row0Command(dir.filePath("DataSelf.txt")), QString("edited"));
        QCOMPARE(m_messages.size(), 0);
    }

    // The header's tick and hex boxes over the rows' ones, the command boxes in one column
    // whatever the names, whole rows in the row area at any height, and a margin around it all.
    void layoutLinesUpTheColumns() {
        QTemporaryDir dir;
        CmdRows rows;
        ClearCmdRows(rows, "Right custom name");
        rows[0].btnExplanation = "Pump on";
        QVERIFY(SaveCmdFile(dir.filePath("DataSelf.txt").toStdString(), rows).empty());
        const auto window = Window(Mode(0), dir.path());
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QWidget* first = Child<QWidget>(*window, "C0");
        QWidget* second = Child<QWidget>(*window, "C1");
        QCOMPARE(Child<QPushButton>(*first, "btnExplanation")->text(), QString("Pump on"));
        const auto left = [&window](QWidget* control) {
            return control->mapTo(window.get(), QPoint()).x();
        };
        const auto right = [&](QWidget* control) { return left(control) + control->width(); };

        QCOMPARE(left(Child<QCheckBox>(*window, "chkChooseAll")),
                 left(Child<QCheckBox>(*first, "chkChoose")));
        QCOMPARE(right(Child<QCheckBox>(*window, "chkHexAll")),
                 right(Child<QCheckBox>(*first, "chkHex")));
        QCOMPARE(left(Child<QLabel>(*window, "lblDelay")),
                 left(Child<QLineEdit>(*first, "edtDelay")));
        QCOMPARE(left(Child<QLineEdit>(*first, "edtCmd")),
                 left(Child<QLineEdit>(*second, "edtCmd")));
        QVERIFY(Child<QWidget>(*window, "pnl1")->x() > 0);
        QVERIFY(left(Child<QWidget>(*window, "ScrollBox2")) > 0);

        auto* area = Child<QAbstractScrollArea>(*window, "ScrollBox2");
        for (const int height : {582, 601, 613}) {
            window->resize(window->width(), height);
            QTRY_COMPARE(window->height(), height);
            QTRY_COMPARE(area->viewport()->height() % first->height(), 0);
        }
    }

    void tcpClientSeesThePeerClose() {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QPointer<QTcpSocket> accepted;
        connect(&server, &QTcpServer::newConnection, &server,
                [&] { accepted = server.nextPendingConnection(); });
        PanelP6 panel = Mode(3);
        panel.edt_LocalPort0 = std::to_string(server.serverPort());
        const auto window = Window(panel);
        Child<QComboBox>(*window, "cbbIP")->setEditText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(Child<QPushButton>(*window, "btnConnet"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Child<QPushButton>(*window, "btnConnet")->text(),
                                  QString("Disconnect"), 5000);
        QVERIFY(!Child<QLineEdit>(*window, "edtPort")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(accepted != nullptr, 5000);

        accepted->disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(Child<QPushButton>(*window, "btnConnet")->text(),
                                  QString("Connect"), 5000);
        QCOMPARE(Child<QLabel>(*window, "stat1")->text(),
                 QString("Has disconnected from 127.0.0.1"));
        QVERIFY(Child<QLineEdit>(*window, "edtPort")->isEnabled());
        QVERIFY(Child<QComboBox>(*window, "cbbIP")->isEnabled());
        QVERIFY(Child<QComboBox>(*window, "cbbProtrolType")->isEnabled());
    }

    void tcpServerReportsOnlyTheLastClientLeaving() {
        const quint16 port = FreeTcpPort();
        QVERIFY(port != 0);
        const auto window = StartedTcpServer(port);
        QCOMPARE(Child<QLabel>(*window, "stat1")->text(),
                 QString("Service has started, waiting for connection ..."));
        QTcpSocket first;
        QTcpSocket second;
        for (QTcpSocket* client : {&first, &second}) {
            client->connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(client->waitForConnected(5000));
        }
        QTRY_COMPARE_WITH_TIMEOUT(window->Transport().ClientCount(), 2, 5000);
        const QString connected = QStringLiteral("Client has been monitored 127.0.0.1");
        QCOMPARE(Child<QLabel>(*window, "stat1")->text(), connected);

        first.disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(window->Transport().ClientCount(), 1, 5000);
        QCOMPARE(Child<QLabel>(*window, "stat1")->text(), connected);
        second.disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(Child<QLabel>(*window, "stat1")->text(),
                                  QString("The server is disconnected from the client."), 5000);
        QCOMPARE(Child<QPushButton>(*window, "btnConnet")->text(), QString("Stop"));
    }
};

} // namespace r2

QTEST_MAIN(r2::TestDataDebug)
#include "test_data_debug.moc"
