#include "tools/r2ctl/ctl_serial.h"

#include "protocol/p5_codec.h"
#include "qt_bridge/qt_bridge.h"
#include "tools/r2ctl/ctl_command.h"
#include "tools/r2ctl/ctl_declaration.h"
#include "tools/r2ctl/ctl_values.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace r2::ctl {

namespace {

QString ToModel(const QString& value, QString& out) {
    out = value.toLower();
    if (!QStringList{"p6", "p7", "p5"}.contains(out)) {
        return QStringLiteral("takes p6, p5 or p7, not \"%1\"").arg(value);
    }
    return {};
}

QString ToBaud(const QString& value, std::uint32_t& out) {
    bool ok = false;
    out = value.toUInt(&ok, 10);
    if (!ok || out == 0) {
        return QStringLiteral("needs a speed in baud (a whole number), not \"%1\"").arg(value);
    }
    return {};
}

void DeclareSerial(CommandDeclaration& d) {
    CtlOptions& o = d.options();
    d.text("--port", "PATH", o.port,
           "The serial port (/dev/ttyUSB0, /dev/ttyACM0, a name under\n"
           "/dev such as ttyUSB0, or a pseudo-terminal's path).");
    d.value("--model", "p6|p5|p7", o.model, &ToModel, "The model of the module on the line.");
    d.value("--baud", "N", o.baud, &ToBaud, "The line speed (default 9600).");
    DeclareValueOptions(d);
}

QString CheckSerial(CtlOptions& o, const QStringList& arguments) {
    if (arguments.size() != 1 || !QStringList{"read", "write"}.contains(arguments.first())) {
        return QStringLiteral("serial needs read or write");
    }
    o.serialAction = arguments.first();
    if (o.port.isEmpty()) {
        return QStringLiteral("serial %1 needs --port PATH (the serial port, e.g. /dev/ttyUSB0)")
            .arg(o.serialAction);
    }
    if (o.model.isEmpty()) {
        return QStringLiteral("serial %1 needs --model p6, p5 or p7").arg(o.serialAction);
    }
    if (o.serialAction != "write" && (!o.sets.isEmpty() || !o.fromFile.isEmpty())) {
        return QStringLiteral("--set and --from belong to write");
    }
    return {};
}

int RunSerial(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    SerialSession session(options, out, err);
    return session.run();
}

} // namespace

const CommandSpec SerialCommand{
    CommandId::Serial,
    "serial",
    "serial read --port PATH --model p6|p5|p7 [--baud N]\n"
    "serial write --port PATH --model p6|p5|p7 [--baud N] [--set CONTROL=VALUE]...\n"
    "             [--from FILE.json]",
    "Read or write a module on a serial line.",
    "read: read a module on a serial line (its CFG pin tied to ground) as the\n"
    "window's serial sheet does: send the read request, handle the replies\n"
    "for 2000 ms and print the panel they filled (the P6 panel for p6, the\n"
    "P5 panel for p5 and p7) and every frame sent and received.\n"
    "write: read the module as above, apply the values to the panel read (as\n"
    "write does), then save over the serial line (p6: base, port and the\n"
    "closing frame, 500 ms apart; p5, p7: the 31-byte parameter frame) and\n"
    "wait 2000 ms for the module's acceptance 'K'. A value that does not\n"
    "convert writes nothing.",
    "r2ctl serial write --port /dev/ttyUSB0 --model p5 --baud 115200 --set edt_ID=7",
    &DeclareSerial,
    &CheckSerial,
    &RunSerial};

SerialSession::SerialSession(const CtlOptions& options, QTextStream& out, QTextStream& err)
    : m_options(options), m_out(out), m_err(err) {
    connect(&m_exchange, &SerialExchange::frameSent, this,
            [this](const QByteArray& frame, bool ok) {
                echo("sent", frame, SerialDirection::ToModule, ok);
            });
    connect(&m_exchange, &SerialExchange::chunkReceived, this, [this](const QByteArray& chunk) {
        echo("received", chunk, SerialDirection::FromModule);
    });
    // The frame carries the default device ID "0" for an empty box; so does the panel. A new
    // string is moved in: assigning the view in place makes GCC 12 at -O2 warn of an overlapping
    // copy it imagines (-Wrestrict), which stops a warnings-as-errors build.
    connect(&m_exchange, &SerialExchange::p5DefaultIdApplied, this,
            [this] { m_p5.edt_ID = std::string(DefaultP5DeviceId); });
    connect(&m_exchange, &SerialExchange::p5Reply, this, [this](const QByteArray& reply) {
        m_p5Filled = DecodeP5Reply(ViewOf(reply), m_p5) || m_p5Filled;
    });
    // The window shows the P6 panel's serial sheet while it works over the serial line.
    ApplyTabSwitchRule(m_p6, false);
    ApplyTabSwitchRule(m_p5, false);
}

int SerialSession::run() {
    return m_options.serialAction == QLatin1String("write") ? runWrite() : runRead();
}

int SerialSession::devFlag() const {
    if (isP6()) {
        return DevFlagP6;
    }
    return m_options.model == QLatin1String("p7") ? DevFlagP7 : DevFlagP5;
}

int SerialSession::fail(int status, const QString& message) {
    m_err << "r2ctl: " << message << Qt::endl;
    return status;
}

void SerialSession::echo(const char* direction, const QByteArray& bytes, SerialDirection way,
                         bool ok) {
    const QString hex =
        FrameHex(bytes, SerialFrameSecrets(ViewOf(bytes), way), m_options.showSecrets);
    QJsonObject frame{
        {"dir", QString::fromLatin1(direction)}, {"length", bytes.size()}, {"bytes", hex}};
    if (!ok) {
        frame["sent"] = false;
    }
    m_frames.append(frame);
    if (!m_options.json) {
        m_out << QString::fromLatin1(direction).leftJustified(9) << bytes.size()
              << " bytes: " << hex << (ok ? "" : "  (not sent: the port is not open)") << Qt::endl;
    }
}

void SerialSession::waitForAction() {
    QEventLoop loop;
    connect(&m_exchange, &SerialExchange::finished, &loop, &QEventLoop::quit);
    if (m_exchange.isRunning()) {
        loop.exec();
    }
}

QString SerialSession::openFailure() const {
    // The port opens a name without a slash under /dev, as it does.
    const QString path =
        m_options.port.contains('/') ? m_options.port : QStringLiteral("/dev/") + m_options.port;
    const QFileInfo info(path);
    QString why;
    if (!info.exists()) {
        why = QStringLiteral("%1 does not exist").arg(path);
    } else if (!info.isReadable() || !info.isWritable()) {
        why = QStringLiteral("no permission to read and write %1; on Debian, add your user to "
                             "the dialout group")
                  .arg(path);
    } else {
        why = QStringLiteral("another program may hold %1, or it is no serial port").arg(path);
    }
    return QStringLiteral("cannot open the serial port %1: %2 (%3); check the path (a USB "
                          "adapter is usually /dev/ttyUSB0 or /dev/ttyACM0) and the cable")
        .arg(m_options.port, m_exchange.outcome().openError, why);
}

QString SerialSession::unrecognised(int chunks) const {
    return QStringLiteral("%1 chunk(s) came that are no reply of a %2 module; a reply is known "
                          "only when it arrives whole, without a pause of more than %3 ms. "
                          "Check the speed (--baud), the model (--model) and the adapter")
        .arg(chunks)
        .arg(m_options.model.toUpper())
        .arg(SerialReadIntervalMs);
}

int SerialSession::readStatus() {
    const SerialOutcome& o = m_exchange.outcome();
    if (!o.opened) {
        return fail(exitcode::OtherError, openFailure());
    }
    if (o.sendFailed) {
        return fail(exitcode::OtherError,
                    QStringLiteral("the read request could not be written to %1; check the "
                                   "cable and the adapter")
                        .arg(m_options.port));
    }
    const bool whole = isP6() ? o.p6Reply && o.cloudReply : o.p5Reply;
    if (whole) {
        return exitcode::Ok;
    }
    if (o.p5ReplyBad) {
        return fail(exitcode::OtherError,
                    QStringLiteral("the module's reply has a wrong head or checksum; the panel "
                                   "was not filled. Check the speed (--baud) and the cable"));
    }
    if (o.p6Reply || o.cloudReply) {
        return fail(exitcode::OtherError,
                    QStringLiteral("the module sent only its %1 reply; the read is incomplete. "
                                   "Try again")
                        .arg(o.p6Reply ? QStringLiteral("base and port")
                                       : QStringLiteral("cloud and heartbeat")));
    }
    if (o.otherChunks > 0) {
        return fail(exitcode::OtherError, unrecognised(o.otherChunks));
    }
    return fail(exitcode::NoAnswer,
                QStringLiteral("no reply from a %1 module on %2 at %3 baud; check the cable, "
                               "that the module's CFG pin is tied to ground, the speed (--baud) "
                               "and the model (--model)")
                    .arg(m_options.model.toUpper(), m_options.port, speedText()));
}

int SerialSession::saveStatus() {
    const SerialOutcome& o = m_exchange.outcome();
    if (!o.opened) {
        return fail(exitcode::OtherError, openFailure() + QStringLiteral("; nothing was written"));
    }
    if (o.sendFailed) {
        return fail(exitcode::OtherError,
                    QStringLiteral("a frame of the save could not be written to %1; the module "
                                   "may be half written: save again")
                        .arg(m_options.port));
    }
    if (!o.accepted && o.otherChunks > 0) {
        return fail(exitcode::OtherError, QStringLiteral("the module did not accept the save: ") +
                                              unrecognised(o.otherChunks));
    }
    if (!o.accepted) {
        return fail(exitcode::NoAnswer,
                    QStringLiteral("the module did not accept the save (no 'K' within %1 ms); "
                                   "read it back to see what it holds")
                        .arg(SerialReplyWaitMs));
    }
    return exitcode::Ok;
}

QJsonObject SerialSession::panelJson() const {
    return isP6() ? PanelJson(ControlTableP6(), ControlValuesP6(m_p6))
                  : PanelJson(ControlTableP5(), ControlValuesP5(m_p5));
}

void SerialSession::printPanel() {
    m_out << '\n' << (isP6() ? "P6 panel:" : "P5 panel:") << '\n';
    const auto values = isP6() ? ControlValuesP6(m_p6) : ControlValuesP5(m_p5);
    for (const ControlValue& v : values) {
        m_out << "  " << QString::fromStdString(v.name).leftJustified(24)
              << TerminalText(ShowText(v.value)) << '\n';
    }
    m_out.flush();
}

void SerialSession::printDocument(bool withPanel) {
    const bool write = m_options.serialAction == QLatin1String("write");
    if (!m_options.json) {
        if (write && m_exchange.outcome().accepted) {
            m_out << "the module accepted the save ('K')" << Qt::endl;
        }
        if (withPanel) {
            printPanel();
        }
        return;
    }
    QJsonObject doc{{"port", m_options.port},
                    {"model", m_options.model},
                    {"baud", static_cast<qint64>(m_options.baud)},
                    {"frames", m_frames}};
    if (withPanel) {
        doc["panel"] = panelJson();
    }
    if (write) {
        doc["accepted"] = m_exchange.outcome().accepted;
    }
    m_out << QJsonDocument(doc).toJson(QJsonDocument::Indented);
    m_out.flush();
}

int SerialSession::runRead() {
    m_exchange.StartRead(m_options.port, speedText(), devFlag(), &m_reader);
    waitForAction();
    const int status = readStatus();
    printDocument(m_reader.Filled() || m_p5Filled);
    return status;
}

QString SerialSession::checkValues(const std::vector<SetValue>& values) const {
    // A panel as a read of zero blocks fills it: every control converts, so an encoder's
    // failure can only come from a value given here. Each field converts on its own, so what
    // converts here converts in the panel read from the module too.
    QString error;
    if (isP6()) {
        PanelP6 scratch;
        const Bytes zeros(BaseBlockLen + PortBlockLen, 0);
        FillFromBaseReply(scratch, DecodeBaseBlock(zeros),
                          TarrComParam{DecodePortBlock(ByteView(zeros).subspan(BaseBlockLen))},
                          DevFlagP6, true, std::nullopt);
        if (!ApplyValues(scratch, values, error)) {
            return error;
        }
        const SerialP6SaveFrames save = EncodeSerialP6Save(scratch, ParamMirror{});
        return QString::fromStdString(save.status.Message());
    }
    PanelP5 scratch;
    if (!ApplyValues(scratch, values, error)) {
        return error;
    }
    return QString::fromStdString(EncodeP5Frame(scratch).status.Message());
}

int SerialSession::runWrite() {
    QString error;
    const auto values = ValuesToSet(m_options, error);
    if (!values) {
        return fail(exitcode::BadArguments, error);
    }
    // Unknown controls, and values that no control takes or that do not convert, are refused
    // before anything is sent.
    if (error = checkValues(*values); !error.isEmpty()) {
        return fail(exitcode::BadArguments, error + QStringLiteral("; nothing was sent"));
    }
    m_exchange.StartRead(m_options.port, speedText(), devFlag(), &m_reader);
    waitForAction();
    if (const int status = readStatus(); status != exitcode::Ok) {
        printDocument(false);
        return fail(status, QStringLiteral("the module was not read, so nothing was written"));
    }
    if (!(isP6() ? ApplyValues(m_p6, *values, error) : ApplyValues(m_p5, *values, error))) {
        printDocument(false);
        return fail(exitcode::BadArguments, error + QStringLiteral("; nothing was written"));
    }
    const QString refused = isP6() ? m_exchange.StartSaveP6(m_options.port, speedText(), m_p6)
                                   : m_exchange.StartSaveP5(m_options.port, speedText(), m_p5);
    if (!refused.isEmpty()) {
        printDocument(false);
        return fail(exitcode::BadArguments, refused + QStringLiteral("; nothing was written"));
    }
    waitForAction();
    const int status = saveStatus();
    printDocument(true);
    return status;
}

} // namespace r2::ctl
