#pragma once
// How one module did in one job (a save, a restart, a reset), judged from what it answered: the
// one rule behind r2ctl's exit statuses and the results of a batch over several modules, each
// of which only words the outcome in its own way.
//
// The first that holds decides: the module refused the login; a frame could not be sent (the
// fault is on this computer's side); nothing was sent at all (the job did not apply to the
// module); the module answered with an error status; nothing answered; fewer frames were
// acknowledged than were sent. Otherwise the job succeeded.

namespace r2 {

// What the module answered to the frames of one job.
struct ModuleCounts {
    int framesSent = 0;
    int framesFailed = 0; // frames the endpoint could not send
    int acks = 0;
    int passwordErrors = 0;
    int otherErrors = 0; // any status but StAck, StPswdErr and StSearchSent
    int answers = 0;     // statuses of any kind
};

// Counts one status raised while the job ran; the search's own StSearchSent is no answer.
void CountStatus(ModuleCounts& counts, int code);

enum class ModuleOutcome {
    Ok,
    PasswordRefused,
    SendFailed,
    NothingSent,
    ErrorStatus,
    NoAnswer,
    TooFewAcks,
};

ModuleOutcome JudgeModule(const ModuleCounts& counts);

// Why a module's job failed, as far as the one who runs it must tell failures apart (r2ctl
// gives each its exit status).
enum class ModuleFailure { None, NotFound, Password, NoAnswer, Refused, Other };

} // namespace r2
