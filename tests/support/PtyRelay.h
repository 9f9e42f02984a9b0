#pragma once

#include <atomic>
#include <thread>

#include "simulator/PseudoTerminal.h"

namespace vexlo::test {

// Two pseudo-terminals joined back to back, like a null-modem cable: whatever a program writes to
// one slave path comes out of the other. Lets two serial programs that both open device paths
// (our master and a libmodbus slave) talk to each other.
class PtyRelay {
public:
    PtyRelay();
    ~PtyRelay();
    const std::string& PathA() const { return a.SlavePath(); }
    const std::string& PathB() const { return b.SlavePath(); }

private:
    void Run();
    PseudoTerminal a;
    PseudoTerminal b;
    std::atomic<bool> stopping{false};
    std::thread worker;
};

}  // namespace vexlo::test
