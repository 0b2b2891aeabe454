// Why a port could not be opened, told from made-up sysfs, /dev and /proc trees. /dev/null
// stands in for a device that exists.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>

#include "link/PortDiagnosis.h"
#include "tests/support/FakeSystemTree.h"

namespace varnel {
namespace {

using test::FakeSystemTree;
using testing::AllOf;
using testing::HasSubstr;
using testing::Not;

void NullIs(FakeSystemTree& tree, const std::string& classDir) {
    struct stat st {};
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    tree.AddCharNumbers(major(st.st_rdev), minor(st.st_rdev), classDir);
}

void NullLockedBy(FakeSystemTree& tree, long pid) {
    struct stat st {};
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    char line[128];
    std::snprintf(line, sizeof line, "7: FLOCK  ADVISORY  WRITE %ld %02x:%02x:%llu 0 EOF\n", pid,
                  major(st.st_dev), minor(st.st_dev), static_cast<unsigned long long>(st.st_ino));
    tree.WriteFile("proc/locks", line);
}

void AddFtdi(FakeSystemTree& tree) {
    tree.AddUsbSerial(
        "ttyUSB0", {.manufacturer = "FTDI", .productName = "FT232R USB UART", .serial = "A50285BI"},
        "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
}

struct DiagnosisCase {
    const char* name;
    std::function<void(FakeSystemTree&)> setUp;
    std::string device;  // "@name" is the node of that name in the fake /dev
    int err;
    PortFailure failure;
    std::vector<std::string> says;  // pieces the text must contain; "@" is the fake /dev
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const DiagnosisCase& c, std::ostream* os) {
    *os << c.name;
}

class Diagnosis : public testing::TestWithParam<DiagnosisCase> {};

TEST_P(Diagnosis, NamesTheDeviceTheReasonAndTheRemedy) {
    FakeSystemTree tree;
    GetParam().setUp(tree);
    const std::string devRoot = tree.Dev("");
    auto expand = [&](std::string text) {
        for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at)) {
            text.replace(at, 1, devRoot);
            at += devRoot.size();
        }
        return text;
    };
    const std::string device = expand(GetParam().device);
    EXPECT_EQ(DiagnosePortFailure(device, GetParam().err, tree.Paths()), GetParam().failure);
    const std::string text = DescribePortFailure(device, GetParam().err, tree.Paths());
    for (const std::string& piece : GetParam().says) {
        EXPECT_THAT(text, HasSubstr(expand(piece)));
    }
    EXPECT_THAT(text, testing::StartsWith("Device: "));
    EXPECT_THAT(text, HasSubstr("\nReason: "));
    EXPECT_THAT(text, HasSubstr("\nRemedy: "));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Diagnosis,
    testing::Values(
        DiagnosisCase{"NothingAtThePathListsThePresentDevices",
                      [](FakeSystemTree& t) {
                          AddFtdi(t);
                          t.AddSerialCorePort("ttyS0", "0");
                      },
                      "@ttyS3",
                      ENOENT,
                      PortFailure::Missing,
                      {"Device: @ttyS3\n", "Nothing is at this path",
                       "Options > Configuration > Devices:\n  @ttyUSB0 - FTDI FT232R USB UART "
                       "(serial A50285BI)"}},
        DiagnosisCase{"NothingAnywhere",
                      [](FakeSystemTree&) {},
                      "@ttyUSB0",
                      ENOENT,
                      PortFailure::Missing,
                      {"No serial devices are present now", "Options > Configuration > Devices."}},
        DiagnosisCase{"ANameWithoutAPath",
                      [](FakeSystemTree&) {},
                      "COM-1",
                      ENOENT,
                      PortFailure::Missing,
                      {"Device: COM-1\n", "set to no device path"}},
        DiagnosisCase{"NoPathAtAll",
                      [](FakeSystemTree&) {},
                      "",
                      0,
                      PortFailure::Missing,
                      {"Device: (none)\n"}},
        DiagnosisCase{"NodeWithoutADeviceBehindIt",
                      [](FakeSystemTree&) {},
                      "/dev/null",
                      ENXIO,
                      PortFailure::Missing,
                      {"no device answers behind it"}},
        // The hardware fact outweighs the error: adding the user to a group would not help.
        DiagnosisCase{"BuiltInPortWithoutUart",
                      [](FakeSystemTree& t) { NullIs(t, t.AddSerialCorePort("ttyS0", "0")); },
                      "/dev/null",
                      EACCES,
                      PortFailure::NoHardware,
                      {"no serial port hardware (UART)", "Use a USB serial adapter."}},
        DiagnosisCase{"IoErrorOnAListedDeviceIsToldAsTheSystemSaysIt",
                      [](FakeSystemTree& t) { NullIs(t, t.AddUsbSerial("ttyUSB0", {})); },
                      "/dev/null",
                      EIO,
                      PortFailure::Other,
                      {"Input/output error (error 5)"}},
        DiagnosisCase{"NotATerminal",
                      [](FakeSystemTree&) {},
                      "/dev/null",
                      ENOTTY,
                      PortFailure::NotATerminal,
                      {"not a serial device (it is not a terminal)"}},
        DiagnosisCase{"RegularFile",
                      [](FakeSystemTree& t) { t.WriteFile("dev/file", ""); },
                      "@file",
                      EBUSY,
                      PortFailure::NotATerminal,
                      {"not a serial device"}},
        DiagnosisCase{"Console",
                      [](FakeSystemTree& t) { NullIs(t, t.AddVirtualTty("console")); },
                      "/dev/null",
                      EBUSY,
                      PortFailure::NotATerminal,
                      {"console or virtual terminal, not a serial port"}},
        DiagnosisCase{
            "HeldByALockHolder",
            [](FakeSystemTree& t) {
                NullLockedBy(t, 4711);
                t.AddProcess(4711, "minicom");
            },
            "/dev/null",
            EBUSY,
            PortFailure::Held,
            {"Another program is using the device: minicom (process 4711).", "Close that program"}},
        DiagnosisCase{"HeldWithoutAnError",
                      [](FakeSystemTree& t) { t.AddProcess(4242, "chirp", "/dev/null"); },
                      "/dev/null",
                      0,
                      PortFailure::Held,
                      {"chirp (process 4242)"}},
        DiagnosisCase{"HeldByNobodyToBeSeen",
                      [](FakeSystemTree&) {},
                      "/dev/null",
                      EBUSY,
                      PortFailure::Held,
                      {"could not be found out"}},
        DiagnosisCase{"RefusedSettings",
                      [](FakeSystemTree&) {},
                      "/dev/null",
                      EINVAL,
                      PortFailure::Other,
                      {"The system reported: Invalid argument (error 22)."}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Diagnosis, ManyDevicesAreCutShort) {
    FakeSystemTree tree;
    for (int i = 0; i < 11; ++i) {
        tree.AddSerialCorePort("ttyS" + std::to_string(i), "4");
    }
    const std::string text = DescribePortFailure(tree.Dev("ttyUSB0"), ENOENT, tree.Paths());
    EXPECT_THAT(text, AllOf(HasSubstr("ttyS7 - Serial port (16550A UART)"),
                            Not(HasSubstr("ttyS8 -")), HasSubstr("... and 3 more")));
}

}  // namespace
}  // namespace varnel
