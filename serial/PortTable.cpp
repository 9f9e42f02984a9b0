#include "serial/PortTable.h"

#include <cstdio>
#include <cstring>

#include "common/TextFormat.h"

namespace vexlo {
namespace {

PortTableImage& Table() {
    static PortTableImage table{};
    return table;
}

bool createMissingFile = true;

int ClampIndex(int index) { return index < 0 || index >= kPortCount ? 0 : index; }

}  // namespace

void ResetPortTable() {
    for (int i = 0; i < kPortCount; ++i) {
        PortSettings& entry = Table()[static_cast<size_t>(i)];
        std::memset(&entry, 0, sizeof entry);
        std::snprintf(entry.name, sizeof entry.name, "COM%d", i + 1);
        entry.SetBaud(9600);
        entry.dataBits = 8;
        entry.handshake = 0;
        entry.stopBits = 0;
        entry.parity = 2;
    }
}

void LoadPortTable() {
    std::FILE* file = std::fopen(kPortTableFileName, "rb");
    if (file == nullptr) {
        if (createMissingFile) SavePortTable();
        return;
    }
    // A short file fills only the entries it covers; the rest keep what they had.
    (void)std::fread(Table().data(), 1, sizeof(PortTableImage), file);
    std::fclose(file);
}

void SetCreateMissingPortTable(bool create) { createMissingFile = create; }

void SavePortTable() {
    std::FILE* file = std::fopen(kPortTableFileName, "wb");
    if (file == nullptr) return;
    (void)std::fwrite(Table().data(), 1, sizeof(PortTableImage), file);
    std::fclose(file);
}

PortSettings GetPortSettings(int index) { return Table()[static_cast<size_t>(ClampIndex(index))]; }

void SetPortSettings(int index, const PortSettings& settings) {
    Table()[static_cast<size_t>(ClampIndex(index))] = settings;
}

std::string HandshakeName(int code) {
    switch (code) {
        case 0:
            return "None";
        case 1:
            return "Hard";
        case 2:
            return "Soft";
        default:
            return "Unknown";
    }
}

// Codes above 2 only come from a hand-edited file; they are shown as "?" so the operator sees it.
std::string ParityLetter(int code) {
    static const char* const letters[] = {"N", "O", "E"};
    return code >= 0 && code <= 2 ? letters[code] : "?";
}

std::string StopBitsText(int code) {
    static const char* const texts[] = {"1", "1.5", "2"};
    return code >= 0 && code <= 2 ? texts[code] : "?";
}

std::string DescribePort(int index) {
    const PortSettings entry = GetPortSettings(index);
    return FormatText("%d : %d, %d, %s, %s, ", index + 1, static_cast<int>(entry.Baud()), entry.dataBits,
                      ParityLetter(entry.parity).c_str(), StopBitsText(entry.stopBits).c_str()) +
           HandshakeName(entry.handshake);
}

}  // namespace vexlo
