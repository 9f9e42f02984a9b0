// Arbitrary reply bytes from the line into the master's reply check.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "modbus/ModbusRtuMaster.h"
#include "serial/SerialDevice.h"

namespace {

const std::uint8_t* input = nullptr;
std::size_t inputSize = 0;

class FuzzDevice final : public vexlo::SerialDevice {
public:
    bool Configure(const vexlo::PortSettings&, const vexlo::SerialTimeouts&) override { return true; }
    void Purge() override {}
    bool Write(const std::uint8_t*, std::size_t count, std::size_t* written) override {
        *written = count;
        return true;
    }
    bool Read(std::uint8_t* buffer, std::size_t count, std::size_t* received) override {
        *received = std::min(count, inputSize);
        if (*received > 0) std::memcpy(buffer, input, *received);
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static bool installed = false;
    if (!installed) {
        vexlo::SetSerialDeviceOpener([](const std::string&, std::string*) { return std::make_unique<FuzzDevice>(); });
        installed = true;
    }
    static vexlo::ModbusRtuMaster master;
    static bool opened = master.Open();
    (void)opened;
    master.linkEnabled = true;
    vexlo::ModbusRtuMaster::AttemptLimit() = 1;
    vexlo::ModbusRtuMaster::GapTimer().Arm(0);
    const int count = data[0] % 140;  // beyond the largest read the master accepts
    const int function = data[1] % 3;
    input = data + 2;
    inputSize = size - 2;
    std::uint8_t destination[2 * 140] = {};
    if (function == 0) master.ReadRegisters(0x2301, count, destination);
    if (function == 1) master.WriteRegisters(0x6000, static_cast<std::uint16_t>(count), destination);
    if (function == 2) master.WriteCoil(1, 1);
    return 0;
}
