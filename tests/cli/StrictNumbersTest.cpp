#include <gtest/gtest.h>

#include "common/TextParse.h"

namespace vexlo {
namespace {

// A number followed by anything but blanks is no number, in every field that sends a value.
TEST(StrictNumbersTest, TextAfterANumberIsRefused) {
    for (const char* text : {"2,5", "5abc", "1.5.", "", " ", "nan", "inf", "0x10", "1e", "--1", "+-1", "1 2"}) {
        EXPECT_FALSE(ParseDecimalNumber(text)) << text;
        EXPECT_FALSE(ParseWholeNumber(text)) << text;
    }
    EXPECT_EQ(ParseDecimalNumber(" -2.5e1 "), -25.0);
    EXPECT_EQ(ParseDecimalNumber("+.5"), 0.5);
    EXPECT_FALSE(ParseWholeNumber("1.5"));
    EXPECT_FALSE(ParseWholeNumberIn("4294967297", 0, 86400));
    EXPECT_EQ(ParseWholeNumberIn(" 86400 ", 0, 86400), 86400);

    EXPECT_EQ(ParseNumberList("1,2,5-7,2", 1, 247), (std::vector<int>{1, 2, 5, 6, 7}));
    for (const char* text : {"", "1,", "0", "248", "7-5", "1-x", "-3", "1;2"})
        EXPECT_FALSE(ParseNumberList(text, 1, 247)) << text;
}

}  // namespace
}  // namespace vexlo
