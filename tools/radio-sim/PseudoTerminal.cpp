#include "tools/radio-sim/PseudoTerminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varnel::sim {

namespace {

std::string Failed(const char* step) {
    return std::string(step) + ": " + std::strerror(errno);
}

}  // namespace

PseudoTerminal::~PseudoTerminal() {
    Close();
}

bool PseudoTerminal::Open(std::string& error) {
    Close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        error = Failed("posix_openpt");
        return false;
    }
    // The tool's tests fork other programs; they must not inherit our end of the line.
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    char name[256] = {};
    if (grantpt(m_master) != 0) {
        error = Failed("grantpt");
    } else if (unlockpt(m_master) != 0) {
        error = Failed("unlockpt");
    } else if (ptsname_r(m_master, name, sizeof name) != 0) {
        error = Failed("ptsname_r");
    }
    if (!error.empty()) {
        Close();
        return false;
    }
    m_slavePath = name;
    // No flock on this descriptor: the tool takes an exclusive flock on the slave when it opens
    // the port, and a lock of ours would make every open fail as "held by another program".
    m_slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        error = Failed("open slave");
        Close();
        return false;
    }
    // Raw both ways: 0x0D, 0x11, 0x13, 0x7F and 0xFF are data on this line, not CR, XON, XOFF,
    // erase or a parity mark, and the pty must not echo what we write (the echo is ours to make).
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0) {
        error = Failed("tcgetattr");
        Close();
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0) {
        error = Failed("tcsetattr");
        Close();
        return false;
    }
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = Failed("fcntl O_NONBLOCK");
        Close();
        return false;
    }
    return true;
}

void PseudoTerminal::Close() {
    if (m_master >= 0) {
        close(m_master);
        m_master = -1;
    }
    if (m_slave >= 0) {
        close(m_slave);
        m_slave = -1;
    }
    m_slavePath.clear();
}

}  // namespace varnel::sim
