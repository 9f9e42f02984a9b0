#include "tests/support/ScopedWorkDir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    std::string pattern = (std::filesystem::temp_directory_path() / "vexlo-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path = pattern;
    if (chdir(path.c_str()) != 0) throw std::runtime_error("chdir failed");
}

ScopedWorkDir::~ScopedWorkDir() {
    SetPortMappings({});
    if (!previous.empty()) (void)chdir(previous.c_str());
    std::error_code ignored;
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
