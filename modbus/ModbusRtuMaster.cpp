#include "modbus/ModbusRtuMaster.h"

#include <cstring>

#include "common/MonotonicClock.h"
#include "modbus/Crc16.h"

namespace vexlo {
namespace {

// The last tenth of a millisecond of the gap is spun out; before that the thread sleeps.
constexpr std::int64_t kSpinTailPerSecond = 10000;

}  // namespace

ModbusRtuMaster::ModbusRtuMaster() {
    AttemptLimit() = 3;
    ResetCounters();
}

ModbusRtuMaster::~ModbusRtuMaster() = default;

std::recursive_mutex& ModbusRtuMaster::BusLock() {
    static std::recursive_mutex lock;
    return lock;
}

CountdownTimer& ModbusRtuMaster::GapTimer() {
    static CountdownTimer timer;
    return timer;
}

std::uint8_t& ModbusRtuMaster::AttemptLimit() {
    static std::uint8_t limit = 3;
    return limit;
}

const std::uint8_t* ModbusRtuMaster::LastRequest(int* length) const {
    *length = lastRequest.length;
    return lastRequest.bytes.data();
}

const std::uint8_t* ModbusRtuMaster::LastReply(int* length) const {
    *length = lastReply.length;
    return lastReply.bytes.data();
}

void ModbusRtuMaster::WaitForGap() {
    MonotonicClock& clock = CurrentClock();
    CountdownTimer& gap = GapTimer();
    const auto deadline = gap.Deadline();
    if (!deadline) return;
    const std::int64_t wakeUp = *deadline - clock.PerformanceFrequency() / kSpinTailPerSecond;
    if (clock.PerformanceCounter() < wakeUp) clock.SleepUntil(wakeUp);
    while (gap.Remaining() > 0) clock.Relax();
}

int ModbusRtuMaster::ReadRegisters(int address, int count, std::uint8_t* destination, bool inputRegisters) {
    if (!linkEnabled) return 1;
    // The reply of a larger read would not fit the receive buffers: refuse it rather than overrun them.
    if (count < 0 || count > kMaxReadCount) return 0;
    const RtuFrame request = BuildReadRequest(stationNumber, inputRegisters ? 4 : 3, address, count);
    return Transact(request, destination, ExpectedReadReplyLength(count));
}

int ModbusRtuMaster::ReadInputRegisters(int address, int count, std::uint8_t* destination) {
    return ReadRegisters(address, count, destination, true);
}

int ModbusRtuMaster::WriteRegisters(int address, std::uint16_t count, const std::uint8_t* data) {
    if (!linkEnabled) return 1;
    if (count > kMaxWriteCount) return 0;
    const RtuFrame request = BuildWriteRegistersRequest(stationNumber, address, count, data);
    return Transact(request, nullptr, kWriteReplyLength);
}

int ModbusRtuMaster::WriteCoil(int address, int value) {
    if (!linkEnabled) return 1;
    const RtuFrame request = BuildWriteCoilRequest(stationNumber, address, value);
    return Transact(request, nullptr, kWriteReplyLength);
}

int ModbusRtuMaster::Transact(const RtuFrame& request, std::uint8_t* destination, int expected) {
    const std::uint8_t function = request.bytes[1];
    const bool isRead = function == 3 || function == 4;
    bool accepted = false;
    {
        // The gap is waited and re-armed under the lock, so that transactions from two threads can
        // neither overlap nor come closer than the gap.
        std::lock_guard<std::recursive_mutex> lock(BusLock());
        WaitForGap();
        // A reply that failed before may still arrive: let it pass before this request goes out.
        SettleLine();
        lastRequest = request;
        // Writes receive into a scratch buffer: only read replies carry data for the caller.
        std::uint8_t scratch[kFrameBufferSize] = {};
        std::uint8_t* target = destination != nullptr ? destination : scratch;
        for (int attempt = 0; attempt < AttemptLimit() && !accepted; ++attempt) {
            if (function != 5) ++counters.requests;
            const bool sent = WriteBytes(request.bytes.data(), request.length);
            if (sent) accepted = ReceiveReply(target, expected) == 1;
            if (accepted) break;
            if (isRead) {
                if (sent) ++counters.errors;
            } else if (function == 16) {
                ++counters.errors;
            }
        }
        GapTimer().Arm(kGapMs);
    }
    return accepted ? 1 : 0;
}

int ModbusRtuMaster::ReceiveReply(std::uint8_t* destination, int expected) {
    exceptionReply = false;
    lastReply.length = 0;
    std::uint8_t reply[kFrameBufferSize] = {};
    int received = 0;
    (void)ReadBytes(reply, expected, &received);
    if (received < expected) {
        ++counters.timeouts;
        return 0;
    }
    std::memcpy(lastReply.bytes.data(), reply, static_cast<size_t>(received));
    lastReply.length = received;

    // Data bytes reach the caller only once the CRC has vouched for them and the reply has been found
    // to be this request's.
    std::uint8_t data[kFrameBufferSize] = {};
    int copied = 0;
    int crcPosition = 0;
    const std::uint8_t function = reply[1];
    if (function & 0x80) {
        exceptionReply = true;
        ++counters.negativeResponses;
        crcPosition = 3;
    } else if (function == 3 || function == 4) {
        int byteCount = reply[2];
        // 128 registers are 256 data bytes, which the 8-bit field can only carry as 0: take a field
        // that matches the expected size modulo 256 as that size, or a full reply fails its CRC.
        if (byteCount == ((expected - 5) & 0xFF)) byteCount = expected - 5;
        if (byteCount > expected) byteCount = expected;
        while (copied < byteCount && copied < expected - 5) {
            data[copied] = reply[3 + copied];
            ++copied;
        }
        crcPosition = 3 + copied;
    } else {
        crcPosition = 6;
    }
    const std::uint16_t crc = Crc16(reply, static_cast<std::uint16_t>(crcPosition));
    const bool intact = reply[crcPosition] == (crc & 0xFF) && reply[crcPosition + 1] == (crc >> 8);
    // Another station's reply, or one to another function, is an earlier exchange's or a stranger's:
    // taken as this one's it would be a wrong result. It counts as a bad reply, as a bad CRC does.
    const bool ours = reply[0] == lastRequest.bytes[0] && (function & 0x7F) == lastRequest.bytes[1];
    if (intact && ours) {
        if (copied > 0) std::memcpy(destination, data, static_cast<size_t>(copied));
        return 1;
    }
    ++counters.crcErrors;
    // What follows a rejected reply is as suspect as what follows a missing one.
    ExpectLateReply(expected);
    return 0;
}

}  // namespace vexlo
