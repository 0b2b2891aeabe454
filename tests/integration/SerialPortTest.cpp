// CSerialPort against a real pseudo-terminal: the far end plays the radio's side of the line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "link/CancelToken.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "tests/support/ProcessStats.h"

namespace varnel {
namespace {

// The far end of a pseudo-terminal, raw, so every byte passes unchanged.
class PtyPair {
public:
    PtyPair() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
            return;
        }
        m_slavePath = ::ptsname(m_master);
        // Hold the slave open ourselves, so the line stays up between the port's opens.
        m_hold = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        ::tcgetattr(m_hold, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_hold, TCSANOW, &tio);
    }
    ~PtyPair() {
        if (m_hold >= 0)
            ::close(m_hold);
        if (m_master >= 0)
            ::close(m_master);
    }
    const std::string& Path() const { return m_slavePath; }
    int Near() const { return m_hold; }
    void Send(std::initializer_list<unsigned char> bytes) {
        for (unsigned char b : bytes) {
            ASSERT_EQ(::write(m_master, &b, 1), 1);
        }
        ::tcdrain(m_master);
    }
    int ReceiveOne(int timeoutMs = 1000) {
        pollfd pfd{m_master, POLLIN, 0};
        if (::poll(&pfd, 1, timeoutMs) <= 0)
            return -1;
        unsigned char b = 0;
        return ::read(m_master, &b, 1) == 1 ? b : -1;
    }

private:
    int m_master = -1;
    int m_hold = -1;
    std::string m_slavePath;
};

TEST(SerialPort, MissingDeviceFailsAndStaysClosed) {
    CSerialPort port;
    EXPECT_FALSE(port.Open("/nonexistent/ttyVARNEL"));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastError(), ENOENT);
    port.Close();  // harmless
    EXPECT_EQ(DefaultPortDevice("COM1"), "/dev/ttyS0");
    EXPECT_EQ(DefaultPortDevice("COM4"), "/dev/ttyS3");
    EXPECT_EQ(PortNameFromIndex(-1), "COM0");
    EXPECT_EQ(PortNameFromIndex(3), "COM4");
}

TEST(SerialPort, SecondOpenerFailsEvenAsRootAndTheDeviceFreesOnClose) {
    PtyPair pty;
    CSerialPort first, second;
    ASSERT_TRUE(first.Open(pty.Path()));
    EXPECT_FALSE(second.Open(pty.Path()));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.LastError(), EBUSY);
    EXPECT_EQ(ProbePort(pty.Path()), PortPresence::Unavailable);
    first.Close();
    first.Close();  // a second Close does nothing
    EXPECT_EQ(ProbePort(pty.Path()), PortPresence::Present);
    EXPECT_TRUE(second.Open(pty.Path()));  // exclusive mode was released with the port
    EXPECT_EQ(ProbePort("/nonexistent/ttyVARNEL"), PortPresence::Missing);
}

TEST(SerialPort, BytesPassUnchangedAndStaleInputIsDiscardedAtOpen) {
    PtyPair pty;
    {
        CSerialPort warmup;  // sets the line raw once so the stale bytes arrive untouched
        ASSERT_TRUE(warmup.Open(pty.Path()));
    }
    pty.Send({0x42, 0x43});  // before the exchange: belongs to nothing
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty.Path()));
    pty.Send({0x00, 0xFF, 0x0D, 0x11, 0x13, 0x7F});
    for (int expected : {0x00, 0xFF, 0x0D, 0x11, 0x13, 0x7F}) {
        EXPECT_EQ(port.ReadByte(), expected);
    }
    EXPECT_EQ(port.WriteByte(0x50), 0x50);
    EXPECT_EQ(port.WriteByte(0x1FF), 0x1FF);  // low 8 bits go out, the value comes back
    EXPECT_EQ(pty.ReceiveOne(), 0x50);
    EXPECT_EQ(pty.ReceiveOne(), 0xFF);
}

TEST(SerialPort, SilentLineGivesMinusOneAfterAboutOneSecond) {
    PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty.Path()));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.ReadByte(), -1);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    EXPECT_GE(ms, 990);
    EXPECT_LT(ms, 1500);
}

// The user's Cancel comes from another thread while a read waits on a silent line: the read must
// give up then, not a second later when its timeout would end it.
TEST(SerialPort, CancelFromAnotherThreadEndsAWaitingReadAtOnce) {
    PtyPair pty;
    CancelToken cancel;
    CSerialPort port;
    port.SetCancelToken(&cancel);
    ASSERT_TRUE(port.Open(pty.Path()));
    const auto start = std::chrono::steady_clock::now();
    std::thread canceller([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel.Cancel();
    });
    const int read = port.ReadByte();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    canceller.join();
    EXPECT_EQ(read, -1);
    EXPECT_GE(ms, 90);   // it waited for the line until the cancel came
    EXPECT_LT(ms, 600);  // and not out the 1000 ms timeout: a wide margin for a loaded machine
}

TEST(SerialPort, NotATerminalOpensButIsUnusableAndNothingLeaks) {
    const int before = test::OpenDescriptors();
    {
        CSerialPort port;
        EXPECT_FALSE(port.Open("/dev/null"));
        EXPECT_TRUE(port.IsOpen());  // configuration failed; the destructor closes it
    }
    EXPECT_EQ(test::OpenDescriptors(), before);
}

// Where HUPCL is set, the last close of the device drops DTR and RTS; the port must leave it
// as it found it, or every later opener's lines stay raised after its close.
class HangUpOnClose : public testing::TestWithParam<bool> {};

TEST_P(HangUpOnClose, IsLeftAsTheDeviceHadIt) {
    PtyPair pty;
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.Near(), &tio), 0);
    tio.c_cflag = GetParam() ? (tio.c_cflag | HUPCL) : (tio.c_cflag & ~HUPCL);
    ASSERT_EQ(::tcsetattr(pty.Near(), TCSANOW, &tio), 0);
    {
        CSerialPort port;
        ASSERT_TRUE(port.Open(pty.Path()));
        ASSERT_EQ(::tcgetattr(pty.Near(), &tio), 0);
        EXPECT_EQ((tio.c_cflag & HUPCL) != 0, GetParam()) << "while open";
    }
    ASSERT_EQ(::tcgetattr(pty.Near(), &tio), 0);
    EXPECT_EQ((tio.c_cflag & HUPCL) != 0, GetParam()) << "after close";
}

INSTANTIATE_TEST_SUITE_P(Both, HangUpOnClose, testing::Bool(),
                         [](const auto& info) { return info.param ? "Set" : "Clear"; });

// A terminal named as the port gets back at the close what it had at the open: here a line as a
// shell leaves it, cooked, echoing, at another speed.
TEST(SerialPort, TheCloseGivesTheTerminalBackItsSettings) {
    PtyPair pty;
    termios before{};
    ASSERT_EQ(::tcgetattr(pty.Near(), &before), 0);
    before.c_iflag |= ICRNL | IXON;
    before.c_oflag |= OPOST | ONLCR;
    before.c_lflag |= ICANON | ECHO | ISIG;
    before.c_cc[VMIN] = 1;
    ASSERT_EQ(::cfsetispeed(&before, B38400), 0);
    ASSERT_EQ(::cfsetospeed(&before, B38400), 0);
    ASSERT_EQ(::tcsetattr(pty.Near(), TCSANOW, &before), 0);
    ASSERT_EQ(::tcgetattr(pty.Near(), &before), 0);

    auto expectSame = [](const termios& a, const termios& b) {
        EXPECT_EQ(a.c_iflag, b.c_iflag);
        EXPECT_EQ(a.c_oflag, b.c_oflag);
        EXPECT_EQ(a.c_cflag, b.c_cflag);
        EXPECT_EQ(a.c_lflag, b.c_lflag);
        EXPECT_EQ(::cfgetospeed(&a), ::cfgetospeed(&b));
        EXPECT_EQ(::cfgetispeed(&a), ::cfgetispeed(&b));
        EXPECT_EQ(a.c_cc[VMIN], b.c_cc[VMIN]);
        EXPECT_EQ(a.c_cc[VTIME], b.c_cc[VTIME]);
    };
    termios now{};
    CSerialPort port;
    for (int round = 0; round < 2; ++round) {  // a second open finds what the first one left
        SCOPED_TRACE(round);
        ASSERT_TRUE(port.Open(pty.Path()));
        ASSERT_EQ(::tcgetattr(pty.Near(), &now), 0);
        EXPECT_EQ(::cfgetospeed(&now), static_cast<speed_t>(B9600)) << "while open";
        EXPECT_EQ(now.c_lflag & (ICANON | ECHO), 0u) << "while open";
        port.Close();
        ASSERT_EQ(::tcgetattr(pty.Near(), &now), 0);
        expectSame(now, before);
    }
    {
        CSerialPort reopened;  // the destructor closes the same way
        ASSERT_TRUE(reopened.Open(pty.Path()));
        ASSERT_TRUE(reopened.Open(pty.Path()));  // an open on an open port closes it first
    }
    ASSERT_EQ(::tcgetattr(pty.Near(), &now), 0);
    expectSame(now, before);
}

TEST(SerialPort, OpenOnAnOpenPortLetsTheFirstDeviceGo) {
    const int before = test::OpenDescriptors();
    {
        PtyPair first, second;
        CSerialPort port, other;
        ASSERT_TRUE(port.Open(first.Path()));
        ASSERT_TRUE(port.Open(second.Path()));
        EXPECT_TRUE(other.Open(first.Path()));
        EXPECT_FALSE(CSerialPort().Open(second.Path()));
        EXPECT_TRUE(port.Open(second.Path()));  // the same device again
    }
    EXPECT_EQ(test::OpenDescriptors(), before);
}

// "COM-1" maps to no device path; a file of that name in the current folder is not it.
TEST(SerialPort, ANameWithoutADevicePathIsNeverOpenedInTheCurrentFolder) {
    PtyPair pty;
    char folder[] = "/tmp/varnel-cwd-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    std::filesystem::create_symlink(pty.Path(), std::filesystem::path(folder) / "COM-1");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    CSerialPort port;
    const bool openedRelative = port.Open("COM-1");
    const int relativeError = port.LastError();
    const bool openedEmpty = port.Open("");
    std::filesystem::current_path(before);
    std::filesystem::remove_all(folder);
    EXPECT_FALSE(openedRelative);
    EXPECT_EQ(relativeError, ENOENT);
    EXPECT_FALSE(openedEmpty);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.Open("COM0"));  // /dev/ttyS-1: a path, and nothing there
    EXPECT_EQ(port.LastError(), ENOENT);
}

}  // namespace
}  // namespace varnel
