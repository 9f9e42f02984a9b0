// Our master against an independent slave: libmodbus on the far end of a null-modem pair.
#include <gtest/gtest.h>
#include <modbus.h>

#include <atomic>
#include <thread>

#include "modbus/ModbusRtuMaster.h"
#include "simulator/harness/PtyResponder.h"
#include "tests/support/Hex.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

// libmodbus as the slave, serving its mapping from its own thread while alive.
struct LibmodbusSlave {
    explicit LibmodbusSlave(const std::string& path) : context(modbus_new_rtu(path.c_str(), 9600, 'E', 8, 1)) {
        modbus_set_slave(context, 17);
        for (int i = 0; i < 64; ++i) {
            mapping->tab_registers[i] = static_cast<std::uint16_t>(0x1000 + i);
            mapping->tab_input_registers[i] = static_cast<std::uint16_t>(0x2000 + i);
        }
        connected = modbus_connect(context) == 0;
        modbus_set_indication_timeout(context, 0, 50000);
        worker = std::thread([this] {
            std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
            while (!stopping) {
                const int length = modbus_receive(context, query);
                if (length > 0) modbus_reply(context, query, length, mapping);
            }
        });
    }
    ~LibmodbusSlave() {
        stopping = true;
        worker.join();
        modbus_close(context);
        modbus_mapping_free(mapping);
        modbus_free(context);
    }

    modbus_t* context;
    modbus_mapping_t* mapping = modbus_mapping_new(8, 0, 64, 64);
    bool connected = false;
    std::atomic<bool> stopping{false};
    std::thread worker;
};

TEST(LibmodbusPeerTest, MasterTalksToAnIndependentSlave) {
    test::ScopedWorkDir dir;
    test::PtyResponder cable(test::PtyResponder::Mode::Cable);
    LibmodbusSlave slave(cable.FarPath());
    ASSERT_TRUE(slave.connected);
    dir.MapPort(1, cable.DevicePath());

    ModbusRtuMaster master;
    master.SelectStation(17);
    master.linkEnabled = true;
    ASSERT_TRUE(master.Open());

    // Register values travel as raw bytes: libmodbus sends them high byte first.
    std::uint8_t data[64] = {};
    ASSERT_EQ(master.ReadRegisters(3, 2, data), 1);
    EXPECT_EQ(test::ToHex(data, 4), "10 03 10 04");
    ASSERT_EQ(master.ReadInputRegisters(10, 1, data), 1);
    EXPECT_EQ(test::ToHex(data, 2), "20 0a");

    const std::uint8_t values[4] = {0xAB, 0xCD, 0x12, 0x34};
    ASSERT_EQ(master.WriteRegisters(20, 2, values), 1);
    EXPECT_EQ(slave.mapping->tab_registers[20], 0xABCD);
    EXPECT_EQ(slave.mapping->tab_registers[21], 0x1234);

    ASSERT_EQ(master.WriteCoil(5, 1), 1);
    EXPECT_EQ(slave.mapping->tab_bits[5], 1);
    ASSERT_EQ(master.WriteCoil(5, 0x10000), 1);
    EXPECT_EQ(slave.mapping->tab_bits[5], 0);

    // An address beyond the mapping is refused with an exception reply; too short to be a full read
    // reply, so the master counts time-outs (three tries, after three register transactions).
    EXPECT_EQ(master.ReadRegisters(100, 1, data), 0);
    EXPECT_EQ(master.Counters(), (LinkCounters{3 + 3, 3, 0, 3, 0, 0}));
}

}  // namespace
}  // namespace vexlo
