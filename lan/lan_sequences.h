#pragma once
// The LAN command sequences: read, P6 save, P7 save, restart and factory reset.
//
// Contract:
// - A sequence is first planned, then run. Planning is a pure function: it decides which
//   frames go out, in which order, to which module and with which pause after each, and it
//   encodes every block into a scratch copy of the parameter mirror. If any block that would
//   be sent fails to encode, planning returns the encoder's error (it names the control and
//   its text) and nothing is sent at all: a module is never left half-written.
// - Running (LanSequence) first commits the scratch mirror to the live one, then sends the
//   steps through TUdpSvr. Pauses are timers measured from the previous send, so the event
//   loop keeps running and replies are handled while a save is under way; a pause is never
//   shorter than planned.
// - Acknowledgements still arrive as OnStatus (the window logs each one), and the sequence
//   keeps its own verdict of them (ack_ledger.h has the rules): which frames the module
//   itself acknowledged, from the address its search reply came from, each within its own
//   window. A frame's window ends when the next frame goes out; the last frame has none after
//   it, so after the last frame the sequence waits AckWaitMs for its answer: the 500 ms every
//   paused block already gets, so the last frame is held to the same rule as the others.
//   Answers that arrived within the wait but were still queued are taken for AckGraceMs more.
//   `finished` comes after that wait; verdict() then names the first frame without its
//   acknowledgement. A plan of reads only expects no acknowledgement and finishes at once.
// - A save (a plan that carries a mirror) is refused when the endpoint says the mirror must
//   not go to that module (TUdpSvr::saveRefusal: several modules answered the read from one
//   address, or the last read was of another module): nothing is committed or sent,
//   `finished` is emitted at once and verdict().refused says why.
// - P6 save: base and port (row), the cloud block only for registration type 3 when the
//   device ID has 20 bytes and the communication code 8 (otherwise a message key instead of
//   the cloud block, and the save goes on), heartbeat/registration from version 4017, the two
//   HTTPD blocks from version 4017 in HTTPD client mode, the Modbus switches only when the
//   module sent them (4 bytes when it sent the 4-byte form, else the 1-byte form) and the
//   Modbus pack only when the module sent it; then 1500 ms more and the restart (row). The
//   extra blocks are addressed to the module of the last P6 click ("sel").

#include "lan/ack_ledger.h"
#include "lan/found_modules.h"
#include "lan/save_refusal.h"
#include "protocol/block_codec.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p7.h"
#include "protocol/Unit_Public.h"

#include <optional>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <vector>

namespace r2 {

class TUdpSvr;

inline constexpr int BlockGapMs = 500;
inline constexpr int RestartGapMs = 1500;
inline constexpr int AckWaitMs = BlockGapMs;
inline constexpr int AckGraceMs = 100;
// The first firmware version that knows the heartbeat/registration and HTTPD blocks.
inline constexpr unsigned HeartRegMinVersion = 4017;
inline constexpr std::size_t DeviceIdBytes = 20;
inline constexpr std::size_t CommCodeBytes = 8;
inline constexpr int RegTypeCloudEntry = 3;
inline constexpr int WorkModeHttpdEntry = 4;

// One frame of a sequence. Port 1500 frames go through the P6 senders, 1901 through the P7
// ones; an empty block means a command without a block.
struct LanFrame {
    quint8 command = 0;
    quint16 port = CfgPortP6;
    Bytes block;
    LanTarget target;
};

// A step is a frame, or a message for the user (a language key) where a check skipped a
// block. `gapAfterMs` is the least time between this step's send and the next send.
struct SequenceStep {
    std::optional<LanFrame> frame;
    QString messageKey;
    int gapAfterMs = 0;
};

struct SequencePlan {
    std::vector<SequenceStep> steps;
    // The mirror after every encoder ran; committed when the sequence starts.
    std::optional<ParamMirror> mirror;
    int frameCount() const;
};

struct PlanResult {
    std::optional<SequencePlan> plan;
    QString error;        // set when plan is empty: what failed, naming the control
    EncodeResult failure; // the encoder's refusal that error words, when an encoder refused
};

SequencePlan PlanRead(int devFlag, const LanTarget& row);
SequencePlan PlanRestart(const LanTarget& row);
SequencePlan PlanFactoryReset(int devFlag, const LanTarget& row);
PlanResult PlanP6Save(const PanelP6& panel, const ParamMirror& mirror, const LanTarget& row,
                      const LanTarget& sel, unsigned version);
PlanResult PlanP7Save(const PanelP7& panel, const ParamMirror& mirror, const LanTarget& row);

// Runs a plan through the endpoint. Emits stepSent for each frame (ok false when the
// endpoint could not send it), message for each message step, and finished after the last
// (and the wait for its acknowledgement); verdict() then says which frames were acknowledged.
class LanSequence final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LanSequence)

public:
    LanSequence(TUdpSvr& udp, ParamMirror& liveMirror, SequencePlan plan, QString user,
                QString password, QObject* parent = nullptr);

    void start();
    bool isRunning() const { return m_running; }
    // Complete once `finished` was emitted.
    const SequenceVerdict& verdict() const { return m_ledger.verdict(); }
    // Why a save was refused before anything went out (verdict().refused in words).
    const std::optional<SaveRefusal>& refusal() const { return m_refusal; }

signals:
    void stepSent(int stepIndex, const r2::LanFrame& frame, bool ok);
    void message(const QString& key);
    void finished();

private:
    void runSteps();
    bool sendFrame(const LanFrame& frame);
    std::optional<SaveRefusal> saveRefusal() const;
    bool expectsAnyAck() const;
    void onStatusFrom(int code, const QString& text, const QString& senderIp, qint64 arrivalNs);
    void onAckTimer();
    void finish();

    TUdpSvr& m_udp;
    ParamMirror& m_liveMirror;
    SequencePlan m_plan;
    QString m_user;
    QString m_password;
    std::size_t m_next = 0;
    int m_gapMs = 0;
    bool m_running = false;
    bool m_joinsPrevious = false; // the next frame follows the last one without a pause
    bool m_ackWaitOver = false;
    QElapsedTimer m_sinceLast;
    QTimer m_timer;
    QTimer m_ackTimer;
    AckLedger m_ledger;
    std::optional<SaveRefusal> m_refusal;
};

} // namespace r2
