// The serial port on Windows: overlapped I/O on the COM device, built only there.
#include <windows.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "link/OverlappedRead.h"
#include "link/PortClaim.h"
#include "link/PortDiagnosis.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"

namespace varnel {
namespace {

constexpr DWORD kReadTimeoutMs = 1000;     // the whole of a read
constexpr DWORD kIntervalTimeoutMs = 250;  // between two bytes of a longer read
// How long past its own timeout a read may stay pending before it is cancelled: a driver that
// ignores the timeouts must not hang the exchange.
constexpr DWORD kReadGraceMs = 1000;
// How long a cancelled read may take to be handed back; a driver that keeps it longer has the
// port given up.
constexpr DWORD kCancelledReadWaitMs = 1000;
// Writes under way at most. A frame is at most 261 one-byte writes and each frame's echo comes
// back only once all of it has gone out, so this is reached only when the line stalls.
constexpr std::size_t kMaxPendingWrites = 4096;
constexpr DWORD kWriteStallMs = 1000;  // longest wait for the oldest write when that many are
// On close: the longest wait, all writes together, for the writes still under way to end once
// aborted; and as long again for those cancelled after it.
constexpr DWORD kCloseWaitMs = 1000;

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

// One read or write handed to the system: its control block and its bytes stay here, untouched,
// until the system reports it complete.
struct IoBlock {
    OVERLAPPED ov{};
    HANDLE event = nullptr;  // manual reset, so that each can be waited for on its own
    std::vector<std::uint8_t> data;

    IoBlock() = default;
    IoBlock(const IoBlock&) = delete;
    IoBlock& operator=(const IoBlock&) = delete;
    ~IoBlock() {
        if (event != nullptr) {
            ::CloseHandle(event);
        }
    }
};

// Whether the system is done with a write it took: then its block and bytes are free again.
// Asks without waiting. The system writes the outcome into the block, then sets the event,
// which is manual reset and set by nobody else: either tells that the write is over, however
// often it has been looked at before.
bool WriteOver(HANDLE comm, IoBlock& w) {
    if (!HasOverlappedIoCompleted(&w.ov) && ::WaitForSingleObject(w.event, 0) != WAIT_OBJECT_0) {
        return false;
    }
    DWORD ignored = 0;
    // Collects the outcome; sent, aborted or failed, the write is over all the same.
    ::GetOverlappedResult(comm, &w.ov, &ignored, FALSE);
    return true;
}

}  // namespace

// What an open port holds besides its handle; a closed port holds none of it.
struct CSerialPort::Io {
    void* claim = nullptr;  // this port's claim on its device
    // The read's block and bytes: the caller's buffer is never handed to the system, which may
    // keep a read that a bad driver will not give back.
    std::unique_ptr<IoBlock> read;
    // Given up after a read the driver kept: the port stays closed until it is opened again,
    // and reads meanwhile last as long as a silent line's.
    bool givenUp = false;
    std::deque<std::unique_ptr<IoBlock>> pending;  // in the order they were started
    std::vector<std::unique_ptr<IoBlock>> spare;   // complete, ready to be used again

    // Moves the writes that are over, oldest first, to the spares, up to the first one still
    // under way: the line sends them in the order they were started, so the list then holds
    // only writes under way, and a look costs one question to the system.
    void Reap(HANDLE comm) {
        while (!pending.empty() && WriteOver(comm, *pending.front())) {
            spare.push_back(std::move(pending.front()));
            pending.pop_front();
        }
    }

    // The same through the whole list, for the writes that ended out of order (an aborted one
    // may end before an older one still under way).
    void ReapAll(HANDLE comm) {
        for (auto it = pending.begin(); it != pending.end();) {
            if (WriteOver(comm, **it)) {
                spare.push_back(std::move(*it));
                it = pending.erase(it);
            } else {
                ++it;
            }
        }
    }

    // Waits until every write still under way is over, or until deadline (GetTickCount64), in
    // one wait for all of them; returns with the list holding those that are not over.
    void WaitForPending(HANDLE comm, ULONGLONG deadline) {
        Reap(comm);
        while (!pending.empty()) {
            const ULONGLONG now = ::GetTickCount64();
            if (now >= deadline) {
                return;
            }
            HANDLE events[MAXIMUM_WAIT_OBJECTS];
            DWORD count = 0;
            for (auto it = pending.begin(); it != pending.end() && count < MAXIMUM_WAIT_OBJECTS;
                 ++it) {
                events[count++] = (*it)->event;
            }
            const DWORD woke =
                ::WaitForMultipleObjects(count, events, TRUE, static_cast<DWORD>(deadline - now));
            Reap(comm);
            if (woke == WAIT_TIMEOUT || woke == WAIT_FAILED) {
                return;
            }
        }
    }

    std::unique_ptr<IoBlock> TakeSpare() {
        if (!spare.empty()) {
            std::unique_ptr<IoBlock> w = std::move(spare.back());
            spare.pop_back();
            return w;
        }
        auto w = std::make_unique<IoBlock>();
        // Manual reset: once the write is over its event stays set, for every later look and
        // for a wait on many writes at once, until the next write with this block resets it.
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
    std::unique_ptr<IoBlock> read;
    if (h != INVALID_HANDLE_VALUE) {
        read = std::make_unique<IoBlock>();
        read->event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    if (read == nullptr || read->event == nullptr) {
        m_lastError = static_cast<int>(::GetLastError());
        if (h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
        }
        ReleasePortClaim(claim);
        return false;
    }
    m_hComm = h;
    m_device = device;
    m_lineError = 0;
    m_pIo->claim = claim;
    m_pIo->read = std::move(read);
    m_pIo->givenUp = false;
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
    Io& io = *m_pIo;
    ::SetCommMask(h, 0);
    ::PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    // The aborted writes own their blocks until the system reports them over. The writes of an
    // exchange that ended are long over and cost no wait; only those still under way are
    // waited for, together, then cancelled and waited for once more.
    io.WaitForPending(h, ::GetTickCount64() + kCloseWaitMs);
    if (!io.pending.empty()) {
        for (auto& w : io.pending) {
            ::CancelIoEx(h, &w->ov);
        }
        io.WaitForPending(h, ::GetTickCount64() + kCloseWaitMs);
        io.ReapAll(h);
    }
    for (auto& w : io.pending) {
        // Deliberately leaked, block, bytes and event: the system may still write to the block
        // and signal the event after this, and freeing them would hand it someone else's memory.
        (void)w.release();
    }
    io.pending.clear();
    io.spare.clear();
    ::CloseHandle(h);
    ReleasePortClaim(io.claim);
    io.claim = nullptr;
    io.read.reset();
    m_hComm = INVALID_HANDLE_VALUE;
}

void CSerialPort::GiveUp() {
    // As Close does with writes that never end: the read's block, bytes and event are left to
    // the system, which may still write to them, and the device is closed.
    (void)m_pIo->read.release();
    Close();
    m_pIo->givenUp = true;
}

void CSerialPort::PurgeInput() {
    if (IsOpen()) {
        ::PurgeComm(AsHandle(m_hComm), PURGE_RXABORT | PURGE_RXCLEAR);
    }
}

std::uint32_t CSerialPort::Read(std::uint8_t* buffer, std::uint32_t count) {
    if (buffer == nullptr || count == 0) {
        return 0;
    }
    HANDLE cancel = m_pCancel != nullptr ? static_cast<HANDLE>(m_pCancel->WaitHandle()) : nullptr;
    const std::int64_t start = MonotonicMs();
    if (!IsOpen()) {
        if (m_pIo->givenUp) {
            SleepUntil(start + kReadTimeoutMs, cancel);  // the exchange's deadlines end it
        }
        return 0;
    }
    HANDLE h = AsHandle(m_hComm);
    // The writes before a read are mostly over by now (their echo is what is read): handing
    // their blocks back here keeps the list short and leaves Close nothing to wait for.
    m_pIo->Reap(h);
    IoBlock& read = *m_pIo->read;
    read.data.resize(count);
    std::memset(&read.ov, 0, sizeof read.ov);
    read.ov.hEvent = read.event;
    DWORD got = 0;
    if (!::ReadFile(h, read.data.data(), count, &got, &read.ov)) {
        got = 0;
        const DWORD error = ::GetLastError();
        if (error == ERROR_IO_PENDING) {
            const PendingReadEnd end =
                FinishPendingRead(SystemReadCompletion(), h, read.ov, cancel,
                                  kReadTimeoutMs + kReadGraceMs, kCancelledReadWaitMs);
            NoteLineError(end.error);
            if (end.abandoned) {
                GiveUp();
            } else {
                got = end.got;
            }
        } else {
            NoteLineError(error);  // an adapter pulled out fails the read at once
        }
    }
    got = got > count ? count : got;
    if (got > 0) {
        std::memcpy(buffer, m_pIo->read->data.data(), got);
    } else {
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
    io.Reap(h);
    if (io.pending.size() >= kMaxPendingWrites) {
        // The oldest is truly under way (Reap asked it): its event tells when it is over.
        ::WaitForSingleObject(io.pending.front()->event, kWriteStallMs);
        io.Reap(h);
        if (io.pending.size() >= kMaxPendingWrites) {
            return 0;  // the line is stuck; refusing is better than queueing without end
        }
    }
    std::unique_ptr<IoBlock> w = io.TakeSpare();
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
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) {
        // Under way: counts as done. Its bytes and block stay with it until it completes, and
        // the system sends the writes in the order they were started.
        io.pending.push_back(std::move(w));
        return count;
    }
    NoteLineError(error);
    io.spare.push_back(std::move(w));
    return 0;
}

void CSerialPort::NoteLineError(unsigned long error) {
    // A read that ran out of time is a silent line, not a failed one: some systems end it with a
    // timeout error rather than with no bytes.
    if (error == ERROR_TIMEOUT || error == WAIT_TIMEOUT || error == ERROR_SEM_TIMEOUT ||
        error == ERROR_COUNTER_TIMEOUT) {
        return;
    }
    // The first failure says why; those after it follow from it.
    if (m_lineError == 0 && error != 0) {
        m_lineError = static_cast<int>(error);
    }
}

std::string CSerialPort::LineFault() const {
    return m_lineError == 0 ? std::string() : DescribeLineFailure(m_device, m_lineError);
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
