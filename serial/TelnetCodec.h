#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexlo {

// Telnet as a serial device server speaks it with the COM-PORT-OPTION (RFC 2217): data bytes with
// 0xFF doubled, option negotiation, and sub-negotiations that set the line. Pure bytes in and out.
class TelnetCodec {
public:
    static constexpr std::uint8_t kIac = 0xFF;
    static constexpr std::uint8_t kDont = 0xFE;
    static constexpr std::uint8_t kDo = 0xFD;
    static constexpr std::uint8_t kWont = 0xFC;
    static constexpr std::uint8_t kWill = 0xFB;
    static constexpr std::uint8_t kSb = 0xFA;
    static constexpr std::uint8_t kSe = 0xF0;
    static constexpr std::uint8_t kBinary = 0;
    static constexpr std::uint8_t kSuppressGoAhead = 3;
    static constexpr std::uint8_t kComPortOption = 44;
    // COM-PORT-OPTION commands of the client; the server answers each with the command + 100.
    static constexpr std::uint8_t kSetBaudRate = 1;
    static constexpr std::uint8_t kSetDataSize = 2;
    static constexpr std::uint8_t kSetParity = 3;
    static constexpr std::uint8_t kSetStopSize = 4;
    static constexpr std::uint8_t kPurgeData = 12;

    // What the client offers when the connection opens: binary both ways, no go-ahead, the option.
    static std::vector<std::uint8_t> Greeting();
    // Data for the wire: every 0xFF doubled.
    static std::vector<std::uint8_t> Escape(const std::uint8_t* data, std::size_t count);
    // IAC SB COM-PORT-OPTION command value IAC SE, with 0xFF doubled inside the value.
    static std::vector<std::uint8_t> ComPortCommand(std::uint8_t command, const std::vector<std::uint8_t>& value);
    // The line settings of a "Serial.cfg" record as the option's commands.
    static std::vector<std::uint8_t> LineSettings(std::uint32_t baud, int dataBits, int parityCode, int stopCode);

    // The longest sub-negotiation kept: the option's answers are a few bytes, its signature text a
    // few dozen. A longer one is dropped up to its end and the stream read on.
    static constexpr std::size_t kMaxSubNegotiation = 512;

    // Takes bytes from the wire: data bytes go to data (returned count), answers the server needs go
    // to replies. A command may be split across calls. Each option is answered at most once, so a
    // server that repeats itself cannot start a loop.
    std::size_t Feed(const std::uint8_t* raw, std::size_t count, std::uint8_t* data,
                     std::vector<std::uint8_t>& replies);
    // The server agreed to the COM-PORT-OPTION.
    bool ComPortAccepted() const { return comPortAccepted; }
    // The server has answered the command (its answer carries the command + 100).
    bool ServerAnswered(std::uint8_t command) const { return serverAnswers[(command + 100) & 0xFF]; }

private:
    enum class State { Data, Iac, Option, Sub, SubIac };
    void KeepSubByte(std::uint8_t byte);
    void EndSubNegotiation();

    State state = State::Data;
    std::uint8_t verb = 0;
    std::vector<std::uint8_t> sub;
    bool subTooLong = false;
    std::bitset<256> answeredDo;    // options refused once already (WONT sent)
    std::bitset<256> answeredWill;  // options declined once already (DONT sent)
    std::bitset<256> serverAnswers;
    bool comPortAccepted = false;
};

}  // namespace vexlo
