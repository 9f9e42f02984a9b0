#include "serial/TelnetCodec.h"

namespace vexlo {
namespace {

bool WeOffer(std::uint8_t option) {
    return option == TelnetCodec::kBinary || option == TelnetCodec::kSuppressGoAhead ||
           option == TelnetCodec::kComPortOption;
}

bool WeAccept(std::uint8_t option) { return option == TelnetCodec::kBinary || option == TelnetCodec::kSuppressGoAhead; }

}  // namespace

std::vector<std::uint8_t> TelnetCodec::Greeting() {
    return {kIac, kWill, kBinary,          kIac, kDo,   kBinary,       kIac, kWill, kSuppressGoAhead,
            kIac, kDo,   kSuppressGoAhead, kIac, kWill, kComPortOption};
}

std::vector<std::uint8_t> TelnetCodec::Escape(const std::uint8_t* data, std::size_t count) {
    std::vector<std::uint8_t> out;
    out.reserve(count + 4);
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(data[i]);
        if (data[i] == kIac) out.push_back(kIac);
    }
    return out;
}

std::vector<std::uint8_t> TelnetCodec::ComPortCommand(std::uint8_t command, const std::vector<std::uint8_t>& value) {
    std::vector<std::uint8_t> out = {kIac, kSb, kComPortOption, command};
    const auto escaped = Escape(value.data(), value.size());
    out.insert(out.end(), escaped.begin(), escaped.end());
    out.push_back(kIac);
    out.push_back(kSe);
    return out;
}

std::vector<std::uint8_t> TelnetCodec::LineSettings(std::uint32_t baud, int dataBits, int parityCode, int stopCode) {
    std::vector<std::uint8_t> out =
        ComPortCommand(kSetBaudRate, {static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
                                      static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)});
    const auto append = [&out](const std::vector<std::uint8_t>& more) {
        out.insert(out.end(), more.begin(), more.end());
    };
    append(ComPortCommand(kSetDataSize, {static_cast<std::uint8_t>(dataBits == 7 ? 7 : 8)}));
    // The option counts parity 1 none, 2 odd, 3 even and stop bits 1 one, 2 two, 3 one and a half.
    const std::uint8_t parity = parityCode == 1 ? 2 : parityCode == 2 ? 3 : 1;
    const std::uint8_t stop = stopCode == 1 ? 3 : stopCode == 2 ? 2 : 1;
    append(ComPortCommand(kSetParity, {parity}));
    append(ComPortCommand(kSetStopSize, {stop}));
    return out;
}

std::size_t TelnetCodec::Feed(const std::uint8_t* raw, std::size_t count, std::uint8_t* data,
                              std::vector<std::uint8_t>& replies) {
    std::size_t produced = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = raw[i];
        switch (state) {
            case State::Data:
                if (byte == kIac) {
                    state = State::Iac;
                } else {
                    data[produced++] = byte;
                }
                break;
            case State::Iac:
                if (byte == kIac) {
                    data[produced++] = kIac;
                    state = State::Data;
                } else if (byte == kWill || byte == kWont || byte == kDo || byte == kDont) {
                    verb = byte;
                    state = State::Option;
                } else if (byte == kSb) {
                    sub.clear();
                    subTooLong = false;
                    state = State::Sub;
                } else {
                    state = State::Data;  // a command without option (NOP, GA, ...)
                }
                break;
            case State::Option:
                state = State::Data;
                if (verb == kDo) {
                    if (byte == kComPortOption) comPortAccepted = true;
                    if (!WeOffer(byte) && !answeredDo[byte]) {
                        answeredDo[byte] = true;
                        replies.insert(replies.end(), {kIac, kWont, byte});
                    }
                } else if (verb == kWill) {
                    if (byte == kComPortOption) comPortAccepted = true;
                    if (!WeAccept(byte) && byte != kComPortOption && !answeredWill[byte]) {
                        answeredWill[byte] = true;
                        replies.insert(replies.end(), {kIac, kDont, byte});
                    }
                }
                break;
            case State::Sub:
                if (byte == kIac) {
                    state = State::SubIac;
                } else {
                    KeepSubByte(byte);
                }
                break;
            case State::SubIac:
                if (byte == kSe) {
                    EndSubNegotiation();
                    state = State::Data;
                } else {
                    KeepSubByte(byte);  // a doubled 0xFF inside the value
                    state = State::Sub;
                }
                break;
        }
    }
    return produced;
}

void TelnetCodec::KeepSubByte(std::uint8_t byte) {
    if (sub.size() < kMaxSubNegotiation) {
        sub.push_back(byte);
    } else {
        subTooLong = true;
    }
}

void TelnetCodec::EndSubNegotiation() {
    if (!subTooLong && sub.size() >= 2 && sub[0] == kComPortOption) serverAnswers[sub[1]] = true;
    sub.clear();
}

}  // namespace vexlo
