// The acknowledgement verdict of a sequence: which answers acknowledge which frame.

#include "lan/ack_ledger.h"
#include "protocol/Unit_Public.h"

#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace r2 {
namespace {

const QString Module = QStringLiteral("192.168.0.20");
const QString Stranger = QStringLiteral("192.168.0.99");

constexpr qint64 Ms = 1'000'000;

struct SentAt {
    quint8 command;
    double atMs;
    bool joinsPrevious = false;
};

struct AnswerAt {
    FrameAnswer answer;
    QString from;
    double atMs;
};

struct LedgerCase {
    const char* what;
    std::vector<SentAt> frames;
    std::vector<AnswerAt> answers;
    double closeMs;
    std::optional<std::size_t> firstUnacknowledged;
    int acknowledged;
    int surplus;
    int foreign;

    friend void PrintTo(const LedgerCase& c, std::ostream* os) { *os << c.what; }
};

// A P6 save of a 4016 module without Modbus blocks: base, port, restart.
const std::vector<SentAt> Save{{CmdWriteBase, 0}, {CmdWritePort, 500}, {CmdRestart, 2500}};
// One of a 4017 module: base, port, heartbeat/registration, restart.
const std::vector<SentAt> SaveWithHeart{
    {CmdWriteBase, 0}, {CmdWritePort, 500}, {CmdWriteHeartReg, 1000}, {CmdRestart, 3000}};

AnswerAt Ack(double atMs, const QString& from = Module) {
    return {FrameAnswer::Ack, from, atMs};
}

SequenceVerdict VerdictOf(const LedgerCase& c) {
    AckLedger ledger;
    for (std::size_t i = 0; i < c.frames.size(); ++i) {
        const SentAt& f = c.frames[i];
        ledger.frameSent(FrameVerdict{static_cast<int>(i), f.command, "02 52 32 06 00 01", Module,
                                      true, f.command != CmdRead, FrameAnswer::None},
                         static_cast<qint64>(f.atMs * Ms), f.joinsPrevious);
    }
    // Closed first: answers are placed by their arrival stamps, whenever they are handled.
    ledger.close(static_cast<qint64>(c.closeMs * Ms));
    for (const AnswerAt& a : c.answers) {
        ledger.answer(a.answer, a.from, static_cast<qint64>(a.atMs * Ms));
    }
    return ledger.verdict();
}

class Ledger : public ::testing::TestWithParam<LedgerCase> {};

TEST_P(Ledger, CountsOnlyTheModulesOwnAnswersInEachFramesWindow) {
    const LedgerCase& c = GetParam();
    const SequenceVerdict v = VerdictOf(c);
    EXPECT_EQ(v.firstUnacknowledged(), c.firstUnacknowledged);
    EXPECT_EQ(v.allAcknowledged(), !c.firstUnacknowledged.has_value());
    EXPECT_EQ(v.acknowledgedCount(), c.acknowledged);
    EXPECT_EQ(v.surplusAnswers, c.surplus);
    EXPECT_EQ(v.foreignAnswers, c.foreign);
    EXPECT_EQ(v.text().isEmpty(), !c.firstUnacknowledged.has_value()) << v.text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Ledger,
    ::testing::Values(
        LedgerCase{"each frame acknowledged in its window",
                   SaveWithHeart,
                   {Ack(10), Ack(510), Ack(1010), Ack(3010)},
                   3500,
                   std::nullopt,
                   4,
                   0,
                   0},
        LedgerCase{"heartbeat never acknowledged, port acknowledged twice",
                   SaveWithHeart,
                   {Ack(10), Ack(510), Ack(520), Ack(3010)},
                   3500,
                   2,
                   3,
                   1,
                   0},
        LedgerCase{"module silent, a third host sends six acknowledgements",
                   SaveWithHeart,
                   {Ack(10, Stranger), Ack(11, Stranger), Ack(510, Stranger), Ack(1010, Stranger),
                    Ack(3010, Stranger), Ack(3011, Stranger)},
                   3500,
                   0,
                   0,
                   0,
                   6},
        LedgerCase{"eight acknowledgements after the first frame, then nothing",
                   SaveWithHeart,
                   {Ack(10), Ack(11), Ack(12), Ack(13), Ack(14), Ack(15), Ack(16), Ack(17)},
                   3500,
                   1,
                   1,
                   7,
                   0},
        LedgerCase{"the base's acknowledgement after the port went out acknowledges the port",
                   Save,
                   {Ack(600), Ack(2510)},
                   3000,
                   0,
                   2,
                   0,
                   0},
        LedgerCase{"an acknowledgement that arrived before the first send",
                   Save,
                   {Ack(-5), Ack(510), Ack(2510)},
                   3000,
                   0,
                   2,
                   0,
                   0},
        LedgerCase{"the last frame's acknowledgement after the wait ended",
                   Save,
                   {Ack(10), Ack(510), Ack(3001)},
                   3000,
                   2,
                   2,
                   0,
                   0},
        LedgerCase{"frames sent back to back share one window, in sending order",
                   {{CmdWriteModbus, 0}, {CmdWriteModbus, 0.01, true}, {CmdRestart, 1500}},
                   {Ack(3), Ack(4), Ack(1503)},
                   2000,
                   std::nullopt,
                   3,
                   0,
                   0},
        LedgerCase{"back to back frames with one acknowledgement: the second has none",
                   {{CmdWriteModbus, 0}, {CmdWriteModbus, 0.01, true}, {CmdRestart, 1500}},
                   {Ack(3), Ack(1503)},
                   2000,
                   1,
                   2,
                   0,
                   0},
        LedgerCase{"an error answer is the frame's answer; an acknowledgement after it is surplus",
                   Save,
                   {{FrameAnswer::PasswordError, Module, 10}, Ack(20), Ack(510), Ack(2510)},
                   3000,
                   0,
                   2,
                   1,
                   0},
        LedgerCase{
            "a read expects no acknowledgement", {{CmdRead, 0}}, {}, 500, std::nullopt, 0, 0, 0}));

TEST(LedgerText, NamesTheFrameAndTheAddress) {
    const SequenceVerdict v =
        VerdictOf(LedgerCase{"", SaveWithHeart, {Ack(10), Ack(510), Ack(520)}, 3500, 2, 2, 1, 0});
    EXPECT_EQ(v.text().toStdString(), "the heartbeat/registration frame (3 of 4) was not "
                                      "acknowledged by 192.168.0.20");
}

TEST(LedgerText, SaysWhatCameInsteadAndWhatWasNotCounted) {
    const SequenceVerdict v = VerdictOf(LedgerCase{
        "", Save, {{FrameAnswer::OtherError, Module, 10}, Ack(11, Stranger)}, 3000, 0, 0, 0, 1});
    EXPECT_EQ(v.text().toStdString(),
              "the base frame (1 of 3) got the answer \"Other Error\" from 192.168.0.20 (1 "
              "answer(s) from other addresses were not counted)");
}

TEST(LedgerText, AFrameToAModuleOfUnknownAddressOrNotSent) {
    AckLedger ledger;
    ledger.frameSent(
        FrameVerdict{0, CmdRestart, "02 52 32 06 00 01", QString(), true, true, FrameAnswer::None},
        0, false);
    ledger.answer(FrameAnswer::Ack, Module, 10 * Ms);
    EXPECT_FALSE(ledger.verdict().allAcknowledged());
    EXPECT_TRUE(ledger.verdict().text().contains("no search reply of 02 52 32 06 00 01"));

    AckLedger unsent;
    unsent.frameSent(
        FrameVerdict{0, CmdRestart, "02 52 32 06 00 01", Module, false, true, FrameAnswer::None}, 0,
        false);
    unsent.answer(FrameAnswer::Ack, Module, 10 * Ms);
    EXPECT_EQ(unsent.verdict().text().toStdString(),
              "the restart frame (1 of 1) could not be sent");
}

TEST(LedgerText, ARefusalIsTheVerdict) {
    AckLedger ledger;
    ledger.refuse("several modules answer from 192.168.0.7: give each its own address first");
    EXPECT_FALSE(ledger.verdict().allAcknowledged());
    EXPECT_EQ(ledger.verdict().text().toStdString(),
              "several modules answer from 192.168.0.7: give each its own address first");
}

TEST(AnswerForStatus, MapsTheFourAnswerStatuses) {
    EXPECT_EQ(AnswerForStatus(StAck), FrameAnswer::Ack);
    EXPECT_EQ(AnswerForStatus(StPswdErr), FrameAnswer::PasswordError);
    EXPECT_EQ(AnswerForStatus(StOtherErr), FrameAnswer::OtherError);
    EXPECT_EQ(AnswerForStatus(StCheckErr), FrameAnswer::CheckError);
    EXPECT_EQ(AnswerForStatus(StUnknownLen), FrameAnswer::None);
    EXPECT_EQ(AnswerForStatus(StOtherSeries), FrameAnswer::None);
}

} // namespace
} // namespace r2
