#include "tools/r2ctl/ctl_upgrade.h"

#include "protocol/address_text.h"
#include "protocol/Unit_ProFun.h"
#include "tools/r2ctl/ctl_command.h"
#include "tools/r2ctl/ctl_declaration.h"
#include "tools/r2ctl/ctl_output.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <unistd.h>

namespace r2::ctl {

namespace {

constexpr int BarWidth = 40;

int ExitStatus(UpgradeEnding ending) {
    switch (ending) {
    case UpgradeEnding::Success:
        return exitcode::Ok;
    case UpgradeEnding::Timeout:
        return exitcode::UpgradeTimeout;
    case UpgradeEnding::Mismatch:
        return exitcode::UpgradeMismatch;
    case UpgradeEnding::Failure:
        break;
    }
    return exitcode::OtherError;
}

void DeclareUpgrade(CommandDeclaration& d) {
    CtlOptions& o = d.options();
    d.text("--ip", "IP[,IP...]", o.targetIp, "The module's address.");
    d.text("--mac", "MAC[,MAC...]", o.mac, "The module's MAC.");
    d.text("--local-ip", "IP", o.localIp, "This computer's address on the module's segment.");
    d.text("--file", "PATH", o.imageFile, "The firmware image.");
    DeclareStopOnError(d);
}

// Each module's address is checked against this computer's: the module takes the target
// address in the boot reply and answers on its own segment.
QString CheckUpgradeAddresses(const CtlOptions& o, const QStringList& ips) {
    for (const QString& ip : ips) {
        for (const auto& [option, address] : {std::pair{"--ip", ip}, {"--local-ip", o.localIp}}) {
            if (!ParseIpv4Text(address.toStdString())) {
                return QStringLiteral("%1 needs an IPv4 address (four numbers 0-255 with dots), "
                                      "not \"%2\"")
                    .arg(QLatin1String(option), address);
            }
        }
        if (!SameSubnet(ip.toStdString(), o.localIp.toStdString(), "255.255.255.0")) {
            return QStringLiteral("the module (%1) and this computer (%2) must be on the same "
                                  "network segment (the first three numbers equal)")
                .arg(ip, o.localIp);
        }
    }
    return {};
}

QString CheckUpgrade(CtlOptions& o, const QStringList& arguments) {
    if (!arguments.isEmpty()) {
        return QStringLiteral("upgrade takes no argument but its options");
    }
    if (o.targetIp.isEmpty() || o.mac.isEmpty() || o.localIp.isEmpty() || o.imageFile.isEmpty()) {
        return QStringLiteral("upgrade needs --ip IP --mac MAC --local-ip IP --file PATH");
    }
    const QStringList ips = o.targetIp.split(',');
    if (const QString error = NormalizeMacs(o, o.mac.split(',')); !error.isEmpty()) {
        return error;
    }
    if (ips.size() != o.macs.size()) {
        return QStringLiteral("upgrade pairs each --ip with a --mac in order: %1 address(es) were "
                              "given for %2 MAC(s)")
            .arg(ips.size())
            .arg(o.macs.size());
    }
    if (const QString error = CheckUpgradeAddresses(o, ips); !error.isEmpty()) {
        return error;
    }
    o.targetIps = ips;
    o.targetIp = ips.first();
    if (!QFileInfo(o.imageFile).isFile()) {
        return QStringLiteral("--file: no image file \"%1\"").arg(o.imageFile);
    }
    return {};
}

int RunUpgrade(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    UpgradeSession session(options, out, err, isatty(STDOUT_FILENO) == 1);
    return session.run();
}

} // namespace

const CommandSpec UpgradeCommand{
    CommandId::Upgrade,
    "upgrade",
    "upgrade --ip IP[,IP...] --mac MAC[,MAC...] --local-ip IP --file PATH",
    "Upgrade the firmware of one or several modules.",
    "Upgrade the firmware of the module with that MAC: wake it into its boot\n"
    "loader, answer its boot request (IP becomes its address), and serve\n"
    "the image file from offset 4 in 512-byte blocks, each acknowledged\n"
    "(2 s per block, 9 retransmissions per transfer). Works from UDP ports\n"
    "9, 67, 69 and 40300 on LOCAL-IP, on the module's segment (the first\n"
    "three numbers of both addresses equal). Ports below 1024 need\n"
    "privilege: root, `setcap cap_net_bind_service=+ep` on r2ctl, or the\n"
    "sysctl net.ipv4.ip_unprivileged_port_start=0. Shows a progress bar on\n"
    "a terminal, status lines otherwise; --json prints one object (ending,\n"
    "blocks, retransmissions, bytes, seconds, detail). Several MACs are\n"
    "paired in order with the addresses and upgraded one after another.",
    "sudo r2ctl upgrade --ip 192.168.0.7 --mac 00:11:22:33:44:55 --local-ip 192.168.0.10 "
    "--file fw.bin",
    &DeclareUpgrade,
    &CheckUpgrade,
    &RunUpgrade};

UpgradeSession::UpgradeSession(const CtlOptions& options, QTextStream& out, QTextStream& err,
                               bool terminal)
    : m_options(options), m_out(out), m_err(err), m_terminal(terminal && !options.json) {
    connect(&m_engine, &UpgradeEngine::statusChanged, this, &UpgradeSession::onStatus);
    connect(&m_engine, &UpgradeEngine::blockSent, this, &UpgradeSession::onBlockSent);
}

int UpgradeSession::run() {
    if (m_options.macs.size() > 1) {
        UpgradeBatchSession batch(m_options, m_out);
        return batch.run();
    }
    return runOne();
}

int UpgradeSession::runOne() {
    QEventLoop loop;
    UpgradeEnding ending = UpgradeEnding::Failure;
    QString detail;
    bool over = false;
    connect(&m_engine, &UpgradeEngine::ended, this, [&](UpgradeEnding how, const QString& why) {
        if (how == UpgradeEnding::Mismatch) {
            // The search goes on: a boot request with the right identity may follow.
            m_mismatchSeen = true;
            return;
        }
        ending = how;
        detail = why;
        over = true;
        loop.quit();
    });
    m_clock.start();
    m_engine.Start(
        UpgradeRequest{m_options.targetIp, m_options.mac, m_options.localIp, m_options.imageFile});
    if (!over) {
        loop.exec();
    }
    m_engine.CloseEndpoints();
    endBar();
    const int status = statusOf(ending);
    printSummary(ending, detail, status);
    if (status != exitcode::Ok) {
        m_err << "r2ctl: " << explain(ending, detail) << Qt::endl;
    }
    return status;
}

void UpgradeSession::onStatus(const QString& key, const QString& suffix) {
    if (m_options.json) {
        return;
    }
    // Every block brings a status; the text of its key is looked up once.
    if (key != m_lastKey) {
        m_lastKey = key;
        m_keyText = EnglishText(key);
    }
    const QString text = m_keyText + suffix;
    if (text == m_lastStatus) {
        return;
    }
    m_lastStatus = text;
    if (m_terminal && key == QLatin1String("lang_Hint_UpProgress")) {
        drawBar(suffix.chopped(1).toInt());
        return;
    }
    endBar();
    m_out << text << Qt::endl;
}

void UpgradeSession::onBlockSent(int block, int length, bool retransmission) {
    m_highestBlock = std::max(m_highestBlock, block);
    if (!m_blocksSeen.contains(block)) {
        m_blocksSeen.insert(block);
        m_bytes += length;
    }
    if (!retransmission) {
        return;
    }
    ++m_retransmissions;
    if (!m_options.json) {
        endBar();
        m_out << "no acknowledgement within " << UpgradeEngine::BlockReplyTimeMs << " ms: block "
              << block << " sent again (" << m_retransmissions << " of "
              << UpgradeEngine::RetransmissionsAllowed << ")" << Qt::endl;
    }
}

void UpgradeSession::drawBar(int percent) {
    const int filled = percent * BarWidth / 100;
    m_out << '\r' << EnglishText(QStringLiteral("lang_Hint_UpProgress")) << " ["
          << QString(filled, QLatin1Char('#')) << QString(BarWidth - filled, QLatin1Char('.'))
          << "] " << QString::number(percent).rightJustified(3) << "%";
    m_out.flush();
    m_barShown = true;
}

void UpgradeSession::endBar() {
    if (m_barShown) {
        m_out << Qt::endl;
        m_barShown = false;
    }
}

int UpgradeSession::statusOf(UpgradeEnding ending) const {
    // The search ran out after a boot loader of other hardware asked: the mismatch.
    return ExitStatus(ending == UpgradeEnding::Timeout && m_mismatchSeen ? UpgradeEnding::Mismatch
                                                                         : ending);
}

QString UpgradeSession::explain(UpgradeEnding ending, const QString& detail) const {
    return ExplainUpgradeOutcome({ending, detail, m_mismatchSeen, m_highestBlock,
                                  m_engine.currentBlock(), m_retransmissions, m_options.targetIp,
                                  m_options.localIp});
}

void UpgradeSession::printSummary(UpgradeEnding ending, const QString& detail, int status) {
    const double seconds = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
    const QString endingName = status == exitcode::UpgradeMismatch ? QStringLiteral("mismatch")
                                                                   : UpgradeEndingName(ending);
    if (m_options.json) {
        const QJsonObject result{{"ending", endingName},
                                 {"blocks", m_highestBlock},
                                 {"retransmissions", m_retransmissions},
                                 {"bytes", m_bytes},
                                 {"seconds", seconds},
                                 {"detail", detail}};
        m_out << QJsonDocument(result).toJson(QJsonDocument::Indented);
        return;
    }
    m_out << endingName << ": " << m_highestBlock << " blocks, " << m_bytes << " bytes, "
          << m_retransmissions << " retransmissions in " << QString::number(seconds, 'f', 2) << " s"
          << Qt::endl;
}

UpgradeBatchSession::UpgradeBatchSession(const CtlOptions& options, QTextStream& out)
    : m_options(options), m_out(out) {
    for (qsizetype i = 0; i < options.macs.size(); ++i) {
        const QString ip = options.targetIps.value(i);
        BatchRow row;
        row.mac = options.macs.at(i);
        row.oldIp = ip;
        row.newIp = ip;
        m_rows.push_back(row);
    }
    connect(&m_batch, &UpgradeBatch::moduleFinished, this, &UpgradeBatchSession::onModuleFinished);
}

int UpgradeBatchSession::run() {
    QList<UpgradeTarget> targets;
    for (const BatchRow& row : m_rows) {
        targets.append(UpgradeTarget{row.oldIp, row.mac, m_options.localIp});
    }
    QEventLoop loop;
    connect(&m_batch, &UpgradeBatch::finished, &loop, &QEventLoop::quit);
    m_batch.Start(targets, m_options.imageFile, m_options.stopOnError);
    loop.exec();
    if (m_options.json) {
        m_out << QJsonDocument(BatchJson(m_rows)).toJson(QJsonDocument::Indented);
    } else {
        for (auto row = m_rows.begin() + m_printed; row != m_rows.end(); ++row) {
            m_out << BatchLine(*row) << Qt::endl;
        }
        m_out << BatchSummary(m_rows) << Qt::endl;
    }
    return BatchExitStatus(m_rows);
}

// Each module's line goes out as it ends, so a long batch shows where it is.
void UpgradeBatchSession::onModuleFinished(int index, UpgradeEnding ending, const QString& detail) {
    BatchRow& row = m_rows.at(static_cast<std::size_t>(index));
    row.exit = ExitStatus(ending);
    row.result = ending == UpgradeEnding::Success ? BatchResult::Ok : BatchResult::Failed;
    row.error = detail;
    if (!m_options.json) {
        m_out << BatchLine(row) << Qt::endl;
        m_printed = index + 1;
    }
}

} // namespace r2::ctl
