#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace vexlo::sim {

// Modbus exception codes the instrument answers with.
enum class Refusal : std::uint8_t {
    None = 0,
    IllegalFunction = 1,
    IllegalDataAddress = 2,
    IllegalDataValue = 3,
    // Nothing to read yet (no test has run, the FIFO is empty): answered as an illegal data value,
    // padded to the length of the read reply so that the master takes it as a complete answer.
    EmptyResult = 0x83,
};

// Register values as the instrument holds them: every 16-bit value goes on the wire low byte
// first, and a 32-bit value fills two registers, low half first.
using Registers = std::vector<std::uint16_t>;

struct InstrumentConfig {
    double speed = 1.0;  // cycle time scale: 10 runs a cycle ten times faster
    int fifoCapacity = 64;
    int initialFifoResults = 0;
    std::uint16_t blockSizeBytes = 300;  // size of one program's parameter block
    std::uint32_t seed = 1;
};

// Step codes shown in the status block while a cycle runs.
enum class CycleStep : std::uint16_t { Ready = 0, Fill = 1, Stabilisation = 2, Test = 3, Dump = 4 };

// The leak-test instrument behind its register maps: eight programs of numbered parameters, a test
// cycle that runs through its phases with the running program's times, the last result and the
// result FIFO. Time is passed in by the caller (milliseconds), so tests drive it on fake time.
class InstrumentModel {
public:
    static constexpr int kProgramCount = 8;
    static constexpr int kParameterCount = 256;
    static constexpr int kStatusRegisters = 13;
    static constexpr int kResultRegisters = 36;

    explicit InstrumentModel(const InstrumentConfig& config = {});

    // Moves the cycle on to the given time.
    void Advance(std::int64_t nowMs);

    Refusal ReadRegisters(std::uint16_t address, std::uint16_t count, Registers& out, std::int64_t nowMs);
    Refusal WriteRegisters(std::uint16_t address, const Registers& values, std::int64_t nowMs);
    Refusal WriteCoil(std::uint16_t address, std::uint16_t value, std::int64_t nowMs);

    // Views for tests and the command line.
    bool CycleRunning() const { return step != CycleStep::Ready; }
    CycleStep Step() const { return step; }
    std::size_t FifoSize() const { return fifo.size(); }
    int RunningProgram() const { return runningProgram; }
    std::int32_t Parameter(int program, int number) const;
    void SetParameter(int program, int number, std::int32_t value);
    Registers StatusBlock() const;
    // Test cycle length at speed 1, from the running program's times.
    std::int64_t CycleLengthMs(int program) const;

private:
    void StartCycle(std::int64_t nowMs);
    void FinishCycle();
    Registers MakeResult(std::int32_t leak);
    std::int32_t DrawLeak(int program);
    Refusal ReadInsideBlock(std::uint16_t address, std::uint16_t count, Registers& out) const;
    Refusal ReadParameterWindow(std::uint16_t offset, std::uint16_t count, Registers& out) const;
    Refusal WriteParameterWindow(std::uint16_t offset, const Registers& values);

    InstrumentConfig config;
    std::array<std::array<std::int32_t, kParameterCount>, kProgramCount> parameters{};
    std::array<std::vector<std::uint8_t>, kProgramCount> blocks;
    std::array<std::uint16_t, 6> regulator{};
    std::array<std::int32_t, 20> twentyValues{};
    std::array<std::uint16_t, 256> scratch{};

    int runningProgram = 0;    // zero-based
    int parameterProgram = 0;  // selected at 0x2000: direct access and the indirect lists
    int listProgram = 0;       // selected at 0x3004 (or 0x2000) for the indirect lists
    std::vector<std::uint16_t> readList;

    CycleStep step = CycleStep::Ready;
    std::int64_t cycleStartMs = 0;
    std::int64_t modelElapsedMs = 0;
    int cycleProgram = 0;
    std::int32_t cycleLeak = 0;
    std::uint16_t relayBits = 0x0020;  // end of cycle: ready
    std::int32_t pressure = 0;
    std::int32_t leak = 0;
    std::optional<Registers> lastResult;
    std::deque<Registers> fifo;
    std::uint32_t random;
};

}  // namespace vexlo::sim
