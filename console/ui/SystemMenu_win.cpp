#include <windows.h>

#include <QWidget>

#include "console/ui/SystemMenu.h"

namespace vexlo {

bool AddSystemMenuEntry(QWidget* window, const QString& text, unsigned command) {
    HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(window->winId()), FALSE);
    if (menu == nullptr || text.isEmpty()) return false;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, command, reinterpret_cast<LPCWSTR>(text.utf16()));
    return true;
}

bool IsSystemMenuCommand(const void* message, unsigned command) {
    const auto* msg = static_cast<const MSG*>(message);
    // The low four bits of a system command are the system's own.
    return msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == command;
}

}  // namespace vexlo
