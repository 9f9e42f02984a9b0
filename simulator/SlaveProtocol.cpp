#include "simulator/SlaveProtocol.h"

#include "modbus/Crc16.h"

namespace vexlo::sim {
namespace {

std::uint16_t Word(const Frame& frame, size_t at) { return static_cast<std::uint16_t>(frame[at] << 8 | frame[at + 1]); }

void PutWord(Frame& frame, std::uint16_t value) {
    frame.push_back(static_cast<std::uint8_t>(value >> 8));
    frame.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

bool CrcMatches(const Frame& frame) {
    if (frame.size() < 4) return false;
    const auto length = static_cast<std::uint16_t>(frame.size() - 2);
    const std::uint16_t crc = Crc16(frame.data(), length);
    return frame[length] == (crc & 0xFF) && frame[length + 1] == (crc >> 8);
}

}  // namespace

void SlaveProtocol::AppendCrc(Frame& frame) {
    const std::uint16_t crc = Crc16(frame.data(), static_cast<std::uint16_t>(frame.size()));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
}

Frame SlaveProtocol::ExceptionReply(std::uint8_t station, std::uint8_t function, Refusal refusal) {
    Frame reply{station, static_cast<std::uint8_t>(function | 0x80), static_cast<std::uint8_t>(refusal)};
    AppendCrc(reply);
    return reply;
}

std::optional<std::uint16_t> SlaveProtocol::RequestAddress(const Frame& request) {
    if (request.size() < 4) return std::nullopt;
    return Word(request, 2);
}

std::optional<Frame> SlaveProtocol::HandleRequest(const Frame& request, std::int64_t nowMs) {
    if (!CrcMatches(request)) return std::nullopt;
    const std::uint8_t station = request[0];
    if (station != identity.station && !identity.answerAllStations) return std::nullopt;
    const std::uint8_t function = request[1];
    switch (function) {
        case 3:
        case 4:
            return Read(station, request, nowMs);
        case 5:
            return WriteSingleCoil(station, request, nowMs);
        case 16:
            return WriteMultiple(station, request, nowMs);
        default:
            return ExceptionReply(station, function, Refusal::IllegalFunction);
    }
}

Frame SlaveProtocol::Read(std::uint8_t station, const Frame& request, std::int64_t nowMs) {
    const std::uint8_t function = request[1];
    if (request.size() != 8) return ExceptionReply(station, function, Refusal::IllegalDataValue);
    const std::uint16_t address = Word(request, 2);
    const std::uint16_t count = Word(request, 4);
    if (count == 0 || count > kMaxReadCount) return ExceptionReply(station, function, Refusal::IllegalDataValue);
    Registers values;
    const Refusal refusal = model.ReadRegisters(address, count, values, nowMs);
    if (refusal == Refusal::EmptyResult) {
        Frame reply = ExceptionReply(station, function, Refusal::IllegalDataValue);
        reply.resize(2u * count + 5u, 0);
        return reply;
    }
    if (refusal != Refusal::None) return ExceptionReply(station, function, refusal);
    Frame reply{station, function, static_cast<std::uint8_t>(2 * count)};
    for (std::uint16_t value : values) {
        reply.push_back(static_cast<std::uint8_t>(value & 0xFF));
        reply.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    AppendCrc(reply);
    return reply;
}

Frame SlaveProtocol::WriteMultiple(std::uint8_t station, const Frame& request, std::int64_t nowMs) {
    constexpr std::uint8_t function = 16;
    if (request.size() < 9) return ExceptionReply(station, function, Refusal::IllegalDataValue);
    const std::uint16_t address = Word(request, 2);
    const std::uint16_t count = Word(request, 4);
    const std::uint8_t byteCount = request[6];
    if (count == 0 || count > kMaxWriteCount || byteCount != 2 * count || request.size() != 9u + byteCount) {
        return ExceptionReply(station, function, Refusal::IllegalDataValue);
    }
    Registers values(count);
    for (std::uint16_t i = 0; i < count; ++i) {
        values[i] = static_cast<std::uint16_t>(request[7 + 2 * i] | request[8 + 2 * i] << 8);
    }
    const Refusal refusal = model.WriteRegisters(address, values, nowMs);
    if (refusal != Refusal::None) return ExceptionReply(station, function, refusal);
    Frame reply{station, function};
    PutWord(reply, address);
    PutWord(reply, count);
    AppendCrc(reply);
    return reply;
}

Frame SlaveProtocol::WriteSingleCoil(std::uint8_t station, const Frame& request, std::int64_t nowMs) {
    constexpr std::uint8_t function = 5;
    if (request.size() != 8) return ExceptionReply(station, function, Refusal::IllegalDataValue);
    const std::uint16_t address = Word(request, 2);
    const std::uint16_t value = Word(request, 4);
    const Refusal refusal = model.WriteCoil(address, value, nowMs);
    if (refusal != Refusal::None) return ExceptionReply(station, function, refusal);
    return Frame(request.begin(), request.end());  // the echo of the request, CRC included
}

}  // namespace vexlo::sim
