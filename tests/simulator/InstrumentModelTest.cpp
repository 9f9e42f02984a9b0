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

// The FIFO, the last result and the coil values are pinned over the line by the console and peer tests.
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
    EXPECT_EQ(result[0], 0);  // program index
    const bool pass = Value32(result, 8) < 5000;
    EXPECT_EQ(result[2], pass ? 1 : 2);
    EXPECT_EQ(status[3] & 0x03, result[2]);
    EXPECT_EQ(Value32(result, 4), 500000);
}

TEST(InstrumentModelTest, ResetAbortsWithoutAResult) {
    InstrumentConfig config;
    config.initialFifoResults = 3;
    InstrumentModel model(config);
    EXPECT_EQ(Read(model, 0x0030, 13)[1], 3);
    ASSERT_EQ(model.WriteCoil(1, 0xFF00, 0), Refusal::None);
    ASSERT_EQ(model.WriteCoil(0, 0xFF00, 500), Refusal::None);
    EXPECT_FALSE(model.CycleRunning());
    EXPECT_EQ(Read(model, 0x0030, 13, 600)[3], 0x20);
    EXPECT_EQ(model.FifoSize(), 3u);  // an aborted cycle leaves no result
    EXPECT_EQ(model.WriteCoil(1, 0x0000, 800), Refusal::None);
    EXPECT_FALSE(model.CycleRunning());
    EXPECT_EQ(model.WriteCoil(3, 0xFF00, 800), Refusal::IllegalDataAddress);
}

}  // namespace
}  // namespace vexlo::sim
