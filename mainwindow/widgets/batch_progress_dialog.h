#pragma once
// Tfrm_BatchProgress: a job over several modules as it runs. One row per module (MAC, IP and
// where it stands: waiting, running, ok, failed with the reason, not run), filled as each
// module finishes. btn_Stop asks the job to stop after the module it is on (stopRequested);
// btn_Close appears once the job is over, with a summary. While the job runs the dialog
// cannot be closed, so its outcome is always seen. The rows keep their states, not their
// texts, so a language switch re-words them.

#include "mainwindow/main_view.h"

#include <memory>
#include <QDialog>
#include <vector>

namespace Ui {
class Tfrm_BatchProgress;
}

namespace r2 {

class Tfrm_BatchProgress final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfrm_BatchProgress)

public:
    Tfrm_BatchProgress(BatchKind kind, const std::vector<FoundModule>& targets,
                       QWidget* parent = nullptr);
    ~Tfrm_BatchProgress() override;

    void setOutcome(int index, const BatchOutcome& outcome);
    void setFinished();
    bool isFinished() const { return m_finished; }
    const std::vector<BatchOutcome>& outcomes() const { return m_outcomes; }
    void retranslate();

signals:
    void stopRequested();

public slots:
    void reject() override;

private:
    void showOutcome(int index);
    void showSummary();

    std::unique_ptr<Ui::Tfrm_BatchProgress> m_ui;
    BatchKind m_kind;
    std::vector<BatchOutcome> m_outcomes;
    bool m_finished = false;
    bool m_stopping = false;
};

} // namespace r2
