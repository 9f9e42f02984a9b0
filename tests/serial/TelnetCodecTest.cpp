#include <gtest/gtest.h>

#include "serial/TelnetCodec.h"
#include "tests/support/Hex.h"

namespace vexlo {
namespace {

using test::Bytes;
using test::FromHex;
using test::ToHex;

// Feeds the bytes to the codec; the data that came out of them.
std::string Feed(TelnetCodec& codec, const Bytes& bytes, Bytes& replies) {
    std::uint8_t data[4096];
    return ToHex(data, codec.Feed(bytes.data(), bytes.size(), data, replies));
}

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
    // The server's options, an answer to SET-BAUDRATE, and data with a doubled 0xFF cut in two.
    EXPECT_EQ(Feed(codec, FromHex("ff fd 2c ff fd 18 ff fa 2c 65 00 00 25 80 ff f0 01 03 ff"), replies), "01 03");
    EXPECT_EQ(Feed(codec, FromHex("ff 02 ff fb 05"), replies), "ff 02");
    EXPECT_TRUE(codec.ComPortAccepted());
    EXPECT_TRUE(codec.ServerAnswered(TelnetCodec::kSetBaudRate));
    EXPECT_FALSE(codec.ServerAnswered(TelnetCodec::kPurgeData));
    // What we do not offer (terminal type 0x18) is refused, what we do not take (status 5) declined.
    EXPECT_EQ(ToHex(replies), "ff fc 18 ff fe 05");

    // A server that repeats itself is answered once, whatever it says after.
    for (int i = 0; i < 50; ++i) Feed(codec, FromHex("ff fd 18 ff fb 05 ff fd 18 ff fb 05"), replies);
    EXPECT_EQ(ToHex(replies), "ff fc 18 ff fe 05");
}

TEST(TelnetCodecTest, OverlongSubNegotiationIsDroppedAndTheStreamReadOn) {
    TelnetCodec codec;
    Bytes replies;
    // An answer to SET-BAUDRATE drowned in a megabyte (0xFF doubled inside), then data and a short one.
    Feed(codec, FromHex("ff fa 2c 65"), replies);
    Bytes filler(4096, 0x41);
    filler[100] = filler[101] = 0xFF;
    for (int i = 0; i < 256; ++i) EXPECT_EQ(Feed(codec, filler, replies), "");
    EXPECT_EQ(Feed(codec, FromHex("ff f0 01 02"), replies), "01 02");
    EXPECT_FALSE(codec.ServerAnswered(TelnetCodec::kSetBaudRate));
    EXPECT_EQ(Feed(codec, FromHex("ff fa 2c 65 00 00 25 80 ff f0 03"), replies), "03");
    EXPECT_TRUE(codec.ServerAnswered(TelnetCodec::kSetBaudRate));
    EXPECT_TRUE(replies.empty());
}

}  // namespace
}  // namespace vexlo
