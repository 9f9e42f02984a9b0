#include "history/SpcChart.h"

#include <cmath>
#include <cstdint>

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
    // Where each point lies, one bit a zone: above / below the centre by more than 0, 1 and 2 sigma.
    enum : std::uint8_t { Above0 = 1, Below0 = 2, Above1 = 4, Below1 = 8, Above2 = 16, Below2 = 32 };
    std::vector<std::uint8_t> zones(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double d = values[i] - centre;
        zones[i] = static_cast<std::uint8_t>((d > 0 ? Above0 : 0) | (d < 0 ? Below0 : 0) | (d > sigma ? Above1 : 0) |
                                             (d < -sigma ? Below1 : 0) | (d > 2 * sigma ? Above2 : 0) |
                                             (d < -2 * sigma ? Below2 : 0));
    }
    // Sliding counts over the window each rule looks at; only a full window completes a pattern.
    struct Window {
        std::size_t length;
        std::uint8_t above, below;
        int needed;
        int aboveCount = 0, belowCount = 0;
        bool Slide(const std::vector<std::uint8_t>& zones, std::size_t i) {
            aboveCount += (zones[i] & above) != 0;
            belowCount += (zones[i] & below) != 0;
            if (i >= length) {
                aboveCount -= (zones[i - length] & above) != 0;
                belowCount -= (zones[i - length] & below) != 0;
            }
            return i + 1 >= length && (aboveCount >= needed || belowCount >= needed);
        }
    };
    Window rule2{3, Above2, Below2, 2};
    Window rule3{5, Above1, Below1, 4};
    Window rule4{8, Above0, Below0, 8};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const bool completes[] = {std::fabs(values[i] - centre) > 3 * sigma, rule2.Slide(zones, i),
                                  rule3.Slide(zones, i), rule4.Slide(zones, i)};
        if (!completes[0] && !completes[1] && !completes[2] && !completes[3]) continue;
        SpcFlag flag{i, {}};
        for (int rule = 1; rule <= 4; ++rule) {
            if (completes[rule - 1]) flag.rules.push_back(rule);
        }
        flags.push_back(std::move(flag));
    }
}

}  // namespace vexlo
