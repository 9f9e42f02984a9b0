#include "simulator/InstrumentModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vexlo::sim {
namespace {

// Parameter numbers the console relies on.
constexpr int kFillTime = 1;
constexpr int kStabTime = 2;
constexpr int kTestTime = 3;
constexpr int kDumpTime = 9;
constexpr int kWaitTime = 10;
constexpr int kTestPressure = 20;
constexpr int kRejectTest = 60;
constexpr int kRejectRef = 62;
constexpr int kRejectUnit = 127;

constexpr std::int32_t kUnitMbar = 14 * 1000;
constexpr std::int32_t kUnitPa = 6 * 1000;
constexpr std::uint16_t kTestType = 1;

constexpr std::uint16_t kRelayPass = 0x0001;
constexpr std::uint16_t kRelayTestReject = 0x0002;
constexpr std::uint16_t kRelayEndOfCycle = 0x0020;

void Put32(Registers& regs, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    regs.push_back(static_cast<std::uint16_t>(bits & 0xFFFF));
    regs.push_back(static_cast<std::uint16_t>(bits >> 16));
}

std::int32_t Get32(const Registers& regs, size_t index) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(regs[index]) |
                                     static_cast<std::uint32_t>(regs[index + 1]) << 16);
}

// Registers from a byte image: register i holds bytes 2i (low) and 2i + 1 (high).
Registers FromBytes(const std::uint8_t* bytes, size_t count) {
    Registers regs(count / 2);
    for (size_t i = 0; i < regs.size(); ++i) {
        regs[i] = static_cast<std::uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return regs;
}

void ToBytes(const Registers& regs, std::uint8_t* bytes) {
    for (size_t i = 0; i < regs.size(); ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(regs[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(regs[i] >> 8);
    }
}

// A curve description: three 16-bit fields, five floats, a 26-byte unit text.
Registers CurveDescription(std::uint16_t period, std::uint16_t maxPoints, std::uint16_t resolution,
                           const float (&values)[5], const char* unit) {
    std::uint8_t image[52] = {};
    const std::uint16_t words[3] = {period, maxPoints, resolution};
    for (int i = 0; i < 3; ++i) {
        image[2 * i] = static_cast<std::uint8_t>(words[i] & 0xFF);
        image[2 * i + 1] = static_cast<std::uint8_t>(words[i] >> 8);
    }
    for (int i = 0; i < 5; ++i) std::memcpy(image + 6 + 4 * i, &values[i], 4);
    std::memcpy(image + 26, unit, strnlen(unit, 26));
    return FromBytes(image, sizeof image);
}

// Serves the first count registers of a block; asking past its end is an address error.
Refusal Serve(const Registers& block, std::uint16_t count, Registers& out) {
    if (count > block.size()) return Refusal::IllegalDataAddress;
    out.assign(block.begin(), block.begin() + count);
    return Refusal::None;
}

bool IsProgramIndex(std::uint16_t value) { return value < InstrumentModel::kProgramCount; }

}  // namespace

InstrumentModel::InstrumentModel(const InstrumentConfig& cfg) : config(cfg), random(cfg.seed ? cfg.seed : 1) {
    for (int p = 0; p < kProgramCount; ++p) {
        auto& params = parameters[static_cast<size_t>(p)];
        for (int n = 0; n < kParameterCount; ++n) params[static_cast<size_t>(n)] = 0;
        params[kFillTime] = 1000 + 100 * p;
        params[kStabTime] = 1000;
        params[kTestTime] = 2000 + 250 * p;
        params[kDumpTime] = 500;
        params[kWaitTime] = 0;
        params[kTestPressure] = 500000 + 50000 * p;  // mbar x 1000
        params[kRejectTest] = 5000;
        params[kRejectRef] = 5000;
        params[kRejectUnit] = kUnitPa;
        auto& block = blocks[static_cast<size_t>(p)];
        block.resize(config.blockSizeBytes);
        for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7 + p * 31);
    }
    for (int i = 0; i < 20; ++i) twentyValues[static_cast<size_t>(i)] = (i - 5) * 500;
    for (int i = 0; i < config.initialFifoResults; ++i) {
        fifo.push_back(MakeResult(DrawLeak(0)));
        if (static_cast<int>(fifo.size()) > config.fifoCapacity) fifo.pop_front();
    }
}

std::int32_t InstrumentModel::Parameter(int program, int number) const {
    if (program < 0 || program >= kProgramCount || number < 0 || number >= kParameterCount) return 0;
    return parameters[static_cast<size_t>(program)][static_cast<size_t>(number)];
}

void InstrumentModel::SetParameter(int program, int number, std::int32_t value) {
    if (program < 0 || program >= kProgramCount || number < 0 || number >= kParameterCount) return;
    parameters[static_cast<size_t>(program)][static_cast<size_t>(number)] = value;
}

std::int64_t InstrumentModel::CycleLengthMs(int program) const {
    const auto positive = [](std::int32_t v) { return static_cast<std::int64_t>(std::max(v, 0)); };
    return positive(Parameter(program, kFillTime)) + positive(Parameter(program, kStabTime)) +
           positive(Parameter(program, kTestTime)) + positive(Parameter(program, kDumpTime));
}

std::int32_t InstrumentModel::DrawLeak(int program) {
    random = random * 1103515245u + 12345u;
    const double unit = static_cast<double>((random >> 8) & 0xFFFF) / 65535.0;
    // Most parts pass; about one in four goes over the reject limit.
    return static_cast<std::int32_t>(std::lround(unit * 1.3 * Parameter(program, kRejectTest)));
}

Registers InstrumentModel::MakeResult(std::int32_t measuredLeak) {
    const int program = cycleProgram;
    const bool pass = measuredLeak < Parameter(program, kRejectTest);
    const std::int32_t testPressure = Parameter(program, kTestPressure);
    Registers result;
    result.push_back(static_cast<std::uint16_t>(program));
    result.push_back(kTestType);
    result.push_back(pass ? kRelayPass : kRelayTestReject);
    result.push_back(0);  // alarm code
    Put32(result, testPressure);
    Put32(result, kUnitMbar);
    Put32(result, measuredLeak);
    Put32(result, Parameter(program, kRejectUnit));
    // ERD values: steps and drops of pressure and flow, contact pressures.
    Put32(result, testPressure / 100);
    Put32(result, kUnitMbar);
    Put32(result, measuredLeak / 2);
    Put32(result, Parameter(program, kRejectUnit));
    Put32(result, -testPressure / 200);
    Put32(result, kUnitMbar);
    Put32(result, -measuredLeak / 4);
    Put32(result, Parameter(program, kRejectUnit));
    Put32(result, testPressure / 10);
    Put32(result, kUnitMbar);
    Put32(result, testPressure / 20);
    Put32(result, kUnitMbar);
    return result;
}

void InstrumentModel::StartCycle(std::int64_t nowMs) {
    cycleProgram = runningProgram;
    cycleLeak = DrawLeak(cycleProgram);
    cycleStartMs = nowMs;
    modelElapsedMs = 0;
    step = CycleStep::Fill;
    relayBits = 0;
    pressure = 0;
    leak = 0;
}

void InstrumentModel::FinishCycle() {
    Registers result = MakeResult(cycleLeak);
    relayBits = static_cast<std::uint16_t>(result[2] | kRelayEndOfCycle);
    lastResult = result;
    fifo.push_back(std::move(result));
    if (static_cast<int>(fifo.size()) > config.fifoCapacity) fifo.pop_front();
    step = CycleStep::Ready;
    pressure = 0;
    leak = cycleLeak;
}

void InstrumentModel::Advance(std::int64_t nowMs) {
    if (step == CycleStep::Ready) return;
    modelElapsedMs = static_cast<std::int64_t>(static_cast<double>(nowMs - cycleStartMs) * config.speed);
    const auto phase = [&](int number) {
        return static_cast<std::int64_t>(std::max(Parameter(cycleProgram, number), 0));
    };
    const std::int64_t fillEnd = phase(kFillTime);
    const std::int64_t stabEnd = fillEnd + phase(kStabTime);
    const std::int64_t testEnd = stabEnd + phase(kTestTime);
    const std::int64_t dumpEnd = testEnd + phase(kDumpTime);
    const std::int32_t target = Parameter(cycleProgram, kTestPressure);
    const std::int64_t t = modelElapsedMs;
    if (t >= dumpEnd) {
        FinishCycle();
        return;
    }
    const auto fraction = [](std::int64_t done, std::int64_t total) {
        return total <= 0 ? 1.0 : std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0);
    };
    if (t < fillEnd) {
        step = CycleStep::Fill;
        pressure = static_cast<std::int32_t>(target * fraction(t, fillEnd));
        leak = 0;
    } else if (t < stabEnd) {
        step = CycleStep::Stabilisation;
        pressure = target;
        leak = 0;
    } else if (t < testEnd) {
        step = CycleStep::Test;
        pressure = target;
        leak = static_cast<std::int32_t>(cycleLeak * fraction(t - stabEnd, testEnd - stabEnd));
    } else {
        step = CycleStep::Dump;
        pressure = static_cast<std::int32_t>(target * (1.0 - fraction(t - testEnd, dumpEnd - testEnd)));
        leak = cycleLeak;
    }
}

Registers InstrumentModel::StatusBlock() const {
    Registers status;
    status.push_back(static_cast<std::uint16_t>(runningProgram + 1));
    status.push_back(static_cast<std::uint16_t>(fifo.size()));
    status.push_back(kTestType);
    status.push_back(relayBits);
    status.push_back(static_cast<std::uint16_t>(step));
    Put32(status, pressure);
    Put32(status, kUnitMbar);
    Put32(status, leak);
    Put32(status, Parameter(CycleRunning() ? cycleProgram : runningProgram, kRejectUnit));
    return status;
}

Refusal InstrumentModel::ReadParameterWindow(std::uint16_t offset, std::uint16_t count, Registers& out) const {
    // 0x2000 is the selection; 0x2000 + n opens parameter n as two registers.
    Registers window;
    if (offset == 0) {
        window.push_back(static_cast<std::uint16_t>(parameterProgram));
        window.push_back(static_cast<std::uint16_t>(Parameter(parameterProgram, 1) & 0xFFFF));
    } else {
        Put32(window, Parameter(parameterProgram, offset));
    }
    return Serve(window, count, out);
}

Refusal InstrumentModel::WriteParameterWindow(std::uint16_t offset, const Registers& values) {
    if (offset == 0) {
        if (values.size() != 1) return Refusal::IllegalDataAddress;
        if (!IsProgramIndex(values[0])) return Refusal::IllegalDataValue;
        parameterProgram = values[0];
        listProgram = values[0];
        return Refusal::None;
    }
    if (values.size() != 2) return Refusal::IllegalDataAddress;
    SetParameter(parameterProgram, offset, Get32(values, 0));
    return Refusal::None;
}

Refusal InstrumentModel::ReadRegisters(std::uint16_t address, std::uint16_t count, Registers& out, std::int64_t nowMs) {
    Advance(nowMs);
    const std::uint16_t blockBytes = config.blockSizeBytes;
    const std::uint16_t headRegisters = static_cast<std::uint16_t>(std::min<int>(blockBytes, 246) / 2);
    const std::uint16_t tailRegisters = static_cast<std::uint16_t>(blockBytes > 246 ? (blockBytes - 246) / 2 : 0);

    switch (address) {
        case 0x0030:
        case 0x2201:
            return Serve(StatusBlock(), count, out);
        case 0x0011:
        case 0x2301:
            if (!lastResult) return Refusal::EmptyResult;
            return Serve(*lastResult, count, out);
        case 0x0010: {
            if (fifo.empty()) return Refusal::EmptyResult;
            const Refusal refusal = Serve(fifo.front(), count, out);
            if (refusal == Refusal::None) fifo.pop_front();
            return refusal;
        }
        case 0x0000: {
            Registers answer;
            for (std::uint16_t number : readList) {
                answer.push_back(number);
                Put32(answer, Parameter(listProgram, number));
            }
            answer.resize(std::max<size_t>(answer.size(), count), 0);
            return Serve(answer, count, out);
        }
        case 0x0200:
            return Serve({static_cast<std::uint16_t>(runningProgram)}, count, out);
        case 0x0110:
            return Serve(Registers(regulator.begin(), regulator.end()), count, out);
        case 0x0434:
            return Serve(CurveDescription(10, 500, 1, {0.0f, 1000.0f, 1.5f, 800.0f, 50.0f}, "mbar"), count, out);
        case 0x0435:
            return Serve(CurveDescription(20, 250, 2, {-5.0f, 5.0f, 0.001f, 2.5f, -2.5f}, "Pa"), count, out);
        case 0x0801:
            return Serve({blockBytes}, count, out);
        case 0x2700: {
            Registers values;
            for (std::int32_t v : twentyValues) Put32(values, v);
            return Serve(values, count, out);
        }
        case 0x3000: {
            const std::uint8_t ident[20] = {'V', 'E', 'X', 'L', 'O', ' ', 'L', 'T', 0, 0, 1, 0, 3, 0, 1, 0, 0, 0, 0, 0};
            return Serve(FromBytes(ident, sizeof ident), count, out);
        }
        case 0x3004:
            return Serve({static_cast<std::uint16_t>(listProgram)}, count, out);
        default:
            break;
    }
    if (address >= 0x2000 && address <= 0x20FF) return ReadParameterWindow(address - 0x2000, count, out);
    if (address >= 0x8000 && address < 0x8000 + kProgramCount) {
        const auto& block = blocks[address - 0x8000];
        return Serve(FromBytes(block.data(), headRegisters * 2u), count, out);
    }
    if (address >= 0x8400 && address < 0x8400 + kProgramCount && tailRegisters > 0) {
        const auto& block = blocks[address - 0x8400];
        return Serve(FromBytes(block.data() + 246, tailRegisters * 2u), count, out);
    }
    if (address >= 0x6000 && address + count <= 0x6000 + scratch.size()) {
        out.assign(scratch.begin() + (address - 0x6000), scratch.begin() + (address - 0x6000 + count));
        return Refusal::None;
    }
    return ReadInsideBlock(address, count, out);
}

Refusal InstrumentModel::ReadInsideBlock(std::uint16_t address, std::uint16_t count, Registers& out) const {
    // A read that starts inside the status block or the last result gets the registers from there
    // on; where the standard map overlaps the two, the status block wins.
    const auto slice = [&](std::uint16_t start, const Registers& block) {
        if (address < start || address >= start + block.size()) return false;
        const size_t offset = address - start;
        if (offset + count > block.size()) return false;
        out.assign(block.begin() + static_cast<std::ptrdiff_t>(offset),
                   block.begin() + static_cast<std::ptrdiff_t>(offset + count));
        return true;
    };
    const Registers status = StatusBlock();
    if (slice(0x0030, status) || slice(0x2201, status)) return Refusal::None;
    if (lastResult && (slice(0x0011, *lastResult) || slice(0x2301, *lastResult))) return Refusal::None;
    return Refusal::IllegalDataAddress;
}

Refusal InstrumentModel::WriteRegisters(std::uint16_t address, const Registers& values, std::int64_t nowMs) {
    Advance(nowMs);
    const std::uint16_t blockBytes = config.blockSizeBytes;
    const size_t headRegisters = static_cast<size_t>(std::min<int>(blockBytes, 246) / 2);
    const size_t tailRegisters = blockBytes > 246 ? static_cast<size_t>((blockBytes - 246) / 2) : 0;
    const size_t count = values.size();

    switch (address) {
        case 0x0200:
            if (count != 1) return Refusal::IllegalDataAddress;
            if (!IsProgramIndex(values[0])) return Refusal::IllegalDataValue;
            runningProgram = values[0];
            return Refusal::None;
        case 0x3004:
            if (count != 1) return Refusal::IllegalDataAddress;
            if (!IsProgramIndex(values[0])) return Refusal::IllegalDataValue;
            listProgram = values[0];
            return Refusal::None;
        case 0x0000: {
            const size_t n = values[0];
            if (n == 0 || count != 1 + n) return Refusal::IllegalDataValue;
            readList.assign(values.begin() + 1, values.end());
            return Refusal::None;
        }
        case 0x007F: {
            const size_t n = values[0];
            if (n == 0 || count != 1 + 3 * n) return Refusal::IllegalDataValue;
            for (size_t i = 0; i < n; ++i) {
                if (values[1 + 3 * i] >= kParameterCount) return Refusal::IllegalDataValue;
            }
            for (size_t i = 0; i < n; ++i) SetParameter(listProgram, values[1 + 3 * i], Get32(values, 2 + 3 * i));
            return Refusal::None;
        }
        case 0x0110:
            if (count > regulator.size()) return Refusal::IllegalDataAddress;
            std::copy(values.begin(), values.end(), regulator.begin());
            return Refusal::None;
        case 0x2700:
            if (count > 40 || count % 2 != 0) return Refusal::IllegalDataAddress;
            for (size_t i = 0; i < count / 2; ++i) twentyValues[i] = Get32(values, 2 * i);
            return Refusal::None;
        default:
            break;
    }
    if (address >= 0x2000 && address <= 0x20FF) return WriteParameterWindow(address - 0x2000, values);
    if (address >= 0x8000 && address < 0x8000 + kProgramCount) {
        if (count > headRegisters) return Refusal::IllegalDataAddress;
        ToBytes(values, blocks[address - 0x8000].data());
        return Refusal::None;
    }
    if (address >= 0x8400 && address < 0x8400 + kProgramCount && tailRegisters > 0) {
        if (count > tailRegisters) return Refusal::IllegalDataAddress;
        ToBytes(values, blocks[address - 0x8400].data() + 246);
        return Refusal::None;
    }
    if (address >= 0x6000 && address + count <= 0x6000 + scratch.size()) {
        std::copy(values.begin(), values.end(), scratch.begin() + (address - 0x6000));
        return Refusal::None;
    }
    return Refusal::IllegalDataAddress;
}

Refusal InstrumentModel::WriteCoil(std::uint16_t address, std::uint16_t value, std::int64_t nowMs) {
    Advance(nowMs);
    if (value != 0xFF00 && value != 0x0000) return Refusal::IllegalDataValue;
    if (address > 2) return Refusal::IllegalDataAddress;
    if (value == 0x0000) return Refusal::None;
    switch (address) {
        case 0:  // reset: abort a running cycle, back to ready
            if (CycleRunning()) {
                step = CycleStep::Ready;
                relayBits = kRelayEndOfCycle;
                pressure = 0;
                leak = 0;
            }
            break;
        case 1:
            if (!CycleRunning()) StartCycle(nowMs);
            break;
        case 2:
            fifo.clear();
            break;
    }
    return Refusal::None;
}

}  // namespace vexlo::sim
