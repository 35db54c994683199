#pragma once
// Which frames of a command sequence the module itself answered.
//
// Contract:
// - A frame counts as acknowledged only by one acknowledgement ('K') from the module's own
//   address (the address its search reply came from), arriving after that frame was sent and
//   before the next frame went out or the wait after the last frame ended. Arrival means the
//   kernel's arrival stamp, so an answer read late is still placed where it belongs.
// - An acknowledgement carries nothing that names its frame (byte 2 is not examined), so
//   frames sent back to back, without a pause between them, share one window: the answers in
//   it go to those frames in sending order, one each.
// - One answer per frame: the first answer from the module in a frame's window is that
//   frame's answer, whether an acknowledgement or an error ('P', 'E', a check error). Further
//   answers in the window are counted as surplus and acknowledge nothing; answers from other
//   addresses are counted as foreign and acknowledge nothing.
// - A read frame expects no acknowledgement (the module answers it with its blocks); it takes
//   no answer and never makes a verdict fail.
// - The ledger knows nothing of sockets or timers: the sequence feeds it sends, answers and
//   the end of its wait, so the rules above are tested without a network.

#include <optional>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace r2 {

enum class FrameAnswer { None, Ack, PasswordError, CheckError, OtherError };

// The endpoint's status code as a frame's answer; None for a status that answers no frame.
FrameAnswer AnswerForStatus(int statusCode);

// The name of a command in messages ("base", "heartbeat/registration", "restart", ...).
QString CommandName(quint8 command);

struct FrameVerdict {
    int stepIndex = -1; // the frame's step in its plan
    quint8 command = 0;
    QString mac;
    QString moduleIp;  // whose answer counts; empty when no search reply of the MAC is known
    bool sent = false; // false when the endpoint could not send it
    bool expectsAck = true;
    FrameAnswer answer = FrameAnswer::None;

    bool acknowledged() const { return answer == FrameAnswer::Ack; }
};

struct SequenceVerdict {
    std::vector<FrameVerdict> frames;
    int foreignAnswers = 0; // answers from other addresses than the module's
    int surplusAnswers = 0; // answers from the module beyond one per frame of their window
    QString refused;        // set when the sequence sent nothing at all: why

    // Index into `frames` of the first frame that expects an acknowledgement and has none.
    std::optional<std::size_t> firstUnacknowledged() const;
    // Every frame that expects an acknowledgement has one, and nothing was refused.
    bool allAcknowledged() const;
    int acknowledgedCount() const;
    // One sentence naming the first frame without its acknowledgement and what it got
    // instead (or why the sequence was refused); empty when everything was acknowledged.
    QString text() const;
};

class AckLedger final {
public:
    // A frame went out (or failed to) at `sentNs` (real-time clock, nanoseconds).
    // `joinsPrevious`: it followed the previous frame without a pause and shares its window.
    void frameSent(FrameVerdict frame, qint64 sentNs, bool joinsPrevious);
    // An answer from `senderIp` that the kernel took in at `arrivalNs`.
    void answer(FrameAnswer answer, const QString& senderIp, qint64 arrivalNs);
    // The wait after the last frame ended at `endNs`: later arrivals answer nothing.
    void close(qint64 endNs);
    // Marks the sequence as refused before anything went out.
    void refuse(const QString& why);

    const SequenceVerdict& verdict() const { return m_verdict; }

private:
    struct Window {
        qint64 startNs = 0;
        std::size_t firstFrame = 0; // index into m_verdict.frames
        std::size_t frameCount = 0;
    };
    Window* windowAt(qint64 arrivalNs);

    SequenceVerdict m_verdict;
    std::vector<Window> m_windows;
    std::optional<qint64> m_endNs;
};

} // namespace r2
