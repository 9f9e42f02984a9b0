#pragma once

#include <string>

namespace vexlo {

// A pseudo-terminal pair in raw mode: this side holds the master, a serial program opens the slave
// path as if it were a port. A descriptor of the slave is kept open too, so the master never sees a
// hang-up while no program has the port open.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool IsOpen() const { return masterFd >= 0; }
    int MasterFd() const { return masterFd; }
    const std::string& SlavePath() const { return slavePath; }
    // Closes the master: the program on the slave sees the device vanish.
    void CloseMaster();

private:
    int masterFd = -1;
    int slaveFd = -1;
    std::string slavePath;
};

}  // namespace vexlo
