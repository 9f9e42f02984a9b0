#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "simulator/SlaveProtocol.h"

namespace vexlo::sim {

enum class FaultKind { NoReply, Truncate, BadCrc, Exception, OtherStation, Pause, Garbage };

// One way of misbehaving: on a share of the replies (rate 0 to 1), or on every request to one address.
struct FaultRule {
    FaultKind kind = FaultKind::NoReply;
    double rate = 1.0;
    std::optional<std::uint16_t> address;
};

// How one reply goes out.
struct ReplyPlan {
    bool send = true;
    Frame bytes;
    std::size_t pauseAfter = 0;  // bytes sent before the pause (0: no pause)
    int pauseMs = 0;
};

class FaultPlan {
public:
    // "kind[:rate][@address]", kind one of noreply, truncate, badcrc, exception, otherstation, pause,
    // garbage; address decimal or 0x-hexadecimal. Nothing, with the reason, for a malformed text.
    static std::optional<FaultRule> ParseRule(const std::string& text, std::string* error);

    void Add(const FaultRule& rule) { rules.push_back(rule); }
    void SetSeed(std::uint32_t seed) { random = seed ? seed : 1; }
    void SetPauseMs(int ms) { pauseMs = ms; }

    // The first rule that applies to this request shapes its reply.
    ReplyPlan Apply(const Frame& request, Frame reply);

private:
    double NextUnit();

    std::vector<FaultRule> rules;
    std::uint32_t random = 1;
    int pauseMs = 80;
};

}  // namespace vexlo::sim
