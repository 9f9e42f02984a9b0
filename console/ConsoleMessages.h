#pragma once

namespace vexlo {

// The operator texts the console and the command line both give, in one place.
inline constexpr const char* kIntegerPrompt = "Please enter an integer.";
inline constexpr const char* kAddressPrompt = "Please enter a hexadecimal address from 0 to FFFF.";
inline constexpr const char* kStationPrompt = "Please enter an integer between 1 and 255.";
// printf format: the largest word count.
inline constexpr const char* kWordCountPromptFormat = "Please enter an integer between 1 and %u.";
inline constexpr const char* kResultEmpty = "Result is empty !!!, Run a cycle";
inline constexpr const char* kFifoEmpty = "FIFO empty !!!, Run cycle first";
inline constexpr const char* kStationNotFound = "Station not found !!!";
// printf format: the station found.
inline constexpr const char* kStationFoundFormat = "Station found = %d";

}  // namespace vexlo
