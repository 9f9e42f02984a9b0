#pragma once

#include <cstdint>

#include "instrument/Records.h"

namespace vexlo::test {

// The fields of a result as the instrument sends them; the later measures stay zero.
struct ResultFields {
    int programIndex = 0;
    int testType = 3;
    std::uint8_t relays = relay::kGoodPart;
    int alarmCode = 0;
    std::int32_t pressure = 0;
    std::int32_t pressureUnit = 14000;  // mbar
    std::int32_t leak = 0;
    std::int32_t leakUnit = 1000;  // cm3/mn
};

inline ResultRecord MakeResult(const ResultFields& f) {
    ResultRecord r;
    StoreLe16(r.bytes.data(), static_cast<std::uint16_t>(f.programIndex));
    StoreLe16(r.bytes.data() + 2, static_cast<std::uint16_t>(f.testType));
    r.bytes[4] = f.relays;
    StoreLe16(r.bytes.data() + 6, static_cast<std::uint16_t>(f.alarmCode));
    StoreLe32(r.bytes.data() + 8, f.pressure);
    StoreLe32(r.bytes.data() + 12, f.pressureUnit);
    StoreLe32(r.bytes.data() + 16, f.leak);
    StoreLe32(r.bytes.data() + 20, f.leakUnit);
    return r;
}

// The fields of the real-time status block.
struct StatusFields {
    std::uint16_t program = 0;
    std::uint16_t fifo = 0;
    std::uint16_t testType = 0;
    std::uint16_t relays = 0;
    std::uint16_t step = 0;
    std::int32_t measure1 = 0;
    std::int32_t unit1 = 0;
    std::int32_t measure2 = 0;
    std::int32_t unit2 = 0;
};

inline StatusRecord MakeStatus(const StatusFields& f) {
    StatusRecord s;
    const std::uint16_t words[] = {f.program, f.fifo, f.testType, f.relays, f.step};
    for (int i = 0; i < 5; ++i) StoreLe16(s.bytes.data() + 2 * i, words[i]);
    const std::int32_t longs[] = {f.measure1, f.unit1, f.measure2, f.unit2};
    for (int i = 0; i < 4; ++i) StoreLe32(s.bytes.data() + 10 + 4 * i, longs[i]);
    return s;
}

}  // namespace vexlo::test
