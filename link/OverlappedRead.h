#pragma once

// Built on Windows only: the serial port's source and its tests include it.
#include <windows.h>

namespace varnel {

// The calls that wait for, cancel and collect a read the system left pending: the system's own
// in the port; in tests, a driver that misbehaves as real ones do and Wine's never does (one
// that keeps a cancelled read for good).
class IReadCompletion {
public:
    virtual ~IReadCompletion() = default;
    // As WaitForMultipleObjects for any one of count handles, for at most ms.
    virtual DWORD WaitAny(const HANDLE* handles, DWORD count, DWORD ms) = 0;
    // As CancelIoEx for this read.
    virtual void Cancel(HANDLE comm, OVERLAPPED& ov) = 0;
    // As GetOverlappedResult without waiting: the bytes the read delivered, and false with error
    // set when it failed.
    virtual bool Collect(HANDLE comm, OVERLAPPED& ov, DWORD& got, DWORD& error) = 0;
};

// The system's calls.
IReadCompletion& SystemReadCompletion();

// How a pending read ended.
struct PendingReadEnd {
    DWORD got = 0;
    // Why it failed, worth telling the user; 0 when it did not, or when this side cancelled it.
    DWORD error = 0;
    // The driver kept the read after it was cancelled: its buffer, its control block and its
    // event still belong to the system, which may write to them at any later time.
    bool abandoned = false;
};

// Waits for the read ov that ReadFile left pending on comm: at most readMs, or until cancel
// (which may be null) is signalled. A read still pending then is cancelled and waited for at
// most cancelMs more, so that no driver can hold the exchange, or the window, for good.
PendingReadEnd FinishPendingRead(IReadCompletion& calls, HANDLE comm, OVERLAPPED& ov, HANDLE cancel,
                                 DWORD readMs, DWORD cancelMs);

}  // namespace varnel
