#pragma once

#include <string>

namespace vexlo {

// Full path of the running program file, or empty when the platform cannot tell.
std::string ProgramFilePath();

// The process's current directory, or empty when it cannot be read.
std::string CurrentDirectory();

}  // namespace vexlo
