#pragma once
// The single-instance guard. The first r2config of a user listens on a local socket named after
// the slot "{A823D2A7-7FA2-4FB2-AC74-222D21D26D1B}" and the user id (two users never meet), in
// the user's runtime directory when the session has one; a second start connects to it, asks it
// to bring its last active window to the front and ends without creating a window. Of two
// starts only one can take the name (binding it is atomic); the other finds it taken and asks.
//
//   RunOnceGuard guard;                          // RunOnceInit
//   if (guard.RunOnceCheck()) return 0;          // another instance runs and was asked to raise
//   TFrm_Main window(...);
//   connect(&guard, &RunOnceGuard::raiseRequested, ... RaiseLastActiveWindow(window) ...);
//                                                // RunOnceDone: when the guard is destroyed
//
// A socket file left behind by a crashed first instance answers no connection; it is removed
// and this instance takes the name over. When the name cannot be taken at all the guard is
// inactive and every start runs normally. Needs a QCoreApplication; used on the user-interface
// thread.

#include <memory>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QWidget;

namespace r2 {

inline constexpr char RunOnceSlotName[] = "{A823D2A7-7FA2-4FB2-AC74-222D21D26D1B}";

class RunOnceGuard final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunOnceGuard)

public:
    // `slotName` is the program's slot; tests pass their own so they never meet a real instance.
    explicit RunOnceGuard(const QString& slotName = QString::fromLatin1(RunOnceSlotName),
                          QObject* parent = nullptr);
    ~RunOnceGuard() override;

    // True: another instance runs; it has been asked to raise its window. False: this is the
    // first instance (it now answers later starts) or the guard is inactive.
    bool RunOnceCheck();
    // Stops answering later starts. The destructor does it too.
    void RunOnceDone();

    bool isListening() const;
    // The local socket's name: the slot name, "-" and the user id, as a path inside
    // $XDG_RUNTIME_DIR when that exists.
    QString serverName() const { return m_serverName; }

signals:
    // A later start asked this instance to bring its last active window to the front.
    void raiseRequested();

private:
    bool askRunningInstanceToRaise();
    bool listen();
    void onNewConnection();
    void readRequest(QLocalSocket* socket);

    QString m_serverName;
    std::unique_ptr<QLocalServer> m_server;
};

// Brings the program's last active window to the front: the open modal dialog if there is one,
// else the main window, restored first when it is minimised.
void RaiseLastActiveWindow(QWidget& mainWindow);

} // namespace r2
