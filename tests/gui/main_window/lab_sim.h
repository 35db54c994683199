#pragma once
// r2sim on the lab side of the network that run_gui_lab.py built: started with a module list,
// stopped cleanly, its JSON frame log read back. The lab namespace comes from R2_LAB_NETNS and
// the simulator from R2SIM; the module addresses are already on the lab side.

#include <QByteArray>
#include <QJsonArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

struct SimFrame {
    QString action; // "read", "write base", "restart", ...
    QString module; // MAC text
    int port = 0;   // the simulator's local port the frame arrived at
    int length = 0;
    QByteArray bytes;
};

class LabSim final {
public:
    LabSim() = default;
    ~LabSim();
    LabSim(const LabSim&) = delete;
    LabSim& operator=(const LabSim&) = delete;

    bool start(const QJsonArray& modules, const QStringList& extraArgs = {});
    // SIGTERM and a clean exit; false (with problem()) when it crashed or complained.
    bool stop();
    QString problem() const { return m_problem; }

    // Frames the simulator received since the last clearLog(), optionally for one module.
    std::vector<SimFrame> received(const QString& mac = {}) const;
    void clearLog();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_problem;
    qint64 m_logOffset = 0;
};
