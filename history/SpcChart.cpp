#include "history/SpcChart.h"

#include <cmath>

namespace vexlo {

void SpcChart::Append(double value) {
    if (!values.empty()) mrSum += std::fabs(value - values.back());
    values.push_back(value);
    sum += value;
    const double delta = value - runningMean;
    runningMean += delta / static_cast<double>(values.size());
    squaredDeviations += delta * (value - runningMean);
    flagsCurrent = false;
}

void SpcChart::Clear() { *this = SpcChart(); }

std::optional<double> SpcChart::MovingRange(std::size_t index) const {
    if (index == 0 || index >= values.size()) return std::nullopt;
    return std::fabs(values[index] - values[index - 1]);
}

std::optional<double> SpcChart::Mean() const {
    if (values.empty()) return std::nullopt;
    // Equal values have their own value as mean, not a sum divided back with a rounding error.
    if (AllEqual()) return values.front();
    return sum / static_cast<double>(values.size());
}

std::optional<double> SpcChart::StdDev() const {
    if (values.size() < 2) return std::nullopt;
    if (AllEqual()) return 0.0;
    return std::sqrt(std::max(squaredDeviations, 0.0) / static_cast<double>(values.size() - 1));
}

std::optional<double> SpcChart::MrBar() const {
    if (values.size() < 2) return std::nullopt;
    return mrSum / static_cast<double>(values.size() - 1);
}

std::optional<double> SpcChart::SigmaWithin() const {
    const auto mrBar = MrBar();
    if (!mrBar) return std::nullopt;
    return *mrBar / kD2;
}

std::optional<SpcLimits> SpcChart::Limits() const {
    const auto mean = Mean();
    const auto sigma = SigmaWithin();
    if (!mean || !sigma) return std::nullopt;
    return SpcLimits{*mean, *mean + 3 * *sigma, *mean - 3 * *sigma, *MrBar(), kD4 * *MrBar()};
}

const std::vector<SpcFlag>& SpcChart::Flags() const {
    if (!flagsCurrent) EvaluateRules();
    return flags;
}

void SpcChart::EvaluateRules() const {
    flags.clear();
    flagsCurrent = true;
    if (values.size() < 2 || AllEqual()) return;
    const double centre = *Mean();
    const double sigma = *SigmaWithin();
    // Sliding counts of the points above (+) and below (-) the centre by more than k sigma in the
    // window each rule looks at, and of the points on either side for rule 4.
    struct Window {
        std::size_t length;
        double k;  // in sigma; 0 for "on a side"
        int above = 0;
        int below = 0;
        std::size_t needed;
    };
    Window rule2{3, 2, 0, 0, 2};
    Window rule3{5, 1, 0, 0, 4};
    Window rule4{8, 0, 0, 0, 8};
    const auto side = [&](std::size_t i, double k) {
        const double d = values[i] - centre;
        return d > k * sigma ? 1 : d < -k * sigma ? -1 : 0;
    };
    const auto slide = [&](Window& window, std::size_t i) {
        const int entering = side(i, window.k);
        window.above += entering > 0;
        window.below += entering < 0;
        if (i >= window.length) {
            const int leaving = side(i - window.length, window.k);
            window.above -= leaving > 0;
            window.below -= leaving < 0;
        }
        // Only a full window completes the pattern.
        return i + 1 >= window.length && (static_cast<std::size_t>(window.above) >= window.needed ||
                                          static_cast<std::size_t>(window.below) >= window.needed);
    };
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::vector<int> rules;
        if (side(i, 3) != 0) rules.push_back(1);
        if (slide(rule2, i)) rules.push_back(2);
        if (slide(rule3, i)) rules.push_back(3);
        if (slide(rule4, i)) rules.push_back(4);
        if (!rules.empty()) flags.push_back({i, std::move(rules)});
    }
}

}  // namespace vexlo
