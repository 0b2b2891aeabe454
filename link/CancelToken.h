#pragma once

#include <atomic>

namespace varnel {

// Asks a running exchange to stop: the user pressed Cancel, or the process was told to quit.
// Cancel() may be called from any thread and from a signal handler. The serial port watches the
// token while it waits for a byte, so a cancelled exchange stops within moments instead of
// waiting out a read timeout; the link then sends nothing more.
class CancelToken {
public:
    CancelToken();
    ~CancelToken();
    CancelToken(const CancelToken&) = delete;
    CancelToken& operator=(const CancelToken&) = delete;

    // Async-signal-safe: an atomic store and, on POSIX, one write to a pipe.
    void Cancel() noexcept;
    bool IsCancelled() const noexcept { return m_cancelled.load(std::memory_order_acquire); }

#ifdef _WIN32
    // A manual-reset event, signalled once cancelled: wait on it beside the device.
    void* WaitHandle() const noexcept {
        return m_event;
    }
#else
    // Readable once cancelled: poll it beside the device.
    int WaitHandle() const noexcept {
        return m_pipe[0];
    }
#endif

private:
    std::atomic<bool> m_cancelled{false};
#ifdef _WIN32
    void* m_event = nullptr;
#else
    int m_pipe[2] = {-1, -1};
#endif
};

}  // namespace varnel
