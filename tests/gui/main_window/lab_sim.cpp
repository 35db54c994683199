#include "lab_sim.h"

#include <csignal>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

LabSim::~LabSim() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool LabSim::start(const QJsonArray& modules, const QStringList& extraArgs) {
    const QString netns = qEnvironmentVariable("R2_LAB_NETNS");
    const QString sim = qEnvironmentVariable("R2SIM");
    if (netns.isEmpty() || sim.isEmpty()) {
        m_problem =
            QStringLiteral("R2_LAB_NETNS and R2SIM must be set (run through run_gui_lab.py)");
        return false;
    }
    QFile config(m_dir.filePath(QStringLiteral("modules.json")));
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(QJsonDocument(QJsonObject{{"modules", modules}}).toJson()) < 0) {
        m_problem = QStringLiteral("cannot write the module list");
        return false;
    }
    config.close();
    m_process.setProgram(QStringLiteral("nsenter"));
    m_process.setArguments(
        QStringList{QStringLiteral("--net=") + netns, QStringLiteral("--"), sim,
                    QStringLiteral("--config"), config.fileName(), QStringLiteral("--json-log"),
                    m_dir.filePath(QStringLiteral("log.jsonl")), QStringLiteral("--quiet")} +
        extraArgs);
    m_process.start();
    QByteArray out;
    while (!out.contains("ready\n")) {
        if (!m_process.waitForReadyRead(10000)) {
            m_problem = QStringLiteral("r2sim did not get ready: ") + QString::fromUtf8(out) +
                        QString::fromUtf8(m_process.readAllStandardError());
            return false;
        }
        out += m_process.readAllStandardOutput();
    }
    return true;
}

bool LabSim::stop() {
    if (m_process.state() == QProcess::NotRunning) {
        return true;
    }
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
        m_problem = QStringLiteral("r2sim did not stop on SIGTERM");
        return false;
    }
    const QByteArray errors = m_process.readAllStandardError();
    if (m_process.exitStatus() != QProcess::NormalExit || m_process.exitCode() != 0 ||
        !errors.isEmpty()) {
        m_problem = QStringLiteral("r2sim ended with status %1: ").arg(m_process.exitCode()) +
                    QString::fromUtf8(errors);
        return false;
    }
    return true;
}

void LabSim::clearLog() {
    QFile log(m_dir.filePath(QStringLiteral("log.jsonl")));
    m_logOffset = log.size();
}

std::vector<SimFrame> LabSim::received(const QString& mac) const {
    std::vector<SimFrame> frames;
    QFile log(m_dir.filePath(QStringLiteral("log.jsonl")));
    if (!log.open(QIODevice::ReadOnly) || !log.seek(m_logOffset)) {
        return frames;
    }
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry.value("dir").toString() != QLatin1String("rx") ||
            entry.value("module").isNull() ||
            (!mac.isEmpty() && entry.value("module").toString() != mac)) {
            continue;
        }
        frames.push_back({entry.value("action").toString(), entry.value("module").toString(),
                          entry.value("port").toInt(), entry.value("len").toInt(),
                          QByteArray::fromHex(entry.value("hex").toString().toLatin1())});
    }
    return frames;
}
