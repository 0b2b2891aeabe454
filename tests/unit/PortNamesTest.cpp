#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>

#include "link/PortNames.h"

namespace varnel {
namespace {

struct NameCase {
    const char* name;
    const char* device;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class DefaultDevice : public ::testing::TestWithParam<NameCase> {};

TEST_P(DefaultDevice, ResolvesThePortNameUsersSee) {
    EXPECT_EQ(DefaultPortDevice(GetParam().name), GetParam().device);
}

#ifdef _WIN32
// COM10 and above open only through the device namespace; COM1 to COM9 take it as well.
INSTANTIATE_TEST_SUITE_P(
    Windows, DefaultDevice,
    ::testing::Values(NameCase{"COM1", "\\\\.\\COM1"}, NameCase{"COM4", "\\\\.\\COM4"},
                      NameCase{"COM10", "\\\\.\\COM10"}, NameCase{"COM256", "\\\\.\\COM256"},
                      NameCase{"\\\\.\\COM12", "\\\\.\\COM12"}, NameCase{"", ""}));
#else
INSTANTIATE_TEST_SUITE_P(Linux, DefaultDevice,
                         ::testing::Values(NameCase{"COM1", "/dev/ttyS0"},
                                           NameCase{"COM4", "/dev/ttyS3"},
                                           NameCase{"COM10", "/dev/ttyS9"}, NameCase{"COM", "COM"},
                                           NameCase{"COM1x", "COM1x"}, NameCase{"COM-1", "COM-1"},
                                           NameCase{"/dev/ttyUSB0", "/dev/ttyUSB0"},
                                           NameCase{"", ""}));
#endif

TEST(PortNames, NameFromIndexCountsFromOne) {
    EXPECT_EQ(PortNameFromIndex(0), "COM1");
    EXPECT_EQ(PortNameFromIndex(3), "COM4");
    EXPECT_EQ(PortNameFromIndex(-1), "COM0");
    EXPECT_EQ(PortNameFromIndex(INT_MAX), "COM2147483648");
}

TEST(PortNames, AResolverOverridesTheDefaultUnlessItHasNoAnswer) {
    SetPortResolver([](const std::string& name) {
        return name == "COM2" ? std::string("/dev/ttyUSB0") : std::string();
    });
    EXPECT_EQ(ResolvePortDevice("COM2"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortDevice("COM3"), DefaultPortDevice("COM3"));
    SetPortResolver(nullptr);
    EXPECT_EQ(ResolvePortDevice("COM2"), DefaultPortDevice("COM2"));
}

}  // namespace
}  // namespace varnel
