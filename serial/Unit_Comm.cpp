#include "serial/Unit_Comm.h"

#include "protocol/p5_codec.h"
#include "qt_bridge/qt_bridge.h"

#include <exception>
#include <limits>

namespace r2 {

namespace {

constexpr int SerialGapSpareMs = 10;

} // namespace

std::uint32_t SerialSpeedFromText(const QString& text) {
    bool ok = false;
    const uint speed = text.toUInt(&ok, 10);
    // Zero is no speed either: on a terminal it means "hang up".
    return ok && speed > 0 ? speed : DefaultSerialSpeed;
}

// Turns the decoded P6 replies into the exchange's signals.
class SerialExchange::Sink final : public ParamReplySink {
public:
    explicit Sink(SerialExchange& owner) : m_owner(owner) {}

    void OnBaseParams(const TBaseParam& base, const TarrComParam& ports, int devFlag,
                      bool fromSerial) override {
        emit m_owner.OnBaseParams(base, ports, devFlag, fromSerial);
    }
    void OnCloudParams(const TarrCloudParam& clouds, bool fromSerial, int devFlag) override {
        emit m_owner.OnCloudParams(clouds, fromSerial, devFlag);
    }
    void OnHeartReg(ByteView block85, bool fromSerial, int devFlag) override {
        emit m_owner.OnHeartReg(ByteArrayOf(block85), fromSerial, devFlag);
    }
    // The serial line carries no HTTPD or Modbus replies.
    void OnHttpd(const std::string&, const std::string&) override {}
    void OnModbusParam(const TModbusParam&, int) override {}
    void OnModbusPack(const TModbusPackParam&, int) override {}

private:
    SerialExchange& m_owner;
};

SerialExchange::SerialExchange(TComm& comm, ParamMirror& mirror, QObject* parent)
    : QObject(parent), m_comm(comm), m_mirror(mirror), m_sink(std::make_unique<Sink>(*this)) {
    m_gapTimer.setSingleShot(true);
    m_gapTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_gapTimer, &QTimer::timeout, this, &SerialExchange::sendNextFrame);
    m_waitTimer.setSingleShot(true);
    m_waitTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_waitTimer, &QTimer::timeout, this, &SerialExchange::finishAction);
    connect(&m_comm, &TComm::OnReceiveData, this, &SerialExchange::HandleSerialChunk);
}

SerialExchange::~SerialExchange() {
    // The port belongs to the owner of the TComm; an action cut short must not leave it open.
    if (m_serialOpen) {
        m_comm.ClosePort();
    }
}

void SerialExchange::applyExchangeSettings(std::uint32_t speed) {
    // The component's defaults (DTR and RTS raised, no software flow control) with the
    // window's instance changes, whatever the port was set to before.
    CommLineSettings line;
    line.BaudRate = speed;
    line.ParityCheck = false;
    line.Parity = TParity::None;
    line.ByteSize = TByteSize::_8;
    line.StopBits = TStopBits::_1;
    line.Outx_CtsFlow = false;
    line.Outx_DsrFlow = false;
    line.TxContinueOnXoff = false;
    m_comm.SetLineSettings(line);
    CommTimeouts timeouts;
    timeouts.ReadIntervalTimeout = SerialReadIntervalMs;
    m_comm.SetTimeouts(timeouts);
}

bool SerialExchange::OpenSerialSession(const QString& port, const QString& speedText) {
    m_outcome.openError.clear();
    if (port.isEmpty()) {
        m_serialOpen = false;
        m_outcome.openError = QStringLiteral("no serial port chosen");
        emit sessionOpened(false);
        return false;
    }
    try {
        m_comm.ClosePort();
        m_comm.SetCommName(port);
        applyExchangeSettings(SerialSpeedFromText(speedText));
        m_comm.OpenPort();
        m_serialOpen = true;
    } catch (const std::exception& e) {
        m_serialOpen = false;
        m_outcome.openError = QString::fromLocal8Bit(e.what());
    }
    emit sessionOpened(m_serialOpen);
    return m_serialOpen;
}

void SerialExchange::CloseSerialSession() {
    m_comm.ClosePort();
    m_serialOpen = false;
    emit sessionClosed();
}

bool SerialExchange::SendSerialFrame(const Bytes& frame) {
    const bool fits = !frame.empty() && frame.size() <= std::numeric_limits<std::uint16_t>::max();
    const bool ok = m_serialOpen && fits &&
                    m_comm.WritePortData(frame.data(), static_cast<std::uint16_t>(frame.size()));
    if (!ok) {
        m_outcome.sendFailed = true;
    }
    emit frameSent(ByteArrayOf(frame), ok);
    return ok;
}

void SerialExchange::HandleSerialChunk(const QByteArray& chunk) {
    emit chunkReceived(chunk);
    const ByteView view = ViewOf(chunk);
    switch (ClassifySerialChunk(view)) {
    case SerialReplyKind::Accepted:
        m_outcome.accepted = true;
        emit saveAccepted();
        break;
    case SerialReplyKind::P5Reply: {
        PanelP5 check;
        const bool valid = DecodeP5Reply(view, check);
        m_outcome.p5Reply = m_outcome.p5Reply || valid;
        m_outcome.p5ReplyBad = m_outcome.p5ReplyBad || !valid;
        emit p5Reply(chunk);
        break;
    }
    case SerialReplyKind::P6Reply:
        m_outcome.p6Reply = true;
        HandleSerialReply(m_mirror, view, replySink());
        SendSerialFrame(BuildSerialReadAck());
        break;
    case SerialReplyKind::CloudHeart:
        m_outcome.cloudReply = true;
        HandleSerialReply(m_mirror, view, replySink());
        break;
    case SerialReplyKind::Ignored:
    case SerialReplyKind::Other:
        ++m_outcome.otherChunks;
        break;
    }
}

QString SerialExchange::busyText() const {
    return QStringLiteral("a serial read or save is still running; wait for it to finish");
}

bool SerialExchange::StartRead(const QString& port, const QString& speedText, int devFlag,
                               ParamReplySink* reader) {
    if (m_running) {
        return false;
    }
    m_reader = reader;
    return startAction(port, speedText, {BuildSerialReadRequest(devFlag)}, std::nullopt);
}

ParamReplySink& SerialExchange::replySink() {
    return m_reader != nullptr ? *m_reader : *m_sink;
}

QString SerialExchange::StartSaveP6(const QString& port, const QString& speedText,
                                    const PanelP6& panel) {
    if (m_running) {
        return busyText();
    }
    SerialP6SaveFrames save = EncodeSerialP6Save(panel, m_mirror);
    m_encodeRefusal = save.status;
    if (!save.status.ok()) {
        return QString::fromStdString(save.status.Message());
    }
    startAction(port, speedText, std::move(save.frames), save.mirror);
    return {};
}

QString SerialExchange::StartSaveP5(const QString& port, const QString& speedText,
                                    const PanelP5& panel) {
    if (m_running) {
        return busyText();
    }
    P5FrameResult encoded = EncodeP5Frame(panel);
    m_encodeRefusal = encoded.status;
    if (!encoded.status.ok()) {
        return QString::fromStdString(encoded.status.Message());
    }
    if (encoded.defaultIdApplied) {
        emit p5DefaultIdApplied();
    }
    startAction(port, speedText, {std::move(encoded.frame)}, std::nullopt);
    return {};
}

bool SerialExchange::startAction(const QString& port, const QString& speedText,
                                 std::vector<Bytes> frames, std::optional<ParamMirror> mirror) {
    if (m_running) {
        return false;
    }
    m_running = true;
    m_outcome = SerialOutcome{};
    m_frames = std::move(frames);
    m_next = 0;
    m_outcome.opened = OpenSerialSession(port, speedText);
    if (m_outcome.opened && mirror) {
        m_mirror = *mirror;
    }
    sendNextFrame();
    return true;
}

void SerialExchange::sendNextFrame() {
    if (m_next >= m_frames.size()) {
        m_waitTimer.start(SerialReplyWaitMs);
        return;
    }
    // A timer may fire a little early, and the port's writer thread adds its own wake-up
    // delay to each frame; the spare keeps the pause on the line at least its length.
    constexpr qint64 due = SerialFrameGapMs + SerialGapSpareMs;
    if (m_next > 0 && m_sinceLast.elapsed() < due) {
        m_gapTimer.start(static_cast<int>(due - m_sinceLast.elapsed()));
        return;
    }
    SendSerialFrame(m_frames[m_next++]);
    m_sinceLast.start();
    if (m_next < m_frames.size()) {
        m_gapTimer.start(static_cast<int>(due));
    } else {
        m_waitTimer.start(SerialReplyWaitMs);
    }
}

void SerialExchange::finishAction() {
    CloseSerialSession();
    m_running = false;
    emit finished();
}

} // namespace r2
