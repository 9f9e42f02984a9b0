#pragma once

#include <string>

namespace vexlo {

// The system's texts are C printf formats ("%.3f", "%04x", "%ld"); this gives exactly the C result
// as a std::string, whatever the length.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
FormatText(const char* format, ...);

}  // namespace vexlo
