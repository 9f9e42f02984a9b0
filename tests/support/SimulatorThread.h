#pragma once
// Moved: the harness lives beside the simulator.
#include "simulator/harness/SimulatorThread.h"
