// Judging and explaining port failures against real pseudo-terminals, held or refused by
// other processes.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <ostream>
#include <string>

#include "link/DeviceProbe.h"
#include "link/PortDiagnosis.h"
#include "link/SerialPort.h"

namespace varnel {
namespace {

using testing::HasSubstr;

// A pseudo-terminal whose far end this process keeps; the near end is left to the test.
class Pty {
public:
    Pty() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0) {
            m_path = ::ptsname(m_master);
        }
    }
    ~Pty() {
        if (m_master >= 0)
            ::close(m_master);
    }
    const std::string& Path() const { return m_path; }

private:
    int m_master = -1;
    std::string m_path;
};

// Runs body in a child process and gives back what it returned, once the child has ended.
std::string InChild(const std::function<std::string()>& body) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(out[0]);
        const std::string result = body();
        std::size_t done = 0;
        while (done < result.size()) {
            const ssize_t n = ::write(out[1], result.data() + done, result.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(out[1]);
    std::string result;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        result.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return result;
}

// A child that opens the device, takes a lock on it if asked, and keeps it until released.
class Holder {
public:
    Holder(const std::string& device, bool lock) {
        int ready[2], release[2];
        if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(release, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            ::prctl(PR_SET_NAME, "radio-holder");
            const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
            if (fd < 0 || (lock && ::flock(fd, LOCK_EX | LOCK_NB) != 0))
                ::_exit(1);
            if (!lock)
                ::ioctl(fd, TIOCEXCL);  // as some terminal programs do
            (void)!::write(ready[1], "!", 1);
            char c;
            (void)!::read(release[0], &c, 1);  // until the test closes its end
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        char c = 0;
        m_ready = ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
    }
    ~Holder() { Release(); }
    bool Ready() const { return m_ready; }
    pid_t Pid() const { return m_pid; }
    void Release() {
        if (m_release >= 0) {
            ::close(m_release);
            m_release = -1;
            ::waitpid(m_pid, nullptr, 0);
        }
    }

private:
    pid_t m_pid = -1;
    int m_release = -1;
    bool m_ready = false;
};

TEST(DeviceAccess, AProgramHoldingALockIsNamedAndTheDeviceFreesWhenItEnds) {
    Pty pty;
    ASSERT_FALSE(pty.Path().empty());
    EXPECT_EQ(ProbeDevice(pty.Path()), PortPresence::Present);
    Holder holder(pty.Path(), true);
    ASSERT_TRUE(holder.Ready());

    EXPECT_EQ(ProbeDevice(pty.Path()), PortPresence::Unavailable);
    const auto lockHolder = FindLockHolder(pty.Path());
    ASSERT_TRUE(lockHolder);
    EXPECT_EQ(lockHolder->pid, holder.Pid());
    EXPECT_EQ(lockHolder->program, "radio-holder");

    CSerialPort port;
    EXPECT_FALSE(port.Open(pty.Path()));
    EXPECT_EQ(port.LastError(), EBUSY);
    EXPECT_EQ(DiagnosePortFailure(pty.Path(), port.LastError()), PortFailure::Held);
    EXPECT_THAT(DescribePortFailure(pty.Path(), port.LastError()),
                HasSubstr("radio-holder (process " + std::to_string(holder.Pid()) + ")"));

    holder.Release();
    EXPECT_EQ(ProbeDevice(pty.Path()), PortPresence::Present);
    EXPECT_TRUE(port.Open(pty.Path()));
    // Our own lock shows, too: a second look while we hold the port sees it taken.
    EXPECT_EQ(ProbeDevice(pty.Path()), PortPresence::Unavailable);
}

// Without a lock the probe cannot see the holder; once an open fails, its open files tell.
TEST(DeviceAccess, AProgramWithoutALockIsFoundByItsOpenFilesOnly) {
    Pty pty;
    ASSERT_FALSE(pty.Path().empty());
    Holder holder(pty.Path(), false);
    ASSERT_TRUE(holder.Ready());
    EXPECT_EQ(ProbeDevice(pty.Path()), PortPresence::Present);
    EXPECT_FALSE(FindLockHolder(pty.Path()));
    const auto opener = FindPortHolder(pty.Path());
    ASSERT_TRUE(opener);
    EXPECT_EQ(opener->pid, holder.Pid());
    EXPECT_THAT(DescribePortFailure(pty.Path(), EBUSY),
                HasSubstr("radio-holder (process " + std::to_string(holder.Pid()) + ")"));
}

enum class DeviceGroup { Dialout, NobodysOwn, Root };
enum class ChildGroups { None, DialoutOnly };

struct PermissionCase {
    const char* name;
    DeviceGroup group;
    mode_t mode;
    ChildGroups childGroups;
    std::vector<std::string> says;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const PermissionCase& c, std::ostream* os) {
    *os << c.name;
}

class PermissionDenied : public testing::TestWithParam<PermissionCase> {};

// The device belongs to root and a group; a child drops to the user "nobody" with chosen
// groups and tries it, the way a technician's session would.
TEST_P(PermissionDenied, NamesTheGroupAndWhatTheUserMustDo) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to hand a device to a group and drop to another user";
    }
    const passwd* nobody = ::getpwnam("nobody");
    const group* dialout = ::getgrnam("dialout");
    if (nobody == nullptr || dialout == nullptr || nobody->pw_uid == 0) {
        GTEST_SKIP() << "needs the user nobody and the group dialout";
    }
    const uid_t nobodyUid = nobody->pw_uid;
    const gid_t nobodyGid = nobody->pw_gid;
    const gid_t dialoutGid = dialout->gr_gid;

    Pty pty;
    ASSERT_FALSE(pty.Path().empty());
    const PermissionCase& c = GetParam();
    const gid_t deviceGid = c.group == DeviceGroup::Dialout      ? dialoutGid
                            : c.group == DeviceGroup::NobodysOwn ? nobodyGid
                                                                 : 0;
    ASSERT_EQ(::chown(pty.Path().c_str(), 0, deviceGid), 0);
    ASSERT_EQ(::chmod(pty.Path().c_str(), c.mode), 0);

    const std::string report = InChild([&]() -> std::string {
        // Session groups are fixed at login; the account's may have changed since.
        const gid_t sessionGid = c.childGroups == ChildGroups::DialoutOnly ? dialoutGid : nobodyGid;
        if (::setgroups(0, nullptr) != 0 || ::setgid(sessionGid) != 0 || ::setuid(nobodyUid) != 0) {
            return "could not drop privileges";
        }
        CSerialPort port;
        const bool opened = port.Open(pty.Path());
        return std::string(opened ? "opened" : "refused") + "\n" +
               std::to_string(port.LastError()) + "\n" +
               std::to_string(static_cast<int>(ProbeDevice(pty.Path()))) + "\n" +
               DescribePortFailure(pty.Path(), port.LastError());
    });

    EXPECT_THAT(report,
                testing::StartsWith("refused\n" + std::to_string(EACCES) + "\n" +
                                    std::to_string(static_cast<int>(PortPresence::Unavailable)) +
                                    "\nDevice: " + pty.Path() + "\n"));
    for (const std::string& piece : c.says) {
        EXPECT_THAT(report, HasSubstr(piece));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PermissionDenied,
    testing::Values(PermissionCase{"NotInTheGroup",
                                   DeviceGroup::Dialout,
                                   0660,
                                   ChildGroups::None,
                                   {"belongs to the group \"dialout\", and you are not a member",
                                    "log out and log in again:\n  sudo usermod -aG dialout $USER"}},
                    // nobody's account has its own group; this session was started without it.
                    PermissionCase{"AddedAfterThisSessionStarted",
                                   DeviceGroup::NobodysOwn,
                                   0660,
                                   ChildGroups::DialoutOnly,
                                   {"this session started before you were added",
                                    "Remedy: Log out and log in again"}},
                    PermissionCase{
                        "GroupMayNotWrite",
                        DeviceGroup::Dialout,
                        0640,
                        ChildGroups::DialoutOnly,
                        {"Its group \"dialout\" may not read and write it (its permissions are "
                         "crw-r-----)"}},
                    PermissionCase{"RootOnly",
                                   DeviceGroup::Root,
                                   0660,
                                   ChildGroups::None,
                                   {"only the administrator may open it"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnel
