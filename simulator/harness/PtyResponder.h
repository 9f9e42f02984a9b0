#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simulator/PseudoTerminal.h"

namespace vexlo::test {

using Bytes = std::vector<std::uint8_t>;

// One piece of a reply: wait, then write the bytes.
struct ReplyChunk {
    int delayMs = 0;
    Bytes bytes;
};

// A peer on the master side of a pseudo-terminal.
// Scripted: each request it sees (a burst of bytes ended by 3 ms of silence) is recorded and
// answered by the next scripted reply; when the script is used up it stays silent.
// Cable: a second pseudo-terminal joined back to back, like a null-modem cable; whatever a program
// writes to one device path comes out of the other (two serial programs that both open paths).
class PtyResponder {
public:
    enum class Mode { Scripted, Cable };

    explicit PtyResponder(Mode mode = Mode::Scripted);
    ~PtyResponder();
    PtyResponder(const PtyResponder&) = delete;
    PtyResponder& operator=(const PtyResponder&) = delete;

    const std::string& DevicePath() const { return pty.SlavePath(); }
    // Cable: the path at the other end.
    const std::string& FarPath() const { return far.SlavePath(); }
    void Script(std::vector<ReplyChunk> reply);
    void ScriptReply(const Bytes& reply) { Script({{0, reply}}); }
    void ScriptSilence() { Script({}); }
    std::vector<Bytes> Requests();
    // The program on DevicePath sees the device go away. The peer stops first: its thread must not
    // read a descriptor number that the system may hand out again.
    void VanishDevice();

private:
    void Stop();
    void Serve();
    void Relay();

    PseudoTerminal pty;
    PseudoTerminal far;
    std::mutex mutex;
    std::deque<std::vector<ReplyChunk>> script;
    std::vector<Bytes> requests;
    std::atomic<bool> stopping{false};
    std::thread worker;
};

}  // namespace vexlo::test
