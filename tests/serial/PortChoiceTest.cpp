#include <gtest/gtest.h>

#include "serial/PortChoice.h"

namespace vexlo {
namespace {

TEST(PortChoiceTest, FixedListMapsPositionsToIndexes) {
    const PortChoices fixed = FixedPortList();
    ASSERT_EQ(fixed.names.size(), 40u);
    EXPECT_EQ(fixed.names[12], "COM 13");
    EXPECT_EQ(PositionOfPort(fixed, 12), 12);
    EXPECT_EQ(PositionOfPort(fixed, -1), -1);
    EXPECT_EQ(PositionOfPort(fixed, 40), -1);
    EXPECT_EQ(SelectedPortIndex(fixed, 39), 39);
    EXPECT_EQ(SelectedPortIndex(fixed, -1), -1);
}

TEST(PortChoiceTest, PortsPresentMapByTheirNumber) {
    PortChoices present{{"COM1", "COM3  /dev/ttyUSB0", "COM10", "COM30"}, true, {}};
    EXPECT_EQ(PositionOfPort(present, 2), 1);
    EXPECT_EQ(SelectedPortIndex(present, 2), 9);
    EXPECT_EQ(SelectedPortIndex(present, 1), 2);
    present.names.erase(present.names.begin() + 1);
    // With COM3 gone, its stored index selects nothing rather than COM30.
    EXPECT_EQ(PositionOfPort(present, 2), -1);
    EXPECT_EQ(PositionOfPort(present, 29), 2);
}

}  // namespace
}  // namespace vexlo
