#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/SerialDevice.h"
#include "tests/support/Hex.h"

namespace vexlo::test {

// What the scripted link does for one attempt: whether the frame goes out, and what comes back.
struct ScriptedAttempt {
    bool sendFails = false;
    Bytes reply;  // may be shorter than asked (a time-out) or empty (silence)
};

// The shared script and log of a scripted link; the device the serial layer opens reads from it.
struct LinkScript {
    std::deque<ScriptedAttempt> attempts;
    std::vector<Bytes> sent;
    std::vector<std::int64_t> sentAt;  // process clock's counter at each write
    int reads = 0;
    std::function<void(const Bytes&)> onWrite;  // called as each frame goes out
    std::vector<SerialTimeouts> configured;     // the time-outs of each Configure, in order
};

// Installs an opener that hands out scripted devices for every port while alive.
class ScriptedLink {
public:
    ScriptedLink();
    ~ScriptedLink();
    LinkScript& Script() { return *script; }
    void Add(ScriptedAttempt attempt) { script->attempts.push_back(std::move(attempt)); }

private:
    std::shared_ptr<LinkScript> script = std::make_shared<LinkScript>();
};

}  // namespace vexlo::test
