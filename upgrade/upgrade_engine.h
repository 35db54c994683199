#pragma once
// UpgradeEngine: the computer's side of one firmware upgrade, a boot server for exactly one
// module. Used by the upgrade dialog and by `r2ctl upgrade`; both only show what it reports.
//
// Contract:
// - Start() opens four UDP endpoints on the request's local IPv4 address (ports 9, 67, 69 and
//   40300). Each is pinned to the interface holding that address and bound to the any-address,
//   so it also receives the limited broadcast (see lan_socket.h): the boot loader has no
//   address yet when it asks for a boot server. Sends carry the local address as their source.
//   Ports are never shared: a port another program holds ends the start in the failure ending.
// - Start() then opens the image file and holds it exclusively (flock) until the final block has
//   been read (a restart opens it again), the upgrade fails or times out, or the next start;
//   broadcasts the wake-up packet once; and waits 10000 ms for the read request. Boot
//   requests with the image's identity are answered (each of them); one with another identity
//   and byte 26 set ends in the mismatch ending, which leaves the endpoints open and the search
//   running. With onlyTargetMac, boot requests of other MACs are ignored.
// - The read request (from the target's address only) starts the transfer at block 1. One
//   block is in flight: each send re-arms a 2000 ms reply timer; each expiry sends the current
//   block again, at most 9 times per upgrade, and the 10th expiry is the timeout ending.
// - Acknowledgements count only from the target's address, only once a read request has
//   started the transfer (a stale one left from an earlier transfer starts nothing), and only
//   when they name the block in flight: that one brings the next block, or, for the final
//   block, the success ending. Any other number is ignored and the timer keeps running, so no
//   acknowledgement moves the transfer forward or back, and a lost final block never passes for
//   a success.
// - A TFTP error packet from the target during the transfer is the failure ending at once,
//   with the module's code and text (status lang_Hint_UpModuleError).
// - A read request during the transfer, also after the final block, restarts it at block 1
//   (the image is opened again if it was closed; it must not have changed). The retransmission
//   budget is not renewed, and at most 9 restarts are served: the 10th read request after the
//   first is the failure ending with status lang_Hint_UpRestarted. After an ending, read
//   requests and acknowledgements are ignored.
// - Everything runs on the owning thread (socket notifiers and one precise timer), so the
//   handlers never interleave. Status, progress, buttons and the ending leave as signals, in
//   that order; a handler may call Start(), Cancel() or CloseEndpoints() from any of them.
// - Endings: success keeps the endpoints open (until CloseEndpoints() or the next start) and
//   stops the timer; timeout and failure close the endpoints and the image file and stop the
//   timer; mismatch changes nothing but the status and the buttons. Destruction closes all.
// - Refused before anything is sent, with the failure ending: an image shorter than the
//   4-byte identity, one too large for 16-bit block numbers, a file that cannot be opened or is
//   held by another program, a local address no interface has, a target address that is not
//   four dotted numbers. A MAC that is not 12 hex digits fails before the wake-up goes out.

#include "upgrade/upgrade_packets.h"

#include <array>
#include <memory>
#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace r2 {

class LanSocket;
struct LanDatagram;

enum class UpgradeEnding { Success, Timeout, Failure, Mismatch };
// The ending as one lower-case word ("success", "timeout", "failure", "mismatch").
QString UpgradeEndingName(UpgradeEnding ending);

// What an upgrade that did not succeed came to, and what to do about it (English), for a
// terminal or a window; empty for a success.
struct UpgradeOutcome {
    UpgradeEnding ending = UpgradeEnding::Failure;
    QString failureDetail;     // the engine's detail of a failure ending
    bool mismatchSeen = false; // a boot loader announced another hardware identity
    int blocksSent = 0;        // data blocks sent, 0 when no read request came
    int currentBlock = 0;
    int retransmissions = 0;
    QString targetIp;
    QString localIp;
};
QString ExplainUpgradeOutcome(const UpgradeOutcome& outcome);

struct UpgradeRequest {
    QString targetIp;  // the module's address as typed; the read request and acks must come from it
    QString targetMac; // 12 hex digits, spaces allowed
    QString localIp;   // this computer's address to work from
    QString imagePath;
    // Boot requests from other MACs (chaddr) are ignored: neither answered nor reported as a
    // mismatch. A batch sets it, since a module woken in an earlier turn may still be asking
    // and would otherwise take this module's address and image.
    bool onlyTargetMac = false;
};

class UpgradeEngine final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpgradeEngine)

public:
    static constexpr int SearchTimeMs = 10000;
    static constexpr int BlockReplyTimeMs = 2000;
    static constexpr int RetransmissionsAllowed = 9;
    static constexpr int RestartsAllowed = 9;

    explicit UpgradeEngine(QObject* parent = nullptr);
    ~UpgradeEngine() override;

    // The start of an upgrade; any error ends in the failure ending (signals), never throws.
    void Start(const UpgradeRequest& request);
    // The dialog's Exit button: endpoints and image file closed, timer stopped, nothing
    // reported. Whatever ran is over.
    void CloseEndpoints();
    // The user stops a run: as CloseEndpoints(), then status lang_Hint_UpCancelled, progress 0
    // and the buttons enabled. No ending is reported: nothing ended on its own. A woken module
    // stays in its boot loader, as after a timeout, until the next upgrade or a power cycle.
    void Cancel();
    bool endpointsOpen() const;

    // The upgrade state, for tests and r2ctl's summary.
    int currentBlock() const { return m_curBlock; }
    int retryCount() const { return m_retryCount; }
    bool lastBlockSent() const { return m_lastBlockSent; }
    bool imageOpen() const { return m_image.isOpen(); }
    bool timerActive() const { return m_timer.isActive(); }
    int timerIntervalMs() const { return m_timer.interval(); }
    // Payload bytes (file offset 4 on) of the image last started, -1 when none was read.
    qint64 payloadBytes() const;

signals:
    // lbl_Info = GetLangText(key) + suffix; the dialog re-translates on a language switch.
    void statusChanged(const QString& key, const QString& suffix);
    void progressChanged(int percent); // 0..100
    void buttonsEnabled(bool enabled); // btn_Program and btn_Exit
    // detail: for a failure, what failed and what to do (English); otherwise empty.
    void ended(r2::UpgradeEnding ending, const QString& detail);
    // Every data block that went out; retransmission when the reply timer sent it again.
    void blockSent(int block, int length, bool retransmission);

private:
    enum Endpoint { WakeUp = 0, BootServer = 1, ReadRequest = 2, Transfer = 3, EndpointCount };

    bool openEndpoints(QString& detail);
    void closeSockets();
    bool openImage(QString& detail);
    void closeImage();
    void onReadable(int endpoint);
    void UDPRead(int endpoint, const LanDatagram& datagram);
    void onBootRequest(const QByteArray& bytes);
    void onReadRequest(const LanDatagram& datagram);
    void restartTransfer();
    bool reopenImage(QString& detail);
    void onTransferReply(const LanDatagram& datagram);
    void tmr_TmrOutTimer();
    void SendUpgradeData(int block, bool retransmission = false);
    bool send(Endpoint endpoint, const QByteArray& bytes, const QString& ip, quint16 port,
              QString& detail);

    void endSuccess();
    void endTimeout();
    // The failure ending; key and suffix make the status (the plain failure text unless the
    // module itself said why).
    void endFailure(const QString& detail, const char* key = "lang_Hint_Upfailed",
                    const QString& suffix = {});
    void endMismatch();
    void finish(UpgradeEnding ending, const char* key, const QString& detail,
                const QString& suffix = {});

    UpgradeRequest m_request;
    std::array<std::unique_ptr<LanSocket>, EndpointCount> m_endpoints;
    std::array<QSocketNotifier*, EndpointCount> m_notifiers{};
    // Counts closings of the endpoints, so a batch of datagrams read before an ending is not
    // handled after it.
    quint64 m_endpointGeneration = 0;
    QTimer m_timer;
    QFile m_image;
    upgrade::Identity m_binHead{};
    bool m_hasBinHead = false;
    qint64 m_imageSize = -1;
    upgrade::Ipv4Bytes m_targetBytes{};
    upgrade::Ipv4Bytes m_localBytes{};
    // Searching from Start() to the first read request, then transferring until an ending.
    enum class Phase { Idle, Searching, Transferring };
    Phase m_phase = Phase::Idle;
    int m_curBlock = 0; // the block in flight while transferring
    int m_retryCount = -1;
    int m_restarts = 0; // read requests after the first, in this upgrade
    bool m_lastBlockSent = false;
    QByteArray m_bootBuf;
};

} // namespace r2

Q_DECLARE_METATYPE(r2::UpgradeEnding)
