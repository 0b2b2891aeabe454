#include "link/CancelToken.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace varnel {

#ifdef _WIN32

CancelToken::CancelToken() : m_event(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CancelToken::~CancelToken() {
    if (m_event != nullptr) {
        ::CloseHandle(m_event);
    }
}

void CancelToken::Cancel() noexcept {
    m_cancelled.store(true, std::memory_order_release);
    if (m_event != nullptr) {
        ::SetEvent(m_event);
    }
}

#else

CancelToken::CancelToken() {
    if (::pipe(m_pipe) == 0) {
        for (int fd : m_pipe) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    } else {
        // Without the pipe a cancel is still seen, only after the read under way times out.
        m_pipe[0] = m_pipe[1] = -1;
    }
}

CancelToken::~CancelToken() {
    for (int fd : m_pipe) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void CancelToken::Cancel() noexcept {
    m_cancelled.store(true, std::memory_order_release);
    if (m_pipe[1] >= 0) {
        const char wake = 1;
        // One byte is enough to keep the read end readable for good; a full pipe already is.
        [[maybe_unused]] const auto written = ::write(m_pipe[1], &wake, 1);
    }
}

#endif

}  // namespace varnel
