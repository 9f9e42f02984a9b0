#include "modbus/RtuFrame.h"

#include <cstring>

#include "modbus/Crc16.h"

namespace vexlo {
namespace {

void PutWord(RtuFrame& frame, int value) {
    frame.bytes[static_cast<size_t>(frame.length++)] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    frame.bytes[static_cast<size_t>(frame.length++)] = static_cast<std::uint8_t>(value & 0xFF);
}

void Header(RtuFrame& frame, int station, std::uint8_t function) {
    frame.bytes[0] = static_cast<std::uint8_t>(station & 0xFF);
    frame.bytes[1] = function;
    frame.length = 2;
}

void AppendCrc(RtuFrame& frame) {
    const std::uint16_t crc = Crc16(frame.bytes.data(), static_cast<std::uint16_t>(frame.length));
    frame.bytes[static_cast<size_t>(frame.length++)] = static_cast<std::uint8_t>(crc & 0xFF);
    frame.bytes[static_cast<size_t>(frame.length++)] = static_cast<std::uint8_t>(crc >> 8);
}

}  // namespace

RtuFrame BuildReadRequest(int station, std::uint8_t function, int address, int count) {
    RtuFrame frame;
    Header(frame, station, function);
    PutWord(frame, address);
    PutWord(frame, count);
    AppendCrc(frame);
    return frame;
}

RtuFrame BuildWriteCoilRequest(int station, int address, int value) {
    RtuFrame frame;
    Header(frame, station, 5);
    PutWord(frame, address);
    PutWord(frame, (value & 0xFFFF) != 0 ? 0xFF00 : 0x0000);
    AppendCrc(frame);
    return frame;
}

RtuFrame BuildWriteRegistersRequest(int station, int address, std::uint16_t count, const std::uint8_t* data) {
    RtuFrame frame;
    Header(frame, station, 16);
    PutWord(frame, address);
    PutWord(frame, count);
    frame.bytes[static_cast<size_t>(frame.length++)] = static_cast<std::uint8_t>((2 * count) & 0xFF);
    const size_t dataBytes = 2u * count;
    if (dataBytes > 0) std::memcpy(frame.bytes.data() + frame.length, data, dataBytes);
    frame.length += static_cast<int>(dataBytes);
    AppendCrc(frame);
    return frame;
}

}  // namespace vexlo
