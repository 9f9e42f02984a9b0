#include "app/VersionInfo.h"

#include <QFile>
#include <cstdio>
#include <sstream>

#include "common/TextFormat.h"

namespace vexlo {
namespace {

constexpr const char* kProgramBlock = ":/version/VersionBlock";

}  // namespace

VersionInfo::VersionInfo() { (void)Load(kProgramBlock); }

bool VersionInfo::Load(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        fixedInfo = {};
        block.clear();
        versionLine.clear();
        return false;
    }
    return LoadText(file.readAll().toStdString());
}

bool VersionInfo::LoadText(const std::string& text) {
    codePage = 1252;
    fixedInfo = {};
    block.clear();
    versionLine.clear();
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto tab = line.find('\t');
        if (tab == std::string::npos) continue;
        block.emplace(line.substr(0, tab), line.substr(tab + 1));
    }
    const auto root = block.find("\\");
    if (root == block.end()) return false;
    std::istringstream words(root->second);
    for (auto& word : fixedInfo) {
        std::string hex;
        if (!(words >> hex)) break;
        word = static_cast<std::uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
    }
    if (const auto translation = block.find("\\VarFileInfo\\Translation"); translation != block.end()) {
        unsigned first = 0;
        unsigned second = 0;
        if (std::sscanf(translation->second.c_str(), "%x %x", &first, &second) == 2) {
            language = static_cast<std::uint16_t>(first);
            codePage = static_cast<std::uint16_t>(second);
        }
    }
    if (fixedInfo[0] != kSignature) return false;
    versionLine = "Version : " + GetString("FileVersion");
    for (char& c : versionLine) {
        if (c == ',') c = '.';
    }
    return true;
}

std::string VersionInfo::GetString(const std::string& key) const {
    const std::string path = FormatText("\\StringFileInfo\\%04x%04x\\%s", language, codePage, key.c_str());
    const auto found = block.find(path);
    return found == block.end() ? std::string() : found->second;
}

std::string VersionText(const VersionInfo& info) { return " RS232/RS485 Modbus RTU - " + info.VersionLine(); }

std::string VersionedTitle(const std::string& caption, const VersionInfo& info) {
    return caption + " (" + VersionText(info) + " )";
}

}  // namespace vexlo
