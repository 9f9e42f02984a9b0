#include "simulator/StationBus.h"

namespace vexlo::sim {

StationBus::StationBus(const InstrumentConfig& config, const std::vector<int>& stations) {
    for (const int station : stations) {
        InstrumentConfig own = config;
        if (stations.size() > 1) own.seed = config.seed + static_cast<std::uint32_t>(station);
        auto model = std::make_unique<InstrumentModel>(own);
        auto protocol =
            std::make_unique<SlaveProtocol>(*model, SlaveIdentity{static_cast<std::uint8_t>(station), false});
        instruments.push_back({station, std::move(model), std::move(protocol)});
    }
}

std::optional<Frame> StationBus::HandleRequest(const Frame& request, std::int64_t nowMs) {
    if (request.empty()) return std::nullopt;
    for (auto& instrument : instruments) {
        if (instrument.station == request[0]) return instrument.protocol->HandleRequest(request, nowMs);
    }
    return std::nullopt;
}

InstrumentModel* StationBus::Model(int station) {
    for (auto& instrument : instruments) {
        if (instrument.station == station) return instrument.model.get();
    }
    return nullptr;
}

}  // namespace vexlo::sim
