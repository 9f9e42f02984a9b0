#include "simulator/RtuSlave.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace vexlo::sim {
namespace {

using Clock = std::chrono::steady_clock;

// Longer than any request (9 + 246 bytes); a burst beyond it is a flood and is thrown away.
constexpr std::size_t kFrameLimit = 300;

void WriteAll(int fd, const std::uint8_t* data, std::size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd, data, count);
        if (n > 0) {
            data += n;
            count -= static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            (void)poll(&p, 1, 10);
        } else {
            return;
        }
    }
}

}  // namespace

std::int64_t SteadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

std::chrono::microseconds RtuSlave::EndOfFrameSilence(std::uint32_t baud) {
    // 9600 baud: 11 bits / 9600 = 1.146 ms a character, x 3.5 = 4.01 ms.
    if (baud == 0 || baud > 19200) return std::chrono::microseconds(1750);
    return std::chrono::microseconds(static_cast<long>(3.5 * 11.0 * 1e6 / baud));
}

void RtuSlave::Run(const std::atomic<bool>& stop) {
    const auto silence = EndOfFrameSilence(timing.paceBaud);
    Frame pending;
    bool flooded = false;
    auto lastByte = Clock::now();
    while (!stop) {
        auto wait = std::chrono::microseconds(50000);
        if (!pending.empty() || flooded) {
            const auto since = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - lastByte);
            wait = since >= silence ? std::chrono::microseconds(0) : silence - since;
        }
        timespec ts{0, static_cast<long>(wait.count()) * 1000};
        pollfd p{fd, POLLIN, 0};
        const int ready = ppoll(&p, 1, &ts, nullptr);
        if (ready < 0 && errno != EINTR) return;
        if (ready > 0 && (p.revents & POLLIN)) {
            std::uint8_t buffer[512];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                lastByte = Clock::now();
                if (flooded || pending.size() + static_cast<std::size_t>(n) > kFrameLimit) {
                    statistics.bytesDropped += static_cast<long>(pending.size()) + n;
                    pending.clear();
                    flooded = true;
                } else {
                    pending.insert(pending.end(), buffer, buffer + n);
                }
            }
            continue;
        }
        if (ready > 0) {  // hang-up with nothing to read: nobody on the line; wait for one
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if (Clock::now() - lastByte < silence) continue;
        if (flooded) {
            flooded = false;
            continue;
        }
        if (!pending.empty()) {
            const Frame request = std::move(pending);
            pending.clear();
            Answer(request);
        }
    }
}

void RtuSlave::Answer(const Frame& request) {
    std::unique_lock<std::mutex> guard;
    if (answerLock != nullptr) guard = std::unique_lock<std::mutex>(*answerLock);
    const auto reply = protocol.HandleRequest(request, instrumentNowMs());
    if (!reply) {
        ++statistics.framesIgnored;
        return;
    }
    const ReplyPlan plan = faults.Apply(request, *reply);
    if (!plan.send) {
        ++statistics.framesIgnored;
        return;
    }
    if (timing.turnaroundMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(timing.turnaroundMs));
    Send(plan);
    ++statistics.framesAnswered;
}

void RtuSlave::Send(const ReplyPlan& plan) {
    const std::uint8_t* data = plan.bytes.data();
    const std::size_t count = plan.bytes.size();
    if (plan.pauseAfter > 0 && plan.pauseAfter < count) {
        SendPaced(data, plan.pauseAfter);
        std::this_thread::sleep_for(std::chrono::milliseconds(plan.pauseMs));
        SendPaced(data + plan.pauseAfter, count - plan.pauseAfter);
    } else {
        SendPaced(data, count);
    }
}

void RtuSlave::SendPaced(const std::uint8_t* data, std::size_t count) {
    if (timing.paceBaud == 0) {
        WriteAll(fd, data, count);
        return;
    }
    const auto characterTime = std::chrono::nanoseconds(static_cast<long long>(11.0 * 1e9 / timing.paceBaud));
    auto due = Clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        WriteAll(fd, data + i, 1);
        due += characterTime;
        std::this_thread::sleep_until(due);
    }
}

}  // namespace vexlo::sim
