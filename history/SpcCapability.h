#pragma once

#include <cstddef>
#include <optional>

#include "history/SpcChart.h"
#include "history/SpcFigure.h"

namespace vexlo {

// Process capability of one series against its limits. USL is the program's "REJECT TEST" value
// (a leak above it is a reject); the LSL is optional and given by the user.
//   one-sided:  Cpk = (USL - mean) / (3 sigma within),  Ppk = (USL - mean) / (3 s)
//   two-sided:  Cp = (USL - LSL) / (6 sigma within),  Cpk = min(USL - mean, mean - LSL) / (3 sigma within),
//               Pp and Ppk likewise with s
//   Cpk 95 % interval (Bissell): Cpk -+ 1.959964 sqrt(1 / (9n) + Cpk^2 / (2(n - 1))), from 30 values.
struct SpcCapability {
    std::size_t n = 0;
    SpcFigure mean;
    SpcFigure stdDev;
    SpcFigure sigmaWithin;
    SpcFigure mrBar;
    SpcFigure cp;
    SpcFigure cpk;
    SpcFigure pp;
    SpcFigure ppk;
    SpcFigure cpkLower95;
    SpcFigure cpkUpper95;

    static constexpr std::size_t kIntervalMinimum = 30;
    static constexpr double kZ975 = 1.959964;
};

SpcCapability CapabilityOf(const SpcChart& chart, std::optional<double> usl, std::optional<double> lsl);

}  // namespace vexlo
