#include "console/TraceList.h"

#include <algorithm>

#include "common/TextFormat.h"

namespace vexlo {
namespace {

constexpr int kMaxTracedBytes = 255;

std::string FrameLine(const char* prefix, const std::uint8_t* bytes, int length) {
    std::string line = prefix;
    const int shown = std::min(length, kMaxTracedBytes);
    for (int i = 0; i < shown; ++i) line += FormatText("%02x ", bytes[i]);
    return line;
}

}  // namespace

void TraceList::AppendTraceLine(const std::string& line) {
    if (lines.size() > kMaxLines - 1) {
        lines.pop_front();
        if (observer) observer->FirstLineRemoved();
    }
    AddLine(line);
    selected = static_cast<int>(lines.size()) - 1;
    if (observer) observer->LineSelected(selected);
}

void TraceList::AddLine(const std::string& line) {
    lines.push_back(line);
    if (observer) observer->LineAppended(line);
    if (tap) tap(line);
}

void TraceList::Clear() {
    lines.clear();
    selected = -1;
    if (observer) observer->Cleared();
}

std::vector<std::string> ExchangeLines(const std::uint8_t* request, int requestLength, const std::uint8_t* reply,
                                       int replyLength, bool failed) {
    std::vector<std::string> result;
    if (requestLength > 0) result.push_back(FrameLine("<S>: ", request, requestLength));
    if (failed) {
        result.push_back("<R>:<none>");
    } else if (replyLength > 0) {
        result.push_back(FrameLine("<R>: ", reply, replyLength));
    }
    return result;
}

}  // namespace vexlo
