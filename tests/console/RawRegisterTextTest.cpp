#include <gtest/gtest.h>

#include "console/RawRegisterText.h"

namespace vexlo {
namespace {

using Lines = std::vector<std::string>;

TEST(RawRegisterTextTest, HexAddressesAreOneToFourDigits) {
    EXPECT_EQ(ParseHexAddress("2301"), 0x2301);
    EXPECT_EQ(ParseHexAddress(" aBcD "), 0xABCD);
    EXPECT_EQ(ParseHexAddress("0"), 0);
    EXPECT_EQ(ParseHexAddress("FFFF"), 0xFFFF);
    for (const char* refused : {"", "   ", "zz", "0x2301", "12345", "1FFFF", "23 01", "-1", "+1"}) {
        EXPECT_FALSE(ParseHexAddress(refused).has_value()) << '"' << refused << '"';
    }
}

TEST(RawRegisterTextTest, SixInterpretations) {
    const RawReadText one = InterpretRegisters(0x34, 0x12, 0, 0);
    EXPECT_EQ(one.lines, (Lines{"word=4660, 1234(H)", "long=4660, 00001234(H)", "float=6.53005e-42",
                                "sw_word=13330, 3412(H)", "sw_long=873594880, 34120000(H)", "sw_float=1.35973e-07"}));
    EXPECT_EQ(one.longField, "4660");
    EXPECT_EQ(one.hexField, "00001234(H)");
    EXPECT_EQ(one.wordField, "4660");
    const RawReadText floatOne = InterpretRegisters(0x00, 0x00, 0x80, 0x3F);
    EXPECT_EQ(floatOne.lines[2], "float=1");
    EXPECT_EQ(floatOne.lines[1], "long=1065353216, 3f800000(H)");
    const RawReadText negative = InterpretRegisters(0xFF, 0xFF, 0xFF, 0xFF);
    EXPECT_EQ(negative.longField, "-1");
    EXPECT_EQ(negative.hexField, "ffffffff(H)");  // 32 bits even where long has 64
    EXPECT_EQ(negative.lines[1], "long=-1, ffffffff(H)");
}

}  // namespace
}  // namespace vexlo
