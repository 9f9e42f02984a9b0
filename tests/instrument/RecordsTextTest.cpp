#include <gtest/gtest.h>

#include <cstring>

#include "instrument/ParameterAccess.h"
#include "instrument/ProgramBlocks.h"
#include "instrument/ResultText.h"
#include "instrument/UnitTable.h"
#include "tests/support/Records.h"

namespace vexlo {
namespace {

using Lines = std::vector<std::string>;

TEST(UnitTableTest, CodesOutsideTheTableAndTruncation) {
    EXPECT_EQ(UnitText(56), "cm3");
    EXPECT_EQ(UnitText(57), "***");
    EXPECT_EQ(UnitText(-1), "***");
    EXPECT_EQ(UnitCode(5999), 5);
    EXPECT_EQ(UnitCode(-1500), -1);
}

ResultRecord SampleResult() {
    ResultRecord result = test::MakeResult({0, 3, 0x06, 7, -1500, 14000, 2345, 57000});
    result.bytes[5] = 0x01;  // only the low byte of the relay image counts
    for (int n = 2; n < 8; ++n) {
        StoreLe32(result.bytes.data() + 8 + 8 * n, n * 1000);
        StoreLe32(result.bytes.data() + 12 + 8 * n, 6000);
    }
    return result;
}

TEST(ResultTextTest, TwelveLinesOrTwentyFive) {
    const Lines lines = ResultLines(SampleResult(), false);
    EXPECT_EQ(lines, (Lines{"Program n\xC2\xB0: 1", "Test type: 3", "Image of the relays:", "    Good part: 0",
                            "    Bad ref part : 1", "    Bad test part : 1", "    Presence Alarm : 0", "Alarm code: 7",
                            "Pressure: -1.500", "Pressure unit: mbar", "Leak: 2.345", "Leak unit: ***"}));
    const Lines erd = ResultLines(SampleResult(), true);
    ASSERT_EQ(erd.size(), 25u);
    EXPECT_EQ(erd[13], "P Step: 2.000");
    EXPECT_EQ(erd[23], "P Contact Down: 7.000");
}

// One bit at a time: each shows on its own line and on no other.
TEST(ResultTextTest, EachRelayBitShowsOnItsOwnLine) {
    const std::pair<std::uint8_t, int> bits[] = {{0x01, 3}, {0x04, 4}, {0x02, 5}, {0x08, 6}};
    for (const auto& [bit, line] : bits) {
        ResultRecord result;
        result.bytes[4] = bit;
        const Lines lines = ResultLines(result, false);
        for (int i = 3; i <= 6; ++i)
            EXPECT_EQ(lines[i].back(), i == line ? '1' : '0') << "bit " << +bit << ": " << lines[i];
    }
}

TEST(ParameterTextTest, ProgramNumbers) {
    for (const char* refused : {"0", "9", "", "-1", "65537", " 8x", "1.5", "2,5"}) {
        EXPECT_FALSE(ParseProgramNumber(refused).valid) << refused;
    }
    EXPECT_TRUE(ParseProgramNumber(" 8 ").valid);
    EXPECT_EQ(ParseProgramNumber(" 8 ").Index(), 7);
}

// The fields are pinned by the curve read; here the unit's text: all 26 bytes when no NUL ends it.
TEST(CurveTextTest, UnitText) {
    std::uint8_t record[52] = {};
    std::memcpy(record + 26, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", 26);
    EXPECT_EQ(CurveLines(record)[8], "Unit       = ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    // The instrument's text is Windows-1252: a degree sign and a euro sign, not replacement marks.
    std::memcpy(record + 26,
                "\xB0"
                "C \x80\x81\0ignored",
                14);
    EXPECT_EQ(CurveLines(record)[8],
              "Unit       = \xC2\xB0"
              "C \xE2\x82\xAC\xC2\x81");
}

}  // namespace
}  // namespace vexlo
