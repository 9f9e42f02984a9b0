#include <windows.h>

#include <vector>

#include "common/ProgramFile.h"

namespace vexlo {

std::string ProgramFilePath() {
    char buffer[520] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return std::string(buffer, length);
}

std::string CurrentDirectory() {
    char buffer[256] = {};
    const DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer) return {};
    return std::string(buffer, length);
}

}  // namespace vexlo
