// Arbitrary request frames into the simulated instrument, with and without a valid CRC.
#include <cstdint>
#include <vector>

#include "modbus/Crc16.h"
#include "simulator/SlaveProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vexlo::sim::InstrumentModel model;
    static vexlo::sim::SlaveProtocol protocol(model, {1, true});
    static std::int64_t now = 0;
    now += 7;
    vexlo::sim::Frame frame(data, data + size);
    (void)protocol.HandleRequest(frame, now);
    if (size < 300) {
        // The same bytes made valid, so the fuzzer reaches past the CRC check.
        const std::uint16_t crc = vexlo::Crc16(frame.data(), static_cast<std::uint16_t>(frame.size()));
        frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        frame.push_back(static_cast<std::uint8_t>(crc >> 8));
        (void)protocol.HandleRequest(frame, now);
    }
    return 0;
}
