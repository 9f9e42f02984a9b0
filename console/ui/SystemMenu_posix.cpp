#include "console/ui/SystemMenu.h"

namespace vexlo {

// X11 and Wayland give programs no system menu of their own: the console's context menu carries the
// entry instead.
bool AddSystemMenuEntry(QWidget*, const QString&, unsigned) { return false; }

bool IsSystemMenuCommand(const void*, unsigned) { return false; }

}  // namespace vexlo
