#include <gtest/gtest.h>

#include "serial/TelnetCodec.h"
#include "tests/support/Hex.h"

namespace vexlo {
namespace {

using test::FromHex;
using test::ToHex;
using Bytes = std::vector<std::uint8_t>;

TEST(TelnetCodecTest, EscapesAndCommands) {
    const Bytes frame = FromHex("01 10 60 00 00 01 02 ff ff");
    EXPECT_EQ(ToHex(TelnetCodec::Escape(frame.data(), frame.size())), "01 10 60 00 00 01 02 ff ff ff ff");
    // 19200 baud, 7 bits, odd, 1.5 stop bits; 0xFF inside a value is doubled as well.
    EXPECT_EQ(ToHex(TelnetCodec::LineSettings(19200, 7, 1, 1)),
              "ff fa 2c 01 00 00 4b 00 ff f0 ff fa 2c 02 07 ff f0 ff fa 2c 03 02 ff f0 ff fa 2c 04 03 ff f0");
    EXPECT_EQ(ToHex(TelnetCodec::ComPortCommand(TelnetCodec::kSetBaudRate, {0, 0, 0xFF, 0})),
              "ff fa 2c 01 00 00 ff ff 00 ff f0");
}

TEST(TelnetCodecTest, SplitsDataFromNegotiationAcrossReads) {
    TelnetCodec codec;
    Bytes replies;
    std::uint8_t data[32];
    // The server's options, an answer to SET-BAUDRATE, and data with a doubled 0xFF cut in two.
    const Bytes first = FromHex("ff fd 2c ff fd 18 ff fa 2c 65 00 00 25 80 ff f0 01 03 ff");
    std::size_t n = codec.Feed(first.data(), first.size(), data, replies);
    EXPECT_EQ(ToHex(data, n), "01 03");
    const Bytes second = FromHex("ff 02 ff fb 05");
    n = codec.Feed(second.data(), second.size(), data, replies);
    EXPECT_EQ(ToHex(data, n), "ff 02");
    EXPECT_TRUE(codec.ComPortAccepted());
    EXPECT_TRUE(codec.ServerAnswered(TelnetCodec::kSetBaudRate));
    EXPECT_FALSE(codec.ServerAnswered(TelnetCodec::kPurgeData));
    // What we do not offer (terminal type 0x18) is refused, what we do not take (status 5) declined.
    EXPECT_EQ(ToHex(replies), "ff fc 18 ff fe 05");

    // A server that repeats itself is answered once, whatever it says after.
    const Bytes again = FromHex("ff fd 18 ff fb 05 ff fd 18 ff fb 05");
    for (int i = 0; i < 50; ++i) codec.Feed(again.data(), again.size(), data, replies);
    EXPECT_EQ(ToHex(replies), "ff fc 18 ff fe 05");
}

TEST(TelnetCodecTest, OverlongSubNegotiationIsDroppedAndTheStreamReadOn) {
    TelnetCodec codec;
    Bytes replies;
    std::uint8_t data[4096];
    // An answer to SET-BAUDRATE drowned in a megabyte (0xFF doubled inside), then data and a short one.
    const Bytes head = FromHex("ff fa 2c 65");
    codec.Feed(head.data(), head.size(), data, replies);
    Bytes filler(4096, 0x41);
    filler[100] = filler[101] = 0xFF;
    for (int i = 0; i < 256; ++i) EXPECT_EQ(codec.Feed(filler.data(), filler.size(), data, replies), 0u);
    const Bytes tail = FromHex("ff f0 01 02");
    EXPECT_EQ(ToHex(data, codec.Feed(tail.data(), tail.size(), data, replies)), "01 02");
    EXPECT_FALSE(codec.ServerAnswered(TelnetCodec::kSetBaudRate));
    const Bytes answer = FromHex("ff fa 2c 65 00 00 25 80 ff f0 03");
    EXPECT_EQ(ToHex(data, codec.Feed(answer.data(), answer.size(), data, replies)), "03");
    EXPECT_TRUE(codec.ServerAnswered(TelnetCodec::kSetBaudRate));
    EXPECT_TRUE(replies.empty());
}

}  // namespace
}  // namespace vexlo
