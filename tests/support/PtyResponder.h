#pragma once
// Moved: the harness lives beside the simulator.
#include "simulator/harness/PtyResponder.h"
#include "tests/support/Hex.h"
