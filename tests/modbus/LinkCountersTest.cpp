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

enum class Operation { Read, Write, Coil };

// One operation on a scripted link: what each attempt does, the result, the counters it moved and
// what reached the caller's buffer ("" when nothing did).
struct Row {
    const char* name;
    Operation operation;
    std::vector<ScriptedAttempt> script;
    int result;
    LinkCounters counters;
    std::string data;
    bool exception = false;
};

std::vector<ScriptedAttempt> Thrice(const ScriptedAttempt& attempt) { return {attempt, attempt, attempt}; }

const Bytes kGoodRead = WithCrc(FromHex("01 03 02 34 12"));
const ScriptedAttempt kSilent{false, {}};
const ScriptedAttempt kSendFails{true, {}};
const ScriptedAttempt kGood{false, kGoodRead};

const Row kRows[] = {
    {"read answered", Operation::Read, {kGood}, 1, Counts(1, 0, 0, 0, 0), "34 12"},
    {"read unanswered", Operation::Read, Thrice(kSilent), 0, Counts(3, 3, 0, 3, 0), ""},
    {"read bad CRC retried",
     Operation::Read,
     {{false, FromHex("01 03 02 34 12 00 00")}, kGood},
     1,
     Counts(2, 1, 1, 0, 0),
     "34 12"},
    {"read bad CRC thrice", Operation::Read, Thrice({false, FromHex("01 03 02 77 66 00 00")}), 0, Counts(3, 3, 3, 0, 0),
     ""},
    {"read send fails", Operation::Read, Thrice(kSendFails), 0, Counts(3, 0, 0, 0, 0), ""},
    {"read short reply", Operation::Read, {{false, FromHex("01 03 02 34")}, kGood}, 1, Counts(2, 1, 0, 1, 0), "34 12"},
    {"read exception",
     Operation::Read,
     {{false, WithCrc(FromHex("01 83 02")) + FromHex("00 00")}},
     1,
     Counts(1, 0, 0, 0, 1),
     "",
     true},
    {"read exception bad CRC",
     Operation::Read,
     {{false, FromHex("01 83 02 00 00 00 00")}, kGood},
     1,
     Counts(2, 1, 1, 0, 1),
     "34 12"},
    {"read five-byte exception is short",
     Operation::Read,
     {{false, WithCrc(FromHex("01 83 02"))}, kGood},
     1,
     Counts(2, 1, 0, 1, 0),
     "34 12"},
    {"read surplus byte count",
     Operation::Read,
     {{false, WithCrc(FromHex("01 03 04 56 78"))}},
     1,
     Counts(1, 0, 0, 0, 0),
     "56 78"},
    // Replies that are not this request's count as bad replies and never reach the caller.
    {"read another station",
     Operation::Read,
     {{false, WithCrc(FromHex("07 03 02 aa bb"))}, kGood},
     1,
     Counts(2, 1, 1, 0, 0),
     "34 12"},
    {"read another function", Operation::Read, Thrice({false, WithCrc(FromHex("01 04 02 aa bb"))}), 0,
     Counts(3, 3, 3, 0, 0), ""},
    {"read exception of another station",
     Operation::Read,
     {{false, WithCrc(FromHex("07 83 02")) + FromHex("00 00")}, kGood},
     1,
     Counts(2, 1, 1, 0, 1),
     "34 12"},
    {"write fails every way",
     Operation::Write,
     {kSendFails, {false, FromHex("01 10 60")}, {false, FromHex("01 10 60 00 00 02 00 00")}},
     0,
     Counts(3, 3, 1, 1, 0),
     ""},
    {"write answered",
     Operation::Write,
     {{false, WithCrc(FromHex("01 10 60 00 00 02"))}},
     1,
     Counts(1, 0, 0, 0, 0),
     ""},
    {"write answered by a coil echo",
     Operation::Write,
     {{false, WithCrc(FromHex("01 05 60 00 00 02"))}, {false, WithCrc(FromHex("01 10 60 00 00 02"))}},
     1,
     Counts(2, 1, 1, 0, 0),
     ""},
    {"coil moves only its own counters",
     Operation::Coil,
     {kSilent, {false, FromHex("01 05 00 01 ff 00 00 00")}, {false, WithCrc(FromHex("01 05 00 01 ff 00"))}},
     1,
     Counts(0, 0, 1, 1, 0),
     ""},
    {"coil send fails", Operation::Coil, Thrice(kSendFails), 0, Counts(0, 0, 0, 0, 0), ""},
    {"coil exception",
     Operation::Coil,
     {{false, WithCrc(FromHex("01 85 02")) + FromHex("00 00 00")}},
     1,
     Counts(0, 0, 0, 0, 1),
     "",
     true},
    {"coil echo of another station",
     Operation::Coil,
     {{false, WithCrc(FromHex("02 05 00 01 ff 00"))}, {false, WithCrc(FromHex("01 05 00 01 ff 00"))}},
     1,
     Counts(0, 0, 1, 0, 0),
     ""},
};

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

    const Bytes goodRead = kGoodRead;
    const Bytes goodCoil = WithCrc(FromHex("01 05 00 01 ff 00"));

    test::ScopedWorkDir dir;
    test::ManualClock clock;
    test::ScriptedLink link;
    ModbusRtuMaster master;
    std::uint8_t data[300] = {};
};

TEST_F(LinkCountersTest, EachOutcomeMovesItsCounters) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        master.ResetCounters();
        link.Script().attempts.clear();
        link.Script().sent.clear();
        link.Script().reads = 0;
        for (const auto& attempt : row.script) link.Add(attempt);
        data[0] = 0x5A;
        data[1] = 0xA5;
        data[2] = 0x3C;
        const int result = row.operation == Operation::Read    ? ReadOne()
                           : row.operation == Operation::Write ? WriteTwo()
                                                               : Coil();
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(master.Counters(), row.counters);
        EXPECT_EQ(master.exceptionReply, row.exception);
        if (row.operation == Operation::Read) {
            EXPECT_EQ(test::ToHex(data, 3), (row.data[0] ? row.data : "5a a5") + " 3c");
        }
        // Every attempt is sent; one that could not be sent reads nothing.
        EXPECT_EQ(link.Script().sent.size(), row.script.size());
        const auto failedSends =
            std::count_if(row.script.begin(), row.script.end(), [](const ScriptedAttempt& a) { return a.sendFails; });
        EXPECT_EQ(link.Script().reads, static_cast<int>(row.script.size() - failedSends));
        int length = 0;
        master.LastRequest(&length);
        EXPECT_EQ(length, row.operation == Operation::Write ? 13 : 8);
    }
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
