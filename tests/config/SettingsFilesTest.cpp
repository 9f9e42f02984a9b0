#include <gtest/gtest.h>
#include <filesystem>

#include "config/AppSettings.h"
#include "config/ConsoleIniPath.h"
#include "config/IniProfile.h"
#include "config/PlacementFit.h"
#include "config/WindowPlacementRecord.h"
#include "tests/support/Hex.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

using namespace test;

TEST(IniProfileTest, WindowsProfileSemanticsPathsAndAByteOrderMark) {
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
    IniProfile missing(dir.File("no/such/dir/x.ini"), true);
    EXPECT_FALSE(missing.WriteInt("Modbus", "Station", 1));
    EXPECT_EQ(missing.ReadInt("Modbus", "Station", 4), 4);

    // An editor's byte-order mark must not hide the first section ([Ports] would be lost and another,
    // real port opened); a save keeps the mark.
    WriteWholeFile(path, "\xEF\xBB\xBF[Ports]\r\nCOM1=/dev/ttyUSB3\r\n");
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
    ASSERT_TRUE(AppSettings().SetStation(9));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("VexloModbusTester.ini")));
    EXPECT_EQ(AppSettings().station, 9);
    EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0640));
}

TEST(AppSettingsTest, FileInTheCurrentDirectoryAndWhatItHolds) {
    ScopedWorkDir dir;
    std::filesystem::current_path(std::filesystem::current_path().root_path());
#if defined(_WIN32)
    // "C:\" has its trailing backslash taken off before "\VexloModbusTester.ini" goes on.
    EXPECT_EQ(ConsoleIniPath(), std::filesystem::current_path().root_name().string() + "\\VexloModbusTester.ini");
#else
    EXPECT_EQ(ConsoleIniPath(), "/VexloModbusTester.ini");
#endif
    std::filesystem::current_path(dir.Path());
    const std::string ini = dir.File("VexloModbusTester.ini");
    EXPECT_EQ(AppSettings().FilePath(), ini);
    EXPECT_TRUE(ReadWholeFile(ini).empty());  // nothing written at start-up
    const struct {
        std::string file;
        std::int32_t comPort, station, accessMode, usbEmulation;
    } files[] = {{"[Modbus]\nComPort=-1\nStation=abc\nAccessMode=\nUSB_RS232=1x\n", -1, 0, 0, 1},
                 {"[Modbus]\nComPort=4\nStation=17\nAccessMode=1\nUSB_RS232=2\n", 4, 17, 1, 2},
                 {std::string("\0\xff\xfe garbage\n[Modbus\n=\n", 22), 0, 255, 0, 0}};
    for (const auto& file : files) {
        WriteWholeFile(ini, file.file);
        const AppSettings settings;
        EXPECT_EQ(std::tuple(settings.comPort, settings.station, settings.accessMode, settings.usbEmulation),
                  std::tuple(file.comPort, file.station, file.accessMode, file.usbEmulation))
            << file.file;
    }
}

// The session log switch lives in a section of its own, written only once it was ever switched on,
// so that a file shared with other tools keeps its four keys alone.
TEST(AppSettingsTest, SavingRewritesAllFourKeysAndKeepsOtherSections) {
    ScopedWorkDir dir;
    const std::string ini = dir.File("VexloModbusTester.ini");
    WriteWholeFile(ini, "[Ports]\nCOM1=/dev/pts/9\n[Modbus]\nComPort=2\nAccessMode=1\n");
    AppSettings settings;
    settings.SetStation(63);
    EXPECT_EQ(ReadWholeFile(ini),
              "[Ports]\nCOM1=/dev/pts/9\n[Modbus]\nComPort=2\nAccessMode=1\nStation=63\nUSB_RS232=0\n");
    settings.sessionLog = 1;
    ASSERT_TRUE(settings.TransferSettings(false));
    EXPECT_EQ(ReadWholeFile(ini),
              "[Ports]\nCOM1=/dev/pts/9\n[Modbus]\nComPort=2\nAccessMode=1\nStation=63\n"
              "USB_RS232=0\n[Vexlo]\nSessionLog=1\n");
    EXPECT_EQ(AppSettings().sessionLog, 1);
    settings.sessionLog = 0;
    ASSERT_TRUE(settings.TransferSettings(false));
    EXPECT_EQ(AppSettings().sessionLog, 0);
    EXPECT_EQ(AppSettings().station, 63);
}

TEST(AppSettingsTest, EditingSavesOnlyWhatTheDialogAcceptedAndReportsAFileThatCannotBeWritten) {
    ScopedWorkDir dir;
    AppSettings settings;
    settings.comPort = 5;
    EXPECT_EQ(settings.EditSettings([](AppSettings&) { return false; }), AppSettings::Edit::Cancelled);
    EXPECT_EQ(AppSettings().comPort, 0);  // a cancelled dialog writes nothing
    // The save's temporary name taken by a directory: refused even for root, unlike a read-only folder.
    std::filesystem::create_directory(dir.File("VexloModbusTester.ini.tmp"));
    EXPECT_FALSE(settings.SetStation(9));
    EXPECT_EQ(settings.station, 9);
    EXPECT_EQ(settings.EditSettings([](AppSettings&) { return true; }), AppSettings::Edit::NotSaved);
    std::filesystem::remove(dir.File("VexloModbusTester.ini.tmp"));
    EXPECT_EQ(settings.EditSettings([](AppSettings&) { return true; }), AppSettings::Edit::Saved);
    EXPECT_EQ(AppSettings().comPort, 5);
}

TEST(WindowPlacementRecordTest, ExactLayoutAndLength) {
    const WindowPlacementRecord record{.showCommand = 3, .left = 10, .top = -20, .right = 810, .bottom = 600};
    const auto bytes = record.Encode();
    // Length, flags, show command, minimised and maximised places (-1, -1 each), then the normal place.
    EXPECT_EQ(bytes, FromHex("2c000000 00000000 03000000 ffffffff ffffffff ffffffff ffffffff "
                             "0a000000 ecffffff 2a030000 58020000"));
    EXPECT_EQ(WindowPlacementRecord::Decode(bytes), record);
    for (const std::size_t size : {43, 45}) {
        auto resized = bytes;
        resized.resize(size);
        EXPECT_FALSE(WindowPlacementRecord::Decode(resized)) << size;
    }
}

TEST(PlacementFitTest, RectanglesComeBackOntoTheNearestScreen) {
    const std::vector<EdgeRect> screens = {{0, 0, 1920, 1040}, {1920, 100, 3200, 1124}};
    const auto fit = [&](std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
        return FitOntoScreens({.left = left, .top = top, .right = right, .bottom = bottom}, screens);
    };
    EXPECT_EQ(fit(100, 50, 900, 650), (EdgeRect{100, 50, 900, 650}));          // on a screen: unchanged
    EXPECT_EQ(fit(2000, 900, 2600, 1300), (EdgeRect{2000, 724, 2600, 1124}));  // off the second's bottom: moved up
    EXPECT_EQ(fit(9000, 200, 9400, 500), (EdgeRect{2800, 200, 3200, 500}));    // right of all: the nearest edge
    EXPECT_EQ(fit(-50, -50, 2000, 1200), (EdgeRect{0, 0, 1920, 1040}));        // larger than the first: shrunk
    // Extreme values are plain numbers, not overflows.
    EXPECT_EQ(fit(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), (EdgeRect{0, 0, 1920, 1040}));
    EXPECT_EQ(fit(INT32_MAX - 10, 0, INT32_MAX, 10), (EdgeRect{3190, 100, 3200, 110}));
    EXPECT_FALSE(fit(INT32_MAX, 0, INT32_MIN, 10));
    EXPECT_FALSE(fit(0, 0, 0, 10));
    EXPECT_FALSE(FitOntoScreens({.left = 0, .top = 0, .right = 10, .bottom = 10}, {}));
}

}  // namespace
}  // namespace vexlo
