#include "instrument/TesterDevice.h"

#include <algorithm>
#include <cstring>

namespace vexlo {
namespace {

constexpr int kStatusStandard = 0x0030;
constexpr int kStatusDirect = 0x2201;
constexpr int kLastResultStandard = 0x0011;
constexpr int kLastResultDirect = 0x2301;
constexpr int kFifoResult = 0x0010;
constexpr int kCoilReset = 0;
constexpr int kCoilStart = 1;
constexpr int kCoilClearFifo = 2;
constexpr int kCurve1 = 0x0434;
constexpr int kCurve2 = 0x0435;
constexpr int kBlockSize = 0x0801;
constexpr int kBlockHead = 0x8000;
constexpr int kBlockTail = 0x8400;
constexpr int kStationSearch = 0x3000;

}  // namespace

DeviceStatus TesterDevice::ReadStatus(StatusRecord& status) {
    const int address = IsDirectAccess() ? kStatusDirect : kStatusStandard;
    return ToDeviceStatus(ReadRegisters(address, StatusRecord::kRegisters, status.bytes.data()));
}

DeviceStatus TesterDevice::ReadLastResult(int count, std::uint8_t* destination) {
    const int address = IsDirectAccess() ? kLastResultDirect : kLastResultStandard;
    return ToDeviceStatus(ReadRegisters(address, count, destination));
}

DeviceStatus TesterDevice::ReadFifoResult(int count, std::uint8_t* destination) {
    return ToDeviceStatus(ReadRegisters(kFifoResult, count, destination));
}

DeviceStatus TesterDevice::StartCycle() { return ToDeviceStatus(WriteCoil(kCoilStart, 1)); }

DeviceStatus TesterDevice::ResetCycle() { return ToDeviceStatus(WriteCoil(kCoilReset, 1)); }

DeviceStatus TesterDevice::ClearFifo() { return ToDeviceStatus(WriteCoil(kCoilClearFifo, 1)); }

DeviceStatus TesterDevice::ReadCurveInfo(int curve, std::uint8_t (&destination)[52]) {
    std::uint8_t record[52] = {};
    const int address = curve == 1 ? kCurve1 : kCurve2;
    if (ReadRegisters(address, 26, record) == 0) return kDeviceFailed;
    std::memcpy(destination, record, sizeof record);
    return kDeviceOk;
}

DeviceStatus TesterDevice::ReadBlockSize(std::uint16_t& sizeBytes) {
    std::uint8_t word[2] = {};
    const DeviceStatus status = ToDeviceStatus(ReadRegisters(kBlockSize, 1, word));
    sizeBytes = LoadLe16(word);
    return status;
}

int TesterDevice::HeadRegisters(int blockBytes) { return std::min(blockBytes, kBlockPartBytes) / 2; }

int TesterDevice::TailRegisters(int blockBytes) { return (blockBytes - kBlockPartBytes) / 2; }

DeviceStatus TesterDevice::ReadBlockHead(int programIndex, int blockBytes, std::uint8_t* destination) {
    return ToDeviceStatus(ReadRegisters((kBlockHead + programIndex) & 0xFFFF, HeadRegisters(blockBytes), destination));
}

DeviceStatus TesterDevice::ReadBlockTail(int programIndex, int blockBytes, std::uint8_t* destination) {
    if (blockBytes <= kBlockPartBytes) return kDeviceFailed;
    return ToDeviceStatus(ReadRegisters((kBlockTail + programIndex) & 0xFFFF, TailRegisters(blockBytes), destination));
}

DeviceStatus TesterDevice::WriteBlockHead(int programIndex, int blockBytes, const std::uint8_t* source) {
    return ToDeviceStatus(WriteRegisters((kBlockHead + programIndex) & 0xFFFF,
                                         static_cast<std::uint16_t>(HeadRegisters(blockBytes)), source));
}

DeviceStatus TesterDevice::WriteBlockTail(int programIndex, int blockBytes, const std::uint8_t* source) {
    if (blockBytes <= kBlockPartBytes) return kDeviceFailed;
    return ToDeviceStatus(WriteRegisters((kBlockTail + programIndex) & 0xFFFF,
                                         static_cast<std::uint16_t>(TailRegisters(blockBytes)), source));
}

DeviceStatus TesterDevice::FindStation(int& station) {
    for (int candidate : kSearchStations) {
        station = candidate;
        SelectStation(candidate);
        if (ReadRegisters(kStationSearch, 10, searchBuffer.data()) != 0) return kDeviceOk;
    }
    return kDeviceFailed;
}

}  // namespace vexlo
