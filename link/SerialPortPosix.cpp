#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "link/SerialPort.h"

namespace varnel {
namespace {

constexpr int kReadTimeoutMs = 1000;     // the whole of a read
constexpr int kIntervalTimeoutMs = 250;  // between two bytes of a longer read
constexpr int kWriteStallMs = 1000;      // longest wait for room in a full output queue

std::int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

enum class WaitResult { Readable, TimedOut, Failed, Cancelled };

// Waits until fd has a byte to read, deadline passes or cancelFd (when not -1) becomes readable,
// restarting after signals. A negative fd waits for the deadline or the cancel alone.
WaitResult WaitReadable(int fd, std::int64_t deadline, int cancelFd) {
    for (;;) {
        const std::int64_t now = MonotonicMs();
        if (now >= deadline) {
            return WaitResult::TimedOut;
        }
        pollfd pfd[2] = {{fd, POLLIN, 0}, {cancelFd, POLLIN, 0}};
        int rc = ::poll(pfd, 2, static_cast<int>(deadline - now));
        if (rc < 0) {
            if (errno == EINTR) {
                continue;
            }
            return WaitResult::Failed;
        }
        if (rc == 0) {
            continue;  // re-checks the deadline: poll may wake a millisecond early
        }
        if (pfd[1].revents != 0) {
            return WaitResult::Cancelled;
        }
        if (pfd[0].revents & POLLIN) {
            return WaitResult::Readable;
        }
        return WaitResult::Failed;  // POLLHUP, POLLERR or POLLNVAL: the line is gone
    }
}

// Holds DTR and RTS inactive.
void DropModemLines(int fd) {
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);
}

}  // namespace

struct CSerialPort::Found {
    termios settings;
};

CSerialPort::CSerialPort() : m_hComm(-1) {}

CSerialPort::~CSerialPort() {
    if (IsOpen()) {
        Close();
    }
}

bool CSerialPort::IsOpen() const {
    return m_hComm != -1;
}

bool CSerialPort::Open(const std::string& device) {
    if (IsOpen()) {
        Close();
    }
    // A name that maps to no device path must not be looked up in whatever the current folder
    // happens to be.
    if (device.empty() || device.front() != '/') {
        m_lastError = ENOENT;
        return false;
    }
    // Non-blocking so that neither a missing carrier nor a full queue can stall the open or a
    // write; reads wait in poll() instead.
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_lastError = errno;
        return false;
    }
    // The open has just raised DTR and RTS; a radio cable may key the transmitter or reset the
    // radio on them, so they go down before anything else happens, even when another program
    // turns out to hold the device: inactive is the state in which a cable is safe.
    // Pseudo-terminals refuse the request, which is harmless.
    DropModemLines(fd);
    // TIOCEXCL alone is racy (two openers can both get in before either sets it) and does not
    // stop a second opener running as root; an advisory lock on the open file closes both gaps.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_lastError = (errno == EWOULDBLOCK) ? EBUSY : errno;
        ::close(fd);
        return false;
    }
    m_hComm = fd;
    m_lastError = 0;
    ::ioctl(fd, TIOCEXCL);

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        m_lastError = errno;
        return false;  // open but unusable: not a serial device
    }
    m_pFound = std::make_unique<Found>(Found{tio});
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    // HUPCL stays as the device had it: where it is set, the last close drops DTR and RTS,
    // and clearing it would leave every later opener's lines raised after its close.
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP | PARMRK | IGNPAR);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::tcflush(fd, TCIOFLUSH);

    const bool configured = ::tcsetattr(fd, TCSANOW, &tio) == 0;
    const int configureError = errno;
    // A port that another program left at B0 raises DTR and RTS again when it gets a speed.
    DropModemLines(fd);
    if (!configured) {
        m_lastError = configureError;
        return false;
    }
    // Whatever arrived before this exchange began belongs to no frame of it.
    ::tcflush(fd, TCIOFLUSH);
    return true;
}

void CSerialPort::Close() {
    if (!IsOpen()) {
        return;
    }
    ::tcflush(m_hComm, TCIOFLUSH);
    // The settings live on the terminal too and outlast this descriptor: another program (a
    // shell on a console, a simulated radio on a pseudo-terminal) gets back what it had. A
    // terminal that refuses them is being closed all the same.
    if (m_pFound) {
        ::tcsetattr(m_hComm, TCSANOW, &m_pFound->settings);
        m_pFound.reset();
    }
    // Exclusive mode lives on the terminal, not on this descriptor: left set, it would refuse
    // the next open while another holder (a simulated radio, say) keeps the terminal alive.
    ::ioctl(m_hComm, TIOCNXCL);
    ::close(m_hComm);  // also releases the lock
    m_hComm = -1;
}

void CSerialPort::PurgeInput() {
    if (IsOpen()) {
        ::tcflush(m_hComm, TCIFLUSH);
    }
}

std::uint32_t CSerialPort::Read(std::uint8_t* buffer, std::uint32_t count) {
    if (!IsOpen() || buffer == nullptr || count == 0) {
        return 0;
    }
    const std::int64_t start = MonotonicMs();
    const std::int64_t totalDeadline = start + kReadTimeoutMs;
    const int cancelFd = m_pCancel != nullptr ? m_pCancel->WaitHandle() : -1;
    // After a read error the rest of the timeout is slept away without touching the device, so
    // that a failing line costs as much time as a silent one instead of returning at once, which
    // would make every caller that reads until a deadline spin.
    auto sleepOut = [&] { WaitReadable(-1, totalDeadline, cancelFd); };
    std::uint32_t got = 0;
    while (got < count) {
        std::int64_t deadline = totalDeadline;
        if (got > 0) {
            deadline = std::min(deadline, MonotonicMs() + kIntervalTimeoutMs);
        }
        WaitResult w = WaitReadable(m_hComm, deadline, cancelFd);
        if (w == WaitResult::TimedOut || w == WaitResult::Cancelled) {
            break;
        }
        if (w == WaitResult::Failed) {
            if (got == 0) {
                sleepOut();
            }
            break;
        }
        ssize_t n = ::read(m_hComm, buffer + got, count - got);
        if (n > 0) {
            got += static_cast<std::uint32_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        } else {
            // EIO (an adapter pulled out) or end of file: as silent as a dead line.
            if (got == 0) {
                sleepOut();
            }
            break;
        }
    }
    return got;
}

std::uint32_t CSerialPort::Write(const std::uint8_t* buffer, std::uint32_t count) {
    if (!IsOpen() || buffer == nullptr) {
        return 0;
    }
    std::uint32_t done = 0;
    while (done < count) {
        ssize_t n = ::write(m_hComm, buffer + done, count - done);
        if (n > 0) {
            done += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            // The output queue is full: wait for room rather than drop a byte of a frame.
            pollfd pfd{m_hComm, POLLOUT, 0};
            if (::poll(&pfd, 1, kWriteStallMs) > 0 && (pfd.revents & POLLOUT)) {
                continue;
            }
        }
        break;
    }
    return done;
}

int CSerialPort::ReadByte() {
    std::uint8_t b = 0;
    return Read(&b, 1) == 1 ? static_cast<int>(b) : -1;
}

int CSerialPort::WriteByte(int value) {
    const std::uint8_t b = static_cast<std::uint8_t>(value & 0xFF);
    return Write(&b, 1) == 1 ? value : -1;
}

std::string CSerialPort::LineFault() const {
    return {};
}

}  // namespace varnel
