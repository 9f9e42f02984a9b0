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

// A reply as sent: with its CRC, and zero bytes after it.
ScriptedAttempt Reply(const std::string& hex, size_t zeros = 0) {
    Bytes bytes = WithCrc(FromHex(hex));
    bytes.resize(bytes.size() + zeros);
    return {false, bytes};
}
// A reply byte for byte, CRC or no CRC.
ScriptedAttempt Raw(const std::string& hex) { return {false, FromHex(hex)}; }

enum Operation { kRead, kWrite, kCoil };

// One operation on a scripted link: what each attempt does, the result, the counters it moved and
// what reached the caller's buffer ("" when nothing did).
struct Row {
    const char* name;
    Operation operation;
    std::vector<ScriptedAttempt> script;
    int result;
    LinkCounters counters;
    std::string data = "";
    bool exception = false;
};

std::vector<ScriptedAttempt> Thrice(const ScriptedAttempt& attempt) { return {attempt, attempt, attempt}; }

const ScriptedAttempt kSilent{false, {}};
const ScriptedAttempt kUnsent{true, {}};
const ScriptedAttempt kGood = Reply("01 03 02 34 12");
const ScriptedAttempt kGoodCoil = Reply("01 05 00 01 ff 00");
const ScriptedAttempt kGoodWrite = Reply("01 10 60 00 00 02");

// Replies that are not this request's count as bad replies and never reach the caller.
const Row kRows[] = {
    {"read answered", kRead, {kGood}, 1, Counts(1, 0, 0, 0, 0), "34 12"},
    {"read unanswered", kRead, Thrice(kSilent), 0, Counts(3, 3, 0, 3, 0)},
    {"read bad CRC retried", kRead, {Raw("01 03 02 34 12 00 00"), kGood}, 1, Counts(2, 1, 1, 0, 0), "34 12"},
    {"read bad CRC thrice", kRead, Thrice(Raw("01 03 02 77 66 00 00")), 0, Counts(3, 3, 3, 0, 0)},
    {"read send fails", kRead, Thrice(kUnsent), 0, Counts(3, 0, 0, 0, 0)},
    {"read short reply", kRead, {Raw("01 03 02 34"), kGood}, 1, Counts(2, 1, 0, 1, 0), "34 12"},
    {"read exception", kRead, {Reply("01 83 02", 2)}, 1, Counts(1, 0, 0, 0, 1), "", true},
    {"read exception bad CRC", kRead, {Raw("01 83 02 00 00 00 00"), kGood}, 1, Counts(2, 1, 1, 0, 1), "34 12"},
    {"read five-byte exception is short", kRead, {Reply("01 83 02"), kGood}, 1, Counts(2, 1, 0, 1, 0), "34 12"},
    {"read surplus byte count", kRead, {Reply("01 03 04 56 78")}, 1, Counts(1, 0, 0, 0, 0), "56 78"},
    {"read another station", kRead, {Reply("07 03 02 aa bb"), kGood}, 1, Counts(2, 1, 1, 0, 0), "34 12"},
    {"read another function", kRead, Thrice(Reply("01 04 02 aa bb")), 0, Counts(3, 3, 3, 0, 0)},
    {"read exception of another station", kRead, {Reply("07 83 02", 2), kGood}, 1, Counts(2, 1, 1, 0, 1), "34 12"},
    {"write fails", kWrite, {kUnsent, Raw("01 10 60"), Raw("01 10 60 00 00 02 00 00")}, 0, Counts(3, 3, 1, 1, 0)},
    {"write answered", kWrite, {kGoodWrite}, 1, Counts(1, 0, 0, 0, 0)},
    {"write gets a coil echo", kWrite, {Reply("01 05 60 00 00 02"), kGoodWrite}, 1, Counts(2, 1, 1, 0, 0)},
    {"coil moves only its own", kCoil, {kSilent, Raw("01 05 00 01 ff 00 00 00"), kGoodCoil}, 1, Counts(0, 0, 1, 1, 0)},
    {"coil send fails", kCoil, Thrice(kUnsent), 0, Counts(0, 0, 0, 0, 0)},
    {"coil exception", kCoil, {Reply("01 85 02", 3)}, 1, Counts(0, 0, 0, 0, 1), "", true},
    {"coil echo of another station", kCoil, {Reply("02 05 00 01 ff 00"), kGoodCoil}, 1, Counts(0, 0, 1, 0, 0)},
};

// The master on a scripted link: every attempt's outcome is chosen by the test.
class ScriptedMasterTest : public ::testing::Test {
protected:
    void SetUp() override {
        master.SelectStation(1);
        master.linkEnabled = true;
        ASSERT_TRUE(master.Open());
    }

    test::ScopedWorkDir dir;
    test::ScriptedLink link;
    ModbusRtuMaster master;
};

class LinkCountersTest : public ScriptedMasterTest {
protected:
    int Run(Operation operation) {
        const std::uint8_t value[4] = {1, 2, 3, 4};
        if (operation == kRead) return master.ReadRegisters(0x2301, 1, data);
        return operation == kWrite ? master.WriteRegisters(0x6000, 2, value) : master.WriteCoil(1, 1);
    }

    test::ManualClock clock;
    std::uint8_t data[300] = {};
};

TEST_F(LinkCountersTest, EachOutcomeMovesItsCounters) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        master.ResetCounters();
        link.Script().sent.clear();
        link.Script().reads = 0;
        for (const auto& attempt : row.script) link.Add(attempt);
        std::copy_n(FromHex("5a a5 3c").begin(), 3, data);
        EXPECT_EQ(Run(row.operation), row.result);
        EXPECT_EQ(master.Counters(), row.counters);
        EXPECT_EQ(master.exceptionReply, row.exception);
        if (row.operation == kRead) {
            EXPECT_EQ(test::ToHex(data, 3), (row.data[0] ? row.data : "5a a5") + " 3c");
        }
        // Every attempt is sent; one that could not be sent reads nothing.
        EXPECT_EQ(link.Script().sent.size(), row.script.size());
        const auto failedSends =
            std::count_if(row.script.begin(), row.script.end(), [](const ScriptedAttempt& a) { return a.sendFails; });
        EXPECT_EQ(link.Script().reads, static_cast<int>(row.script.size() - failedSends));
        EXPECT_TRUE(link.Script().attempts.empty());
        int length = 0;
        master.LastRequest(&length);
        EXPECT_EQ(length, row.operation == kWrite ? 13 : 8);
    }
}

// A disabled link pretends success; an oversized request is refused. Neither sends anything.
TEST_F(LinkCountersTest, DisabledLinkAndOversizedRequestsSendNothing) {
    master.linkEnabled = false;
    data[0] = 0x5A;
    EXPECT_EQ(Run(kRead), 1);
    EXPECT_EQ(Run(kWrite), 1);
    EXPECT_EQ(Run(kCoil), 1);
    EXPECT_EQ(data[0], 0x5A);
    int length = -1;
    master.LastRequest(&length);
    EXPECT_EQ(length, 0);
    master.linkEnabled = true;
    std::vector<std::uint8_t> big(400, 0);
    EXPECT_EQ(master.ReadRegisters(0, 134, big.data()), 0);
    EXPECT_EQ(master.WriteRegisters(0, 132, big.data()), 0);
    EXPECT_TRUE(link.Script().sent.empty());
    EXPECT_EQ(master.Counters(), LinkCounters{});
    // The largest read, with its byte count wrapped to 0.
    Bytes reply = FromHex("01 03 00");
    for (int i = 0; i < 256; ++i) reply.push_back(static_cast<std::uint8_t>(i));
    link.Add({false, WithCrc(reply)});
    EXPECT_EQ(master.ReadRegisters(0x6000, 128, big.data()), 1);
    EXPECT_EQ(big[255], 255);
    EXPECT_EQ(master.Counters(), Counts(1, 0, 0, 0, 0));
}

TEST_F(LinkCountersTest, TransactionsKeepTheGap) {
    for (const auto& attempt : {kGood, kGood, kGoodCoil}) link.Add(attempt);
    EXPECT_EQ(Run(kRead), 1);
    EXPECT_EQ(Run(kRead), 1);
    EXPECT_EQ(Run(kCoil), 1);
    const auto& at = link.Script().sentAt;
    ASSERT_EQ(at.size(), 3u);
    for (size_t i = 1; i < at.size(); ++i) {
        EXPECT_GE(at[i] - at[i - 1], 20000);  // microseconds on the manual clock
        EXPECT_LE(at[i] - at[i - 1], 20500);
    }
}

// Two threads on one master, on the real clock: the bus lock covers the gap, so no request follows
// another closer than 20 ms, whichever thread sent it.
using MasterThreadsTest = ScriptedMasterTest;

TEST_F(MasterThreadsTest, TwoThreadsKeepTheGapBetweenThem) {
    for (int i = 0; i < 8; ++i) link.Add(kGood);
    const auto reads = [this] {
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
