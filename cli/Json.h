#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace vexlo::cli {

// A JSON object built member by member, in order; values are already-encoded JSON.
class JsonObject {
public:
    JsonObject& Add(const std::string& name, const std::string& encodedValue) {
        members.emplace_back(name, encodedValue);
        return *this;
    }
    std::string Text() const {
        std::string text = "{";
        for (size_t i = 0; i < members.size(); ++i) {
            if (i > 0) text += ", ";
            text += Quote(members[i].first) + ": " + members[i].second;
        }
        return text + "}";
    }

    static std::string Quote(const std::string& text) {
        std::string out = "\"";
        for (const char c : text) {
            switch (c) {
                case '"':
                    out += "\\\"";
                    break;
                case '\\':
                    out += "\\\\";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                default:
                    if (static_cast<unsigned char>(c) < 0x20) {
                        char escaped[8];
                        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                        out += escaped;
                    } else {
                        out += c;  // UTF-8 passes as it is
                    }
            }
        }
        return out + "\"";
    }
    static std::string Bool(bool value) { return value ? "true" : "false"; }
    static std::string Array(const std::vector<std::string>& encoded) {
        std::string text = "[";
        for (size_t i = 0; i < encoded.size(); ++i) text += (i > 0 ? ", " : "") + encoded[i];
        return text + "]";
    }
    static std::string Strings(const std::vector<std::string>& texts) {
        std::vector<std::string> encoded;
        for (const auto& text : texts) encoded.push_back(Quote(text));
        return Array(encoded);
    }

private:
    std::vector<std::pair<std::string, std::string>> members;
};

}  // namespace vexlo::cli
