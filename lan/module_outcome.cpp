#include "lan/module_outcome.h"

#include "protocol/Unit_Public.h"

namespace r2 {

void CountStatus(ModuleCounts& counts, int code) {
    if (code == StSearchSent) {
        return;
    }
    ++counts.answers;
    if (code == StAck) {
        ++counts.acks;
    } else if (code == StPswdErr) {
        ++counts.passwordErrors;
    } else {
        ++counts.otherErrors;
    }
}

ModuleOutcome JudgeModule(const ModuleCounts& c) {
    if (c.passwordErrors > 0) {
        return ModuleOutcome::PasswordRefused;
    }
    if (c.framesFailed > 0) {
        return ModuleOutcome::SendFailed;
    }
    if (c.framesSent == 0) {
        return ModuleOutcome::NothingSent;
    }
    if (c.otherErrors > 0) {
        return ModuleOutcome::ErrorStatus;
    }
    if (c.answers == 0) {
        return ModuleOutcome::NoAnswer;
    }
    return c.acks < c.framesSent ? ModuleOutcome::TooFewAcks : ModuleOutcome::Ok;
}

} // namespace r2
