#include "upgrade/upgrade_batch.h"

#include <QTimer>

namespace r2 {

UpgradeBatch::UpgradeBatch(QObject* parent) : QObject(parent) {
    connect(&m_engine, &UpgradeEngine::ended, this, &UpgradeBatch::onEnded);
    connect(&m_engine, &UpgradeEngine::blockSent, this, &UpgradeBatch::onBlockSent);
    connect(&m_engine, &UpgradeEngine::progressChanged, this, [this](int percent) {
        if (m_current >= 0) {
            emit moduleProgress(m_current, percent);
        }
    });
}

UpgradeBatch::~UpgradeBatch() {
    m_engine.CloseEndpoints();
}

void UpgradeBatch::Start(const QList<UpgradeTarget>& targets, const QString& imagePath,
                         bool stopOnError) {
    m_engine.CloseEndpoints();
    ++m_generation;
    m_targets = targets;
    m_imagePath = imagePath;
    m_stopOnError = stopOnError;
    m_running = true;
    m_stopping = false;
    m_current = -1;
    scheduleNext();
}

void UpgradeBatch::StopAfterCurrent() {
    if (m_running) {
        m_stopping = true;
    }
}

void UpgradeBatch::Abort() {
    if (!m_running) {
        return;
    }
    m_engine.CloseEndpoints();
    m_stopping = true;
    m_current = -1;
    ++m_generation;
    scheduleNext();
}

// The next step runs from the event loop: never inside the engine's handler that reported the
// ending, and never before the caller of Start() has returned to its loop.
void UpgradeBatch::scheduleNext() {
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation == m_generation) {
            startNext();
        }
    });
}

void UpgradeBatch::startNext() {
    ++m_current;
    if (m_stopping || m_current >= m_targets.size()) {
        m_running = false;
        m_current = -1;
        emit finished();
        return;
    }
    m_mismatchSeen = false;
    m_retransmissions = 0;
    emit moduleStarted(m_current);
    const UpgradeTarget& target = m_targets.at(m_current);
    m_engine.Start(UpgradeRequest{target.ip, target.mac, target.localIp, m_imagePath, true});
}

void UpgradeBatch::onEnded(UpgradeEnding ending, const QString& detail) {
    if (m_current < 0) {
        return;
    }
    if (ending == UpgradeEnding::Mismatch) {
        m_mismatchSeen = true;
        return;
    }
    // A success leaves the endpoints open; the next module must bind them afresh.
    m_engine.CloseEndpoints();
    if (ending == UpgradeEnding::Timeout && m_mismatchSeen) {
        ending = UpgradeEnding::Mismatch;
    }
    m_stopping = m_stopping || (m_stopOnError && ending != UpgradeEnding::Success);
    const quint64 generation = m_generation;
    emit moduleFinished(m_current, ending, explain(ending, detail));
    // A slot may have aborted or restarted the batch, which has scheduled its own next step.
    if (generation == m_generation) {
        scheduleNext();
    }
}

void UpgradeBatch::onBlockSent(int /*block*/, int /*length*/, bool retransmission) {
    if (retransmission) {
        ++m_retransmissions;
    }
}

QString UpgradeBatch::explain(UpgradeEnding ending, const QString& detail) const {
    const UpgradeTarget& target = m_targets.at(m_current);
    return ExplainUpgradeOutcome({ending, detail, m_mismatchSeen, m_engine.currentBlock(),
                                  m_engine.currentBlock(), m_retransmissions, target.ip,
                                  target.localIp});
}

} // namespace r2
