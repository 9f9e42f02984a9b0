#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "simulator/PseudoTerminal.h"
#include "tests/support/Hex.h"

namespace vexlo::test {

// One piece of a reply: wait, then write the bytes.
struct ReplyChunk {
    int delayMs = 0;
    Bytes bytes;
};

// A scripted peer on the master side of a pseudo-terminal: each request it sees (a burst of bytes
// ended by 3 ms of silence) is recorded and answered by the next scripted reply; when the script is
// used up it stays silent.
class PtyResponder {
public:
    PtyResponder();
    ~PtyResponder();

    const std::string& DevicePath() const { return pty.SlavePath(); }
    void Script(std::vector<ReplyChunk> reply);
    void ScriptReply(const Bytes& reply) { Script({{0, reply}}); }
    void ScriptSilence() { Script({}); }
    std::vector<Bytes> Requests();
    void VanishDevice() { pty.CloseMaster(); }

private:
    void Run();

    PseudoTerminal pty;
    std::mutex mutex;
    std::deque<std::vector<ReplyChunk>> script;
    std::vector<Bytes> requests;
    std::atomic<bool> stopping{false};
    std::thread worker;
};

}  // namespace vexlo::test
