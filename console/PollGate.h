#pragma once

namespace vexlo {

// Whether the timer tick may poll the real-time status. A command holds the poll off around its
// transactions (the console's buttons, the raw register panel, the parameter dialogs alike), so the
// tick never polls in the middle of one; holds nest.
class PollGate {
public:
    class Hold {
    public:
        explicit Hold(PollGate& gate) : gate(gate) { ++gate.holds; }
        ~Hold() { --gate.holds; }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        PollGate& gate;
    };

    bool PollEnabled() const { return holds == 0; }

private:
    int holds = 0;
};

}  // namespace vexlo
