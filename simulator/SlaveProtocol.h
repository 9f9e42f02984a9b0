#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "simulator/InstrumentModel.h"

namespace vexlo::sim {

using Frame = std::vector<std::uint8_t>;

struct SlaveIdentity {
    std::uint8_t station = 1;
    bool answerAllStations = false;
};

// Whatever answers requests on the line: one instrument, or a bus of them.
class RequestHandler {
public:
    virtual ~RequestHandler() = default;
    // The reply frame, or nothing when the line stays silent.
    virtual std::optional<Frame> HandleRequest(const Frame& request, std::int64_t nowMs) = 0;
};

// The Modbus RTU slave side of the instrument: one complete request frame in, the reply frame out,
// or nothing when the frame is not for this station or fails its CRC (a slave stays silent then).
class SlaveProtocol final : public RequestHandler {
public:
    static constexpr int kMaxReadCount = 128;  // beyond the usual 125: the console asks for 128
    static constexpr int kMaxWriteCount = 123;

    SlaveProtocol(InstrumentModel& model, SlaveIdentity identity) : model(model), identity(identity) {}

    std::optional<Frame> HandleRequest(const Frame& request, std::int64_t nowMs) override;

    // The address field of a request (for faults aimed at one register); nothing for a short frame.
    static std::optional<std::uint16_t> RequestAddress(const Frame& request);
    static Frame ExceptionReply(std::uint8_t station, std::uint8_t function, Refusal refusal);
    static void AppendCrc(Frame& frame);

private:
    Frame Read(std::uint8_t station, const Frame& request, std::int64_t nowMs);
    Frame WriteMultiple(std::uint8_t station, const Frame& request, std::int64_t nowMs);
    Frame WriteSingleCoil(std::uint8_t station, const Frame& request, std::int64_t nowMs);

    InstrumentModel& model;
    SlaveIdentity identity;
};

}  // namespace vexlo::sim
