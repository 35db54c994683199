#pragma once
// A save over a fresh read of the module: the one rule behind the batch's configuration jobs
// (ModuleBatch) and r2ctl's write, backup and restore. The module is read as a click reads it;
// the read is checked before anything is written; the panel to send is made from what the
// module sent, then from the file (or the values given); and the save is planned for the
// module's model.
//
// The pieces stay apart because the callers run their own steps between them (r2ctl's write
// sets values instead of a file; a backup stops after the checks), and each caller words a
// refusal its own way. The model dispatch of a file over a panel, which needs no LAN types,
// is config::ApplyModuleConfig (the window's "Load from file…" runs it too).

#include "lan/lan_sequences.h"
#include "lan/module_outcome.h"
#include "protocol/config/config_file.h"
#include "protocol/config/config_plan.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p7.h"

#include <optional>
#include <QString>
#include <string>

namespace r2 {

struct ReadCheck;

// Why a read is not fit to save over, in the order a save checks it: the module rejected the
// login, several modules answered from its address, it sent no base block, or (P6) its base
// block named another MAC so the panel was not filled. Empty when the read is fit.
struct ReadRefusal {
    ModuleFailure failure = ModuleFailure::Other;
    QString message;
};
std::optional<ReadRefusal> ReadForSaveRefusal(const ReadCheck& check, int passwordErrors,
                                              int devFlag, bool panelFilled, const QString& mac);

// The panel a save of `file` over the target's read sends, made in place: a P6's panel as its
// read filled it (`p6`); for a P7, whose read fills no panel, its own MAC and the address of
// the base block it sent (`p7`). Then the file (the MAC never, the address only withNetwork),
// then the planned address and name when given. False with `problem` when a value is refused.
bool ApplyOverRead(int devFlag, const QString& mac, const ParamMirror& mirror,
                   const config::ModuleConfig& file, bool withNetwork,
                   const config::PlannedModule* planned, PanelP6& p6, PanelP7& p7,
                   std::string& problem);

// The save of the panel made over the read: `p6` for a P6, `p7` for a P7, every frame to the
// target. `version` is the firmware's, as the search listed it (0 when not a number).
PlanResult PlanSaveOverRead(int devFlag, const PanelP6& p6, const PanelP7& p7,
                            const ParamMirror& mirror, const LanTarget& target, unsigned version);

} // namespace r2
