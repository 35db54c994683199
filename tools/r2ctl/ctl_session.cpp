#include "tools/r2ctl/ctl_session.h"

#include "lan/save_over_read.h"
#include "qt_bridge/qt_bridge.h"
#include "tools/r2ctl/ctl_batch.h"
#include "tools/r2ctl/ctl_values.h"

#include <algorithm>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

namespace r2::ctl {

namespace {

// Polling interval while waiting for a condition; replies are handled in between.
constexpr int PollMs = 5;
// Upper bound for a sequence to run through its pauses (a P6 save takes about 5 s).
constexpr int SequenceLimitMs = 30000;
// What a flood may add to the output (besides the rows listed, as many as the endpoint keeps
// addresses for): statuses kept for printing and JSON, and addresses named for sending
// parameter replies that were not asked for.
constexpr int MaxStatusesKept = 1000;
constexpr int MaxForeignNamed = 10;

// The block names of `read --json`, by reply length, with the hex of each (`hex`: the reply's).
std::vector<std::pair<QString, QString>> NamedBlocks(qsizetype length, const QString& hex) {
    switch (length) {
    case BasePortReplyLen:
        return {{"base", hex.left(2 * BaseBlockLen)}, {"port", hex.mid(2 * BaseBlockLen)}};
    case CloudBlockLen:
        return {{"cloud", hex}};
    case HeartRegBlockLen:
        return {{"heartReg", hex}};
    case HttpdReplyLen:
        return {{"httpd", hex}};
    case ModbusPackBlockLen:
        return {{"modbusPack", hex}};
    case ModbusShortLen:
    case ModbusSwitchLen:
        return {{"modbus", hex}};
    default:
        return {};
    }
}

} // namespace

CtlSession::CtlSession(const CtlOptions& options, QTextStream& out, QTextStream& err)
    : m_options(options), m_out(out), m_err(err) {
    connect(&m_udp, &TUdpSvr::OnDeviceFound, this, &CtlSession::onDeviceFound);
    connect(&m_udp, &TUdpSvr::statusFrom, this, &CtlSession::onStatusFrom);
    connect(&m_udp, &TUdpSvr::foreignParamReply, this,
            [this](const QString& senderIp, int, const QString& text) {
                if (m_foreignNamed.size() < MaxForeignNamed && !m_foreignNamed.contains(senderIp)) {
                    m_foreignNamed.insert(senderIp);
                    m_err << "r2ctl: " << text << Qt::endl;
                }
            });
    connect(&m_udp, &TUdpSvr::OnSent, this,
            [this](const QByteArray& frame, const QString&, quint16, quint16 destPort) {
                onSent(frame, destPort);
            });
    connect(&m_udp, &TUdpSvr::OnStatus, this, &CtlSession::onStatus);
    // Every parameter reply the endpoint takes fills the session's panel; the endpoint and the
    // reader die with the session, and no reply is handled while it is being destroyed.
    m_udp.setReplyReader(&m_reader);
}

int CtlSession::run() {
    const int status = runCommand();
    reportFloodLosses();
    return status;
}

int CtlSession::runCommand() {
    switch (m_options.id) {
    case CommandId::Search:
        return runSearch();
    case CommandId::Read:
        return runRead();
    case CommandId::Write:
        return runWrite();
    case CommandId::Backup:
        return runBackup();
    case CommandId::Restore:
        return runRestore();
    default:
        return runSingleCommand();
    }
}

void CtlSession::reportFloodLosses() {
    if (const quint64 dropped = m_udp.droppedDatagrams(); dropped > 0) {
        m_err << "r2ctl: " << dropped
              << " datagram(s) were dropped because they arrived faster than they could be "
                 "handled; a device on the network may be flooding it"
              << Qt::endl;
    }
    if (m_devices.leftOut() > 0) {
        m_err << "r2ctl: " << m_devices.leftOut() << " further module(s) answered beyond the "
              << m_devices.cap() << " listed" << Qt::endl;
    }
}

int CtlSession::fail(int status, const QString& message) {
    m_err << "r2ctl: " << message << Qt::endl;
    return status;
}

int CtlSession::failNotFound() {
    return fail(exitcode::NotFound,
                QStringLiteral("no module with the MAC %1 answered the search").arg(m_options.mac));
}

void CtlSession::runEventLoop(int ms, const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (clock.elapsed() >= ms || (done && done())) {
            loop.quit();
        }
    });
    poll.start(PollMs);
    if (done && done()) {
        return;
    }
    loop.exec();
}

void CtlSession::onDeviceFound(const QString& ip, const QString& name, int socketIndex, int flag,
                               const QString& version, const QString& mac) {
    m_devices.add(FoundModule::FromSearchReply(ip, name, socketIndex, flag, version, mac));
}

void CtlSession::onSent(const QByteArray& frame, quint16 destPort) {
    if (!m_actionRunning) {
        return;
    }
    const quint8 code = frame.size() > 2 ? static_cast<quint8>(frame[2]) : 0;
    const QString hex = FrameHex(frame, CommandFrameSecrets(ViewOf(frame)), m_options.showSecrets);
    m_sentJson.append(QJsonObject{{"command", CommandName(code)},
                                  {"code", code},
                                  {"port", destPort},
                                  {"length", frame.size()},
                                  {"bytes", hex}});
    if (!m_options.json) {
        m_out << "sent  " << CommandName(code).leftJustified(24) << " to port " << destPort << ", "
              << frame.size() << " bytes: " << hex << Qt::endl;
    }
}

void CtlSession::onStatus(int code, const QString& text) {
    if (code == StSearchSent) {
        return;
    }
    if (code == StPortInUse) {
        m_err << "r2ctl: the UDP sockets could not be opened (" << text << ")" << Qt::endl;
        CountStatus(m_outcome, code);
    }
    if (m_statusJson.size() >= MaxStatusesKept) {
        ++m_statusesOmitted;
        return;
    }
    m_statusJson.append(QJsonObject{{"code", code}, {"text", text}});
    if (m_actionRunning && !m_options.json) {
        m_out << "status " << code << " " << text << Qt::endl;
    }
}

void CtlSession::onStatusFrom(int code, const QString&, const QString& senderIp) {
    // Only the module's own answers speak for it; another host's are shown and not counted.
    if (!m_moduleIp || senderIp == *m_moduleIp) {
        CountStatus(m_outcome, code);
        return;
    }
    if (m_actionRunning && !m_options.json && m_statusJson.size() < MaxStatusesKept) {
        m_out << "  (from " << senderIp << ", not the module: not counted)" << Qt::endl;
    }
}

std::optional<FoundModule> CtlSession::findDevice() {
    m_udp.SearchDevices();
    runEventLoop(m_options.waitMs, [this] { return m_devices.find(m_options.mac) != nullptr; });
    const FoundModule* module = m_devices.find(m_options.mac);
    return module ? std::optional(*module) : std::nullopt;
}

int CtlSession::runSearch() {
    m_udp.SearchDevices();
    runEventLoop(m_options.waitMs);
    if (m_options.json) {
        QJsonArray rows;
        for (const FoundModule& module : m_devices) {
            rows.append(DeviceJson(module));
        }
        m_out << QJsonDocument(rows).toJson(QJsonDocument::Indented);
    } else {
        m_out << DeviceTable(m_devices.modules());
        m_out << m_devices.size() << " module(s) found" << Qt::endl;
    }
    return m_outcome.otherErrors > 0 ? exitcode::OtherError : exitcode::Ok;
}

bool CtlSession::readDevice(const FoundModule& row) {
    if (row.flag != DevFlagP6 && row.flag != DevFlagP7) {
        m_err << "r2ctl: " << row.mac << ": "
              << EnglishText(QStringLiteral("lang_Hint_VerIncompatible")) << " (firmware version "
              << row.versionText() << ")" << Qt::endl;
        return false;
    }
    m_reader.ReadModule(row.mac.toStdString(), row.flag);
    m_outcome = Outcome{};
    m_moduleIp = m_udp.moduleAddress(row.mac);
    LanSequence read(m_udp, m_mirror, PlanRead(row.flag, row.target()), m_options.user,
                     m_options.password);
    read.start();
    m_outcome.framesSent = 1;
    runEventLoop(m_options.waitMs);
    collectBlocks();
    return true;
}

void CtlSession::collectBlocks() {
    m_blocks.clear();
    for (const auto& [length, reply] : m_udp.readCheck().replies) {
        const QString hex =
            FrameHex(reply, ParamReplySecrets(ViewOf(reply)), m_options.showSecrets);
        for (auto& [name, block] : NamedBlocks(reply.size(), hex)) {
            m_blocks[name] = block;
        }
    }
}

int CtlSession::runRead() {
    const auto row = findDevice();
    if (!row) {
        return failNotFound();
    }
    if (!readDevice(*row)) {
        return exitcode::OtherError;
    }
    printRead(*row, row->flag);
    const ReadCheck& check = m_udp.readCheck();
    if (!check.trustworthy()) {
        return fail(exitcode::OtherError, check.conflict);
    }
    const int status = m_outcome.passwordErrors > 0 ? exitcode::PasswordError
                       : m_outcome.otherErrors > 0  ? exitcode::OtherError
                       : m_blocks.empty()           ? exitcode::NoAnswer
                                                    : exitcode::Ok;
    if (status == exitcode::NoAnswer) {
        m_err << "r2ctl: the module sent no parameter block" << Qt::endl;
    } else if (status != exitcode::Ok) {
        m_err << "r2ctl: " << ExplainExit(m_outcome) << Qt::endl;
    }
    return status;
}

QJsonObject CtlSession::blocksJson() const {
    QJsonObject out;
    for (const auto& [name, block] : m_blocks) {
        out[name] = block;
    }
    return out;
}

QJsonObject CtlSession::visibleJson() const {
    const PanelP6State& s = m_panel.state;
    return QJsonObject{{"rzgrpbxModbus", s.rzgrpbxModbus.visible},
                       {"RzGroupBox1", s.RzGroupBox1.visible},
                       {"rzchckbxmodbustcp", s.rzchckbxmodbustcp.visible},
                       {"rzchckbxmodbuspool", s.rzchckbxmodbuspool.visible},
                       {"lblhearttime", s.lblhearttime.visible},
                       {"edtwaittime", s.edtwaittime.visible}};
}

void CtlSession::printRead(const FoundModule& row, int flag) {
    const bool p6 = flag == DevFlagP6;
    const QJsonObject panel =
        p6 ? PanelJson(ControlTableP6(), ControlValuesP6(m_panel)) : QJsonObject{};
    if (m_options.json) {
        QJsonObject doc{{"device", DeviceJson(row)}, {"blocks", blocksJson()}};
        if (p6) {
            doc["panel"] = panel;
            doc["visible"] = visibleJson();
        }
        m_out << QJsonDocument(doc).toJson(QJsonDocument::Indented);
        return;
    }
    m_out << DeviceTable(std::span(&row, 1)) << "\nBlocks received:\n";
    for (const auto& [name, block] : m_blocks) {
        m_out << "  " << name.leftJustified(11) << block << '\n';
    }
    if (p6) {
        m_out << "\nP6 panel:\n";
        for (const ControlValue& v : ControlValuesP6(m_panel)) {
            m_out << "  " << QString::fromStdString(v.name).leftJustified(24)
                  << TerminalText(ShowText(v.value)) << '\n';
        }
        m_out << "\nShown by the module's replies:\n";
        const QJsonObject visible = visibleJson();
        for (auto it = visible.begin(); it != visible.end(); ++it) {
            m_out << "  " << it.key().leftJustified(24) << (it.value().toBool() ? "yes" : "no")
                  << '\n';
        }
    }
    m_out.flush();
}

bool CtlSession::applyValues(PanelP6& p6, PanelP7& p7, int flag, QString& error) const {
    const auto values = ValuesToSet(m_options, error);
    if (!values) {
        return false;
    }
    return flag == DevFlagP6 ? ApplyValues(p6, *values, error) : ApplyValues(p7, *values, error);
}

int CtlSession::runWrite() {
    QString error;
    if (!ValuesToSet(m_options, error)) {
        return fail(exitcode::BadArguments, error);
    }
    const auto row = findDevice();
    if (!row) {
        return failNotFound();
    }
    if (row->flag == DevFlagP6 || row->flag == DevFlagP7) {
        // Unknown controls and values no control accepts are refused before the read.
        PanelP6 scratch6;
        PanelP7 scratch7;
        if (!applyValues(scratch6, scratch7, row->flag, error)) {
            return fail(exitcode::BadArguments, error + QStringLiteral("; nothing was sent"));
        }
    }
    if (const auto failed = readForSave(*row)) {
        return *failed;
    }
    PanelP7 p7;
    if (!applyValues(m_panel, p7, row->flag, error)) {
        return fail(exitcode::BadArguments, error + QStringLiteral("; nothing was sent"));
    }
    return saveOverRead(*row, p7);
}

std::optional<int> CtlSession::readForSave(const FoundModule& row) {
    if (!readDevice(row)) {
        return exitcode::OtherError;
    }
    // The window's batch runs the same checks (ModuleBatch).
    if (const auto refused = ReadForSaveRefusal(m_udp.readCheck(), m_outcome.passwordErrors,
                                                row.flag, m_reader.Filled(), row.mac)) {
        return fail(BatchExitCode(refused->failure), refused->message);
    }
    return std::nullopt;
}

int CtlSession::saveOverRead(const FoundModule& row, const PanelP7& p7) {
    const LanTarget target = row.target();
    const PlanResult planned =
        PlanSaveOverRead(row.flag, m_panel, p7, m_mirror, target, row.version);
    if (!planned.plan) {
        return fail(exitcode::BadArguments, planned.error + QStringLiteral("; nothing was sent"));
    }
    return finishAction(row, runPlan(row, *planned.plan));
}

int CtlSession::runSingleCommand() {
    const auto row = findDevice();
    if (!row) {
        return failNotFound();
    }
    const LanTarget target = row->target();
    const SequencePlan plan = m_options.id == CommandId::Restart
                                  ? PlanRestart(target)
                                  : PlanFactoryReset(row->flag, target);
    return finishAction(*row, runPlan(*row, plan));
}

Outcome CtlSession::runPlan(const FoundModule& row, const SequencePlan& plan) {
    m_outcome = Outcome{};
    m_statusJson = QJsonArray();
    m_statusesOmitted = 0;
    m_sentJson = QJsonArray();
    m_moduleIp = m_udp.moduleAddress(row.mac);
    m_actionRunning = true;
    LanSequence sequence(m_udp, m_mirror, plan, m_options.user, m_options.password);
    bool done = false;
    connect(&sequence, &LanSequence::stepSent, this, [this](int, const LanFrame&, bool ok) {
        ++(ok ? m_outcome.framesSent : m_outcome.framesFailed);
    });
    connect(&sequence, &LanSequence::message, this, [this](const QString& key) {
        const QString text = EnglishText(key);
        m_messagesJson.append(QJsonObject{{"key", key}, {"text", text}});
        m_err << "r2ctl: " << text << " (" << key << "); that block was skipped" << Qt::endl;
    });
    connect(&sequence, &LanSequence::finished, this, [&done] { done = true; });
    sequence.start();
    runEventLoop(SequenceLimitMs, [&done] { return done; });
    m_verdict = sequence.verdict();
    if (plan.frameCount() > 0 && m_verdict.refused.isEmpty()) {
        runEventLoop(m_options.waitMs);
    }
    m_actionRunning = false;
    // Acknowledged means acknowledged by the module, each frame in its own window; the
    // statuses counted above only tell which errors the module sent.
    Outcome outcome = m_outcome;
    outcome.acks = m_verdict.acknowledgedCount();
    return outcome;
}

QJsonObject CtlSession::verdictJson() const {
    QJsonArray frames;
    for (const FrameVerdict& f : m_verdict.frames) {
        frames.append(QJsonObject{{"command", CommandName(f.command)},
                                  {"code", f.command},
                                  {"moduleIp", f.moduleIp},
                                  {"sent", f.sent},
                                  {"acknowledged", f.acknowledged()}});
    }
    const auto first = m_verdict.firstUnacknowledged();
    return QJsonObject{
        {"allAcknowledged", m_verdict.allAcknowledged()},
        {"firstUnacknowledged", first ? QJsonValue(static_cast<int>(*first)) : QJsonValue()},
        {"text", m_verdict.text()},
        {"frames", frames},
        {"foreignAnswers", m_verdict.foreignAnswers},
        {"surplusAnswers", m_verdict.surplusAnswers}};
}

int CtlSession::finishAction(const FoundModule& row, const Outcome& outcome) {
    if (!m_verdict.refused.isEmpty()) {
        return fail(exitcode::OtherError, m_verdict.refused);
    }
    const int status = ExitStatusFor(outcome);
    if (m_options.json) {
        QJsonObject doc{{"device", DeviceJson(row)}, {"sent", m_sentJson},
                        {"statuses", m_statusJson},  {"messages", m_messagesJson},
                        {"verdict", verdictJson()},  {"exit", status}};
        if (m_statusesOmitted > 0) {
            doc["statusesOmitted"] = m_statusesOmitted;
        }
        m_out << QJsonDocument(doc).toJson(QJsonDocument::Indented);
        m_out.flush();
    } else if (m_statusesOmitted > 0) {
        m_out << "(" << m_statusesOmitted << " further status(es) not shown)" << Qt::endl;
    }
    if (status != exitcode::Ok) {
        m_err << "r2ctl: " << ExplainExit(outcome) << Qt::endl;
        if (const QString unacknowledged = m_verdict.text(); !unacknowledged.isEmpty()) {
            m_err << "r2ctl: " << unacknowledged << Qt::endl;
        }
    }
    return status;
}

} // namespace r2::ctl
