#include "history/SpcGauge.h"

#include <cmath>

#include "common/TextFormat.h"
#include "history/SpcChart.h"

namespace vexlo {

SpcGaugeStudy StudyGauge(const std::vector<double>& values, double reference, double tolerance) {
    SpcChart chart;
    for (double value : values) chart.Append(value);
    SpcGaugeStudy study;
    study.n = values.size();
    if (const auto mean = chart.Mean()) {
        study.mean = SpcFigure::Of(*mean);
        study.bias = std::isfinite(reference) ? SpcFigure::Of(*mean - reference)
                                              : SpcFigure::None("the reference value is not a number");
    } else {
        study.mean = study.bias = SpcFigure::None("no values");
    }
    const std::string tooFew =
        FormatText("at least 2 values are needed (%u given)", static_cast<unsigned>(values.size()));
    study.stdDev = chart.StdDev() ? SpcFigure::Of(*chart.StdDev()) : SpcFigure::None(tooFew);

    std::string why;
    if (!std::isfinite(reference)) {
        why = "the reference value is not a number";
    } else if (!std::isfinite(tolerance) || tolerance <= 0) {
        why = "the tolerance must be above 0";
    } else if (values.size() < SpcGaugeStudy::kMinimum) {
        why = FormatText("at least %u values are needed (%u given)", static_cast<unsigned>(SpcGaugeStudy::kMinimum),
                         static_cast<unsigned>(values.size()));
    } else if (chart.AllEqual()) {
        why = "all values are equal: the tester's resolution is too coarse to judge its spread";
    }
    if (!why.empty()) {
        study.cg = study.cgk = SpcFigure::None(why);
        study.note = why;
        return study;
    }
    const double s = *chart.StdDev();
    study.cg = SpcFigure::Of(0.2 * tolerance / (6 * s));
    study.cgk = SpcFigure::Of((0.1 * tolerance - std::fabs(*study.bias.value)) / (3 * s));
    study.passed = *study.cg.value >= SpcGaugeStudy::kPassIndex && *study.cgk.value >= SpcGaugeStudy::kPassIndex;
    if (values.size() < SpcGaugeStudy::kRecommended) {
        study.note =
            FormatText("%u values are recommended (%u given)", static_cast<unsigned>(SpcGaugeStudy::kRecommended),
                       static_cast<unsigned>(values.size()));
    }
    return study;
}

}  // namespace vexlo
