#pragma once

#include <array>
#include <cstdint>

#include "common/ByteImage.h"

namespace vexlo {

// The relay bits, alike in the status block's relay status and in a result's relay image (bit 4 is
// not used; the end of cycle is only in the status).
namespace relay {
inline constexpr std::uint16_t kGoodPart = 0x01;
inline constexpr std::uint16_t kTestReject = 0x02;
inline constexpr std::uint16_t kReferenceReject = 0x04;
inline constexpr std::uint16_t kAlarm = 0x08;
inline constexpr std::uint16_t kEndOfCycle = 0x20;
}  // namespace relay

// The 13-register real-time status block, as the bytes arrived.
struct StatusRecord {
    static constexpr int kRegisters = 13;
    std::array<std::uint8_t, 2 * kRegisters> bytes{};

    std::uint16_t Register(int index) const { return LoadLe16(bytes.data() + 2 * index); }
    std::uint16_t RunningProgram() const { return Register(0); }
    std::uint16_t FifoCount() const { return Register(1); }
    std::uint16_t TestType() const { return Register(2); }
    std::uint16_t RelayStatus() const { return Register(3); }
    std::uint16_t StepCode() const { return Register(4); }
    std::int32_t Measure1() const { return LoadLe32(bytes.data() + 10); }
    std::int32_t Unit1() const { return LoadLe32(bytes.data() + 14); }
    std::int32_t Measure2() const { return LoadLe32(bytes.data() + 18); }
    std::int32_t Unit2() const { return LoadLe32(bytes.data() + 22); }
    bool EndOfCycle() const { return (RelayStatus() & relay::kEndOfCycle) != 0; }
};

// One test result, 36 registers: the last result or one entry of the result FIFO.
struct ResultRecord {
    static constexpr int kRegisters = 36;
    std::array<std::uint8_t, 2 * kRegisters> bytes{};

    std::uint16_t ProgramIndex() const { return LoadLe16(bytes.data()); }
    std::uint16_t TestType() const { return LoadLe16(bytes.data() + 2); }
    std::uint8_t RelayImage() const { return bytes[4]; }
    std::uint16_t AlarmCode() const { return LoadLe16(bytes.data() + 6); }
    // Value and unit field of the n-th measure: 0 pressure, 1 leak, 2 P step, 3 F step, 4 P down,
    // 5 F down, 6 P contact up, 7 P contact down.
    std::int32_t Measure(int n) const { return LoadLe32(bytes.data() + 8 + 8 * n); }
    std::int32_t Unit(int n) const { return LoadLe32(bytes.data() + 12 + 8 * n); }
};

}  // namespace vexlo
