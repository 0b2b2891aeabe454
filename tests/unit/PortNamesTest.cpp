#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>

#include "link/PortNames.h"

namespace varnel {
namespace {

#ifdef _WIN32
TEST(PortNames, NamesResolveToTheDeviceNamespace) {
    const PortResolver resolver = [](const std::string& name) {
        return name == "COM2" ? std::string("\\\\.\\COM12") : std::string();
    };
    // COM10 and above open only through the device namespace; COM1 to COM9 take it as well.
    const struct {
        const char* name;
        const char* device;
    } cases[] = {
        {"COM1", "\\\\.\\COM1"},   {"COM2", "\\\\.\\COM12"},    {"COM4", "\\\\.\\COM4"},
        {"COM10", "\\\\.\\COM10"}, {"COM256", "\\\\.\\COM256"}, {"", ""},
        {"COM02", "\\\\.\\COM12"}, {"COM010", "\\\\.\\COM10"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolvePortDevice(c.name, resolver), c.device) << c.name;
    }
}

TEST(PortNames, AMappedComNameOpensThroughTheDeviceNamespaceAndNothingElseIsOpened) {
    const std::map<std::string, std::string> mapping = {
        {"COM1", "COM7"},         {"COM2", "COM012"}, {"COM3", "C:\\radio"}, {"COM4", "radio.txt"},
        {"COM5", "\\\\.\\COM30"}, {"COM6", "COM0"},   {"COM9", "com9"},
    };
    const PortResolver resolver = [&](const std::string& name) {
        const auto found = mapping.find(name);
        return found == mapping.end() ? std::string() : found->second;
    };
    const struct {
        const char* name;
        const char* device;
    } cases[] = {
        {"COM1", "\\\\.\\COM7"},
        {"COM2", "\\\\.\\COM12"},
        {"COM3", ""},
        {"COM4", ""},
        {"COM5", "\\\\.\\COM30"},
        {"COM6", ""},
        {"COM8", "\\\\.\\COM8"},
        {"COM9", "\\\\.\\COM9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolvePortDevice(c.name, resolver), c.device) << c.name;
    }
}
#else
TEST(PortNames, NamesResolveToDevicesOrToNothing) {
    const std::map<std::string, std::string> mapped = {{"COM2", "/dev/ttyUSB0"},
                                                       {"COM3", "ttyUSB1"}};
    const PortResolver resolver = [&](const std::string& name) {
        auto it = mapped.find(name);
        return it == mapped.end() ? std::string() : it->second;
    };
    const struct {
        const char* name;
        const char* device;
    } cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM2", "/dev/ttyUSB0"},  // the user's mapping wins
        {"COM3", ""},              // a mapping to a relative path is never opened
        {"COM4", "/dev/ttyS3"},
        {"COM10", "/dev/ttyS9"},
        {"COM02", "/dev/ttyUSB0"},  // COM2, and COM2's mapping
        {"COM004", "/dev/ttyS3"},
        {"COM0", ""},  // stands for no device
        {"COM00", ""},
        {"COM-1", ""},
        {"COMx", ""},
        {"COM", ""},
        {"/dev/pts/3", "/dev/pts/3"},
        {"ttyS0", ""},  // never relative to the current folder
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolvePortDevice(c.name, resolver), c.device) << c.name;
    }
    EXPECT_EQ(ResolvePortDevice("COM2", nullptr), "/dev/ttyS1");
}
#endif

TEST(PortNames, AComNumberHasOneSpelling) {
    const struct {
        const char* name;
        const char* normal;
    } cases[] = {
        {"COM1", "COM1"},
        {"COM01", "COM1"},
        {"COM0001", "COM1"},
        {"COM10", "COM10"},
        {"COM010", "COM10"},
        {"COM0", "COM0"},
        {"COM000", "COM0"},
        {"COM", "COM"},
        {"COM-01", "COM-01"},
        {"COM 1", "COM 1"},
        {"COM1x", "COM1x"},
        {"com01", "com01"},
        {"/dev/COM01", "/dev/COM01"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NormalPortName(c.name), c.normal) << c.name;
    }
}

TEST(PortNames, IndexGivesTheComName) {
    EXPECT_EQ(PortNameFromIndex(0), "COM1");
    EXPECT_EQ(PortNameFromIndex(3), "COM4");
    EXPECT_EQ(PortNameFromIndex(-1), "COM0");
    EXPECT_EQ(PortNameFromIndex(2147483647), "COM2147483648");
}

TEST(PortNames, AStoredSettingGivesItsIndexOrComOne) {
    const struct {
        const char* stored;
        int index;
    } cases[] = {
        {"0", 0},
        {"3", 3},
        {" 2\t", 2},  // blanks around the number are the file's, not the value's
        {"+1", 1},
        {"4", 0},  // no COM5
        {"7", 0},
        {"-1", -1},          // kept as it is: the port opened is COM0, which stands for no device
        {"4294967295", -1},  // the same 32 bits as -1
        {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN},
        {"-2147483649", 0},  // more than 32 bits
        {"4294967296", 0},
        {"99999999999", 0},
        {"123456789012345678901234567890123456789", 0},
        {"", 0},
        {"-", 0},
        {"two", 0},
        {"2.5", 0},
        {"0x2", 0},
        {"1, 2", 0},
        {"COM2", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SerialPortIndexFromText(c.stored), c.index) << '"' << c.stored << '"';
    }
    EXPECT_EQ(SerialPortIndexFromText(std::string(1 << 20, '9')), 0);
}

TEST(PortNames, ANameOfNoDeviceIsMissingWithoutAnyOpen) {
    EXPECT_EQ(ProbePort(""), PortPresence::Missing);
    EXPECT_EQ(ProbePort("/nonexistent/ttyUSB9"), PortPresence::Missing);
}

}  // namespace
}  // namespace varnel
