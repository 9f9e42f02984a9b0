#pragma once

#include <string>
#include <vector>

#include "serial/PortNameResolver.h"

namespace vexlo {

// The entries of the setup dialog's port list: the ports present ("COM3", with the device behind
// each name where one is known), or the fixed "COM 1" to "COM 40" when none is found.
struct PortChoices {
    std::vector<std::string> names;  // as the list shows them
    bool found = false;              // names come from the machine, not the fixed list
    // Beside each found name, the stable name of its device (empty where there is none).
    std::vector<std::string> stableNames;
};

// The ports present, each shown with the stable name of its device where it has one (looked up in
// the given directory), else with its device path.
PortChoices FillPortList(const std::string& stableNameDirectory = kStableNameDirectory);
PortChoices FixedPortList();

// The list position that shows a port index, or -1 when no entry does.
int PositionOfPort(const PortChoices& choices, int portIndex);
// The port index an entry stands for: its position in the fixed list, else the number after "COM"
// less one. -1 for no selection.
int SelectedPortIndex(const PortChoices& choices, int position);

}  // namespace vexlo
