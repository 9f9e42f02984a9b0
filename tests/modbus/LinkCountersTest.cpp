#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "modbus/ModbusRtuMaster.h"
#include "tests/support/ManualClock.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/ScriptedDevice.h"

namespace vexlo {
namespace {

using test::Bytes;
using test::FromHex;
using test::ScriptedAttempt;
using test::WithCrc;

LinkCounters Counts(int requests, int errors, int crc, int timeouts, int negative) {
    return LinkCounters{requests, errors, crc, timeouts, negative, 0};
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The master on a scripted link: every attempt's outcome is chosen by the test.
class LinkCountersTest : public ::testing::Test {
protected:
    void SetUp() override {
        master.SelectStation(1);
        master.linkEnabled = true;
        ASSERT_TRUE(master.Open());
    }

    int ReadOne() { return master.ReadRegisters(0x2301, 1, data); }
    int WriteTwo() {
        const std::uint8_t value[4] = {1, 2, 3, 4};
        return master.WriteRegisters(0x6000, 2, value);
    }
    int Coil() { return master.WriteCoil(1, 1); }

    const Bytes goodRead = WithCrc(FromHex("01 03 02 34 12"));
    const Bytes badCrcRead = FromHex("01 03 02 34 12 00 00");
    const Bytes shortRead = FromHex("01 03 02 34");
    const Bytes exceptionFull = WithCrc(FromHex("01 83 02")) + FromHex("00 00");
    const Bytes exceptionBadCrc = FromHex("01 83 02 00 00 00 00");
    const Bytes goodWrite = WithCrc(FromHex("01 10 60 00 00 02"));
    const Bytes goodCoil = WithCrc(FromHex("01 05 00 01 ff 00"));

    test::ScopedWorkDir dir;
    test::ManualClock clock;
    test::ScriptedLink link;
    ModbusRtuMaster master;
    std::uint8_t data[300] = {};
};

TEST_F(LinkCountersTest, ReadOutcomes) {
    link.Add({false, goodRead});
    EXPECT_EQ(ReadOne(), 1);
    EXPECT_EQ(master.Counters(), Counts(1, 0, 0, 0, 0));
    EXPECT_EQ(data[0], 0x34);
    EXPECT_EQ(data[1], 0x12);

    // Three missing replies: three attempts, each a time-out and an error.
    EXPECT_EQ(ReadOne(), 0);
    EXPECT_EQ(master.Counters(), Counts(4, 3, 0, 3, 0));

    // A bad CRC is retried; the next good reply succeeds.
    link.Add({false, badCrcRead});
    link.Add({false, goodRead});
    EXPECT_EQ(ReadOne(), 1);
    EXPECT_EQ(master.Counters(), Counts(6, 4, 1, 3, 0));

    // Rejected replies never reach the caller's buffer, not even their data bytes.
    data[0] = 0x5A;
    data[1] = 0xA5;
    for (int i = 0; i < 3; ++i) link.Add({false, FromHex("01 03 02 77 66 00 00")});
    EXPECT_EQ(ReadOne(), 0);
    EXPECT_EQ(data[0], 0x5A);
    EXPECT_EQ(data[1], 0xA5);
    EXPECT_EQ(master.Counters(), Counts(9, 7, 4, 3, 0));

    // A failed send adds nothing beyond the request.
    for (int i = 0; i < 3; ++i) link.Add({true, {}});
    EXPECT_EQ(ReadOne(), 0);
    EXPECT_EQ(master.Counters(), Counts(12, 7, 4, 3, 0));
    EXPECT_EQ(link.Script().reads, 9);  // no read after a failed send
}

TEST_F(LinkCountersTest, ExceptionReplies) {
    link.Add({false, exceptionFull});
    EXPECT_EQ(ReadOne(), 1);
    EXPECT_TRUE(master.exceptionReply);
    EXPECT_EQ(master.Counters(), Counts(1, 0, 0, 0, 1));
    EXPECT_EQ(link.Script().sent.size(), 1u);  // accepted: not retried

    link.Add({false, exceptionBadCrc});
    link.Add({false, goodRead});
    EXPECT_EQ(ReadOne(), 1);
    EXPECT_FALSE(master.exceptionReply);
    EXPECT_EQ(master.Counters(), Counts(3, 1, 1, 0, 2));

    // The five-byte exception to a seven-byte read is short: a time-out, retried.
    link.Add({false, WithCrc(FromHex("01 83 02"))});
    link.Add({false, goodRead});
    EXPECT_EQ(ReadOne(), 1);
    EXPECT_EQ(master.Counters(), Counts(5, 2, 1, 1, 2));
}

TEST_F(LinkCountersTest, WriteRegistersOutcomes) {
    link.Add({true, {}});
    link.Add({false, FromHex("01 10 60")});
    link.Add({false, FromHex("01 10 60 00 00 02 00 00")});
    EXPECT_EQ(WriteTwo(), 0);
    EXPECT_EQ(master.Counters(), Counts(3, 3, 1, 1, 0));
    link.Add({false, goodWrite});
    EXPECT_EQ(WriteTwo(), 1);
    EXPECT_EQ(master.Counters(), Counts(4, 3, 1, 1, 0));
}

TEST_F(LinkCountersTest, CoilOutcomesMoveOnlyTheirOwnCounters) {
    link.Add({false, {}});
    link.Add({false, FromHex("01 05 00 01 ff 00 00 00")});
    link.Add({false, goodCoil});
    EXPECT_EQ(Coil(), 1);
    EXPECT_EQ(master.Counters(), Counts(0, 0, 1, 1, 0));
    for (int i = 0; i < 3; ++i) link.Add({true, {}});
    EXPECT_EQ(Coil(), 0);
    EXPECT_EQ(master.Counters(), Counts(0, 0, 1, 1, 0));
    link.Add({false, WithCrc(FromHex("01 85 02")) + FromHex("00 00 00")});
    EXPECT_EQ(Coil(), 1);
    EXPECT_EQ(master.Counters(), Counts(0, 0, 1, 1, 1));
}

TEST_F(LinkCountersTest, ReplyShapesTheMasterAccepts) {
    // Another station's reply and a surplus byte count are accepted as they are.
    link.Add({false, WithCrc(FromHex("07 03 02 aa bb"))});
    EXPECT_EQ(ReadOne(), 1);
    EXPECT_EQ(data[0], 0xAA);
    link.Add({false, WithCrc(FromHex("01 03 04 56 78"))});
    EXPECT_EQ(ReadOne(), 1);
    EXPECT_EQ(data[0], 0x56);
    EXPECT_EQ(data[2], 0x00);  // only 2 x count bytes are copied
    int length = 0;
    const std::uint8_t* reply = master.LastReply(&length);
    EXPECT_EQ(length, 7);
    EXPECT_EQ(reply[0], 0x01);
    master.LastRequest(&length);
    EXPECT_EQ(length, 8);
}

TEST_F(LinkCountersTest, ReadOf128RegistersWithItsWrappedByteCount) {
    Bytes reply = FromHex("01 03 00");
    for (int i = 0; i < 256; ++i) reply.push_back(static_cast<std::uint8_t>(i));
    link.Add({false, WithCrc(reply)});
    std::uint8_t wide[256] = {};
    EXPECT_EQ(master.ReadRegisters(0x6000, 128, wide), 1);
    EXPECT_EQ(wide[255], 255);
    EXPECT_EQ(master.Counters(), Counts(1, 0, 0, 0, 0));
}

TEST_F(LinkCountersTest, DisabledLinkDoesNothing) {
    master.linkEnabled = false;
    data[0] = 0x5A;
    EXPECT_EQ(ReadOne(), 1);
    EXPECT_EQ(WriteTwo(), 1);
    EXPECT_EQ(Coil(), 1);
    EXPECT_EQ(master.Counters(), LinkCounters{});
    EXPECT_EQ(data[0], 0x5A);
    EXPECT_TRUE(link.Script().sent.empty());
    int length = -1;
    master.LastRequest(&length);
    EXPECT_EQ(length, 0);
}

TEST_F(LinkCountersTest, OversizedRequestsAreRefusedWithoutTraffic) {
    std::vector<std::uint8_t> big(400, 0);
    EXPECT_EQ(master.ReadRegisters(0, 134, big.data()), 0);
    EXPECT_EQ(master.WriteRegisters(0, 132, big.data()), 0);
    EXPECT_TRUE(link.Script().sent.empty());
}

TEST_F(LinkCountersTest, TransactionsKeepTheGap) {
    link.Add({false, goodRead});
    link.Add({false, goodRead});
    link.Add({false, goodCoil});
    EXPECT_EQ(ReadOne(), 1);
    EXPECT_EQ(ReadOne(), 1);
    EXPECT_EQ(Coil(), 1);
    const auto& at = link.Script().sentAt;
    ASSERT_EQ(at.size(), 3u);
    for (size_t i = 1; i < at.size(); ++i) {
        EXPECT_GE(at[i] - at[i - 1], 20000);  // microseconds on the manual clock
        EXPECT_LE(at[i] - at[i - 1], 20500);
    }
}

}  // namespace
}  // namespace vexlo

namespace vexlo {
namespace {

// Two threads on one master: the bus lock covers the gap, so no request follows another closer
// than 20 ms, whichever thread sent it.
TEST(MasterThreadsTest, TwoThreadsKeepTheGapBetweenThem) {
    test::ScopedWorkDir dir;
    test::ScriptedLink link;
    for (int i = 0; i < 8; ++i) link.Add({false, WithCrc(FromHex("01 03 02 34 12"))});
    ModbusRtuMaster master;
    master.SelectStation(1);
    master.linkEnabled = true;
    ASSERT_TRUE(master.Open());
    const auto reads = [&master] {
        std::uint8_t buffer[2] = {};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(master.ReadRegisters(0x2301, 1, buffer), 1);
    };
    std::thread other(reads);
    reads();
    other.join();
    auto at = link.Script().sentAt;
    ASSERT_EQ(at.size(), 8u);
    std::sort(at.begin(), at.end());
    const std::int64_t perMs = CurrentClock().PerformanceFrequency() / 1000;
    for (size_t i = 1; i < at.size(); ++i) EXPECT_GE(at[i] - at[i - 1], 20 * perMs) << "request " << i;
}

}  // namespace
}  // namespace vexlo
