#include "lan/save_over_read.h"

#include "lan/Unit_Udp.h"
#include "protocol/config/config_apply.h"

namespace r2 {

std::optional<ReadRefusal> ReadForSaveRefusal(const ReadCheck& check, int passwordErrors,
                                              int devFlag, bool panelFilled, const QString& mac) {
    if (passwordErrors > 0) {
        return ReadRefusal{ModuleFailure::Password,
                           QStringLiteral("the module rejected the user name or password while "
                                          "being read; nothing was written")};
    }
    // Blocks of several modules mixed in one mirror must not go back to any of them.
    if (!check.trustworthy()) {
        return ReadRefusal{ModuleFailure::Other,
                           check.conflict + QStringLiteral("; nothing was written")};
    }
    // Saving without the module's own blocks would overwrite it with the panel's defaults.
    if (!check.replies.contains(static_cast<int>(BasePortReplyLen))) {
        return ReadRefusal{ModuleFailure::NoAnswer,
                           QStringLiteral("the module did not send its parameters when read; "
                                          "nothing was written")};
    }
    if (devFlag == DevFlagP6 && !panelFilled) {
        return ReadRefusal{ModuleFailure::Other,
                           QStringLiteral("the base block that came back names another MAC than "
                                          "%1, so the panel was not filled from it; nothing was "
                                          "written")
                               .arg(mac)};
    }
    return std::nullopt;
}

bool ApplyOverRead(int devFlag, const QString& mac, const ParamMirror& mirror,
                   const config::ModuleConfig& file, bool withNetwork,
                   const config::PlannedModule* planned, PanelP6& p6, PanelP7& p7,
                   std::string& problem) {
    const config::Model model = devFlag == DevFlagP6 ? config::Model::P6 : config::Model::P7;
    // A P7's read fills no panel: its own MAC and address go in first, so that the file's
    // values land on them as on a P6's panel read from the module.
    if (model == config::Model::P7) {
        p7.edt_UserMACP7 = mac.toStdString();
        config::TakeTargetAddress(p7, DecodeBaseBlock(mirror.base));
    }
    const auto apply = [&](const config::ModuleConfig& values, bool network) {
        return config::ApplyModuleConfig(model, p6, p7, values, network, problem);
    };
    return apply(file, withNetwork) &&
           (!planned || apply(config::PlannedConfig(file, *planned), true));
}

PlanResult PlanSaveOverRead(int devFlag, const PanelP6& p6, const PanelP7& p7,
                            const ParamMirror& mirror, const LanTarget& target, unsigned version) {
    return devFlag == DevFlagP6 ? PlanP6Save(p6, mirror, target, target, version)
                                : PlanP7Save(p7, mirror, target);
}

} // namespace r2
