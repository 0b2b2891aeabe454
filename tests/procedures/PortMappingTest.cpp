// The rows of the Serial Devices dialog, the same in every front end: what each row offers and
// shows, and what the text it holds at OK asks to keep.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/ComPorts.h"
#include "procedures/PortMapping.h"

namespace varnel {
namespace {

#ifdef _WIN32
std::vector<SerialDevice> Devices() {
    return ComPortDevices({{"COM7", "USB Serial Port (COM7)"}, {"COM12", "Bluetooth link (COM12)"}},
                          {{"COM1", ""}});
}
const char* const kDefault = "Default (\\\\.\\COM1)";
const char* const kSecond = "USB Serial Port (COM7)";
const char* const kSecondValue = "COM7";
const char* const kAbsent = "COM9";
const char* const kTyped = "com0013";
const char* const kTypedKept = "COM13";
const char* const kBad = "C:\\ports\\radio";
#else
std::vector<SerialDevice> Devices() {
    SerialDevice a;
    a.name = "ttyS0";
    a.path = a.kernelPath = "/nonexistent/dev/ttyS0";
    a.description = "Serial port (16550A UART)";
    SerialDevice b;
    b.name = "ttyUSB0";
    b.kernelPath = "/nonexistent/dev/ttyUSB0";
    b.path = "/nonexistent/dev/serial/by-id/usb-FTDI_A50285BI";
    b.description = "FTDI FT232R USB UART";
    return {a, b};
}
const char* const kDefault = "Default (/dev/ttyS0)";
const char* const kSecond = "/nonexistent/dev/ttyUSB0 - FTDI FT232R USB UART";
const char* const kSecondValue = "/nonexistent/dev/serial/by-id/usb-FTDI_A50285BI";
const char* const kAbsent = "/dev/pts/7";
const char* const kTyped = "  /dev/ttyACM0 ";
const char* const kTypedKept = "/dev/ttyACM0";
const char* const kBad = "ttyUSB0";
#endif

TEST(PortMapping, ARowOffersTheDefaultThenEveryDeviceAndShowsWhatIsKept) {
    const auto devices = Devices();
    const struct {
        std::string stored;
        int selected;
        std::string shown;
    } cases[] = {
        {"", 0, kDefault},
        {kSecondValue, 2, kSecond},
        {kAbsent, -1, kAbsent},  // kept, though not present now: shown as it is kept
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        const DeviceRow row = MakeDeviceRow("COM1", c.stored, devices);
        ASSERT_EQ(row.entries.size(), devices.size() + 1);
        EXPECT_EQ(row.entries[0].text, kDefault);
        EXPECT_EQ(row.entries[0].value, "");
        EXPECT_EQ(row.entries[2].text, kSecond);
        EXPECT_EQ(row.entries[2].value, kSecondValue);
        EXPECT_EQ(row.selected, c.selected);
        EXPECT_EQ(row.shownText, c.shown);
    }
}

TEST(PortMapping, TheTextAtOkGivesTheEntrysValueTheTypedDeviceOrWhyNot) {
    const DeviceRow row = MakeDeviceRow("COM1", kAbsent, Devices());
    const struct {
        std::string text;
        std::string device;
        bool refused;
    } cases[] = {
        {kAbsent, kAbsent, false},       // left as shown: kept as it was
        {kDefault, "", false},           // the default entry: the mapping goes
        {kSecond, kSecondValue, false},  // an entry: its lasting name
        {kTyped, kTypedKept, false},     // typed: in its one spelling
        {"   ", "", false},              // cleared: the default
        {kBad, "", true},
        {std::string(kTypedKept) + "\x01", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const DeviceChoice choice = ChooseDevice(row, c.text);
        EXPECT_EQ(choice.device, c.device);
        EXPECT_EQ(!choice.error.empty(), c.refused) << choice.error;
        if (c.refused) {
            EXPECT_EQ(choice.error.rfind("COM1: ", 0), 0u) << choice.error;
        }
    }
}

#ifdef _WIN32
TEST(PortMapping, ThePortLineNamesTheMappedPortAsDeviceManagerDoes) {
    const auto devices = Devices();
    PortEntry mapped{0, "COM1", "\\\\.\\COM7", PortPresence::Present};
    EXPECT_EQ(DescribePortDevice(mapped, devices), "USB Serial Port (COM7)");
    PortEntry own{0, "COM1", "\\\\.\\COM1", PortPresence::Present};
    EXPECT_EQ(DescribePortDevice(own, devices), "Serial port (COM1)");
    PortEntry held{1, "COM2", "\\\\.\\COM12", PortPresence::Unavailable};
    EXPECT_EQ(DescribePortDevice(held, devices),
              "Bluetooth link (COM12) (in use by another program, or not yours to use)");
}
#endif

}  // namespace
}  // namespace varnel
