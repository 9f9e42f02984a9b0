#include "instrument/TesterDevice.h"

#include <algorithm>
#include <cstring>

namespace vexlo {
using namespace registers;

DeviceStatus TesterDevice::ReadStatus(StatusRecord& status) {
    static_assert(kStatusStandard.count == StatusRecord::kRegisters && kStatusDirect.count == StatusRecord::kRegisters);
    return ToDeviceStatus(
        ReadRegisters(StatusBlock(accessMode).address, StatusRecord::kRegisters, status.bytes.data()));
}

DeviceStatus TesterDevice::ReadLastResult(int count, std::uint8_t* destination) {
    return ToDeviceStatus(ReadRegisters(LastResultBlock(accessMode).address, count, destination));
}

DeviceStatus TesterDevice::ReadFifoResult(int count, std::uint8_t* destination) {
    return ToDeviceStatus(ReadRegisters(kFifoResult.address, count, destination));
}

DeviceStatus TesterDevice::StartCycle() { return ToDeviceStatus(WriteCoil(kStartCoil, 1)); }

DeviceStatus TesterDevice::ResetCycle() { return ToDeviceStatus(WriteCoil(kResetCoil, 1)); }

DeviceStatus TesterDevice::ClearFifo() { return ToDeviceStatus(WriteCoil(kClearFifoCoil, 1)); }

DeviceStatus TesterDevice::ReadCurveInfo(int curve, std::uint8_t (&destination)[52]) {
    static_assert(sizeof destination == 2 * kCurve1.count);
    std::uint8_t record[52] = {};
    const Block block = curve == 1 ? kCurve1 : kCurve2;
    if (ReadRegisters(block.address, block.count, record) == 0) return kDeviceFailed;
    std::memcpy(destination, record, sizeof record);
    return kDeviceOk;
}

DeviceStatus TesterDevice::ReadBlockSize(std::uint16_t& sizeBytes) {
    std::uint8_t word[2] = {};
    const DeviceStatus status = ToDeviceStatus(ReadRegisters(kBlockSize.address, kBlockSize.count, word));
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
        if (ReadRegisters(kStationSearch.address, kStationSearch.count, searchBuffer.data()) != 0) return kDeviceOk;
    }
    return kDeviceFailed;
}

}  // namespace vexlo
