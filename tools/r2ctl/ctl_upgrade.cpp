#include "ctl_upgrade.h"

#include "ctl_output.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>

namespace r2::ctl {

namespace {

constexpr int BarWidth = 40;

QString EndingName(UpgradeEnding ending) {
    switch (ending) {
    case UpgradeEnding::Success:
        return QStringLiteral("success");
    case UpgradeEnding::Timeout:
        return QStringLiteral("timeout");
    case UpgradeEnding::Mismatch:
        return QStringLiteral("mismatch");
    default:
        return QStringLiteral("failure");
    }
}

} // namespace

UpgradeSession::UpgradeSession(const CtlOptions& options, QTextStream& out, QTextStream& err,
                               bool terminal)
    : m_options(options), m_out(out), m_err(err), m_terminal(terminal && !options.json) {
    connect(&m_engine, &UpgradeEngine::statusChanged, this, &UpgradeSession::onStatus);
    connect(&m_engine, &UpgradeEngine::blockSent, this, &UpgradeSession::onBlockSent);
}

int UpgradeSession::run() {
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
    switch (ending) {
    case UpgradeEnding::Success:
        return exitcode::Ok;
    case UpgradeEnding::Timeout:
        return m_mismatchSeen ? exitcode::UpgradeMismatch : exitcode::UpgradeTimeout;
    default:
        return exitcode::OtherError;
    }
}

QString UpgradeSession::explain(UpgradeEnding ending, const QString& detail) const {
    if (ending == UpgradeEnding::Failure) {
        return QStringLiteral("upgrade failed: %1").arg(detail);
    }
    if (m_mismatchSeen) {
        return QStringLiteral("the module's boot loader announced another hardware identity than "
                              "the image's first 4 bytes, and no module took the image within "
                              "%1 s; choose the image built for this module")
            .arg(UpgradeEngine::SearchTimeMs / 1000);
    }
    if (m_highestBlock == 0) {
        return QStringLiteral("no read request came from %1 within %2 s: check the MAC, that "
                              "the module is on the segment of %3, and that no firewall blocks "
                              "UDP ports 67, 69 and 40300 here")
            .arg(m_options.targetIp)
            .arg(UpgradeEngine::SearchTimeMs / 1000)
            .arg(m_options.localIp);
    }
    return QStringLiteral("the module stopped acknowledging at block %1 (%2 retransmissions in "
                          "all); the upgrade did not complete")
        .arg(m_engine.currentBlock())
        .arg(m_retransmissions);
}

void UpgradeSession::printSummary(UpgradeEnding ending, const QString& detail, int status) {
    const double seconds = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
    const QString endingName =
        status == exitcode::UpgradeMismatch ? QStringLiteral("mismatch") : EndingName(ending);
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

} // namespace r2::ctl
