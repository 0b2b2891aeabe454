// Serial device discovery against made-up sysfs and /dev trees.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "link/SerialDevices.h"
#include "tests/support/FakeSystemTree.h"

namespace varnel {
namespace {

using test::FakeSystemTree;

std::vector<std::string> Names(const std::vector<SerialDevice>& devices) {
    std::vector<std::string> names;
    for (const SerialDevice& d : devices) {
        names.push_back(d.name);
    }
    return names;
}

TEST(SerialDevices, OnlyTerminalsWithHardwareAreListedInNaturalOrder) {
    FakeSystemTree tree;
    tree.AddUsbSerial(
        "ttyUSB0", {.manufacturer = "FTDI", .productName = "FT232R USB UART", .serial = "A50285BI"},
        "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    tree.AddUsbSerial("ttyACM0", {.vendor = "2341",
                                  .product = "0043",
                                  .manufacturer = "Arduino (www.arduino.cc)",
                                  .productName = "Uno",
                                  .acm = true});
    tree.AddSerialCorePort("ttyS0", "4\n");
    tree.AddSerialCorePort("ttyS1", "0\n");  // the platform reserved the line; no UART answered
    tree.AddSerialCorePort("ttyS2", "4\n");
    tree.AddSerialCorePort("ttyS10", "14\n");
    tree.AddSerialCorePort("ttyS5", "99");
    tree.AddSerialCorePort("ttyS3", "garbage");  // unreadable counts as unknown
    tree.AddVirtualTty("console");
    tree.AddVirtualTty("ptyp0");  // a legacy pseudo-terminal
    tree.AddVirtualTty("tty0");
    // A terminal whose device link leads nowhere.
    tree.AddTty("ttyGS0", "sys/devices/gone/away", "sys/devices/virtual/gadget");
    // A name that would climb out of /dev is never offered.
    const std::string evil = tree.AddSerialCorePort("ttyS4", "4");
    tree.WriteFile(evil + "/uevent", "DEVNAME=../etc/passwd\n");

    const std::vector<SerialDevice> devices = ListSerialDevices(tree.Paths());
    EXPECT_THAT(Names(devices),
                testing::ElementsAre("ttyACM0", "ttyS0", "ttyS2", "ttyS5", "ttyS10", "ttyUSB0"));
    ASSERT_EQ(devices.size(), 6u);

    const SerialDevice& ftdi = devices[5];
    EXPECT_EQ(ftdi.path, tree.Dev("serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
    EXPECT_EQ(ftdi.kernelPath, tree.Dev("ttyUSB0"));
    EXPECT_EQ(ftdi.vendorId, "0403");
    EXPECT_EQ(ftdi.productId, "6001");
    EXPECT_EQ(ftdi.manufacturer, "FTDI");
    EXPECT_EQ(ftdi.product, "FT232R USB UART");
    EXPECT_EQ(ftdi.serialNumber, "A50285BI");
    EXPECT_EQ(ftdi.description, "FTDI FT232R USB UART (serial A50285BI)");
    EXPECT_EQ(SerialDeviceLabel(ftdi),
              tree.Dev("ttyUSB0") + " - FTDI FT232R USB UART (serial A50285BI)");

    const SerialDevice& acm = devices[0];
    EXPECT_EQ(acm.path, acm.kernelPath);  // no stable name: the kernel's node
    EXPECT_EQ(acm.vendorId, "2341");
    EXPECT_EQ(acm.description, "Arduino (www.arduino.cc) Uno");

    EXPECT_EQ(devices[1].description, "Serial port (16550A UART)");
    EXPECT_EQ(devices[3].description, "Serial port (UART type 99)");
    EXPECT_EQ(devices[4].description, "Serial port (NS16550A UART)");
    EXPECT_TRUE(devices[1].vendorId.empty());
}

struct UsbNaming {
    const char* name;
    FakeSystemTree::Usb usb;
    std::string description;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const UsbNaming& c, std::ostream* os) {
    *os << c.name;
}

class UsbDescriptions : public testing::TestWithParam<UsbNaming> {};

TEST_P(UsbDescriptions, ReadLikeTheAdapterNamesItself) {
    FakeSystemTree tree;
    tree.AddUsbSerial("ttyUSB0", GetParam().usb);
    const std::vector<SerialDevice> devices = ListSerialDevices(tree.Paths());
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].description, GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UsbDescriptions,
    testing::Values(
        UsbNaming{"ProductRepeatsTheMaker",
                  {.manufacturer = "Prolific Technology Inc.",
                   .productName = "Prolific Technology Inc. USB-Serial Controller"},
                  "Prolific Technology Inc. USB-Serial Controller"},
        UsbNaming{"MakerOnly", {.manufacturer = "Silicon Labs"}, "Silicon Labs USB serial adapter"},
        UsbNaming{
            "NoNamesAtAll", {.vendor = "1a86", .product = "7523"}, "USB serial adapter 1a86:7523"},
        UsbNaming{"ControlCharactersAndRunsOfSpaces",
                  {.manufacturer = "Acme\x01\x1b[31m",
                   .productName = "Cable\t\t X   Pro",
                   .serial = " 00\x7f"
                             "7 "},
                  "Acme [31m Cable X Pro (serial 00 7)"},
        UsbNaming{
            "OverlongNameIsCut", {.productName = std::string(300, 'x')}, std::string(100, 'x')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SerialDevices, StableNameIsTheFirstLinkToTheDeviceAndOthersAreIgnored) {
    FakeSystemTree tree;
    tree.AddUsbSerial("ttyUSB0", {.productName = "Cable"});
    tree.AddUsbSerial("ttyUSB1", {.productName = "Cable"});
    tree.Link("dev/serial/by-id/usb-b-port0", "dev/ttyUSB0");
    tree.Link("dev/serial/by-id/usb-a-port0", "dev/ttyUSB0");
    tree.Link("dev/serial/by-id/usb-dangling", "dev/ttyUSB7");
    tree.WriteFile("dev/serial/by-id/not-a-link", "");

    const std::vector<SerialDevice> devices = ListSerialDevices(tree.Paths());
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].path, tree.Dev("serial/by-id/usb-a-port0"));
    EXPECT_EQ(devices[1].path, tree.Dev("ttyUSB1"));
}

TEST(SerialDevices, NoSysfsMeansNoDevices) {
    FakeSystemTree tree;
    SystemPaths paths = tree.Paths();
    paths.sys += "/absent";
    EXPECT_TRUE(ListSerialDevices(paths).empty());
    EXPECT_TRUE(ListSerialDevices(tree.Paths()).empty());
}

}  // namespace
}  // namespace varnel
