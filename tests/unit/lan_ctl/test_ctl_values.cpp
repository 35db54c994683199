#include "protocol/Unit_ProFun.h"
#include "tools/r2ctl/ctl_values.h"

#include <gtest/gtest.h>

namespace r2::ctl {
namespace {

// A module read with its heartbeat text shown plainly; the file was saved from one that shows
// it as hex. Qt hands the file's values over by name, the edit before its box.
TEST(ApplyValues, AFilesHexBoxFlipsBeforeItsDataEditIsSet) {
    PanelP6 panel;
    panel.rzchckbxHeartDtHex = false;
    panel.edtHeartDt = "AB";
    const std::vector<SetValue> file = {{"edtHeartDt", "43 44", false, true},
                                        {"rzchckbxHeartDtHex", "1", false, true}};
    QString error;
    ASSERT_TRUE(ApplyValues(panel, file, error)) << error.toStdString();
    EXPECT_TRUE(panel.rzchckbxHeartDtHex);
    EXPECT_EQ(panel.edtHeartDt, "43 44");
}

// --set values are applied in the order given: a box set after its edit converts the edit.
TEST(ApplyValues, SetValuesKeepTheirOrder) {
    PanelP6 panel;
    panel.rzchckbxHeartDtHex = false;
    const std::vector<SetValue> sets = {{"edtHeartDt", "CD", false, false},
                                        {"rzchckbxHeartDtHex", "1", false, false}};
    QString error;
    ASSERT_TRUE(ApplyValues(panel, sets, error)) << error.toStdString();
    EXPECT_EQ(panel.edtHeartDt, TextToHex("CD"));
}

} // namespace
} // namespace r2::ctl
