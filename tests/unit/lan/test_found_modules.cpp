// The list of the modules a search found: the one list the window, r2ctl and the batches keep.

#include "lan/found_modules.h"

#include <gtest/gtest.h>
#include <limits>

namespace r2 {
namespace {

FoundModule Listed(const char* ip, const char* mac, int socketIndex = 0) {
    return FoundModule{ip, "M", mac, 4017, DevFlagP6, socketIndex};
}

constexpr std::size_t Unbounded = std::numeric_limits<std::size_t>::max();

TEST(FoundModules, FirstReplyOfAMacWins) {
    FoundModules found(Unbounded);
    EXPECT_TRUE(found.add({"192.168.0.7", "A", "00 11 22 33 44 55", 4017, 2, 1}));
    EXPECT_TRUE(found.add({"192.168.0.8", "B", "00 11 22 33 44 66", 5002, 36, 0}));
    EXPECT_FALSE(found.add({"192.168.0.9", "C", "00 11 22 33 44 55", 4018, 2, 0}));
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found.modules()[0].socketIndex, 1);
    EXPECT_EQ(found.modules()[0].ip, "192.168.0.7");
    EXPECT_EQ(found.modules()[1].name, "B");
    ASSERT_NE(found.find("00 11 22 33 44 55"), nullptr);
    EXPECT_EQ(found.find("00 11 22 33 44 55")->version, 4017u);
    EXPECT_EQ(found.find("00 11 22 33 44 77"), nullptr);
    EXPECT_EQ(found.leftOut(), 0u);
}

TEST(FoundModules, ACapListsTheFirstAndCountsTheRest) {
    FoundModules found(2);
    EXPECT_TRUE(found.add(Listed("10.0.0.1", "00 00 00 00 00 01")));
    EXPECT_TRUE(found.add(Listed("10.0.0.2", "00 00 00 00 00 02")));
    // A listed MAC answering again is no module left out; each new one beyond the cap is.
    EXPECT_FALSE(found.add(Listed("10.0.0.1", "00 00 00 00 00 01")));
    EXPECT_FALSE(found.add(Listed("10.0.0.3", "00 00 00 00 00 03")));
    EXPECT_FALSE(found.add(Listed("10.0.0.4", "00 00 00 00 00 04")));
    EXPECT_EQ(found.size(), 2u);
    EXPECT_EQ(found.leftOut(), 2u);
    EXPECT_EQ(found.find("00 00 00 00 00 03"), nullptr);

    found.clear();
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(found.leftOut(), 0u);
    EXPECT_TRUE(found.add(Listed("10.0.0.3", "00 00 00 00 00 03")));
}

TEST(FoundModules, RowsComeToShareAnAddressOnceEach) {
    FoundModules found(Unbounded);
    const struct {
        const char* ip;
        std::vector<std::size_t> newlySharing;
    } rows[] = {
        {"10.0.0.1", {}},     // 0
        {"10.0.0.2", {}},     // 1
        {"10.0.0.1", {0, 2}}, // the second at .1: both marked
        {"10.0.0.1", {3}},    // the third: itself alone
        {"10.0.0.3", {}},     // 4
        {"10.0.0.2", {1, 5}}, // the second at .2
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const QString mac = QStringLiteral("00 00 00 00 00 %1").arg(i, 2, 10, QLatin1Char('0'));
        ASSERT_TRUE(found.add(FoundModule{rows[i].ip, "M", mac, 4017, DevFlagP6, 0}));
    }
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(found.newlySharing(i), rows[i].newlySharing) << "row " << i;
    }
    EXPECT_TRUE(found.newlySharing(std::size(rows)).empty());
}

TEST(FoundModules, AddressesTakenAreTheListedOnesInOrder) {
    FoundModules found(Unbounded);
    found.add(Listed("10.0.0.2", "00 00 00 00 00 01"));
    found.add(Listed("", "00 00 00 00 00 02"));
    found.add(Listed("10.0.0.1", "00 00 00 00 00 03"));
    found.add(Listed("10.0.0.2", "00 00 00 00 00 04"));
    EXPECT_EQ(found.addressesTaken(), QStringList({"10.0.0.2", "10.0.0.1", "10.0.0.2"}));
}

TEST(FoundModules, TheSearchReplysVersionTextIsReadOnce) {
    const FoundModule m =
        FoundModule::FromSearchReply("10.0.0.1", "N", 3, DevFlagP7, "5002", "00 00 00 00 00 01");
    EXPECT_EQ(m.version, 5002u);
    EXPECT_EQ(m.versionText(), "5002");
    EXPECT_EQ(m.socketIndex, 3);
    EXPECT_EQ(m.flag, DevFlagP7);
    EXPECT_EQ(m.target().socketIndex, 3);
    EXPECT_EQ(m.target().mac, "00 00 00 00 00 01");
    EXPECT_EQ(FoundModule::FromSearchReply("", "", 0, 0, "x", "").version, 0u);
}

TEST(FoundModules, AtNamesOnlyListedRows) {
    FoundModules found(Unbounded);
    found.add(Listed("10.0.0.1", "00 00 00 00 00 01"));
    EXPECT_EQ(found.at(-1), nullptr);
    EXPECT_EQ(found.at(1), nullptr);
    ASSERT_NE(found.at(0), nullptr);
    EXPECT_EQ(found.at(0)->ip, "10.0.0.1");
}

} // namespace
} // namespace r2
