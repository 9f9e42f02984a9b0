#include <gtest/gtest.h>
#include <filesystem>

#include "config/AppSettings.h"
#include "config/ConsoleIniPath.h"
#include "config/IniProfile.h"
#include "config/PlacementFit.h"
#include "config/WindowPlacementRecord.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

using test::ReadWholeFile;
using test::ScopedWorkDir;
using test::WriteWholeFile;

TEST(IniProfileTest, WindowsProfileSemantics) {
    ScopedWorkDir dir;
    const std::string path = dir.File("a.ini");
    WriteWholeFile(
        path,
        "; kept\r\n[Other]\r\nStation=9\r\n[MODBUS]\r\n station = 7 \r\nStation=8\r\n\r\n[modbus]\r\nComPort=3\r\n");
    IniProfile profile(path, true);
    EXPECT_EQ(profile.ReadInt("Modbus", "Station", 255), 7);  // case-insensitive, first match wins
    EXPECT_EQ(profile.ReadInt("Modbus", "ComPort", -5), -5);  // only the first section counts
    EXPECT_EQ(profile.ReadInt("Missing", "Station", 255), 255);
    ASSERT_TRUE(profile.WriteInt("modbus", "AccessMode", 1));
    ASSERT_TRUE(profile.WriteInt("Modbus", "STATION", 12));
    ASSERT_TRUE(profile.WriteInt("New", "Key", -3));
    EXPECT_EQ(ReadWholeFile(path),
              "; kept\r\n[Other]\r\nStation=9\r\n[MODBUS]\r\nSTATION=12\r\nStation=8\r\nAccessMode=1\r\n\r\n"
              "[modbus]\r\nComPort=3\r\n[New]\r\nKey=-3\r\n");
    EXPECT_EQ(profile.Keys("Modbus"), (std::vector<std::string>{"STATION", "Station", "AccessMode"}));
}

TEST(IniProfileTest, RelativePathsAndAMissingDirectory) {
    ScopedWorkDir dir;
    EXPECT_EQ(IniProfile("x.ini", false).Path(), dir.Path() + "/x.ini");
    IniProfile missing(dir.File("no/such/dir/x.ini"), true);
    EXPECT_FALSE(missing.WriteInt("Modbus", "Station", 1));
    EXPECT_EQ(missing.ReadInt("Modbus", "Station", 4), 4);
}

TEST(AppSettingsTest, DefaultsAndWhatAFileHolds) {
    ScopedWorkDir dir;
    {
        AppSettings settings;
        EXPECT_EQ(settings.FilePath(), dir.File("VexloModbusTester.ini"));
        EXPECT_EQ(settings.station, 255);
    }
    EXPECT_TRUE(ReadWholeFile(dir.File("VexloModbusTester.ini")).empty());  // nothing written at start-up

    WriteWholeFile(dir.File("VexloModbusTester.ini"), "[Modbus]\nComPort=-1\nStation=abc\nAccessMode=\nUSB_RS232=1x\n");
    AppSettings settings;
    EXPECT_EQ(settings.comPort, -1);
    EXPECT_EQ(settings.station, 0);
    EXPECT_EQ(settings.accessMode, 0);
    EXPECT_EQ(settings.usbEmulation, 1);

    WriteWholeFile(dir.File("VexloModbusTester.ini"), std::string("\0\xff\xfe garbage\n[Modbus\n=\n", 22));
    AppSettings garbage;
    EXPECT_EQ(garbage.station, 255);
}

TEST(AppSettingsTest, SavingRewritesAllFourKeysAndKeepsOtherSections) {
    ScopedWorkDir dir;
    WriteWholeFile(dir.File("VexloModbusTester.ini"), "[Ports]\nCOM1=/dev/pts/9\n[Modbus]\nComPort=2\nAccessMode=1\n");
    AppSettings settings;
    settings.SetStation(63);
    EXPECT_EQ(ReadWholeFile(dir.File("VexloModbusTester.ini")),
              "[Ports]\nCOM1=/dev/pts/9\n[Modbus]\nComPort=2\nAccessMode=1\nStation=63\nUSB_RS232=0\n");
    settings.comPort = 5;
    EXPECT_EQ(settings.EditSettings([](AppSettings& s) {
        s.station = 1;
        return false;
    }),
              AppSettings::Edit::Cancelled);
    EXPECT_EQ(AppSettings().comPort, 2);  // a cancelled dialog writes nothing
}

// The session log switch lives in a section of its own, written only once it was ever switched on,
// so that a file shared with other tools keeps its four keys alone.
TEST(AppSettingsTest, SessionLogSwitchHasItsOwnSection) {
    ScopedWorkDir dir;
    const std::string ini = dir.File("VexloModbusTester.ini");
    AppSettings settings;
    settings.SetStation(4);
    EXPECT_EQ(ReadWholeFile(ini).find("SessionLog"), std::string::npos);
    settings.sessionLog = 1;
    ASSERT_TRUE(settings.TransferSettings(false));
    std::string text = ReadWholeFile(ini);
    std::erase(text, '\r');  // a new file takes the platform's line ends
    EXPECT_NE(text.find("[Vexlo]\nSessionLog=1\n"), std::string::npos) << text;
    EXPECT_EQ(AppSettings().sessionLog, 1);
    settings.sessionLog = 0;
    ASSERT_TRUE(settings.TransferSettings(false));
    EXPECT_EQ(AppSettings().sessionLog, 0);
    EXPECT_EQ(AppSettings().station, 4);
}

// An editor's byte-order mark must not hide the first section ([Ports] would be lost and another,
// real port opened); a save keeps the mark.
TEST(IniProfileTest, ByteOrderMarkIsReadAsIfAbsent) {
    ScopedWorkDir dir;
    const std::string path = dir.File("a.ini");
    WriteWholeFile(path, "\xEF\xBB\xBF[Ports]\r\nCOM1=/dev/ttyUSB3\r\n");
    IniProfile profile(path, true);
    EXPECT_EQ(profile.ReadString("Ports", "COM1"), "/dev/ttyUSB3");
    ASSERT_TRUE(profile.WriteInt("Ports", "COM2", 4));
    EXPECT_EQ(ReadWholeFile(path), "\xEF\xBB\xBF[Ports]\r\nCOM1=/dev/ttyUSB3\r\nCOM2=4\r\n");
    WriteWholeFile(path, "\xEF\xBB\xBF");
    ASSERT_TRUE(profile.WriteInt("Modbus", "Station", 3));
    EXPECT_EQ(profile.ReadInt("Modbus", "Station", 0), 3);
}

TEST(IniProfileTest, SavingThroughALinkUpdatesItsTargetAndKeepsTheMode) {
#if defined(_WIN32)
    GTEST_SKIP() << "symbolic links and POSIX modes are not what a Windows profile is kept in";
#endif
    ScopedWorkDir dir;
    std::filesystem::create_directory(dir.File("shared"));
    const std::string target = dir.File("shared/real.ini");
    WriteWholeFile(target, "[Modbus]\nStation=4\n");
    std::filesystem::permissions(target, std::filesystem::perms(0640));
    std::filesystem::create_symlink("shared/real.ini", dir.File("VexloModbusTester.ini"));
    AppSettings settings;
    ASSERT_TRUE(settings.SetStation(9));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("VexloModbusTester.ini")));
    EXPECT_EQ(AppSettings().station, 9);
    EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0640));
}

TEST(AppSettingsTest, AFileThatCannotBeWrittenIsReported) {
    ScopedWorkDir dir;
    // The save's temporary name taken by a directory: refused even for root, unlike a read-only folder.
    std::filesystem::create_directory(dir.File("VexloModbusTester.ini.tmp"));
    AppSettings settings;
    EXPECT_FALSE(settings.SetStation(9));
    EXPECT_EQ(settings.station, 9);
    EXPECT_EQ(settings.EditSettings([](AppSettings&) { return true; }), AppSettings::Edit::NotSaved);
    std::filesystem::remove(dir.File("VexloModbusTester.ini.tmp"));
    EXPECT_EQ(settings.EditSettings([](AppSettings&) { return true; }), AppSettings::Edit::Saved);
}

TEST(AppSettingsTest, RootDirectoryGivesOneSeparator) {
    ScopedWorkDir dir;
    std::filesystem::current_path(std::filesystem::current_path().root_path());
#if defined(_WIN32)
    // "C:\" has its trailing backslash taken off before "\VexloModbusTester.ini" goes on.
    EXPECT_EQ(ConsoleIniPath(), std::filesystem::current_path().root_name().string() + "\\VexloModbusTester.ini");
#else
    EXPECT_EQ(ConsoleIniPath(), "/VexloModbusTester.ini");
#endif
    std::filesystem::current_path(dir.Path());
}

TEST(WindowPlacementRecordTest, ExactLayoutAndLength) {
    WindowPlacementRecord record;
    record.showCommand = 3;
    record.left = 10;
    record.top = -20;
    record.right = 810;
    record.bottom = 600;
    const auto bytes = record.Encode();
    ASSERT_EQ(bytes.size(), 44u);
    EXPECT_EQ(bytes[0], 44);
    EXPECT_EQ(bytes[8], 3);
    EXPECT_EQ(bytes[12], 0xFF);  // minimised x -1
    EXPECT_EQ(bytes[28], 10);
    EXPECT_EQ(bytes[32], 0xEC);
    EXPECT_EQ(WindowPlacementRecord::Decode(bytes), record);
    auto shorter = bytes;
    shorter.pop_back();
    EXPECT_FALSE(WindowPlacementRecord::Decode(shorter));
    auto longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(WindowPlacementRecord::Decode(longer));
}

WindowPlacementRecord Normal(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    WindowPlacementRecord record;
    record.left = left;
    record.top = top;
    record.right = right;
    record.bottom = bottom;
    return record;
}

TEST(PlacementFitTest, RectanglesComeBackOntoTheNearestScreen) {
    const std::vector<EdgeRect> screens = {{0, 0, 1920, 1040}, {1920, 100, 3200, 1124}};
    // On a screen: unchanged.
    EXPECT_EQ(FitOntoScreens(Normal(100, 50, 900, 650), screens), (EdgeRect{100, 50, 900, 650}));
    // Mostly on the second screen, hanging off its bottom: moved up onto it.
    EXPECT_EQ(FitOntoScreens(Normal(2000, 900, 2600, 1300), screens), (EdgeRect{2000, 724, 2600, 1124}));
    // Far right of everything: onto the second screen's right edge.
    EXPECT_EQ(FitOntoScreens(Normal(9000, 200, 9400, 500), screens), (EdgeRect{2800, 200, 3200, 500}));
    // Larger than the first screen: shrunk to it.
    EXPECT_EQ(FitOntoScreens(Normal(-50, -50, 2000, 1200), screens), (EdgeRect{0, 0, 1920, 1040}));
    // Extreme values are plain numbers, not overflows.
    EXPECT_EQ(FitOntoScreens(Normal(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), screens),
              (EdgeRect{0, 0, 1920, 1040}));
    EXPECT_EQ(FitOntoScreens(Normal(INT32_MAX - 10, 0, INT32_MAX, 10), screens), (EdgeRect{3190, 100, 3200, 110}));
    EXPECT_FALSE(FitOntoScreens(Normal(INT32_MAX, 0, INT32_MIN, 10), screens));
    EXPECT_FALSE(FitOntoScreens(Normal(0, 0, 0, 10), screens));
    EXPECT_FALSE(FitOntoScreens(Normal(0, 0, 10, 10), {}));
}

}  // namespace
}  // namespace vexlo
