#include <gtest/gtest.h>

#include <map>
#include <string>

#include "link/PortNames.h"

namespace varnel {
namespace {

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
        {"COM0", ""},  // stands for no device
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

TEST(PortNames, IndexGivesTheComName) {
    EXPECT_EQ(PortNameFromIndex(0), "COM1");
    EXPECT_EQ(PortNameFromIndex(3), "COM4");
    EXPECT_EQ(PortNameFromIndex(-1), "COM0");
    EXPECT_EQ(PortNameFromIndex(2147483647), "COM2147483648");
}

TEST(PortNames, ANameOfNoDeviceIsMissingWithoutAnyOpen) {
    EXPECT_EQ(ProbePort(""), PortPresence::Missing);
    EXPECT_EQ(ProbePort("/nonexistent/ttyUSB9"), PortPresence::Missing);
}

}  // namespace
}  // namespace varnel
