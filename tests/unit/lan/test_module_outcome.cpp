// A module's outcome from its answers: the one judgement r2ctl's exit statuses and the batch
// results both word.

#include "lan/module_outcome.h"
#include "protocol/Unit_Public.h"

#include <gtest/gtest.h>
#include <initializer_list>

namespace r2 {
namespace {

ModuleCounts After(int sent, int failed, std::initializer_list<int> statuses) {
    ModuleCounts c;
    c.framesSent = sent;
    c.framesFailed = failed;
    for (const int code : statuses) {
        CountStatus(c, code);
    }
    return c;
}

TEST(ModuleOutcome, CountsEachStatusOnce) {
    const ModuleCounts c = After(0, 0, {StAck, StPswdErr, StCheckErr, StSearchSent, StPortInUse});
    EXPECT_EQ(c.answers, 4);
    EXPECT_EQ(c.acks, 1);
    EXPECT_EQ(c.passwordErrors, 1);
    EXPECT_EQ(c.otherErrors, 2);
}

TEST(ModuleOutcome, TheFirstFaultThatHoldsDecides) {
    const struct {
        const char* what;
        ModuleCounts counts;
        ModuleOutcome expected;
    } cases[] = {
        {"every frame acknowledged", After(3, 0, {StAck, StAck, StAck}), ModuleOutcome::Ok},
        {"more acknowledgements than frames", After(1, 0, {StAck, StAck}), ModuleOutcome::Ok},
        {"password over everything", After(2, 1, {StPswdErr, StOtherErr}),
         ModuleOutcome::PasswordRefused},
        {"password with nothing sent", After(0, 0, {StPswdErr}), ModuleOutcome::PasswordRefused},
        {"a frame not sent over an error status", After(2, 1, {StOtherErr}),
         ModuleOutcome::SendFailed},
        {"every frame failed", After(0, 2, {}), ModuleOutcome::SendFailed},
        {"nothing sent", After(0, 0, {}), ModuleOutcome::NothingSent},
        {"nothing sent, a stray error status", After(0, 0, {StOtherErr}),
         ModuleOutcome::NothingSent},
        {"error status after an acknowledgement", After(1, 0, {StAck, StCheckErr}),
         ModuleOutcome::ErrorStatus},
        {"no answer", After(4, 0, {}), ModuleOutcome::NoAnswer},
        {"the search's own status is no answer", After(1, 0, {StSearchSent}),
         ModuleOutcome::NoAnswer},
        {"one frame unacknowledged", After(3, 0, {StAck, StAck}), ModuleOutcome::TooFewAcks},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JudgeModule(c.counts), c.expected) << c.what;
    }
}

} // namespace
} // namespace r2
