#pragma once
// Tfrm_ApplyPlan: the address plan for applying one configuration file to the selected
// modules. The user gives the first static IP (empty: every module keeps its address), a name
// pattern with a counter ({n}, {n:02}) and the counter's start; a table previews, for every
// module, its MAC, current and planned IP, current and planned name as PreviewPlan works them
// out (the file's mask; every listed module's address is taken) on every keystroke, and the
// note under the table names the addresses the plan skipped besides (the file's gateway, this
// computer's own, ...). While the plan cannot be kept its reason shows in red and btn_Apply
// stays disabled, so an accepted dialog always holds a plan with one module per target.
// btn_Apply is no default button: Enter while typing the plan must not write every selected
// module.

#include "mainwindow/apply_plan.h"

#include <memory>
#include <QDialog>

namespace Ui {
class Tfrm_ApplyPlan;
}

namespace r2 {

class Tfrm_ApplyPlan final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfrm_ApplyPlan)

public:
    // `thisComputer`: the computer's own addresses, which no module is given.
    Tfrm_ApplyPlan(const QString& fileName, config::ModuleConfig file,
                   std::vector<FoundModule> targets, QStringList taken, QStringList thisComputer,
                   QWidget* parent = nullptr);
    ~Tfrm_ApplyPlan() override;

    PlanFields fields() const;
    void setFields(const PlanFields& fields);
    const PlanPreview& preview() const { return m_preview; }
    // The current language's texts, also those of the preview's header.
    void retranslate();

private:
    void updatePreview();
    void showPlanNotes();

    std::unique_ptr<Ui::Tfrm_ApplyPlan> m_ui;
    config::ModuleConfig m_file;
    std::vector<FoundModule> m_targets;
    QStringList m_taken;
    QStringList m_thisComputer;
    PlanPreview m_preview;
};

} // namespace r2
