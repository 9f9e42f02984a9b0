#include <gtest/gtest.h>

#include "console/RawRegisterText.h"

namespace vexlo {
namespace {

using Lines = std::vector<std::string>;

TEST(RawRegisterTextTest, HexAddresses) {
    EXPECT_EQ(ParseHexAddress("2301"), 0x2301u);
    EXPECT_EQ(ParseHexAddress("0x2301"), 0u);
    EXPECT_EQ(ParseHexAddress("12345") & 0xFFFF, 0x2345u);
    EXPECT_EQ(ParseHexAddress(" 2301"), 0u);
    EXPECT_EQ(ParseHexAddress(""), 0u);
    EXPECT_EQ(ParseHexAddress("aBcD"), 0xABCDu);
    EXPECT_EQ(ParseHexAddress("123456789"), 0x23456789u);  // wraps at 32 bits
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
