#include "app/wdRunOnce.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>
#include <unistd.h>

namespace r2 {

namespace {

const QByteArray RaiseRequest = QByteArrayLiteral("raise\n");
// A running instance answers at once; a hung one must not keep the second start waiting long.
constexpr int ConnectTimeoutMs = 1000;

} // namespace

namespace {

// The user's private runtime directory when the session has one; else Qt's default, the
// temporary directory, where the user id in the name keeps users apart.
QString ServerNameFor(const QString& slotName) {
    const QString name = slotName + QLatin1Char('-') + QString::number(::getuid());
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty() && QFileInfo(runtimeDir).isDir()) {
        return QDir(runtimeDir).filePath(name);
    }
    return name;
}

} // namespace

RunOnceGuard::RunOnceGuard(const QString& slotName, QObject* parent)
    : QObject(parent), m_serverName(ServerNameFor(slotName)) {}

RunOnceGuard::~RunOnceGuard() {
    RunOnceDone();
}

bool RunOnceGuard::RunOnceCheck() {
    // Taking the name is atomic, so of two starts only one can get it; the other then finds a
    // live instance behind it.
    if (listen()) {
        return false;
    }
    if (askRunningInstanceToRaise()) {
        return true;
    }
    // Nothing answers behind the name: a crashed instance's socket file.
    QLocalServer::removeServer(m_serverName);
    if (!listen()) {
        m_server.reset();
    }
    return false;
}

void RunOnceGuard::RunOnceDone() {
    if (m_server) {
        m_server->close();
        m_server.reset();
    }
}

bool RunOnceGuard::isListening() const {
    return m_server && m_server->isListening();
}

bool RunOnceGuard::askRunningInstanceToRaise() {
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(ConnectTimeoutMs)) {
        return false;
    }
    socket.write(RaiseRequest);
    socket.waitForBytesWritten(ConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool RunOnceGuard::listen() {
    m_server = std::make_unique<QLocalServer>();
    // No access options: with them Qt binds under a temporary name and renames the socket over
    // the target, which replaces a running instance's socket instead of failing.
    connect(m_server.get(), &QLocalServer::newConnection, this, &RunOnceGuard::onNewConnection);
    return m_server->listen(m_serverName);
}

void RunOnceGuard::onNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // The request may have arrived together with the connection.
        readRequest(socket);
    }
}

void RunOnceGuard::readRequest(QLocalSocket* socket) {
    while (socket->canReadLine()) {
        if (socket->readLine() == RaiseRequest) {
            emit raiseRequested();
        }
    }
}

void RaiseLastActiveWindow(QWidget& mainWindow) {
    if (mainWindow.isMinimized()) {
        mainWindow.showNormal();
    }
    QWidget* target = QApplication::activeModalWidget();
    if (target == nullptr || !target->isVisible() || !target->isEnabled()) {
        target = &mainWindow;
    }
    target->raise();
    target->activateWindow();
}

} // namespace r2
