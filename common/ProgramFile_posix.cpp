#include <unistd.h>

#include <climits>
#include <vector>

#include "common/ProgramFile.h"

namespace vexlo {

std::string ProgramFilePath() {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    return std::string(buffer.data(), static_cast<size_t>(length));
}

std::string CurrentDirectory() {
    std::vector<char> buffer(PATH_MAX + 1);
    if (getcwd(buffer.data(), buffer.size()) == nullptr) return {};
    return std::string(buffer.data());
}

}  // namespace vexlo
