// The COM ports Windows lists, from the two places it lists them: parsed here, on every system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/ComPorts.h"

namespace varnel {
namespace {

std::vector<std::string> Names(const std::vector<SerialDevice>& devices) {
    std::vector<std::string> names;
    for (const SerialDevice& d : devices) {
        names.push_back(d.name + "|" + d.path + "|" + d.description);
    }
    return names;
}

TEST(ComPorts, DeviceTreeNamesWinAndPortsComeOnceInNumberOrder) {
    const std::vector<ComPortRecord> tree = {
        {"COM10", "Prolific USB-to-Serial Comm Port (COM10)"},
        {"COM7", "USB Serial Port (COM7)"},
        {"LPT1", "Printer Port (LPT1)"},              // a parallel port of the same class
        {"", "Standard Serial over Bluetooth link"},  // no port name: nothing to open
        {"COM3", "Bluetooth link"},                   // a name without its COM part
    };
    const std::vector<ComPortRecord> serialComm = {
        {"COM7", ""},  // the same port again, without a name for people
        {"COM1", ""}, {"COM0", ""}, {"COM257", ""},
        {"COMX", ""}, {"NUL", ""},  {"COM002", ""},  // leading zeros: COM2
    };
    EXPECT_EQ(Names(ComPortDevices(tree, serialComm)),
              (std::vector<std::string>{
                  "COM1|COM1|Serial port (COM1)",
                  "COM2|COM2|Serial port (COM2)",
                  "COM3|COM3|Bluetooth link (COM3)",
                  "COM7|COM7|USB Serial Port (COM7)",
                  "COM10|COM10|Prolific USB-to-Serial Comm Port (COM10)",
              }));
}

TEST(ComPorts, EachPortOpensThroughTheDeviceNamespace) {
    const auto devices = ComPortDevices({{"COM12", "USB Serial Port (COM12)"}}, {});
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].kernelPath, "\\\\.\\COM12");
    EXPECT_EQ(devices[0].path, "COM12");  // what the mapping keeps
}

TEST(ComPorts, TextThatIsNoOneLineIsCleanedOrDropped) {
    const auto devices = ComPortDevices(
        {{" COM5\n", "USB\tSerial\nPort (COM5)  "}, {"COM6\x7f", "x"}, {"COM 8", "y"}}, {});
    EXPECT_EQ(Names(devices),
              (std::vector<std::string>{"COM5|COM5|USB Serial Port (COM5)", "COM6|COM6|x (COM6)"}));
}

TEST(ComPorts, OnlyComAndANumberFromOneTo256IsAPortName) {
    const struct {
        const char* name;
        int number;
    } cases[] = {{"COM1", 1},           {"COM256", 256}, {"COM0256", 256},
                 {"COM257", 0},         {"COM0", 0},     {"COM", 0},
                 {"com7", 0},           {"COM-1", 0},    {"COM+1", 0},
                 {"COM99999999999", 0}, {"LPT1", 0},     {"", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(ComPortNumber(c.name), c.number) << c.name;
    }
}

}  // namespace
}  // namespace varnel
