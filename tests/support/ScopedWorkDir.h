#pragma once

#include <string>

namespace vexlo::test {

// A fresh temporary directory made the current one for the test's lifetime (the console keeps its
// files in the current directory); removed with its contents afterwards.
class ScopedWorkDir {
public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;

    const std::string& Path() const { return path; }
    // The platform's separator, as the console writes its own file names.
#if defined(_WIN32)
    std::string File(const std::string& name) const { return path + "\\" + name; }
#else
    std::string File(const std::string& name) const { return path + "/" + name; }
#endif
    // Maps COMn to a device path in the console's INI file, as an operator would.
    void MapPort(int comNumber, const std::string& devicePath) const;

private:
    std::string path;
    std::string previous;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& content);

}  // namespace vexlo::test
