#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace vexlo {

// A point of the individuals chart that completes one or more run rules.
struct SpcFlag {
    std::size_t index = 0;   // from 0, in recording order
    std::vector<int> rules;  // 1 to 4, ascending
    bool operator==(const SpcFlag&) const = default;
};

// Centre lines and limits of the individuals chart and of the moving-range chart.
struct SpcLimits {
    double centre = 0;    // the mean
    double ucl = 0;       // centre + 3 sigma within
    double lcl = 0;       // centre - 3 sigma within
    double mrCentre = 0;  // mean moving range
    double mrUcl = 0;     // 3.267 times the mean moving range
};

// Individuals and moving-range chart of one series of values in recording order, with the
// Western Electric run rules on the individuals (sigma = mean moving range / 1.128, centre = mean):
//   1. the point lies beyond 3 sigma;
//   2. it ends 3 consecutive points of which at least 2 lie beyond 2 sigma on the same side;
//   3. it ends 5 consecutive points of which at least 4 lie beyond 1 sigma on the same side;
//   4. it ends 8 consecutive points all on the same side of the centre (a point on it breaks the run).
// "Beyond k sigma" is strict: |x - mean| > k sigma.
//
// Appending costs O(1): the sums behind the mean, the standard deviation and the mean moving range
// are kept as values arrive. The centre and sigma move with every value, so the flag of any earlier
// point can change with the next one; the flags are therefore re-evaluated over the whole series, in
// one linear pass with sliding counts, the first time they are asked for after a change (under
// 0.2 ms of CPU for 10 000 values, see bench/SpcBench.cpp). Loading many values then asking once costs one pass.
class SpcChart {
public:
    void Append(double value);
    void Clear();

    std::size_t Count() const { return values.size(); }
    const std::vector<double>& Values() const { return values; }
    // |x(i) - x(i-1)| for i >= 1; nothing for the first point.
    std::optional<double> MovingRange(std::size_t index) const;

    // Nothing without values.
    std::optional<double> Mean() const;
    // Sample standard deviation (n - 1) and the mean moving range: nothing below 2 values.
    std::optional<double> StdDev() const;
    std::optional<double> MrBar() const;
    // MR-bar / 1.128: nothing below 2 values.
    std::optional<double> SigmaWithin() const;
    // Every value the same: no spread, no run rule applies.
    bool AllEqual() const { return !values.empty() && mrSum == 0; }

    // Nothing below 2 values.
    std::optional<SpcLimits> Limits() const;
    // The flagged points in index order; none below 2 values or when all values are equal.
    const std::vector<SpcFlag>& Flags() const;

    static constexpr double kD2 = 1.128;  // sigma = MR-bar / d2 for moving ranges of two
    static constexpr double kD4 = 3.267;  // upper limit of the moving-range chart = D4 * MR-bar

private:
    void EvaluateRules() const;

    std::vector<double> values;
    double sum = 0;
    // Welford's running mean and sum of squared deviations: stable where the sum of squares is not.
    double runningMean = 0;
    double squaredDeviations = 0;
    double mrSum = 0;

    mutable std::vector<SpcFlag> flags;
    mutable bool flagsCurrent = true;
};

}  // namespace vexlo
