#pragma once

#include <QString>

class QWidget;

namespace vexlo {

// The window's system menu, where the platform has one (Windows); elsewhere these do nothing.
// Adds a separator and the entry with the command number; false when there is no system menu.
bool AddSystemMenuEntry(QWidget* window, const QString& text, unsigned command);
// Whether a native event of the window is that system command.
bool IsSystemMenuCommand(const void* message, unsigned command);

}  // namespace vexlo
