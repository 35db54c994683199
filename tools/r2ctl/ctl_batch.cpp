#include "tools/r2ctl/ctl_batch.h"

#include "protocol/address_text.h"
#include "protocol/config/address_plan.h"
#include "protocol/config/config_file.h"
#include "protocol/config/config_plan.h"
#include "protocol/local_ips.h"
#include "qt_bridge/qt_bridge.h"
#include "tools/r2ctl/ctl_command.h"
#include "tools/r2ctl/ctl_config.h"
#include "tools/r2ctl/ctl_declaration.h"
#include "tools/r2ctl/ctl_session.h"

#include <functional>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace r2::ctl {

namespace {

// Polling interval while the search runs; replies are handled in between.
constexpr int PollMs = 5;

using Failure = BatchModuleResult::Failure;
using Result = BatchModuleResult::Result;

QJsonObject FrameJson(const BatchFrame& frame, bool showSecrets) {
    return QJsonObject{
        {"command", CommandName(frame.command)},
        {"code", frame.command},
        {"port", frame.port},
        {"length", frame.bytes.size()},
        {"bytes", FrameHex(frame.bytes, CommandFrameSecrets(ViewOf(frame.bytes)), showSecrets)}};
}

BatchResult RowResult(Result result) {
    switch (result) {
    case Result::Ok:
        return BatchResult::Ok;
    case Result::Failed:
        return BatchResult::Failed;
    case Result::DryRun:
        return BatchResult::DryRun;
    case Result::NotRun:
        break;
    }
    return BatchResult::NotRun;
}

int RunBatch(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    BatchSession session(options, out, err);
    return session.run();
}

// One module restarts as reset does, through CtlSession; several through BatchSession.
int RunRestart(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    return options.macs.size() > 1 ? RunBatch(options, out, err) : RunCtlSession(options, out, err);
}

QString CheckRestart(CtlOptions& options, const QStringList& arguments) {
    if (arguments.isEmpty()) {
        return CheckOneMac(options, arguments);
    }
    QStringList macs;
    for (const QString& argument : arguments) {
        macs << argument.split(',');
    }
    return NormalizeMacs(options, macs);
}

QString ToNameStart(const QString& value, std::uint32_t& out) {
    bool ok = false;
    out = value.toUInt(&ok, 10);
    if (!ok) {
        return QStringLiteral("needs a whole number (the name counter's first value), not \"%1\"")
            .arg(value);
    }
    return {};
}

void DeclareClone(CommandDeclaration& d) {
    CtlOptions& o = d.options();
    d.list("--to", "MAC[,MAC...]", o.macs, "The modules to write (may be repeated).");
    d.flag("--all-found", o.allFound, "Every module the search lists whose model is the file's.");
    d.text("--ip-from", "IP", o.ipFrom,
           "Static addresses from IP on, skipping the taken ones, the file's\n"
           "gateway and DNS server and this computer's addresses (each one told).");
    d.text("--name", "PATTERN", o.namePattern,
           "Module names by a pattern with a counter: {n} or {n:0W}.");
    d.value("--name-start", "N", o.nameStart, &ToNameStart,
            "The counter's first value (default 1).");
    d.flag("--dry-run", o.dryRun,
           "Search, read and plan as usual, print every frame the save would\n"
           "send, send none.");
    DeclareStopOnError(d);
}

// clone FILE (--to MAC[,MAC...] | --all-found) [--ip-from IP] [--name PATTERN]: the plan's
// form is checked here, so that a typing error sends nothing.
QString CheckClone(CtlOptions& o, const QStringList& arguments) {
    if (arguments.size() != 1) {
        return QStringLiteral("clone needs one configuration file (clone FILE --to MAC[,MAC...] "
                              "or --all-found)");
    }
    o.configFile = arguments.first();
    if (o.allFound == !o.macs.isEmpty()) {
        return QStringLiteral("clone needs either --to MAC[,MAC...] or --all-found");
    }
    QStringList macs;
    for (const QString& to : o.macs) {
        macs << to.split(',');
    }
    if (const QString error = NormalizeMacs(o, macs); !error.isEmpty()) {
        return error;
    }
    if (!o.ipFrom.isEmpty() && !ParseIpv4Text(o.ipFrom.toStdString())) {
        return QStringLiteral("--ip-from needs an IPv4 address (four numbers 0-255 with dots), "
                              "not \"%1\"")
            .arg(o.ipFrom);
    }
    if (!o.namePattern.isEmpty()) {
        std::string error;
        if (!config::ExpandNamePattern(o.namePattern.toStdString(), o.nameStart, error)) {
            return QStringLiteral("--name \"%1\": %2")
                .arg(o.namePattern, QString::fromStdString(error));
        }
    }
    return {};
}

} // namespace

void DeclareStopOnError(CommandDeclaration& declaration) {
    declaration.flag("--stop-on-error", declaration.options().stopOnError,
                     "After the first module that failed, run no more.");
}

const CommandSpec CloneCommand{
    CommandId::Clone,
    "clone",
    "clone FILE (--to MAC[,MAC...] | --all-found) [--ip-from IP] [--name PATTERN]\n"
    "      [--name-start N] [--dry-run] [--stop-on-error]",
    "Write one configuration file to several modules, with an address plan.",
    "Check FILE as restore does, search, plan every module's address and\n"
    "name before anything is written, then per module: read it as write\n"
    "does, apply the file over what it sent (never its MAC; its address\n"
    "only from the plan) and save. One line per module and a summary\n"
    "(--json: an array of one object per module).",
    "r2ctl clone line.json --all-found --ip-from 192.168.0.20 --name 'Line-{n:02}' --dry-run",
    &DeclareClone,
    &CheckClone,
    &RunBatch};

const CommandSpec RestartCommand{
    CommandId::Restart,
    "restart",
    "restart MAC[,MAC...] [MAC...]",
    "Restart one or several modules.",
    "Send the restart command (port 1500 for every model).",
    "r2ctl restart 00:11:22:33:44:55,00:11:22:33:44:66 --stop-on-error",
    &DeclareStopOnError,
    &CheckRestart,
    &RunRestart};

int BatchExitCode(Failure failure) {
    switch (failure) {
    case Failure::None:
        return exitcode::Ok;
    case Failure::NotFound:
        return exitcode::NotFound;
    case Failure::Password:
        return exitcode::PasswordError;
    case Failure::NoAnswer:
        return exitcode::NoAnswer;
    case Failure::Refused:
        return exitcode::BadArguments;
    case Failure::Other:
        break;
    }
    return exitcode::OtherError;
}

BatchSession::BatchSession(const CtlOptions& options, QTextStream& out, QTextStream& err)
    : m_options(options), m_out(out), m_err(err) {
    connect(&m_udp, &TUdpSvr::OnDeviceFound, this,
            [this](const QString& ip, const QString& name, int socketIndex, int flag,
                   const QString& version, const QString& mac) {
                m_devices.add(
                    FoundModule::FromSearchReply(ip, name, socketIndex, flag, version, mac));
            });
    connect(&m_udp, &TUdpSvr::OnStatus, this, [this](int code, const QString& text) {
        if (code == StPortInUse) {
            m_err << "r2ctl: the UDP sockets could not be opened (" << text << ")" << Qt::endl;
        }
    });
}

int BatchSession::run() {
    return m_options.id == CommandId::Clone ? runClone() : runRestart();
}

int BatchSession::fail(int status, const QString& message) {
    m_err << "r2ctl: " << message << Qt::endl;
    return status;
}

void BatchSession::search(const QStringList& macs) {
    const auto allFound = [&] {
        return !macs.isEmpty() && std::ranges::all_of(macs, [this](const QString& mac) {
            return m_devices.find(mac) != nullptr;
        });
    };
    m_udp.SearchDevices();
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (clock.elapsed() >= m_options.waitMs || allFound()) {
            loop.quit();
        }
    });
    poll.start(PollMs);
    loop.exec();
}

BatchTarget BatchSession::targetFor(const QString& mac) const {
    if (const FoundModule* module = m_devices.find(mac)) {
        return BatchTarget{*module, std::nullopt};
    }
    BatchTarget missing; // without an address: the search did not find it
    missing.mac = mac;
    return missing;
}

int BatchSession::runClone() {
    QString error;
    const auto file = LoadModuleConfig(m_options.configFile, error);
    if (!file) {
        return fail(exitcode::BadArguments, error + QStringLiteral("; nothing was sent"));
    }
    const config::PlanFields fields{m_options.ipFrom.toStdString(),
                                    m_options.namePattern.toStdString(), m_options.nameStart};
    if (const auto refused = checkClone(*file, fields)) {
        return *refused;
    }
    search(m_options.macs);
    if (const auto refused = takeCloneTargets(*file)) {
        return *refused;
    }
    if (const auto refused = planCloneTargets(*file, fields)) {
        return *refused;
    }
    return runBatch([&](ModuleBatch& batch) {
        return batch.startConfig(m_targets, *file,
                                 BatchSettings{m_options.user, m_options.password, m_options.waitMs,
                                               m_options.dryRun, m_options.stopOnError, true});
    });
}

std::optional<int> BatchSession::checkClone(const config::ModuleConfig& file,
                                            const config::PlanFields& fields) {
    if (m_options.allFound == !m_options.macs.isEmpty()) {
        return fail(exitcode::BadArguments,
                    QStringLiteral("clone takes its modules from --to MAC[,MAC...] or "
                                   "--all-found, one of the two; nothing was sent"));
    }
    if (std::string problem;
        !fields.namePattern.empty() &&
        !config::ExpandNamePattern(fields.namePattern, fields.counterStart, problem)) {
        return fail(
            exitcode::BadArguments,
            QStringLiteral("--name: %1; nothing was sent").arg(QString::fromStdString(problem)));
    }
    if (config::PlanLacksMask(file, fields)) {
        return fail(exitcode::BadArguments,
                    QStringLiteral("%1 names no subnet mask, which the modules given --ip-from "
                                   "take from it; nothing was sent")
                        .arg(m_options.configFile));
    }
    return std::nullopt;
}

std::optional<int> BatchSession::takeCloneTargets(const config::ModuleConfig& file) {
    if (!m_options.allFound) {
        for (const QString& mac : m_options.macs) {
            m_targets.push_back(targetFor(mac));
        }
        return std::nullopt;
    }
    const QString model = QString::fromUtf8(config::ModelName(file.model));
    for (const FoundModule& row : m_devices) {
        if (config::ModelFromFlag(row.flag) == file.model) {
            m_targets.push_back(targetFor(row.mac));
        } else {
            m_err << "r2ctl: " << row.mac << " (" << ModelName(row.flag) << ") is not a " << model
                  << " module; left alone" << Qt::endl;
        }
    }
    if (m_targets.empty()) {
        return fail(
            exitcode::NotFound,
            QStringLiteral("no %1 module answered the search; nothing was written").arg(model));
    }
    return std::nullopt;
}

std::optional<int> BatchSession::planCloneTargets(const config::ModuleConfig& file,
                                                  const config::PlanFields& fields) {
    m_namesPlanned = !fields.namePattern.empty();
    if (fields.firstIp.empty() && !m_namesPlanned) {
        return std::nullopt;
    }
    std::vector<std::string> taken;
    for (const QString& ip : m_devices.addressesTaken()) {
        taken.push_back(ip.toStdString());
    }
    const auto count = static_cast<std::size_t>(
        std::ranges::count_if(m_targets, [](const BatchTarget& t) { return !t.ip.isEmpty(); }));
    const config::ConfigPlan plan =
        config::PlanConfig(file, fields, count, std::move(taken), ThisComputerAddresses());
    if (!plan.error.empty()) {
        return fail(exitcode::BadArguments,
                    QString::fromStdString(plan.error) + QStringLiteral("; nothing was written"));
    }
    auto planned = plan.modules.begin();
    for (BatchTarget& target : m_targets) {
        if (!target.ip.isEmpty()) {
            target.planned = *planned++;
        }
    }
    return std::nullopt;
}

int BatchSession::runRestart() {
    search(m_options.macs);
    for (const QString& mac : m_options.macs) {
        m_targets.push_back(targetFor(mac));
    }
    return runBatch([&](ModuleBatch& batch) {
        return batch.startRestart(m_targets, BatchSettings{m_options.user, m_options.password,
                                                           m_options.waitMs, m_options.dryRun,
                                                           m_options.stopOnError, false});
    });
}

int BatchSession::runBatch(const std::function<bool(ModuleBatch&)>& start) {
    m_rows.clear();
    for (const BatchTarget& target : m_targets) {
        BatchRow row;
        row.mac = target.mac;
        row.oldIp = target.ip;
        row.newIp = target.planned && !target.planned->ip.empty()
                        ? QString::fromStdString(target.planned->ip)
                        : target.ip;
        row.nameGiven = m_namesPlanned;
        if (target.planned) {
            row.name = QString::fromStdString(target.planned->name);
            row.skipped = target.planned->skipped;
        }
        m_rows.push_back(row);
    }
    m_ended.assign(m_rows.size(), std::nullopt);
    m_printed = 0;
    ModuleBatch batch(m_udp, m_mirror);
    QEventLoop loop;
    connect(&batch, &ModuleBatch::moduleFinished, this, &BatchSession::onModuleFinished);
    connect(&batch, &ModuleBatch::finished, &loop, &QEventLoop::quit);
    if (!start(batch)) {
        return fail(exitcode::OtherError, QStringLiteral("the batch could not be started"));
    }
    loop.exec();
    if (m_options.json) {
        m_out << QJsonDocument(BatchJson(m_rows)).toJson(QJsonDocument::Indented);
    } else {
        m_out << BatchSummary(m_rows) << Qt::endl;
    }
    return BatchExitStatus(m_rows);
}

void BatchSession::onModuleFinished(int index, const BatchModuleResult& result) {
    // Saves overlap and may end out of order; the lines keep the order of the targets.
    m_ended[static_cast<std::size_t>(index)] = result;
    while (m_printed < m_ended.size() && m_ended[m_printed]) {
        report(m_rows[m_printed], *m_ended[m_printed]);
        ++m_printed;
    }
}

void BatchSession::report(BatchRow& row, const BatchModuleResult& result) {
    row.result = RowResult(result.result);
    row.exit = result.result == Result::Failed ? BatchExitCode(result.failure) : exitcode::Ok;
    row.error = result.message;
    for (const BatchFrame& frame : result.framesNotSent) {
        row.frames.append(FrameJson(frame, m_options.showSecrets));
    }
    for (const QString& key : result.skippedKeys) {
        m_err << "r2ctl: " << row.mac << ": " << EnglishText(key) << " (" << key
              << "); that block was skipped" << Qt::endl;
    }
    if (m_options.json) {
        return;
    }
    if (const QString skipped = SkippedLine(row); !skipped.isEmpty()) {
        m_out << skipped << '\n';
    }
    for (const auto& frame : row.frames) {
        m_out << WouldSendLine(frame.toObject()) << '\n';
    }
    m_out << BatchLine(row) << Qt::endl;
}

} // namespace r2::ctl
