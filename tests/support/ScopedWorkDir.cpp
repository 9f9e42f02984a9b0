#include "tests/support/ScopedWorkDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "common/ProgramFile.h"
#include "config/ConsoleIniPath.h"
#include "config/IniProfile.h"
#include "config/PortsSection.h"
#include "serial/PortNameResolver.h"

namespace vexlo::test {

ScopedWorkDir::ScopedWorkDir() {
    previous = CurrentDirectory();
    // A name nobody else holds: created, not merely chosen.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
        const auto candidate = std::filesystem::temp_directory_path() / ("vexlo-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) path = candidate.string();
    }
    if (path.empty()) throw std::runtime_error("no scratch directory");
    std::filesystem::current_path(path);
}

ScopedWorkDir::~ScopedWorkDir() {
    SetPortMappings({});
    std::error_code ignored;
    if (!previous.empty()) std::filesystem::current_path(previous, ignored);
    std::filesystem::remove_all(path, ignored);
}

void ScopedWorkDir::MapPort(int comNumber, const std::string& devicePath) const {
    IniProfile profile(ConsoleIniPath(), true);
    profile.WriteString(kPortsSection, "COM" + std::to_string(comNumber), devicePath);
    // As the console does when it applies its link settings.
    SetPortMappings(ReadPortsSection(ConsoleIniPath()));
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void WriteWholeFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
}

}  // namespace vexlo::test
