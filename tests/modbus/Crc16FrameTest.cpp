#include <gtest/gtest.h>

#include "modbus/Crc16.h"
#include "modbus/RtuFrame.h"
#include "tests/support/Hex.h"

namespace vexlo {
namespace {

using test::FromHex;
using test::ToHex;

// The reference: the shift-and-xor algorithm the tables are drawn from.
std::uint16_t BitwiseCrc16(const std::uint8_t* data, size_t length) {
    std::uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

TEST(Crc16Test, KnownVectorsAndEveryTableEntry) {
    EXPECT_EQ(Crc16(reinterpret_cast<const std::uint8_t*>("123456789"), 9), 0x4B37);
    EXPECT_EQ(Crc16(nullptr, 0), 0xFFFF);
    // Each one-byte message looks up a different index of both tables.
    for (int value = 0; value < 256; ++value) {
        const auto byte = static_cast<std::uint8_t>(value);
        ASSERT_EQ(Crc16(&byte, 1), BitwiseCrc16(&byte, 1)) << "byte " << value;
    }
    std::uint8_t longer[300];
    for (size_t i = 0; i < sizeof longer; ++i) longer[i] = static_cast<std::uint8_t>(i * 37 + 11);
    EXPECT_EQ(Crc16(longer, sizeof longer), BitwiseCrc16(longer, sizeof longer));
}

struct FrameCase {
    const char* name;
    RtuFrame frame;
    std::string hex;  // the whole frame, or its head
};

class RtuFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(RtuFrameTest, BuildsTheRequest) {
    const RtuFrame& frame = GetParam().frame;
    const std::string built = ToHex(frame.bytes.data(), static_cast<size_t>(frame.length));
    EXPECT_EQ(built.substr(0, GetParam().hex.size()), GetParam().hex);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RtuFrameTest,
    ::testing::Values(
        FrameCase{"ReadStatus", BuildReadRequest(1, 3, 0x0030, 13), "01 03 00 30 00 0d 84 00"},
        FrameCase{"ReadDirectResult", BuildReadRequest(1, 3, 0x2301, 1), "01 03 23 01 00 01 de 4e"},
        FrameCase{"ReadAtTheSearchStation", BuildReadRequest(255, 3, 0x3000, 10), "ff 03 30 00 00 0a df 13"},
        FrameCase{"ReadInputBroadcast", BuildReadRequest(0, 4, 0x0030, 13), "00 04 00 30 00 0d"},
        // Only the low 8 bits of the station and 16 of address and count go on the line.
        FrameCase{"ReadCutTo8And16Bits", BuildReadRequest(0x101, 4, 0x12345, 0x10002), "01 04 23 45 00 02"},
        FrameCase{"CoilOn", BuildWriteCoilRequest(1, 1, 1), "01 05 00 01 ff 00 dd fa"},
        FrameCase{"CoilOffPast16Bits", BuildWriteCoilRequest(1, 2, 0x10000), "01 05 00 02 00 00"},  // 16 bits: off
        FrameCase{"CoilOnAnyNonZero", BuildWriteCoilRequest(1, 2, 0x8000), "01 05 00 02 ff 00"},
        FrameCase{"WriteRegisters", BuildWriteRegistersRequest(1, 0x6000, 2, FromHex("78 56 34 12").data()),
                  "01 10 60 00 00 02 04 78 56 34 12"},
        FrameCase{"WriteNoRegister", BuildWriteRegistersRequest(1, 0x6000, 0, nullptr), "01 10 60 00 00 00 00"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RtuFrameTest, LargestWriteAndTheByteCountsWrap) {
    std::vector<std::uint8_t> big(260, 0xAB);
    const RtuFrame full = BuildWriteRegistersRequest(1, 0x8000, 123, big.data());
    EXPECT_EQ(full.length, 255);
    EXPECT_EQ(full.bytes[6], 0xF6);
    EXPECT_EQ(full.bytes[253] | full.bytes[254] << 8, Crc16(full.bytes.data(), 253));  // low byte first
    EXPECT_EQ(BuildWriteRegistersRequest(1, 0, 130, big.data()).bytes[6], 4);          // 260 wraps at 8 bits
}

}  // namespace
}  // namespace vexlo
