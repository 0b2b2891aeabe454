// Judging a device without opening it, against made-up sysfs and /proc trees. /dev/null
// stands in for the device: a character device that every user may read and write.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "link/DeviceProbe.h"
#include "link/PortDiagnosis.h"
#include "tests/support/FakeSystemTree.h"

namespace varnel {
namespace {

using test::FakeSystemTree;

struct ErrorSorting {
    int err;
    PortPresence presence;
    PortFailure failure;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ErrorSorting& c, std::ostream* os) {
    *os << "errno " << c.err;
}

class OpenErrors : public testing::TestWithParam<ErrorSorting> {};

// Missing ports are left out of the port list; every other failure still lists the port so
// that choosing it leads to a message that says what is wrong.
TEST_P(OpenErrors, SortIntoPresenceAndReason) {
    EXPECT_EQ(PresenceFromOpenError(GetParam().err), GetParam().presence);
    if (GetParam().err != 0) {
        EXPECT_EQ(PortFailureFromError(GetParam().err), GetParam().failure);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, OpenErrors,
    testing::Values(ErrorSorting{0, PortPresence::Present, PortFailure::Other},
                    ErrorSorting{ENOENT, PortPresence::Missing, PortFailure::Missing},
                    ErrorSorting{ENOTDIR, PortPresence::Missing, PortFailure::Missing},
                    ErrorSorting{ENODEV, PortPresence::Missing, PortFailure::Missing},
                    ErrorSorting{ENXIO, PortPresence::Missing, PortFailure::Missing},
                    ErrorSorting{EIO, PortPresence::Missing, PortFailure::NoHardware},
                    ErrorSorting{EACCES, PortPresence::Unavailable, PortFailure::PermissionDenied},
                    ErrorSorting{EPERM, PortPresence::Unavailable, PortFailure::PermissionDenied},
                    ErrorSorting{EBUSY, PortPresence::Unavailable, PortFailure::Held},
                    ErrorSorting{EWOULDBLOCK, PortPresence::Unavailable, PortFailure::Held},
                    ErrorSorting{ENOTTY, PortPresence::Unavailable, PortFailure::NotATerminal},
                    ErrorSorting{EINVAL, PortPresence::Unavailable, PortFailure::Other},
                    ErrorSorting{EMFILE, PortPresence::Unavailable, PortFailure::Other}),
    [](const auto& info) { return "errno" + std::to_string(info.param.err); });

// The /proc/locks line for a lock on /dev/null's node.
std::string LockLineOnNull(const std::string& kind, long pid, bool waiting = false) {
    struct stat st {};
    ::stat("/dev/null", &st);
    char line[160];
    std::snprintf(line, sizeof line, "1: %s%s  ADVISORY  WRITE %ld %02x:%02x:%llu 0 EOF\n",
                  waiting ? "-> " : "", kind.c_str(), pid, major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    return line;
}

// Points /dev/null's numbers in the fake sysfs at a class directory of the caller's making.
void NullIs(FakeSystemTree& tree, const std::string& classDir) {
    struct stat st {};
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    tree.AddCharNumbers(major(st.st_rdev), minor(st.st_rdev), classDir);
}

struct ProbeCase {
    const char* name;
    std::function<void(FakeSystemTree&)> setUp;
    PortPresence presence;
    DeviceBacking backing;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ProbeCase& c, std::ostream* os) {
    *os << c.name;
}

class ProbeWithoutOpening : public testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeWithoutOpening, JudgesByTheDeviceTreeAndLocks) {
    FakeSystemTree tree;
    GetParam().setUp(tree);
    EXPECT_EQ(ProbeDevice("/dev/null", tree.Paths()), GetParam().presence);
    EXPECT_EQ(DeviceBackingOf("/dev/null", tree.Paths()), GetParam().backing);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProbeWithoutOpening,
    testing::Values(
        // Pseudo-terminals have no sysfs entry, and without sysfs there is nothing to go by.
        ProbeCase{"Unlisted", [](FakeSystemTree&) {}, PortPresence::Present,
                  DeviceBacking::Unlisted},
        ProbeCase{"UartPresent",
                  [](FakeSystemTree& t) { NullIs(t, t.AddSerialCorePort("ttyS0", "4")); },
                  PortPresence::Present, DeviceBacking::Hardware},
        ProbeCase{"UartUnknown",
                  [](FakeSystemTree& t) { NullIs(t, t.AddSerialCorePort("ttyS1", "0")); },
                  PortPresence::Missing, DeviceBacking::NoUart},
        ProbeCase{
            "UsbAdapter",
            [](FakeSystemTree& t) { NullIs(t, t.AddUsbSerial("ttyUSB0", {.productName = "X"})); },
            PortPresence::Present, DeviceBacking::Hardware},
        ProbeCase{"VirtualTerminal", [](FakeSystemTree& t) { NullIs(t, t.AddVirtualTty("tty1")); },
                  PortPresence::Missing, DeviceBacking::Virtual},
        ProbeCase{"NotATerminal",
                  [](FakeSystemTree& t) {
                      t.WriteFile("sys/devices/virtual/mem/null/dev", "1:3\n");
                      t.Link("sys/devices/virtual/mem/null/subsystem", "sys/class/mem");
                      NullIs(t, "sys/devices/virtual/mem/null");
                  },
                  PortPresence::Unavailable, DeviceBacking::NotTerminal},
        ProbeCase{
            "FlockHeld",
            [](FakeSystemTree& t) { t.WriteFile("proc/locks", LockLineOnNull("FLOCK", 4711)); },
            PortPresence::Unavailable, DeviceBacking::Unlisted},
        ProbeCase{"PosixLockHeld",
                  [](FakeSystemTree& t) {
                      t.WriteFile("proc/locks",
                                  "garbage\n\n1: FLOCK\n" + LockLineOnNull("POSIX", 4711));
                  },
                  PortPresence::Unavailable, DeviceBacking::Unlisted},
        ProbeCase{"OnlyAWaiter",
                  [](FakeSystemTree& t) {
                      t.WriteFile("proc/locks", LockLineOnNull("FLOCK", 4711, true));
                  },
                  PortPresence::Present, DeviceBacking::Unlisted},
        ProbeCase{
            "LeaseIsNoClaim",
            [](FakeSystemTree& t) { t.WriteFile("proc/locks", LockLineOnNull("LEASE", 4711)); },
            PortPresence::Present, DeviceBacking::Unlisted},
        ProbeCase{"LockOnAnotherFile",
                  [](FakeSystemTree& t) {
                      t.WriteFile(
                          "proc/locks",
                          "1: FLOCK  ADVISORY  WRITE 4711 00:05:1 0 EOF\n"
                          "2: FLOCK  ADVISORY  WRITE 4711 zz:05:1 0 EOF\n"
                          "3: FLOCK  ADVISORY  WRITE 4711 00:05:99999999999999999999999 0 EOF\n");
                  },
                  PortPresence::Present, DeviceBacking::Unlisted}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProbeDevice, PathsThatLeadToNoDeviceAreMissingAndOthersUnavailable) {
    FakeSystemTree tree;
    tree.WriteFile("dev/regular", "");
    EXPECT_EQ(ProbeDevice("", tree.Paths()), PortPresence::Missing);
    EXPECT_EQ(ProbeDevice(tree.Dev("ttyUSB9"), tree.Paths()), PortPresence::Missing);
    EXPECT_EQ(ProbeDevice(tree.Dev("regular/ttyS0"), tree.Paths()), PortPresence::Missing);
    EXPECT_EQ(ProbeDevice(tree.Dev("regular"), tree.Paths()), PortPresence::Unavailable);
    EXPECT_EQ(ProbeDevice(tree.Dev(""), tree.Paths()), PortPresence::Unavailable);  // a folder
}

TEST(ProbeDevice, ARelativeNameIsNeverLookedUpInTheCurrentFolder) {
    FakeSystemTree tree;
    tree.LinkOutside("cwd/COM-1", "/dev/null");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(tree.Root() / "cwd");
    const PortPresence relative = ProbeDevice("COM-1", tree.Paths());
    const PortPresence dotted = ProbeDevice("./COM-1", tree.Paths());
    std::filesystem::current_path(before);
    EXPECT_EQ(relative, PortPresence::Missing);
    EXPECT_EQ(dotted, PortPresence::Missing);
    EXPECT_EQ(ProbeDevice((tree.Root() / "cwd/COM-1").string(), tree.Paths()),
              PortPresence::Present);
}

TEST(PortHolder, LockHolderIsNamedFromProc) {
    FakeSystemTree tree;
    tree.WriteFile("proc/locks", LockLineOnNull("OFDLCK", -1) + LockLineOnNull("FLOCK", 4711));
    tree.AddProcess(4711, "minicom");
    auto holder = FindLockHolder("/dev/null", tree.Paths());
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->pid, 4711);
    EXPECT_EQ(holder->program, "minicom");
    EXPECT_EQ(FindPortHolder("/dev/null", tree.Paths())->program, "minicom");
}

TEST(PortHolder, AHolderThatEndedLeavesItsNumberAndAnOpenerIsFoundByItsFiles) {
    FakeSystemTree tree;
    tree.WriteFile("proc/locks", LockLineOnNull("FLOCK", 4711));
    auto gone = FindLockHolder("/dev/null", tree.Paths());
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->pid, 4711);
    EXPECT_EQ(gone->program, "");
    EXPECT_EQ(FindPortHolder("/dev/null", tree.Paths())->pid, 4711);

    tree.AddProcess(4800, "bash", "/dev/zero");
    tree.AddProcess(4242, "chirp", "/dev/null");
    auto opener = FindPortHolder("/dev/null", tree.Paths());
    ASSERT_TRUE(opener);
    EXPECT_EQ(opener->pid, 4242);
    EXPECT_EQ(opener->program, "chirp");

    tree.WriteFile("proc/locks", "");
    EXPECT_FALSE(FindLockHolder("/dev/null", tree.Paths()));
    EXPECT_EQ(FindPortHolder("/dev/null", tree.Paths())->pid, 4242);
    EXPECT_FALSE(FindPortHolder("/dev/zero/", tree.Paths()));
    EXPECT_FALSE(FindPortHolder("", tree.Paths()));
}

}  // namespace
}  // namespace varnel
