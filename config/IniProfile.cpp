#include "config/IniProfile.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "common/ProgramFile.h"
#include "common/TextFormat.h"

namespace vexlo {
namespace {

constexpr size_t kMaxValueLength = 255;
// A profile is a few lines; refuse to rewrite anything absurdly large instead of loading it whole.
constexpr std::uintmax_t kMaxFileBytes = 16u * 1024u * 1024u;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// More links than this in a chain is a loop.
constexpr int kMaxLinkDepth = 40;

bool IsAbsolute(const std::string& path) {
#if defined(_WIN32)
    return path.size() >= 2 && (path[1] == ':' || (path[0] == '\\' && path[1] == '\\'));
#else
    return !path.empty() && path[0] == '/';
#endif
}

std::string DirectoryOf(const std::string& file) {
    const auto slash = file.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// One line of the file, kept with its own ending so that untouched lines are written back as they were.
struct Line {
    std::string text;
    std::string ending;
};

std::optional<std::vector<Line>> LoadLines(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) return std::nullopt;
    if (size > kMaxFileBytes) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<Line> lines;
    size_t start = 0;
    // An editor's UTF-8 byte-order mark is kept as a line of its own without an ending, so that the
    // first section header is still found and the mark is written back as it was.
    if (content.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0) {
        lines.push_back({std::string(kUtf8Bom), ""});
        start = kUtf8Bom.size();
    }
    while (start < content.size()) {
        const size_t newline = content.find('\n', start);
        if (newline == std::string::npos) {
            lines.push_back({content.substr(start), ""});
            break;
        }
        size_t textEnd = newline;
        if (textEnd > start && content[textEnd - 1] == '\r') --textEnd;
        lines.push_back({content.substr(start, textEnd - start), content.substr(textEnd, newline + 1 - textEnd)});
        start = newline + 1;
    }
    return lines;
}

std::optional<std::string> SectionName(const std::string& line) {
    const std::string trimmed = Trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[') return std::nullopt;
    const auto close = trimmed.find(']');
    if (close == std::string::npos) return std::nullopt;
    return Trim(trimmed.substr(1, close - 1));
}

std::optional<std::pair<std::string, std::string>> KeyValue(const std::string& line) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) return std::nullopt;
    return std::make_pair(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
}

// Index range [first, last) of the lines inside the first section with that name, after its header.
struct SectionRange {
    size_t header;
    size_t first;
    size_t last;
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, const std::string& section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i].text);
        if (!name || !EqualNoCase(*name, section)) continue;
        size_t last = i + 1;
        while (last < lines.size() && !SectionName(lines[last].text)) ++last;
        return SectionRange{i, i + 1, last};
    }
    return std::nullopt;
}

std::string PreferredEnding(const std::vector<Line>& lines) {
    for (const auto& line : lines) {
        if (!line.ending.empty()) return line.ending;
    }
#if defined(_WIN32)
    return "\r\n";
#else
    return "\n";
#endif
}

// The file a chain of symbolic links ends at (it may not exist yet): a save replaces that file and
// leaves the links in place.
std::filesystem::path FinalTarget(std::filesystem::path path) {
    std::error_code error;
    for (int depth = 0; depth < kMaxLinkDepth && std::filesystem::is_symlink(path, error); ++depth) {
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

bool ReplaceFile(const std::string& linkOrFile, const std::vector<Line>& lines) {
    const std::string path = FinalTarget(linkOrFile).string();
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) return false;
        for (const auto& line : lines) file << line.text << line.ending;
        file.flush();
        if (!file) {
            file.close();
            std::remove(temporary.c_str());
            return false;
        }
    }
    std::error_code error;
    // The new file keeps the mode of the one it replaces.
    const auto previous = std::filesystem::status(path, error);
    if (!error && std::filesystem::exists(previous)) {
        std::filesystem::permissions(temporary, previous.permissions(), error);
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

IniProfile::IniProfile(const std::string& requested, bool anchorAtProgram) {
    const std::string program = ProgramFilePath();
    if (requested.empty()) {
        std::string base = program;
        const auto dot = base.find_last_of('.');
        const auto slash = base.find_last_of("/\\");
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) base.erase(dot);
        path = base + ".ini";
    } else if (IsAbsolute(requested)) {
        path = requested;
    } else {
        const std::string anchor = anchorAtProgram ? DirectoryOf(program) : CurrentDirectory();
        path = anchor.empty() ? requested : anchor + "/" + requested;
    }
    const auto slash = program.find_last_of("/\\");
    defaultSection = slash == std::string::npos ? program : program.substr(slash + 1);
}

std::optional<std::string> IniProfile::ReadString(const std::string& section, const std::string& key) const {
    const auto lines = LoadLines(path);
    if (!lines) return std::nullopt;
    const auto range = FindSection(*lines, section);
    if (!range) return std::nullopt;
    for (size_t i = range->first; i < range->last; ++i) {
        const auto entry = KeyValue((*lines)[i].text);
        if (!entry || !EqualNoCase(entry->first, key)) continue;
        std::string value = entry->second;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (value.size() > kMaxValueLength) value.resize(kMaxValueLength);
        return value;
    }
    return std::nullopt;
}

std::vector<std::string> IniProfile::Keys(const std::string& section) const {
    std::vector<std::string> keys;
    const auto lines = LoadLines(path);
    if (!lines) return keys;
    const auto range = FindSection(*lines, section);
    if (!range) return keys;
    for (size_t i = range->first; i < range->last; ++i) {
        if (const auto entry = KeyValue((*lines)[i].text); entry && !entry->first.empty()) keys.push_back(entry->first);
    }
    return keys;
}

int IniProfile::ReadInt(const std::string& section, const std::string& key, int defaultValue) const {
    const auto text = ReadString(section, key);
    return ParseLeadingInt(text ? *text : FormatText("%d", defaultValue));
}

bool IniProfile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    std::vector<Line> lines;
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        auto loaded = LoadLines(path);
        if (!loaded) return false;
        lines = std::move(*loaded);
    }
    const std::string ending = PreferredEnding(lines);
    if (!lines.empty() && lines.back().ending.empty() && lines.back().text != kUtf8Bom) lines.back().ending = ending;
    const std::string newLine = key + "=" + value;

    const auto range = FindSection(lines, section);
    if (!range) {
        lines.push_back({"[" + section + "]", ending});
        lines.push_back({newLine, ending});
        return ReplaceFile(path, lines);
    }
    size_t insertAt = range->first;
    for (size_t i = range->first; i < range->last; ++i) {
        const auto entry = KeyValue(lines[i].text);
        if (entry && EqualNoCase(entry->first, key)) {
            lines[i].text = newLine;
            return ReplaceFile(path, lines);
        }
        if (!Trim(lines[i].text).empty()) insertAt = i + 1;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), Line{newLine, ending});
    return ReplaceFile(path, lines);
}

bool IniProfile::WriteInt(const std::string& section, const std::string& key, int value) {
    return WriteString(section, key, FormatText("%d", value));
}

}  // namespace vexlo
