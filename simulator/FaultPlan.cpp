#include "simulator/FaultPlan.h"

#include <cstdlib>

namespace vexlo::sim {
namespace {

std::optional<FaultKind> KindNamed(const std::string& name) {
    if (name == "noreply") return FaultKind::NoReply;
    if (name == "truncate") return FaultKind::Truncate;
    if (name == "badcrc") return FaultKind::BadCrc;
    if (name == "exception") return FaultKind::Exception;
    if (name == "otherstation") return FaultKind::OtherStation;
    if (name == "pause") return FaultKind::Pause;
    if (name == "garbage") return FaultKind::Garbage;
    return std::nullopt;
}

}  // namespace

std::optional<FaultRule> FaultPlan::ParseRule(const std::string& text, std::string* error) {
    FaultRule rule;
    std::string rest = text;
    if (const auto at = rest.find('@'); at != std::string::npos) {
        const std::string address = rest.substr(at + 1);
        char* end = nullptr;
        const unsigned long value = std::strtoul(address.c_str(), &end, 0);
        if (address.empty() || *end != '\0' || value > 0xFFFF) {
            *error = "bad register address in fault '" + text + "'";
            return std::nullopt;
        }
        rule.address = static_cast<std::uint16_t>(value);
        rest = rest.substr(0, at);
    }
    if (const auto colon = rest.find(':'); colon != std::string::npos) {
        const std::string rate = rest.substr(colon + 1);
        char* end = nullptr;
        rule.rate = std::strtod(rate.c_str(), &end);
        if (rate.empty() || *end != '\0' || rule.rate < 0.0 || rule.rate > 1.0) {
            *error = "fault rate must be a number from 0 to 1 in '" + text + "'";
            return std::nullopt;
        }
        rest = rest.substr(0, colon);
    }
    const auto kind = KindNamed(rest);
    if (!kind) {
        *error = "unknown fault '" + rest + "' (noreply, truncate, badcrc, exception, otherstation, pause, garbage)";
        return std::nullopt;
    }
    rule.kind = *kind;
    return rule;
}

double FaultPlan::NextUnit() {
    random = random * 1103515245u + 12345u;
    return static_cast<double>((random >> 8) & 0xFFFFFF) / static_cast<double>(0x1000000);
}

ReplyPlan FaultPlan::Apply(const Frame& request, Frame reply) {
    ReplyPlan plan;
    plan.bytes = std::move(reply);
    const auto address = SlaveProtocol::RequestAddress(request);
    for (const auto& rule : rules) {
        if (rule.address && rule.address != address) continue;
        if (NextUnit() >= rule.rate) continue;
        switch (rule.kind) {
            case FaultKind::NoReply:
                plan.send = false;
                break;
            case FaultKind::Truncate:
                plan.bytes.resize(std::max<std::size_t>(1, plan.bytes.size() / 2));
                break;
            case FaultKind::BadCrc:
                plan.bytes.back() ^= 0xFF;
                break;
            case FaultKind::Exception:
                plan.bytes = SlaveProtocol::ExceptionReply(request[0], request[1], static_cast<Refusal>(4));
                break;
            case FaultKind::OtherStation:
                plan.bytes.resize(plan.bytes.size() - 2);
                plan.bytes[0] = static_cast<std::uint8_t>(plan.bytes[0] + 1);
                SlaveProtocol::AppendCrc(plan.bytes);
                break;
            case FaultKind::Pause:
                plan.pauseAfter = plan.bytes.size() / 2;
                plan.pauseMs = pauseMs;
                break;
            case FaultKind::Garbage: {
                Frame withGarbage;
                for (int i = 0; i < 3; ++i) withGarbage.push_back(static_cast<std::uint8_t>(NextUnit() * 256));
                withGarbage.insert(withGarbage.end(), plan.bytes.begin(), plan.bytes.end());
                plan.bytes = std::move(withGarbage);
                break;
            }
        }
        break;
    }
    return plan;
}

}  // namespace vexlo::sim
