#include "serial/SPComm.h"

#include "serial/comm_notifier.h"
#include "serial/comm_port.h"
#include "serial/comm_workers.h"

#include <optional>
#include <QPointer>
#include <QSocketNotifier>

namespace r2 {
namespace {

template <typename Group, typename T> Group with(Group group, T Group::*field, T value) {
    group.*field = value;
    return group;
}

} // namespace

TComm::TComm(QObject* parent)
    : QObject(parent), m_notifier(std::make_unique<CommNotifier>()),
      m_wake(new QSocketNotifier(m_notifier->wakeFd(), QSocketNotifier::Read, this)) {
    connect(m_wake, &QSocketNotifier::activated, this, &TComm::deliverNotifications);
}

TComm::~TComm() {
    ClosePort();
    // The notifier watches the channel's descriptor, which goes with m_notifier.
    delete m_wake;
}

std::uint32_t TComm::ComHandle() const {
    return m_fd < 0 ? 0 : static_cast<std::uint32_t>(m_fd);
}

void TComm::SetCommName(const QString& name) {
    m_commName = name;
}

void TComm::OpenPort() {
    if (m_fd >= 0) {
        throw ECommsError(CommErrAlreadyOpen);
    }
    const PortOpenResult opened = openPortDevice(portDevicePath(m_commName));
    switch (opened.error) {
    case PortOpenError::None:
        break;
    case PortOpenError::CannotOpen:
        throw ECommsError(CommErrOpen);
    case PortOpenError::NotTerminal:
        throw ECommsError(CommErrNotComm);
    }
    m_fd = opened.fd;
    applyPortTimeouts();
    applyPortSettings();
    try {
        auto workers =
            std::make_unique<CommWorkers>(m_fd, *m_notifier, m_timeouts, m_line.IgnoreNullChar);
        workers->startReader();
        workers->startWriter(); // on failure, the workers' destructor stops the reader
        m_workers = std::move(workers);
    } catch (const ECommsError&) {
        closePortDevice(m_fd);
        m_fd = -1;
        throw;
    }
}

void TComm::ClosePort() {
    if (m_fd < 0) {
        return;
    }
    m_workers->stop();
    m_workers.reset();
    closePortDevice(m_fd);
    m_fd = -1;
}

bool TComm::WritePortData(const std::uint8_t* data, std::uint16_t length) {
    if (!m_workers || data == nullptr || length == 0) {
        return false;
    }
    return m_workers->queueWrite(QByteArray(reinterpret_cast<const char*>(data), length));
}

void TComm::SetLineSettings(const CommLineSettings& settings) {
    if (settings == m_line) {
        return;
    }
    m_line = settings;
    applyPortSettings();
}

void TComm::SetTimeouts(const CommTimeouts& timeouts) {
    if (timeouts == m_timeouts) {
        return;
    }
    m_timeouts = timeouts;
    applyPortTimeouts();
}

void TComm::applyPortSettings() {
    if (m_fd < 0) {
        return;
    }
    applyLineSettings(m_fd, m_line);
    if (m_workers) {
        m_workers->setIgnoreNul(m_line.IgnoreNullChar);
    }
    ++m_portWrites;
}

// The timeouts live in the reader and writer, which time chunks and writes themselves.
void TComm::applyPortTimeouts() {
    if (m_fd < 0) {
        return;
    }
    if (m_workers) {
        m_workers->setTimeouts(m_timeouts);
    }
    ++m_portWrites;
}

void TComm::deliverNotifications() {
    m_notifier->clearWake();
    // A handler may delete this component; nothing is touched after that.
    const QPointer<TComm> alive(this);
    while (alive) {
        std::optional<CommEvent> event = m_notifier->take();
        if (!event) {
            return;
        }
        switch (event->kind) {
        case CommEventKind::Data:
            emit OnReceiveData(event->data);
            break;
        case CommEventKind::Error:
            emit OnReceiveError(event->value);
            break;
        case CommEventKind::Hangup:
            emit OnRequestHangup();
            break;
        case CommEventKind::Modem:
            emit OnModemStateChange(event->value);
            break;
        case CommEventKind::TxEmpty:
            emit OnSendDataEmpty();
            break;
        }
    }
}

void TComm::SetBaudRate(std::uint32_t rate) {
    SetLineSettings(with(m_line, &CommLineSettings::BaudRate, rate));
}
void TComm::SetParityCheck(bool on) {
    SetLineSettings(with(m_line, &CommLineSettings::ParityCheck, on));
}
void TComm::SetOutx_CtsFlow(bool on) {
    SetLineSettings(with(m_line, &CommLineSettings::Outx_CtsFlow, on));
}
void TComm::SetOutx_DsrFlow(bool on) {
    SetLineSettings(with(m_line, &CommLineSettings::Outx_DsrFlow, on));
}
void TComm::SetDtrControl(TDtrControl control) {
    SetLineSettings(with(m_line, &CommLineSettings::DtrControl, control));
}
void TComm::SetDsrSensitivity(bool on) {
    SetLineSettings(with(m_line, &CommLineSettings::DsrSensitivity, on));
}
void TComm::SetTxContinueOnXoff(bool on) {
    SetLineSettings(with(m_line, &CommLineSettings::TxContinueOnXoff, on));
}
void TComm::SetOutx_XonXoffFlow(bool on) {
    SetLineSettings(with(m_line, &CommLineSettings::Outx_XonXoffFlow, on));
}
void TComm::SetInx_XonXoffFlow(bool on) {
    SetLineSettings(with(m_line, &CommLineSettings::Inx_XonXoffFlow, on));
}
void TComm::SetReplaceWhenParityError(bool on) {
    SetLineSettings(with(m_line, &CommLineSettings::ReplaceWhenParityError, on));
}
void TComm::SetIgnoreNullChar(bool on) {
    SetLineSettings(with(m_line, &CommLineSettings::IgnoreNullChar, on));
}
void TComm::SetRtsControl(TRtsControl control) {
    SetLineSettings(with(m_line, &CommLineSettings::RtsControl, control));
}
void TComm::SetXonLimit(std::uint16_t limit) {
    SetLineSettings(with(m_line, &CommLineSettings::XonLimit, limit));
}
void TComm::SetXoffLimit(std::uint16_t limit) {
    SetLineSettings(with(m_line, &CommLineSettings::XoffLimit, limit));
}
void TComm::SetByteSize(TByteSize size) {
    SetLineSettings(with(m_line, &CommLineSettings::ByteSize, size));
}
void TComm::SetParity(TParity parity) {
    SetLineSettings(with(m_line, &CommLineSettings::Parity, parity));
}
void TComm::SetStopBits(TStopBits bits) {
    SetLineSettings(with(m_line, &CommLineSettings::StopBits, bits));
}
void TComm::SetXonChar(char c) {
    SetLineSettings(with(m_line, &CommLineSettings::XonChar, c));
}
void TComm::SetXoffChar(char c) {
    SetLineSettings(with(m_line, &CommLineSettings::XoffChar, c));
}
void TComm::SetReplacedChar(char c) {
    SetLineSettings(with(m_line, &CommLineSettings::ReplacedChar, c));
}

void TComm::SetReadIntervalTimeout(std::uint32_t ms) {
    SetTimeouts(with(m_timeouts, &CommTimeouts::ReadIntervalTimeout, ms));
}
void TComm::SetReadTotalTimeoutMultiplier(std::uint32_t ms) {
    SetTimeouts(with(m_timeouts, &CommTimeouts::ReadTotalTimeoutMultiplier, ms));
}
void TComm::SetReadTotalTimeoutConstant(std::uint32_t ms) {
    SetTimeouts(with(m_timeouts, &CommTimeouts::ReadTotalTimeoutConstant, ms));
}
void TComm::SetWriteTotalTimeoutMultiplier(std::uint32_t ms) {
    SetTimeouts(with(m_timeouts, &CommTimeouts::WriteTotalTimeoutMultiplier, ms));
}
void TComm::SetWriteTotalTimeoutConstant(std::uint32_t ms) {
    SetTimeouts(with(m_timeouts, &CommTimeouts::WriteTotalTimeoutConstant, ms));
}

} // namespace r2
