#pragma once

#include <cstdint>

namespace vexlo {

// Result of every instrument operation: 0 done, 0xFFFF failed. Callers test for non-zero.
using DeviceStatus = std::uint16_t;
constexpr DeviceStatus kDeviceOk = 0;
constexpr DeviceStatus kDeviceFailed = 0xFFFF;

inline DeviceStatus ToDeviceStatus(int transactionResult) { return transactionResult != 0 ? kDeviceOk : kDeviceFailed; }

}  // namespace vexlo
