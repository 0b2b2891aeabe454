#include "link/OverlappedRead.h"

namespace varnel {
namespace {

class SystemCalls final : public IReadCompletion {
public:
    DWORD WaitAny(const HANDLE* handles, DWORD count, DWORD ms) override {
        return ::WaitForMultipleObjects(count, handles, FALSE, ms);
    }
    void Cancel(HANDLE comm, OVERLAPPED& ov) override { ::CancelIoEx(comm, &ov); }
    bool Collect(HANDLE comm, OVERLAPPED& ov, DWORD& got, DWORD& error) override {
        got = 0;
        if (::GetOverlappedResult(comm, &ov, &got, FALSE)) {
            error = 0;
            return true;
        }
        error = ::GetLastError();
        return false;
    }
};

}  // namespace

IReadCompletion& SystemReadCompletion() {
    static SystemCalls calls;
    return calls;
}

PendingReadEnd FinishPendingRead(IReadCompletion& calls, HANDLE comm, OVERLAPPED& ov, HANDLE cancel,
                                 DWORD readMs, DWORD cancelMs) {
    PendingReadEnd end;
    const HANDLE waits[] = {ov.hEvent, cancel};
    // A failed wait counts as a read that did not end in time: it is cancelled all the same.
    const DWORD woke = calls.WaitAny(waits, cancel != nullptr ? 2 : 1, readMs);
    const bool cancelledHere = woke != WAIT_OBJECT_0;
    if (cancelledHere) {
        calls.Cancel(comm, ov);
        // The system owns the buffer and the block until it hands the read back, and the event
        // tells when it has. A driver that does not within the bound has the read for good.
        if (calls.WaitAny(&ov.hEvent, 1, cancelMs) != WAIT_OBJECT_0) {
            end.abandoned = true;
            end.error = ERROR_IO_DEVICE;
            return end;
        }
    }
    DWORD error = 0;
    // A cancelled or failed read still tells how many bytes it delivered before it ended.
    if (!calls.Collect(comm, ov, end.got, error)) {
        // A read this side cancelled is no fault of the device.
        if (!(cancelledHere && error == ERROR_OPERATION_ABORTED)) {
            end.error = error;
        }
    }
    return end;
}

}  // namespace varnel
