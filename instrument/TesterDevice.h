#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "instrument/DeviceStatus.h"
#include "instrument/Records.h"
#include "instrument/RegisterMap.h"
#include "modbus/ModbusRtuMaster.h"

namespace vexlo {

// The instrument as the console sees it: each operation is one transaction at a fixed address of
// the register map chosen by the access mode, reported as a DeviceStatus.
class TesterDevice : public ModbusRtuMaster {
public:
    static constexpr std::array<int, 7> kSearchStations = {255, 63, 95, 127, 159, 191, 223};

    TesterDevice() = default;
    ~TesterDevice() override = default;

    AccessMode accessMode = kStandardAccess;
    std::array<std::uint8_t, 2 * registers::kStationSearch.count> searchBuffer{};

    bool IsDirectAccess() const { return accessMode == kDirectAccess; }
    std::string AccessModeName() const { return IsDirectAccess() ? "Direct Access" : "Standard Access"; }

    DeviceStatus ReadStatus(StatusRecord& status);
    DeviceStatus ReadLastResult(int count, std::uint8_t* destination);
    DeviceStatus ReadFifoResult(int count, std::uint8_t* destination);
    DeviceStatus StartCycle();
    DeviceStatus ResetCycle();
    DeviceStatus ClearFifo();
    // The destination is written only when the read succeeds.
    DeviceStatus ReadCurveInfo(int curve, std::uint8_t (&destination)[52]);
    DeviceStatus ReadBlockSize(std::uint16_t& sizeBytes);
    DeviceStatus ReadBlockHead(int programIndex, int blockBytes, std::uint8_t* destination);
    DeviceStatus ReadBlockTail(int programIndex, int blockBytes, std::uint8_t* destination);
    DeviceStatus WriteBlockHead(int programIndex, int blockBytes, const std::uint8_t* source);
    DeviceStatus WriteBlockTail(int programIndex, int blockBytes, const std::uint8_t* source);
    // Tries the candidate stations in order; station receives the one tried last.
    DeviceStatus FindStation(int& station);

private:
    static int HeadRegisters(int blockBytes);
    static int TailRegisters(int blockBytes);
};

}  // namespace vexlo
