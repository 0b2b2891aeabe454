// The serial port on Windows: overlapped I/O on the COM device, built only there.
#include <windows.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "link/PortClaim.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"

namespace varnel {
namespace {

constexpr DWORD kReadTimeoutMs = 1000;     // the whole of a read
constexpr DWORD kIntervalTimeoutMs = 250;  // between two bytes of a longer read
// How long past its own timeout a read may stay pending before it is cancelled: a driver that
// ignores the timeouts must not hang the exchange.
constexpr DWORD kReadGraceMs = 1000;
// Writes under way at most. A frame is at most 261 one-byte writes and each frame's echo comes
// back only once all of it has gone out, so this is reached only when the line stalls.
constexpr std::size_t kMaxPendingWrites = 4096;
constexpr DWORD kWriteStallMs = 1000;  // longest wait for the oldest write when that many are
constexpr DWORD kCloseWaitMs = 1000;   // longest wait for aborted writes to hand back their blocks

std::int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Sleeps until deadline. A read that fails or comes back empty at once (an adapter pulled out, a
// device that ignores the read timeouts) is made to last as long as a silent line's, so that
// callers who read again until a deadline do not spin.
// Sleeps until deadline, or until cancel (which may be null) is signalled.
void SleepUntil(std::int64_t deadline, HANDLE cancel) {
    for (std::int64_t now = MonotonicMs(); now < deadline; now = MonotonicMs()) {
        const auto rest = static_cast<DWORD>(deadline - now);
        if (cancel == nullptr) {
            ::Sleep(rest);
        } else if (::WaitForSingleObject(cancel, rest) == WAIT_OBJECT_0) {
            return;
        }
    }
}

HANDLE AsHandle(void* handle) {
    return static_cast<HANDLE>(handle);
}

// One write handed to the system: its control block and its bytes stay here, untouched, until
// the system reports the write complete.
struct PendingWrite {
    OVERLAPPED ov{};
    HANDLE event = nullptr;  // manual reset, so that a write can be waited for on its own
    std::vector<std::uint8_t> data;

    PendingWrite() = default;
    PendingWrite(const PendingWrite&) = delete;
    PendingWrite& operator=(const PendingWrite&) = delete;
    ~PendingWrite() {
        if (event != nullptr) {
            ::CloseHandle(event);
        }
    }
};

}  // namespace

// What an open port holds besides its handle; a closed port holds none of it.
struct CSerialPort::Io {
    void* claim = nullptr;  // this port's claim on its device
    OVERLAPPED ovRead{};
    HANDLE readEvent = nullptr;
    std::deque<std::unique_ptr<PendingWrite>> pending;  // in the order they were started
    std::vector<std::unique_ptr<PendingWrite>> spare;   // complete, ready to be used again

    // Moves the writes that have completed, oldest first, to the spares.
    void Reap() {
        while (!pending.empty() && HasOverlappedIoCompleted(&pending.front()->ov)) {
            spare.push_back(std::move(pending.front()));
            pending.pop_front();
        }
    }

    std::unique_ptr<PendingWrite> TakeSpare() {
        if (!spare.empty()) {
            std::unique_ptr<PendingWrite> w = std::move(spare.back());
            spare.pop_back();
            return w;
        }
        auto w = std::make_unique<PendingWrite>();
        w->event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (w->event == nullptr) {
            return nullptr;
        }
        return w;
    }
};

CSerialPort::CSerialPort() : m_hComm(INVALID_HANDLE_VALUE), m_pIo(std::make_unique<Io>()) {}

CSerialPort::~CSerialPort() {
    if (IsOpen()) {
        Close();
    }
}

bool CSerialPort::IsOpen() const {
    return m_hComm != INVALID_HANDLE_VALUE;
}

bool CSerialPort::Open(const std::string& device) {
    if (IsOpen()) {
        Close();  // the old handle would otherwise be lost, and the device held until exit
    }
    if (device.empty()) {
        m_lastError = ERROR_FILE_NOT_FOUND;
        return false;
    }
    unsigned long claimError = 0;
    void* claim = ClaimPort(device, claimError);
    if (claim == nullptr) {
        m_lastError = static_cast<int>(claimError);
        return false;
    }
    // Share mode 0: the open fails while another program holds the device.
    HANDLE h = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    // Reads wait on an event of their own: pending writes signal the device handle too.
    HANDLE readEvent =
        h == INVALID_HANDLE_VALUE ? nullptr : ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (readEvent == nullptr) {
        m_lastError = static_cast<int>(::GetLastError());
        if (h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
        }
        ReleasePortClaim(claim);
        return false;
    }
    m_hComm = h;
    m_pIo->claim = claim;
    m_pIo->readEvent = readEvent;
    m_lastError = 0;

    ::SetCommMask(h, EV_RXCHAR);
    ::SetupComm(h, 4096, 4096);
    ::PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

    // A byte as soon as one is there, nothing after 1000 ms; 250 ms between the bytes of a
    // longer read; writes never time out.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kIntervalTimeoutMs;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = kReadTimeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    ::SetCommTimeouts(h, &timeouts);

    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    ::GetCommState(h, &dcb);
    dcb.BaudRate = CBR_9600;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 1;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = 0;  // line errors abort neither reads nor writes
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (!::SetCommState(h, &dcb)) {
        m_lastError = static_cast<int>(::GetLastError());
        return false;
    }
    return true;
}

void CSerialPort::Close() {
    if (!IsOpen()) {
        return;
    }
    HANDLE h = AsHandle(m_hComm);
    ::SetCommMask(h, 0);
    ::PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    // The aborted writes still own their blocks until the system reports them done; wait for
    // that, cancel what lingers, and never free a block the system may still write to.
    for (auto& w : m_pIo->pending) {
        if (::WaitForSingleObject(w->event, kCloseWaitMs) != WAIT_OBJECT_0) {
            ::CancelIoEx(h, &w->ov);
            if (::WaitForSingleObject(w->event, kCloseWaitMs) != WAIT_OBJECT_0) {
                (void)w.release();  // deliberately leaked: the system still owns it
                continue;
            }
        }
        DWORD ignored = 0;
        ::GetOverlappedResult(h, &w->ov, &ignored, FALSE);
    }
    m_pIo->pending.clear();
    m_pIo->spare.clear();
    ::CloseHandle(h);
    ReleasePortClaim(m_pIo->claim);
    m_pIo->claim = nullptr;
    ::CloseHandle(m_pIo->readEvent);
    m_pIo->readEvent = nullptr;
    m_hComm = INVALID_HANDLE_VALUE;
}

void CSerialPort::PurgeInput() {
    if (IsOpen()) {
        ::PurgeComm(AsHandle(m_hComm), PURGE_RXABORT | PURGE_RXCLEAR);
    }
}

std::uint32_t CSerialPort::Read(std::uint8_t* buffer, std::uint32_t count) {
    if (!IsOpen() || buffer == nullptr || count == 0) {
        return 0;
    }
    HANDLE h = AsHandle(m_hComm);
    const std::int64_t start = MonotonicMs();
    OVERLAPPED& ov = m_pIo->ovRead;
    std::memset(&ov, 0, sizeof ov);
    ov.hEvent = m_pIo->readEvent;
    HANDLE cancel = m_pCancel != nullptr ? static_cast<HANDLE>(m_pCancel->WaitHandle()) : nullptr;
    DWORD got = 0;
    if (!::ReadFile(h, buffer, count, &got, &ov)) {
        got = 0;
        if (::GetLastError() == ERROR_IO_PENDING) {
            const HANDLE waits[] = {ov.hEvent, cancel};
            const DWORD woke = ::WaitForMultipleObjects(cancel != nullptr ? 2 : 1, waits, FALSE,
                                                        kReadTimeoutMs + kReadGraceMs);
            if (woke != WAIT_OBJECT_0) {
                ::CancelIoEx(h, &ov);
            }
            // Waits until the system hands back the buffer and the control block, which it must
            // before either may be reused. A cancelled or failed read still tells how many bytes
            // it delivered before it ended.
            ::GetOverlappedResult(h, &ov, &got, TRUE);
        }
    }
    if (got == 0) {
        SleepUntil(start + kReadTimeoutMs, cancel);
    }
    return got;
}

std::uint32_t CSerialPort::Write(const std::uint8_t* buffer, std::uint32_t count) {
    if (!IsOpen() || buffer == nullptr || count == 0) {
        return 0;
    }
    HANDLE h = AsHandle(m_hComm);
    Io& io = *m_pIo;
    io.Reap();
    if (io.pending.size() >= kMaxPendingWrites) {
        ::WaitForSingleObject(io.pending.front()->event, kWriteStallMs);
        io.Reap();
        if (io.pending.size() >= kMaxPendingWrites) {
            return 0;  // the line is stuck; refusing is better than queueing without end
        }
    }
    std::unique_ptr<PendingWrite> w = io.TakeSpare();
    if (!w) {
        return 0;
    }
    std::memset(&w->ov, 0, sizeof w->ov);
    w->ov.hEvent = w->event;
    w->data.assign(buffer, buffer + count);
    DWORD written = 0;
    if (::WriteFile(h, w->data.data(), count, &written, &w->ov)) {
        io.spare.push_back(std::move(w));
        return written;
    }
    if (::GetLastError() == ERROR_IO_PENDING) {
        // Under way: counts as done. Its bytes and block stay with it until it completes, and
        // the system sends the writes in the order they were started.
        io.pending.push_back(std::move(w));
        return count;
    }
    io.spare.push_back(std::move(w));
    return 0;
}

int CSerialPort::ReadByte() {
    std::uint8_t b = 0;
    return Read(&b, 1) == 1 ? static_cast<int>(b) : -1;
}

int CSerialPort::WriteByte(int value) {
    const std::uint8_t b = static_cast<std::uint8_t>(value & 0xFF);
    return Write(&b, 1) == 1 ? value : -1;
}

}  // namespace varnel
