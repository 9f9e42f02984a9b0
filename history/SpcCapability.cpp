#include "history/SpcCapability.h"

#include <algorithm>
#include <cmath>

#include "common/TextFormat.h"

namespace vexlo {
namespace {

SpcFigure FromOptional(std::optional<double> value, const char* why) {
    return value ? SpcFigure::Of(*value) : SpcFigure::None(why);
}

}  // namespace

SpcCapability CapabilityOf(const SpcChart& chart, std::optional<double> usl, std::optional<double> lsl) {
    SpcCapability result;
    result.n = chart.Count();
    const std::string tooFew =
        FormatText("at least 2 results are needed (%u so far)", static_cast<unsigned>(chart.Count()));
    result.mean = FromOptional(chart.Mean(), "no results");
    result.stdDev = FromOptional(chart.StdDev(), tooFew.c_str());
    result.mrBar = FromOptional(chart.MrBar(), tooFew.c_str());
    result.sigmaWithin = FromOptional(chart.SigmaWithin(), tooFew.c_str());

    // The first reason that stops the indices, in the order the user can fix them.
    std::string why;
    if (!usl || !std::isfinite(*usl)) {
        why = "no upper limit (USL) known";
    } else if (lsl && !std::isfinite(*lsl)) {
        why = "the lower limit (LSL) is not a number";
    } else if (lsl && *usl <= *lsl) {
        why = "the USL must lie above the LSL";
    } else if (chart.Count() < 2) {
        why = tooFew;
    } else if (chart.AllEqual()) {
        why = "all values are equal: no spread to judge";
    }
    const std::string notTwoSided = why.empty() ? std::string("no lower limit (LSL) given") : why;
    if (!why.empty()) {
        result.cp = result.pp = SpcFigure::None(notTwoSided);
        result.cpk = result.ppk = result.cpkLower95 = result.cpkUpper95 = SpcFigure::None(why);
        return result;
    }

    const double mean = *chart.Mean();
    const double sigmaWithin = *chart.SigmaWithin();
    const double s = *chart.StdDev();
    const double upperRoom = *usl - mean;
    const double room = lsl ? std::min(upperRoom, mean - *lsl) : upperRoom;
    result.cpk = SpcFigure::Of(room / (3 * sigmaWithin));
    result.ppk = SpcFigure::Of(room / (3 * s));
    if (lsl) {
        result.cp = SpcFigure::Of((*usl - *lsl) / (6 * sigmaWithin));
        result.pp = SpcFigure::Of((*usl - *lsl) / (6 * s));
    } else {
        result.cp = result.pp = SpcFigure::None(notTwoSided);
    }

    const std::size_t n = chart.Count();
    if (n < SpcCapability::kIntervalMinimum) {
        const std::string more = FormatText("%u more results needed for the 95 %% interval (%u at least)",
                                            static_cast<unsigned>(SpcCapability::kIntervalMinimum - n),
                                            static_cast<unsigned>(SpcCapability::kIntervalMinimum));
        result.cpkLower95 = result.cpkUpper95 = SpcFigure::None(more);
    } else {
        const double cpk = *result.cpk.value;
        const double count = static_cast<double>(n);
        const double half = SpcCapability::kZ975 * std::sqrt(1 / (9 * count) + cpk * cpk / (2 * (count - 1)));
        result.cpkLower95 = SpcFigure::Of(cpk - half);
        result.cpkUpper95 = SpcFigure::Of(cpk + half);
    }
    return result;
}

}  // namespace vexlo
