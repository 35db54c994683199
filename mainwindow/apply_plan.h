#pragma once
// Applying one module configuration file to several modules of the device list: the file read
// and checked in full before anything else (its model against every chosen module), and the
// address plan the apply dialog previews while the user types. Both run before a single frame
// goes out, so a file or plan that cannot be kept sends nothing.
//
// The plan: with a first static IP, the modules get sequential addresses in the subnet of the
// file's mask, skipping every address the device list shows and those no module may have, the
// file's gateway and DNS server and this computer's own among them (config::PlanAddresses);
// without one, each keeps its own. The chosen modules' own addresses are skipped too: they are
// changed one after another, and a module given the address of one not yet changed (or whose change
// fails) would share it with that module. A name pattern with a counter names them; without one
// they take the file's name.

#include "mainwindow/main_view.h"
#include "protocol/config/address_plan.h"
#include "protocol/config/config_file.h"

#include <optional>
#include <QString>
#include <QStringList>
#include <vector>

namespace r2 {

struct ApplyFile {
    std::optional<config::ModuleConfig> config;
    QString error; // set when config is empty; names the file, the control and the value
};

// Reads `path` and checks it for every module of `targets`: a module that is no P6 or P7, or
// one of another model than the file, refuses the whole file.
ApplyFile ReadApplyFile(const QString& path, const std::vector<FoundModule>& targets);

// The subnet mask the file holds for its model; empty when it holds none.
QString FileSubnetMask(const config::ModuleConfig& file);

// What the user typed into the apply dialog.
struct PlanFields {
    QString firstIp; // empty: each module keeps its address
    QString namePattern;
    quint32 counterStart = 1;
};

struct PlanRow {
    QString mac;
    QString currentIp;
    QString currentName; // as the device list shows it
    QString plannedIp;   // empty while the plan cannot be kept
    QString plannedName; // empty while the plan cannot be kept
};

struct PlanPreview {
    std::vector<PlanRow> rows; // one per target, in order, also when the plan fails
    // One per target when the plan can be kept; an empty module changes neither address nor
    // name.
    std::vector<config::PlannedModule> planned;
    QString error; // why the plan cannot be kept (the English words of the address plan)
    // The addresses the plan passed over although no listed module holds them, in order.
    std::vector<config::SkippedAddress> skipped;
};

// `taken`: the addresses of every listed module, `targets` included; `thisComputer`: the
// computer's own addresses.
PlanPreview PreviewPlan(const config::ModuleConfig& file, const std::vector<FoundModule>& targets,
                        const QStringList& taken, const QStringList& thisComputer,
                        const PlanFields& fields);

// The note that names the skipped addresses and why, in the current language; empty when none.
QString SkippedNote(const std::vector<config::SkippedAddress>& skipped);

} // namespace r2
