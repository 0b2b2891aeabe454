#include "app/TerminationSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace varnel {
namespace {

// The pipe's writing end, for the handler; -1 while no instance is active.
std::atomic<int> g_writeEnd{-1};

extern "C" void OnTerminationSignal(int signalNumber) {
    const int savedErrno = errno;
    const int fd = g_writeEnd.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a wake-up; losing this byte loses nothing.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

struct CTerminationSignals::Previous {
    int signalNumber;
    struct sigaction action;
};

CTerminationSignals::CTerminationSignals(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent) {
    int ends[2] = {-1, -1};
    if (g_writeEnd.load() >= 0 || ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    m_readEnd = ends[0];
    g_writeEnd.store(ends[1]);
    for (const int signalNumber : signalNumbers) {
        struct sigaction action = {};
        action.sa_handler = OnTerminationSignal;
        sigemptyset(&action.sa_mask);
        // Restarted, so that a read or poll of the exchange does not end early with EINTR; reset
        // after the first, so that a second request ends a program that no longer answers.
        action.sa_flags = SA_RESTART | SA_RESETHAND;
        Previous previous{signalNumber, {}};
        if (::sigaction(signalNumber, &action, &previous.action) == 0) {
            m_previous.push_back(previous);
        }
    }
    m_notifier = new QSocketNotifier(m_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CTerminationSignals::ReadPipe);
}

CTerminationSignals::~CTerminationSignals() {
    for (auto it = m_previous.rbegin(); it != m_previous.rend(); ++it) {
        ::sigaction(it->signalNumber, &it->action, nullptr);
    }
    delete m_notifier;
    if (m_readEnd >= 0) {
        // The handlers are gone, so nothing writes into the pipe any more.
        const int writeEnd = g_writeEnd.exchange(-1);
        ::close(writeEnd);
        ::close(m_readEnd);
    }
}

void CTerminationSignals::ReadPipe() {
    unsigned char bytes[16];
    ssize_t n;
    while ((n = ::read(m_readEnd, bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            emit Received(bytes[i]);
        }
    }
}

}  // namespace varnel
