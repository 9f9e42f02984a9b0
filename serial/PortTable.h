#pragma once

#include <string>

#include "serial/PortSettings.h"

namespace vexlo {

// The process-wide table of line parameters for COM1 to COM40, saved as "Serial.cfg" in the current
// directory.
inline constexpr const char* kPortTableFileName = "Serial.cfg";

void ResetPortTable();
// Reads up to 560 bytes of "Serial.cfg" over the table; when the file cannot be opened, writes the
// current table to a new one instead.
void LoadPortTable();
// Whether LoadPortTable writes a missing file: the console does, the command line creates no file.
void SetCreateMissingPortTable(bool create);
// Writes the 560 bytes; a file that cannot be created is silently left alone.
void SavePortTable();

// An index outside 0 to 39 means entry 0.
PortSettings GetPortSettings(int index);
void SetPortSettings(int index, const PortSettings& settings);

std::string DescribePort(int index);
std::string HandshakeName(int code);
std::string ParityLetter(int code);
std::string StopBitsText(int code);

}  // namespace vexlo
