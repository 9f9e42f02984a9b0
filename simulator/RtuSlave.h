#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

#include "simulator/FaultPlan.h"
#include "simulator/SlaveProtocol.h"

namespace vexlo::sim {

std::int64_t SteadyNowMs();

struct LineTiming {
    std::uint32_t paceBaud = 0;  // 0: bytes leave at once; else at the line's rate, 11 bits a character
    int turnaroundMs = 0;        // pause between the end of a request and the reply
};

struct SlaveStatistics {
    long framesAnswered = 0;
    long framesIgnored = 0;  // bad CRC, other station, refused by a fault
    long bytesDropped = 0;   // floods past the frame buffer
};

// The instrument's serial side: gathers bytes from the line into frames (a frame ends after 3.5
// character times of silence), answers through the protocol and the fault plan, and never stops on
// bad input.
class RtuSlave {
public:
    RtuSlave(int fd, SlaveProtocol& protocol, FaultPlan& faults, LineTiming timing)
        : fd(fd), protocol(protocol), faults(faults), timing(timing) {}

    // Serves until stop is set (checked at least every 50 ms).
    void Run(const std::atomic<bool>& stop);
    // The instrument's own time in milliseconds, which moves its test cycle: the steady clock unless
    // replaced (tests drive it by hand). Line timing stays on the steady clock.
    void SetInstrumentClock(std::function<std::int64_t()> now) { instrumentNowMs = std::move(now); }
    // Held while a request is answered, so that another thread may look into the model between answers.
    void SetAnswerLock(std::mutex* lock) { answerLock = lock; }
    const SlaveStatistics& Statistics() const { return statistics; }

    // 3.5 character times of 11 bits; 1.75 ms above 19200 baud (and when not pacing).
    static std::chrono::microseconds EndOfFrameSilence(std::uint32_t baud);

private:
    void Answer(const Frame& request);
    void Send(const ReplyPlan& plan);
    void SendPaced(const std::uint8_t* data, std::size_t count);

    int fd;
    SlaveProtocol& protocol;
    FaultPlan& faults;
    LineTiming timing;
    SlaveStatistics statistics;
    std::function<std::int64_t()> instrumentNowMs = SteadyNowMs;
    std::mutex* answerLock = nullptr;
};

}  // namespace vexlo::sim
