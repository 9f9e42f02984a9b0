#pragma once

#include <cstdint>
#include <mutex>

#include "modbus/CountdownTimer.h"
#include "modbus/LinkCounters.h"
#include "modbus/RtuFrame.h"
#include "serial/SerialPort.h"

namespace vexlo {

// Modbus RTU master on a serial port: one blocking transaction at a time with up to three attempts and
// a 20 ms silent gap between transactions. Transactions return 1 on success and 0 on failure; an
// accepted exception reply is a success with exceptionReply set.
class ModbusRtuMaster : public SerialPort {
public:
    static constexpr std::int32_t kGapMs = 20;
    // Largest read the receive buffers can hold (2 x 133 + 5 = 271 bytes).
    static constexpr int kMaxReadCount = (kFrameBufferSize - 5) / 2;
    // Largest write whose frame fits the frame buffer.
    static constexpr int kMaxWriteCount = (kFrameBufferSize - 9) / 2;

    ModbusRtuMaster();
    ~ModbusRtuMaster() override;

    void SelectStation(int station) { stationNumber = station; }
    int Station() const { return stationNumber; }

    int ReadRegisters(int address, int count, std::uint8_t* destination, bool inputRegisters = false);
    int ReadInputRegisters(int address, int count, std::uint8_t* destination);
    int WriteRegisters(int address, std::uint16_t count, const std::uint8_t* data);
    int WriteCoil(int address, int value);

    const std::uint8_t* LastRequest(int* length) const;
    const std::uint8_t* LastReply(int* length) const;

    void ResetCounters() { counters = LinkCounters{}; }
    const LinkCounters& Counters() const { return counters; }

    bool linkEnabled = false;
    bool exceptionReply = false;

    // Returns once the gap after the previous transaction has passed: sleeps to an absolute deadline
    // a tenth of a millisecond short of its end and spins only that, so the next request starts on
    // time without burning a core.
    static void WaitForGap();

    static std::recursive_mutex& BusLock();
    static CountdownTimer& GapTimer();
    static std::uint8_t& AttemptLimit();

protected:
    int ReceiveReply(std::uint8_t* destination, int expected);

private:
    int Transact(const RtuFrame& request, std::uint8_t* destination, int expected);

    int stationNumber = 0;
    LinkCounters counters;
    RtuFrame lastRequest;
    RtuFrame lastReply;
};

}  // namespace vexlo
