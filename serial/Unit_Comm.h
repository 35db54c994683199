#pragma once
// SerialExchange: reading and saving a module's configuration over its serial line (CFG pin
// grounded), as one object that the window and r2ctl drive alike. It knows frames, not
// widgets: what happens is reported through signals, and the caller turns them into log
// lines, hex lines, panel fills and exit statuses.
//
// Contract:
// - An action (StartRead, StartSaveP6, StartSaveP5) opens the port with the exchange's line
//   settings (the given speed, 8 data bits, no parity, 1 stop bit, no flow control, DTR and
//   RTS raised, chunks ending at a 50 ms gap), sends its frames, waits SerialReplyWaitMs after the
//   last one while replies are handled, closes the port and emits `finished`. Every wait is a
//   timer, so the event loop keeps running throughout; the pause between two frames of a P6 save is
//   measured from the previous send and is never shorter than SerialFrameGapMs.
// - A failed open does not stop the action: its frames are reported as not sent
//   (frameSent(..., false)) and the port is closed at the end, so the caller's log shows each
//   step, as the window's log always has.
// - A save encodes everything before it opens the port. A control whose text does not
//   convert makes StartSave... return the encoder's message, which names the control;
//   nothing is opened or sent then. A P6 save commits its encoded mirror to the live one once
//   the port opened.
// - One action at a time: while one runs, a second is refused (StartRead returns false,
//   StartSave... return a message) rather than reopening the port under the first and
//   interleaving their frames.
// - Every chunk the port delivers is echoed (chunkReceived) and then recognised by its length
//   alone (serial_frames.h); chunks are not joined. A 137-byte P6 reply fills the mirror's
//   base and port blocks, is reported as OnBaseParams (DevFlagP6, from-serial true) and is
//   followed at once by the follow-up request; the 115-byte reply is reported as OnCloudParams
//   and OnHeartReg. These reports go straight to the reader the last StartRead was given (r2ctl's
//   PanelP6Reader), or, when it was given none, out as those signals (the window's path). A 32-byte
//   P5/P7 reply is handed on as it came (p5Reply); the caller fills its P5 panel with
//   DecodeP5Reply, which also rejects a bad head or checksum. Chunks that arrive after the close
//   (queued by the port before it) are handled the same way.
// - outcome() tells what the current or last action saw, for a caller that needs a verdict.

#include "protocol/block_codec.h"
#include "protocol/panel_p5.h"
#include "protocol/panel_p6.h"
#include "protocol/serial_frames.h"
#include "serial/SPComm.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <vector>

namespace r2 {

inline constexpr std::uint32_t DefaultSerialSpeed = 9600;
inline constexpr std::uint32_t SerialReadIntervalMs = 50;
// How long an action waits for replies after its last frame.
inline constexpr int SerialReplyWaitMs = 2000;

// The speed box's text as a decimal number of baud; DefaultSerialSpeed when it is none
// ("abc", "", "-5", a number beyond 32 bits).
std::uint32_t SerialSpeedFromText(const QString& text);

// What one action saw.
struct SerialOutcome {
    bool opened = false;
    QString openError; // the port's refusal (ECommsError) when the open failed
    bool sendFailed = false;
    bool accepted = false;   // a 'K' came
    bool p6Reply = false;    // the 137-byte P6 reply came
    bool cloudReply = false; // the 115-byte cloud and heartbeat reply came
    bool p5Reply = false;    // a 32-byte reply with a right head and checksum came
    bool p5ReplyBad = false; // a 32-byte reply with a wrong head or checksum came
    int otherChunks = 0;     // chunks of no reply's length, and single bytes other than 'K'
};

class SerialExchange final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SerialExchange)

public:
    SerialExchange(TComm& comm, ParamMirror& mirror, QObject* parent = nullptr);
    ~SerialExchange() override;

    // ---- The exchange's operations ----------------------------------------------------
    // False, without touching the port, for an empty port name; otherwise closes the port if
    // it is open, applies the exchange's settings and opens it; false when the port refused.
    bool OpenSerialSession(const QString& port, const QString& speedText);
    void CloseSerialSession();
    // Queues one frame on the open port; false (nothing sent) when the port is not open or
    // refused it. Reported through frameSent either way.
    bool SendSerialFrame(const Bytes& frame);
    // The port's OnReceiveData handler.
    void HandleSerialChunk(const QByteArray& chunk);
    bool SerialOpen() const { return m_serialOpen; }

    // ---- Actions ----------------------------------------------------------------------
    // Read request 55 BD for DevFlagP6, 55 BC for any other flag (P5, P7). False when an
    // action is running (nothing done). The P6 replies from now until the next read go to
    // `reader` (which must outlive them) or, when it is null, out as the parameter signals.
    bool StartRead(const QString& port, const QString& speedText, int devFlag,
                   ParamReplySink* reader = nullptr);
    // Empty when the save started; otherwise why nothing was opened or sent.
    QString StartSaveP6(const QString& port, const QString& speedText, const PanelP6& panel);
    QString StartSaveP5(const QString& port, const QString& speedText, const PanelP5& panel);
    bool isRunning() const { return m_running; }
    // The encoder's refusal behind the last StartSave's error; ok() when it was none.
    const EncodeResult& encodeRefusal() const { return m_encodeRefusal; }
    const SerialOutcome& outcome() const { return m_outcome; }

signals:
    void sessionOpened(bool ok);
    void sessionClosed();
    // ok false: the port was not open or did not take the frame.
    void frameSent(const QByteArray& frame, bool ok);
    // Every chunk the port delivered, before it is recognised.
    void chunkReceived(const QByteArray& chunk);
    void saveAccepted();
    // A 32-byte chunk, unchecked.
    void p5Reply(const QByteArray& reply32);
    // The P5 frame of the save that started carries the default device ID because edt_ID was
    // empty; the panel shows it.
    void p5DefaultIdApplied();
    void OnBaseParams(const r2::TBaseParam& base, const r2::TarrComParam& ports, int devFlag,
                      bool fromSerial);
    void OnCloudParams(const r2::TarrCloudParam& clouds, bool fromSerial, int devFlag);
    void OnHeartReg(const QByteArray& block85, bool fromSerial, int devFlag);
    void finished();

private:
    class Sink;

    bool startAction(const QString& port, const QString& speedText, std::vector<Bytes> frames,
                     std::optional<ParamMirror> mirror);
    void sendNextFrame();
    void finishAction();
    void applyExchangeSettings(std::uint32_t speed);
    QString busyText() const;
    ParamReplySink& replySink();

    TComm& m_comm;
    ParamMirror& m_mirror;
    std::unique_ptr<Sink> m_sink;
    ParamReplySink* m_reader = nullptr;
    bool m_serialOpen = false;
    bool m_running = false;
    EncodeResult m_encodeRefusal;
    std::vector<Bytes> m_frames;
    std::size_t m_next = 0;
    QElapsedTimer m_sinceLast;
    QTimer m_gapTimer;
    QTimer m_waitTimer;
    SerialOutcome m_outcome;
};

} // namespace r2
