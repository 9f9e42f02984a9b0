#pragma once

#include <optional>
#include <string>
#include <utility>

namespace vexlo {

// A statistic that may not apply to the data at hand: its value, or the reason there is none, in
// words an operator can act on ("at least 2 results are needed"). Never NaN or infinity.
struct SpcFigure {
    std::optional<double> value;
    std::string reason;  // empty when there is a value

    static SpcFigure Of(double number) { return {number, {}}; }
    static SpcFigure None(std::string why) { return {std::nullopt, std::move(why)}; }
    explicit operator bool() const { return value.has_value(); }
};

}  // namespace vexlo
