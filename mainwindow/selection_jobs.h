#pragma once
// SelectionJobs: the device menu's jobs over every selected module (restart, apply a module
// configuration file, firmware upgrade, copy their MACs). A job runs in a SelectionBatch through
// the window's endpoint and mirror; its dialog shows where each module stands. A read or save of
// the window's own that is still under way goes to its end first, so that their frames and
// replies never interleave.

#include "lan/module_batch.h"
#include "mainwindow/device_list.h"
#include "mainwindow/device_menu.h"
#include "mainwindow/lan_session.h"
#include "mainwindow/main_view.h"

#include <functional>
#include <memory>
#include <QObject>
#include <QString>
#include <vector>

namespace r2 {

class SelectionBatch;
class TUdpSvr;

// The parts of the window the jobs show themselves in.
struct JobViews {
    OutputView& output;
    PanelView& panels;
    BatchView& batch;
};

class SelectionJobs final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SelectionJobs)

public:
    // `session`: the window's own LAN work, which a job waits for and whose credentials it uses.
    SelectionJobs(TUdpSvr& udp, ParamMirror& mirror, const DeviceList& devices, LanSession& session,
                  JobViews views, QObject* parent = nullptr);
    ~SelectionJobs() override;

    // One of the items for which ActsOnSelection holds; nothing while a job runs.
    void MenuAction(DeviceMenuItem item);
    // A file that is not fit for every selected module (another model, an unknown control, a
    // wrong value) is refused in the log and a message naming the file, the control and the
    // value, and nothing is sent.
    void ApplyFileToSelection(const QString& path);
    // The firmware image at `path` into every selected module, each told to fetch it from the
    // computer's address on its own network.
    void UpgradeSelection(const QString& imagePath);
    // The job stops after the module it is on; the rest are not run.
    void Stop();
    // The window is closing: a job still waiting for the window's LAN work never starts, one
    // under way stops after its module.
    void WindDown();
    // A job runs or waits to start.
    bool isRunning() const;

signals:
    // The job is over (its dialog told so).
    void finished();

private:
    void copyMacs();
    void restart();
    // The selected rows a new job takes; empty while a job runs (its dialog is open), or when
    // nothing is selected (which the log says).
    std::vector<FoundModule> selectionForJob();
    std::vector<BatchTarget> batchTargets(const std::vector<FoundModule>& rows) const;
    BatchSettings batchSettings() const;
    void start(BatchKind kind, const std::vector<FoundModule>& targets,
               std::function<void()> begin);
    void onSessionSequenceOver();

    TUdpSvr& m_udp;
    const DeviceList& m_devices;
    LanSession& m_session;
    OutputView& m_output;
    PanelView& m_panels;
    BatchView& m_view;
    std::unique_ptr<SelectionBatch> m_batch;
    std::function<void()> m_whenLanIdle; // a job's start, waiting for the session's work
};

} // namespace r2
