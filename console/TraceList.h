#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace vexlo {

// Told of every change so that a list on screen can mirror the model line for line.
class TraceListObserver {
public:
    virtual ~TraceListObserver() = default;
    virtual void LineAppended(const std::string& line) = 0;
    virtual void FirstLineRemoved() = 0;
    virtual void Cleared() = 0;
    virtual void LineSelected(int index) = 0;
};

// The lines of one of the console's lists (the frame trace or the results), capped at 1001: before a
// line is added to a list that already holds more than 1000, the oldest goes.
class TraceList {
public:
    static constexpr std::size_t kMaxLines = 1001;

    void SetObserver(TraceListObserver* newObserver) { observer = newObserver; }
    // Told of every line added, whatever happens to the list afterwards (the session log).
    void SetTap(std::function<void(const std::string&)> newTap) { tap = std::move(newTap); }

    // Adds a line at the end and selects it.
    void AppendTraceLine(const std::string& line);
    // Adds a line at the end without the cap test and without selecting it.
    void AddLine(const std::string& line);
    void Clear();

    const std::deque<std::string>& Lines() const { return lines; }
    std::size_t Size() const { return lines.size(); }
    bool Empty() const { return lines.empty(); }
    int Selected() const { return selected; }

private:
    std::deque<std::string> lines;
    int selected = -1;
    TraceListObserver* observer = nullptr;
    std::function<void(const std::string&)> tap;
};

// The trace lines of one finished transaction: "<S>: " with the request bytes, then "<R>:<none>" on
// failure or "<R>: " with the reply bytes; each byte as "%02x ", at most 255 of them. An empty
// request or reply gives no line.
std::vector<std::string> ExchangeLines(const std::uint8_t* request, int requestLength, const std::uint8_t* reply,
                                       int replyLength, bool failed);

}  // namespace vexlo
