#pragma once
// TComm: one serial port, opened by path, with a reader thread and a writer thread.
//
// Contract:
// - Properties have the defaults of the component (CommName "COM1", BaudRate 9600, CTS and
//   DSR output flow on, ReadIntervalTimeout 10 ms, ...). A setter given the value already held
//   does nothing. A line-settings setter (BaudRate ... ReplacedChar) re-applies the whole line
//   group to the open port at once; a timeout setter re-applies the timeout group. CommName is
//   used only by the next OpenPort. A port that refuses a setting is not an error: a
//   pseudo-terminal has no baud rate or modem lines.
// - OpenPort() opens CommName exclusively (TIOCEXCL, and a flock so that root, whom the kernel
//   lets past TIOCEXCL, is kept out too), checks it is a terminal, clears both directions,
//   applies timeouts and line settings and starts both threads. A name that is not an
//   absolute path is looked up under /dev ("ttyUSB0" is /dev/ttyUSB0). Every failure throws
//   ECommsError with one of the fixed messages below and leaves the component closed (ComHandle()
//   0, no threads). A terminal has no driver queues to size, so CommErrBuffer is never thrown here.
// - ClosePort() signals the stop event, waits for the reader, then the writer (each at most
//   about 10 s), closes the port; ComHandle() is 0 afterwards. Closing a closed port does
//   nothing. The destructor closes a port its owner left open.
// - WritePortData() copies the bytes and queues them for the writer; false when the port is
//   closed, the writer has ended, or length is 0. The caller's buffer may be reused at once.
// - The reader delivers chunks: everything from the first byte up to a gap longer than
//   ReadIntervalTimeout, or 3072 bytes, whichever comes first (see comm_read_rules.h for the
//   interval's special values and the read totals).
// - The writer signals OnSendDataEmpty once right after the open and each time its queue
//   drains after one or more writes.
// - A worker that fails, or a device that vanishes (hang-up, EIO), emits OnRequestHangup and
//   ends; the component stays open until its owner calls ClosePort.
// - Every signal is queued to the thread that owns the object and arrives there in the order
//   the workers raised it; a chunk queued before ClosePort may still arrive after it.

#include <cstdint>
#include <memory>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <stdexcept>

class QSocketNotifier;

namespace r2 {

enum class TParity { None, Odd, Even, Mark, Space };
enum class TStopBits { _1, _1_5, _2 };
enum class TByteSize { _5, _6, _7, _8 };
enum class TDtrControl { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };

inline constexpr int CommQueueBytes = 3072;

// Line-event bits of OnModemStateChange.
inline constexpr std::uint32_t ModemRing = 4;
inline constexpr std::uint32_t ModemCarrierDetect = 8;

class ECommsError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The seven OpenPort failures, word for word.
inline constexpr const char* CommErrAlreadyOpen = "This serial port already opened";
inline constexpr const char* CommErrOpen = "Error opening serial port";
inline constexpr const char* CommErrNotComm = "File handle is not a comm handle ";
inline constexpr const char* CommErrBuffer = "Cannot setup comm buffer";
inline constexpr const char* CommErrEvent = "Unable to create event";
inline constexpr const char* CommErrReadThread = "Unable to create read thread";
inline constexpr const char* CommErrWriteThread = "Unable to create write thread";

// Everything the line-settings group writes to the port.
struct CommLineSettings {
    std::uint32_t BaudRate = 9600;
    bool ParityCheck = false;
    bool Outx_CtsFlow = true;
    bool Outx_DsrFlow = true;
    TDtrControl DtrControl = TDtrControl::DtrEnable;
    bool DsrSensitivity = false;
    bool TxContinueOnXoff = true;
    bool Outx_XonXoffFlow = false;
    bool Inx_XonXoffFlow = false;
    bool ReplaceWhenParityError = false;
    bool IgnoreNullChar = false;
    TRtsControl RtsControl = TRtsControl::RtsEnable;
    std::uint16_t XonLimit = 10;
    std::uint16_t XoffLimit = 10;
    TByteSize ByteSize = TByteSize::_8;
    TParity Parity = TParity::None;
    TStopBits StopBits = TStopBits::_1;
    char XonChar = 17;
    char XoffChar = 19;
    char ReplacedChar = 0;
    bool operator==(const CommLineSettings&) const = default;
};

// The timeout group, in milliseconds.
struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 10;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
    bool operator==(const CommTimeouts&) const = default;
};

class CommWorkers;  // the two threads and the stop signal of one open port
class CommNotifier; // the workers' notifications, waiting for the owner's thread

class TComm final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TComm)

public:
    explicit TComm(QObject* parent = nullptr);
    ~TComm() override;

    void OpenPort();
    void ClosePort();
    bool WritePortData(const std::uint8_t* data, std::uint16_t length);

    QString CommName() const { return m_commName; }
    void SetCommName(const QString& name);
    // The open port's descriptor, 0 while closed.
    std::uint32_t ComHandle() const;

    const CommLineSettings& LineSettings() const { return m_line; }
    const CommTimeouts& Timeouts() const { return m_timeouts; }
    // Every property setter goes through these two, so "equal value does nothing" and
    // "re-apply the group while open" hold for all of them.
    void SetLineSettings(const CommLineSettings& settings);
    void SetTimeouts(const CommTimeouts& timeouts);

    void SetBaudRate(std::uint32_t rate);
    void SetParityCheck(bool on);
    void SetOutx_CtsFlow(bool on);
    void SetOutx_DsrFlow(bool on);
    void SetDtrControl(TDtrControl control);
    void SetDsrSensitivity(bool on);
    void SetTxContinueOnXoff(bool on);
    void SetOutx_XonXoffFlow(bool on);
    void SetInx_XonXoffFlow(bool on);
    void SetReplaceWhenParityError(bool on);
    void SetIgnoreNullChar(bool on);
    void SetRtsControl(TRtsControl control);
    void SetXonLimit(std::uint16_t limit);
    void SetXoffLimit(std::uint16_t limit);
    void SetByteSize(TByteSize size);
    void SetParity(TParity parity);
    void SetStopBits(TStopBits bits);
    void SetXonChar(char c);
    void SetXoffChar(char c);
    void SetReplacedChar(char c);

    void SetReadIntervalTimeout(std::uint32_t ms);
    void SetReadTotalTimeoutMultiplier(std::uint32_t ms);
    void SetReadTotalTimeoutConstant(std::uint32_t ms);
    void SetWriteTotalTimeoutMultiplier(std::uint32_t ms);
    void SetWriteTotalTimeoutConstant(std::uint32_t ms);

    // How many times the open port's line settings or timeouts were written; tests use it to
    // see that an equal value touched nothing.
    int PortWrites() const { return m_portWrites; }

signals:
    // One chunk as read; handlers copy what they keep.
    void OnReceiveData(const QByteArray& buffer);
    void OnReceiveError(std::uint32_t eventMask);
    void OnModemStateChange(std::uint32_t modemEvent);
    void OnRequestHangup();
    void OnSendDataEmpty();

private:
    void applyPortSettings();
    void applyPortTimeouts();
    void deliverNotifications();

    QString m_commName = QStringLiteral("COM1");
    CommLineSettings m_line;
    CommTimeouts m_timeouts;
    int m_fd = -1;
    int m_portWrites = 0;
    // Declared before the workers: they post into it until they are joined.
    std::unique_ptr<CommNotifier> m_notifier;
    QSocketNotifier* m_wake = nullptr;
    std::unique_ptr<CommWorkers> m_workers;
};

} // namespace r2
