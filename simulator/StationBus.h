#pragma once

#include <memory>
#include <vector>

#include "simulator/InstrumentModel.h"
#include "simulator/SlaveProtocol.h"

namespace vexlo::sim {

// Several instruments on one line, each with its own state, results and cycle; a request goes to
// the instrument whose station it names, and a station nobody serves gets no reply.
class StationBus final : public RequestHandler {
public:
    // Each instrument's measured leaks start from the seed plus its station number, so results differ.
    StationBus(const InstrumentConfig& config, const std::vector<int>& stations);

    std::optional<Frame> HandleRequest(const Frame& request, std::int64_t nowMs) override;
    // Nothing when the station is not served.
    InstrumentModel* Model(int station);

private:
    struct Instrument {
        int station;
        std::unique_ptr<InstrumentModel> model;
        std::unique_ptr<SlaveProtocol> protocol;
    };
    std::vector<Instrument> instruments;
};

}  // namespace vexlo::sim
