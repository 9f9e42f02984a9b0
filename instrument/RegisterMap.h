#pragma once

#include <cstdint>

namespace vexlo {

// 1 selects the Direct Access map; every other value means Standard Access.
using AccessMode = std::int32_t;
constexpr AccessMode kStandardAccess = 0;
constexpr AccessMode kDirectAccess = 1;

// Where the instrument keeps what the console reads and writes, in both register maps. Every
// address of the console's side is here; the simulator keeps its own copy on purpose, so that the
// two check each other.
namespace registers {

// A register block: its first register and how many registers it spans.
struct Block {
    int address;
    int count;
};

// Real-time status (13 registers) and the last result (36), at one address per map.
constexpr Block kStatusStandard = {0x0030, 13};
constexpr Block kStatusDirect = {0x2201, 13};
constexpr Block kLastResultStandard = {0x0011, 36};
constexpr Block kLastResultDirect = {0x2301, 36};
// The oldest result of the FIFO, taken out by the read; the same in both maps.
constexpr Block kFifoResult = {0x0010, 36};

inline constexpr Block StatusBlock(AccessMode mode) { return mode == kDirectAccess ? kStatusDirect : kStatusStandard; }
inline constexpr Block LastResultBlock(AccessMode mode) {
    return mode == kDirectAccess ? kLastResultDirect : kLastResultStandard;
}

// Coils, switched on with FF 00.
constexpr int kResetCoil = 0;
constexpr int kStartCoil = 1;
constexpr int kClearFifoCoil = 2;

// Program selection and parameters.
constexpr int kRunningProgram = 0x0200;    // index of the program the next cycle runs
constexpr int kParameterProgram = 0x2000;  // direct access: selection, then parameter n at 0x2000 + n
constexpr int kListProgram = 0x3004;       // standard access: program of the indirect lists
constexpr int kReadList = 0x0000;          // N, then N numbers; read back as N entries of 3 registers
constexpr int kWriteList = 0x007F;         // N, then N entries of number and two value registers
inline constexpr int ParameterRegister(int number) { return (kParameterProgram + number) & 0xFFFF; }

// Curve descriptions (52 bytes each), the block of twenty values, the regulator block.
constexpr Block kCurve1 = {0x0434, 26};
constexpr Block kCurve2 = {0x0435, 26};
constexpr Block kTwentyValues = {0x2700, 40};
constexpr Block kRegulator = {0x0110, 6};

// The program parameter record: its size in bytes, then two parts of at most 123 registers each,
// the head at 0x8000 + program index and the tail at 0x8400 + program index.
constexpr Block kBlockSize = {0x0801, 1};
constexpr int kBlockHead = 0x8000;
constexpr int kBlockTail = 0x8400;
constexpr int kBlockPartBytes = 246;

// Read by the station search: any station that answers it is the instrument.
constexpr Block kStationSearch = {0x3000, 10};

}  // namespace registers
}  // namespace vexlo
