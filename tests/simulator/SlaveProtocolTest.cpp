// The simulated instrument: its model and protocol in process, then behind a real line.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "simulator/FaultPlan.h"
#include "simulator/InstrumentModel.h"
#include "simulator/SlaveProtocol.h"
#include "tests/support/Hex.h"
#include "tests/support/SimulatedDeviceFixture.h"

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
    const Registers result = Read(model, 0x0011, 36, start + 2300);
    EXPECT_EQ(result, Read(model, 0x2301, 36, start + 2300));  // the direct map's copy
    const int verdict = Value32(result, 8) < 5000 ? 1 : 2;
    // End of cycle with the verdict's relay, one result in the FIFO; the result's program, relays, pressure.
    EXPECT_EQ(std::tuple(status[3] & 0x23, status[1], result[0], result[2], Value32(result, 4)),
              std::tuple(0x20 | verdict, 1, 0, verdict, 500000));
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

using test::FromHex;
using test::ToHex;
using test::WithCrc;

std::string Crc(const std::string& hex) { return ToHex(WithCrc(FromHex(hex))); }

class SlaveProtocolTest : public ::testing::Test {
protected:
    std::string Answer(const std::string& hex, bool addCrc = true) {
        const auto reply = protocol.HandleRequest(addCrc ? WithCrc(FromHex(hex)) : FromHex(hex), 0);
        return reply ? ToHex(*reply) : "none";
    }
    InstrumentModel model;
    SlaveProtocol protocol{model, {1, false}};
};

TEST_F(SlaveProtocolTest, AnswersItsOwnStationOnly) {
    EXPECT_EQ(Answer("01 03 00 30 00 01 84 05", false), Crc("01 03 02 01 00"));
    EXPECT_EQ(Answer("02 03 00 30 00 01"), "none");
    EXPECT_EQ(Answer("01 03 00 30 00 01 84 06", false), "none");  // bad CRC
    EXPECT_EQ(Answer("01", false), "none");
    SlaveProtocol any(model, {1, true});
    EXPECT_EQ(ToHex(*any.HandleRequest(WithCrc(FromHex("3f 03 30 00 00 0a")), 0)).substr(0, 8), "3f 03 14");
}

TEST_F(SlaveProtocolTest, RefusesWhatTheInstrumentWouldRefuse) {
    EXPECT_EQ(Answer("01 06 00 00 00 01"), Crc("01 86 01"));
    EXPECT_EQ(Answer("01 03 40 00 00 01"), Crc("01 83 02"));
    EXPECT_EQ(Answer("01 03 60 00 00 81"), Crc("01 83 03"));  // 129 registers
    EXPECT_EQ(Answer("01 03 60 00 00 00"), Crc("01 83 03"));
    EXPECT_EQ(Answer("01 03 60 00 00 80").substr(0, 8), "01 03 00");  // 128 registers
    EXPECT_EQ(Answer("01 05 00 01 12 34"), Crc("01 85 03"));
    EXPECT_EQ(Answer("01 10 60 00 00 02 03 01 02 03"), Crc("01 90 03"));                       // byte count
    EXPECT_EQ(Answer("01 10 60 00 00 7c f8 " + ToHex(test::Bytes(248, 0))), Crc("01 90 03"));  // 124 registers
    EXPECT_EQ(Answer("01 10 60 00 00 01 02 34 12"), Crc("01 10 60 00 00 01"));
    // Nothing to read yet: the exception is padded to the full reply length.
    const std::string empty = Answer("01 03 00 11 00 24");
    EXPECT_EQ(empty.size(), 77u * 3 - 1);
    EXPECT_EQ(empty.substr(0, 14), Crc("01 83 03"));
    EXPECT_EQ(Answer("01 05 00 01 ff 00"), Crc("01 05 00 01 ff 00"));
    EXPECT_TRUE(model.CycleRunning());
}

TEST(FaultPlanTest, ParsesRules) {
    std::string error;
    auto rule = FaultPlan::ParseRule("badcrc:0.25@0x0030", &error);
    ASSERT_TRUE(rule);
    EXPECT_EQ(std::tuple(rule->kind, rule->rate, rule->address), std::tuple(FaultKind::BadCrc, 0.25, 0x30));
    for (const char* bad : {"noreply:2", "noreply@zz", "smoke"}) EXPECT_FALSE(FaultPlan::ParseRule(bad, &error)) << bad;
    EXPECT_NE(error.find("unknown fault"), std::string::npos);
}

TEST(FaultPlanTest, ShapesTheReply) {
    const Frame request = WithCrc(FromHex("01 03 00 30 00 01"));
    const Frame reply = WithCrc(FromHex("01 03 02 01 00"));
    const auto apply = [&](FaultKind kind, std::optional<std::uint16_t> address = std::nullopt, double rate = 1.0) {
        FaultPlan plan;
        plan.Add({kind, rate, address});
        return plan.Apply(request, reply);
    };
    EXPECT_FALSE(apply(FaultKind::NoReply).send);
    EXPECT_EQ(apply(FaultKind::Truncate).bytes.size(), 3u);
    EXPECT_NE(apply(FaultKind::BadCrc).bytes, reply);
    EXPECT_EQ(apply(FaultKind::Exception).bytes, WithCrc(FromHex("01 83 04")));
    EXPECT_EQ(apply(FaultKind::OtherStation).bytes, WithCrc(FromHex("02 03 02 01 00")));
    EXPECT_EQ(apply(FaultKind::Pause).pauseAfter, 3u);
    EXPECT_EQ(apply(FaultKind::Garbage).bytes.size(), reply.size() + 3);
    EXPECT_EQ(apply(FaultKind::NoReply, 0x2201).send, true);         // aimed elsewhere
    EXPECT_TRUE(apply(FaultKind::NoReply, std::nullopt, 0.0).send);  // never
}

class SimulatorRobustnessTest : public test::SimulatedDeviceFixture {};

// Random bytes, floods and half frames on the line must never stop the instrument answering.
TEST_F(SimulatorRobustnessTest, StaysResponsiveAfterGarbage) {
    StartSimulator();
    std::mt19937 random(1234);
    std::uint8_t status[26];
    for (int round = 0; round < 20; ++round) {
        std::vector<std::uint8_t> noise(1 + random() % (round % 4 == 0 ? 2000 : 40));
        for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
        if (round % 5 == 1) noise = {0x01, 0x03, 0x00};  // half a frame
        ASSERT_TRUE(device.WriteBytes(noise.data(), static_cast<int>(noise.size())));
        // The noise ends like a transaction: the master keeps its silent gap before the next request,
        // which purges whatever the noise provoked.
        ModbusRtuMaster::GapTimer().Arm(ModbusRtuMaster::kGapMs);
        ASSERT_EQ(device.ReadRegisters(0x0030, 13, status), 1) << "round " << round;
        EXPECT_FALSE(device.exceptionReply);
    }
}

}  // namespace
}  // namespace vexlo::sim
