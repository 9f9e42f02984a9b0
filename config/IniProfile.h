#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/TextParse.h"

namespace vexlo {

// INI text file with the semantics of the Windows private-profile functions: section and key names
// compare case-insensitively, the first match wins, and writing one key keeps every other line of
// the file as it was. A write goes to a temporary file that then replaces the original, so a crash
// never leaves half a file behind.
class IniProfile {
public:
    // An empty path becomes <program dir>/<program base name>.ini; a relative path is anchored at the
    // program file's directory when anchorAtProgram is set, else at the current directory.
    IniProfile(const std::string& path, bool anchorAtProgram);

    const std::string& Path() const { return path; }
    void SetDefaultSection(const std::string& section) { defaultSection = section; }
    const std::string& DefaultSection() const { return defaultSection; }

    // The key's text (at most 255 characters), or nothing when the file, section or key is missing.
    std::optional<std::string> ReadString(const std::string& section, const std::string& key) const;
    // Key names of the first section with that name, in file order.
    std::vector<std::string> Keys(const std::string& section) const;
    // The key's text converted like atoi; the default when the key is missing.
    int ReadInt(const std::string& section, const std::string& key, int defaultValue) const;

    // Creates the file, the section and the key as needed. False when the file could not be written.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInt(const std::string& section, const std::string& key, int value);

private:
    std::string path;
    std::string defaultSection;
};

}  // namespace vexlo
