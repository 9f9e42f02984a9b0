#pragma once

#include <string>
#include <string_view>

namespace vexlo {

// Text bytes from the instrument are single-byte Windows-1252; the screens take UTF-8. The five
// bytes the code page leaves undefined map to the control characters of the same value, as the
// Windows conversion does, so every byte shows as something and nothing is lost.
std::string Windows1252ToUtf8(std::string_view text);

}  // namespace vexlo
