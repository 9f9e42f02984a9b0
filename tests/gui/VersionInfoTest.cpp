#include <gtest/gtest.h>

#include "app/VersionInfo.h"

namespace vexlo {
namespace {

const std::string kRoot = "\\\tFEEF04BD 00010000 00010003 00010000 00010000 0 3F 0 40004 1 0 0 0\n";
// The program's own version, as the build gives it.
const std::string kVersion = "Version : " + std::to_string(VEXLO_VERSION_MAJOR) + ". " +
                             std::to_string(VEXLO_VERSION_MINOR) + ". " + std::to_string(VEXLO_VERSION_PATCH) + ". " +
                             std::to_string(VEXLO_VERSION_TWEAK);

TEST(VersionInfoTest, TheProgramsOwnBlock) {
    const VersionInfo info;
    EXPECT_EQ(info.FixedInfo()[0], VersionInfo::kSignature);
    EXPECT_EQ(info.FixedInfo()[2], (VEXLO_VERSION_MAJOR << 16u) | VEXLO_VERSION_MINOR);
    EXPECT_EQ(info.VersionLine(), kVersion);
    EXPECT_EQ(VersionedTitle("VEXLO Modbus tester", info),
              "VEXLO Modbus tester ( RS232/RS485 Modbus RTU - " + kVersion + " )");
}

TEST(VersionInfoTest, BlocksWithoutTheirParts) {
    VersionInfo info;
    ASSERT_TRUE(info.LoadText(kRoot + "\\VarFileInfo\\Translation\t0409 04b0\n"
                                      "\\StringFileInfo\\040904b0\\FileVersion\t2.0.0.1\n"));
    EXPECT_EQ(info.VersionLine(), "Version : 2.0.0.1");
    ASSERT_TRUE(info.LoadText(kRoot));  // no translation: code page 1252, and no "FileVersion"
    EXPECT_EQ(info.CodePage(), 1252);
    EXPECT_EQ(info.VersionLine(), "Version : ");
    ASSERT_TRUE(info.LoadText(kRoot + "\\StringFileInfo\\040904e4\\FileVersion\t3, 1\n"));
    EXPECT_EQ(info.VersionLine(), "Version : 3. 1");
    EXPECT_FALSE(info.LoadText("\\\t12345678\n"));  // wrong signature
    EXPECT_EQ(VersionedTitle("VEXLO Modbus tester", info), "VEXLO Modbus tester ( RS232/RS485 Modbus RTU -  )");
    EXPECT_FALSE(info.Load("/no/such/block"));
    EXPECT_EQ(info.VersionLine(), "");
}

}  // namespace
}  // namespace vexlo
