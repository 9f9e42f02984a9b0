#pragma once

#include <cstdint>
#include <utility>

#include "console/CycleSequencer.h"
#include "console/TesterConsole.h"

namespace vexlo::test {

// The console's process-wide values as a fresh process has them, given back afterwards.
struct FreshConsoleStatics {
    FreshConsoleStatics() = default;
    FreshConsoleStatics(const FreshConsoleStatics&) = delete;
    FreshConsoleStatics& operator=(const FreshConsoleStatics&) = delete;
    ~FreshConsoleStatics() {
        TesterConsole::cycleShown = cycleShown;
        CycleSequencer::nextProgram = nextProgram;
        CycleSequencer::lastShownSeconds = lastShownSeconds;
    }
    int cycleShown = std::exchange(TesterConsole::cycleShown, 0);
    std::int32_t nextProgram = std::exchange(CycleSequencer::nextProgram, 0);
    std::int32_t lastShownSeconds = std::exchange(CycleSequencer::lastShownSeconds, 0);
};

}  // namespace vexlo::test
