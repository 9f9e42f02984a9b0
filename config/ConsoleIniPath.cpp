#include "config/ConsoleIniPath.h"

#include "common/ProgramFile.h"

namespace vexlo {

std::string ConsoleIniPath() {
    std::string directory = CurrentDirectory();
    while (!directory.empty() && (directory.back() == '/' || directory.back() == '\\')) directory.pop_back();
#if defined(_WIN32)
    return directory + "\\" + kConsoleIniFileName;
#else
    return directory + "/" + kConsoleIniFileName;
#endif
}

}  // namespace vexlo
