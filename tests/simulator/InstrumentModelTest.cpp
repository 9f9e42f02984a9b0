#include <gtest/gtest.h>

#include "simulator/InstrumentModel.h"

namespace vexlo::sim {
namespace {

std::int32_t Value32(const Registers& regs, size_t at) {
    return static_cast<std::int32_t>(regs[at] | static_cast<std::uint32_t>(regs[at + 1]) << 16);
}

Registers Read(InstrumentModel& model, std::uint16_t address, std::uint16_t count, std::int64_t now = 0) {
    Registers out;
    EXPECT_EQ(model.ReadRegisters(address, count, out, now), Refusal::None) << std::hex << address;
    return out;
}

TEST(InstrumentModelTest, AtRestTheInstrumentIsReady) {
    InstrumentModel model;
    const Registers status = Read(model, 0x0030, 13);
    EXPECT_EQ(status, Read(model, 0x2201, 13));
    EXPECT_EQ(status[0], 1);       // running program number
    EXPECT_EQ(status[1], 0);       // FIFO empty
    EXPECT_EQ(status[3], 0x0020);  // end of cycle
    EXPECT_EQ(status[4], 0);
    EXPECT_EQ(Value32(status, 7), 14000);  // mbar
    Registers out;
    EXPECT_EQ(model.ReadRegisters(0x0011, 36, out, 0), Refusal::EmptyResult);  // no result yet
    EXPECT_EQ(model.ReadRegisters(0x0010, 36, out, 0), Refusal::EmptyResult);  // FIFO empty
    EXPECT_LT(model.CycleLengthMs(0), 15000);
}

TEST(InstrumentModelTest, CycleRunsThroughItsPhasesAndLeavesAResult) {
    InstrumentConfig config;
    config.speed = 2.0;
    InstrumentModel model(config);
    const std::int64_t start = 10000;
    ASSERT_EQ(model.WriteCoil(1, 0xFF00, start), Refusal::None);
    EXPECT_TRUE(model.CycleRunning());
    EXPECT_EQ(Read(model, 0x0030, 13, start)[3] & 0x20, 0);  // end of cycle cleared
    // Program 1: fill 1.0 s, stabilisation 1.0 s, test 2.0 s, dump 0.5 s; at speed 2 half of that.
    std::vector<std::uint16_t> steps;
    for (std::int64_t t = start; t <= start + 2300; t += 100) {
        const std::uint16_t step = Read(model, 0x0030, 13, t)[4];
        if (steps.empty() || steps.back() != step) steps.push_back(step);
    }
    EXPECT_EQ(steps, (std::vector<std::uint16_t>{1, 2, 3, 4, 0}));
    const Registers status = Read(model, 0x0030, 13, start + 2300);
    EXPECT_EQ(status[3] & 0x20, 0x20);
    EXPECT_EQ(status[1], 1);
    const Registers result = Read(model, 0x0011, 36, start + 2300);
    EXPECT_EQ(result, Read(model, 0x2301, 36, start + 2300));
    EXPECT_EQ(result[0], 0);  // program index
    const bool pass = Value32(result, 8) < 5000;
    EXPECT_EQ(result[2], pass ? 1 : 2);
    EXPECT_EQ(status[3] & 0x03, result[2]);
    EXPECT_EQ(Value32(result, 4), 500000);
    // Reading the FIFO takes the entry out.
    EXPECT_EQ(Read(model, 0x0010, 36, start + 2400), result);
    EXPECT_EQ(model.FifoSize(), 0u);
}

// Results of three programs leave the FIFO oldest first; the last result is the newest.
TEST(InstrumentModelTest, FifoGivesTheOldestResultFirst) {
    InstrumentModel model;
    std::int64_t now = 0;
    for (const std::uint16_t program : {2, 0, 5}) {
        ASSERT_EQ(model.WriteRegisters(0x0200, {program}, now), Refusal::None);
        ASSERT_EQ(model.WriteCoil(1, 0xFF00, now), Refusal::None);
        now += model.CycleLengthMs(program) + 1;
        model.Advance(now);
    }
    EXPECT_EQ(Read(model, 0x0011, 36, now)[0], 5);
    EXPECT_EQ(Read(model, 0x0010, 36, now)[0], 2);
    EXPECT_EQ(Read(model, 0x0010, 36, now)[0], 0);
    EXPECT_EQ(Read(model, 0x2301, 36, now)[0], 5);
    EXPECT_EQ(Read(model, 0x0010, 36, now)[0], 5);
    EXPECT_EQ(model.FifoSize(), 0u);
}

TEST(InstrumentModelTest, ResetAbortsAndClearFifoEmpties) {
    InstrumentConfig config;
    config.initialFifoResults = 3;
    InstrumentModel model(config);
    EXPECT_EQ(Read(model, 0x0030, 13)[1], 3);
    ASSERT_EQ(model.WriteCoil(1, 0xFF00, 0), Refusal::None);
    ASSERT_EQ(model.WriteCoil(0, 0xFF00, 500), Refusal::None);
    EXPECT_FALSE(model.CycleRunning());
    EXPECT_EQ(Read(model, 0x0030, 13, 600)[3], 0x20);
    EXPECT_EQ(model.FifoSize(), 3u);  // an aborted cycle leaves no result
    ASSERT_EQ(model.WriteCoil(2, 0xFF00, 700), Refusal::None);
    EXPECT_EQ(model.FifoSize(), 0u);
    EXPECT_EQ(model.WriteCoil(1, 0x0000, 800), Refusal::None);
    EXPECT_FALSE(model.CycleRunning());
    EXPECT_EQ(model.WriteCoil(1, 0x1234, 800), Refusal::IllegalDataValue);
    EXPECT_EQ(model.WriteCoil(3, 0xFF00, 800), Refusal::IllegalDataAddress);
}

TEST(InstrumentModelTest, DirectParameterAccess) {
    InstrumentModel model;
    ASSERT_EQ(model.WriteRegisters(0x2000, {2}, 0), Refusal::None);  // program 3
    EXPECT_EQ(Value32(Read(model, 0x2001, 2), 0), 1200);            // its fill time
    ASSERT_EQ(model.WriteRegisters(0x203C, {0xF63C, 0xFFFF}, 0), Refusal::None);  // -2500
    EXPECT_EQ(model.Parameter(2, 60), -2500);
    EXPECT_EQ(model.Parameter(0, 60), 5000);
    EXPECT_EQ(Read(model, 0x2000, 2)[0], 2);  // the selection register itself
    EXPECT_EQ(model.WriteRegisters(0x2000, {8}, 0), Refusal::IllegalDataValue);
    ASSERT_EQ(model.WriteRegisters(0x0200, {1}, 0), Refusal::None);
    EXPECT_EQ(Read(model, 0x0030, 13)[0], 2);
    EXPECT_EQ(model.WriteRegisters(0x0200, {8}, 0), Refusal::IllegalDataValue);
}

TEST(InstrumentModelTest, IndirectParameterLists) {
    InstrumentModel model;
    ASSERT_EQ(model.WriteRegisters(0x3004, {1}, 0), Refusal::None);
    ASSERT_EQ(model.WriteRegisters(0x0000, {8, 1, 2, 3, 9, 10, 60, 62, 127}, 0), Refusal::None);
    const Registers answer = Read(model, 0x0000, 24);
    EXPECT_EQ(answer[0], 1);
    EXPECT_EQ(Value32(answer, 1), 1100);  // program 2's fill time
    EXPECT_EQ(Value32(answer, 3 * 7 + 1), 6000);
    // Write list: two parameters of program 2.
    ASSERT_EQ(model.WriteRegisters(0x007F, {2, 1, 0x07D0, 0, 62, 0x1388, 0}, 0), Refusal::None);
    EXPECT_EQ(model.Parameter(1, 1), 2000);
    EXPECT_EQ(model.Parameter(1, 62), 5000);
    EXPECT_EQ(model.WriteRegisters(0x007F, {2, 1, 0, 0}, 0), Refusal::IllegalDataValue);
    EXPECT_EQ(model.WriteRegisters(0x0000, {3, 1}, 0), Refusal::IllegalDataValue);
}

TEST(InstrumentModelTest, BlocksCurvesAndOtherAreas) {
    InstrumentModel model;
    EXPECT_EQ(Read(model, 0x0801, 1)[0], 300);
    EXPECT_EQ(Read(model, 0x8000, 123).size(), 123u);
    EXPECT_EQ(Read(model, 0x8405, 27).size(), 27u);
    Registers out;
    EXPECT_EQ(model.ReadRegisters(0x8400, 28, out, 0), Refusal::IllegalDataAddress);
    const Registers head = Read(model, 0x8000, 123);
    ASSERT_EQ(model.WriteRegisters(0x8005, head, 0), Refusal::None);
    EXPECT_EQ(Read(model, 0x8005, 123), head);
    const Registers curve = Read(model, 0x0434, 26);
    EXPECT_EQ(curve[0], 10);
    EXPECT_EQ(curve[13] & 0xFF, 'm');  // the unit text starts at byte 26
    EXPECT_NE(Read(model, 0x0435, 26), curve);
    EXPECT_EQ(Value32(Read(model, 0x2700, 40), 10), 0);  // value 5
    ASSERT_EQ(model.WriteRegisters(0x0110, {0x0084, 0, 0, 0, 0, 0}, 0), Refusal::None);
    EXPECT_EQ(Read(model, 0x0110, 6)[0], 0x0084);
    EXPECT_EQ(Read(model, 0x3000, 10)[0], 'V' | 'E' << 8);
    ASSERT_EQ(model.WriteRegisters(0x6000, {0x1234}, 0), Refusal::None);
    EXPECT_EQ(Read(model, 0x6000, 128)[0], 0x1234);
    EXPECT_EQ(model.ReadRegisters(0x4000, 1, out, 0), Refusal::IllegalDataAddress);
    EXPECT_EQ(model.ReadRegisters(0x0030, 14, out, 0), Refusal::IllegalDataAddress);
    // Inside a block: the status wins where the standard map overlaps it with the last result.
    EXPECT_EQ(Read(model, 0x0033, 1)[0], 0x0020);
    EXPECT_EQ(Read(model, 0x2204, 1)[0], 0x0020);
    EXPECT_EQ(model.ReadRegisters(0x003C, 2, out, 0), Refusal::IllegalDataAddress);
}

TEST(InstrumentModelTest, SmallBlocksHaveNoTail) {
    InstrumentConfig config;
    config.blockSizeBytes = 100;
    InstrumentModel model(config);
    Registers out;
    EXPECT_EQ(model.ReadRegisters(0x8000, 50, out, 0), Refusal::None);
    EXPECT_EQ(model.ReadRegisters(0x8400, 1, out, 0), Refusal::IllegalDataAddress);
}

}  // namespace
}  // namespace vexlo::sim
