#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace vexlo {

// The program's version block, read at run time: its fixed record (13 words, signature 0xFEEF04BD
// first), its translation and its string table. The block is text, one entry a line: the query
// path ("\", "\VarFileInfo\Translation", "\StringFileInfo\040904b0\FileVersion"), a tab, the value.
class VersionInfo {
public:
    static constexpr std::uint32_t kSignature = 0xFEEF04BD;

    // Loads the block built into this program; the version line stays empty when that fails.
    VersionInfo();

    // Loads a block from a file (or a Qt resource path); false when it cannot be read or its fixed
    // record lacks the signature.
    bool Load(const std::string& path);
    bool LoadText(const std::string& block);

    // The value under "\StringFileInfo\<language><code page>\<key>", or empty text.
    std::string GetString(const std::string& key) const;

    const std::array<std::uint32_t, 13>& FixedInfo() const { return fixedInfo; }
    std::uint16_t Language() const { return language; }
    std::uint16_t CodePage() const { return codePage; }
    // "Version : " and the "FileVersion" with every "," turned into "."; empty when nothing loaded.
    const std::string& VersionLine() const { return versionLine; }

private:
    std::array<std::uint32_t, 13> fixedInfo{};
    std::map<std::string, std::string> block;
    // Read when the block names no translation.
    std::uint16_t language = 0x0409;
    std::uint16_t codePage = 1252;
    std::string versionLine;
};

// " RS232/RS485 Modbus RTU - " and the version line.
std::string VersionText(const VersionInfo& info);

// The console's title: its caption, then " (", the version text and " )".
std::string VersionedTitle(const std::string& caption, const VersionInfo& info);

}  // namespace vexlo
