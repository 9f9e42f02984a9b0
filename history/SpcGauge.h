#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "history/SpcFigure.h"

namespace vexlo {

// Type-1 study of the tester: one master part of reference value Xm measured repeatedly, judged
// against the tolerance T of the parts it will measure.
//   bias = mean - Xm,  Cg = 0.2 T / (6 s),  Cgk = (0.1 T - |mean - Xm|) / (3 s)
// The tester passes when Cg >= 1.33 and Cgk >= 1.33, on at least 25 values (50 recommended).
struct SpcGaugeStudy {
    std::size_t n = 0;
    SpcFigure mean;
    SpcFigure stdDev;
    SpcFigure bias;
    SpcFigure cg;
    SpcFigure cgk;
    bool passed = false;
    std::string note;  // why the study cannot pass, or the advice for more values; empty otherwise

    static constexpr std::size_t kMinimum = 25;
    static constexpr std::size_t kRecommended = 50;
    static constexpr double kPassIndex = 1.33;
};

SpcGaugeStudy StudyGauge(const std::vector<double>& values, double reference, double tolerance);

}  // namespace vexlo
