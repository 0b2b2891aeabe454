// The serial port on Windows: overlapped I/O on the COM device, built only there.
#include <windows.h>

#include <cstring>
#include <iterator>

#include "link/PortNames.h"
#include "link/SerialPort.h"

namespace varnel {

CSerialPort::CSerialPort() : m_hComm(INVALID_HANDLE_VALUE) {
    std::memset(&m_ovRead, 0, sizeof m_ovRead);
    std::memset(&m_ovWrite, 0, sizeof m_ovWrite);
}

CSerialPort::~CSerialPort() {
    if (IsOpen()) {
        Close();
    }
}

bool CSerialPort::IsOpen() const {
    return m_hComm != INVALID_HANDLE_VALUE;
}

bool CSerialPort::Open(const std::string& portName) {
    const std::string device = ResolvePortDevice(portName);
    // Share mode 0: the open fails while another program holds the device.
    m_hComm = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hComm == INVALID_HANDLE_VALUE) {
        m_lastError = static_cast<int>(::GetLastError());
        return false;
    }
    m_lastError = 0;

    ::SetCommMask(m_hComm, EV_RXCHAR);
    ::SetupComm(m_hComm, 4096, 4096);
    ::PurgeComm(m_hComm, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

    // A byte as soon as one is there, nothing after 1000 ms; 250 ms between the bytes of a
    // longer read; writes never time out.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 250;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 1000;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    ::SetCommTimeouts(m_hComm, &timeouts);

    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    ::GetCommState(m_hComm, &dcb);
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
    if (!::SetCommState(m_hComm, &dcb)) {
        m_lastError = static_cast<int>(::GetLastError());
        return false;
    }
    return true;
}

void CSerialPort::Close() {
    if (m_hComm == INVALID_HANDLE_VALUE) {
        return;
    }
    ::SetCommMask(m_hComm, 0);
    ::PurgeComm(m_hComm, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    ::CloseHandle(m_hComm);
    m_hComm = INVALID_HANDLE_VALUE;
}

void CSerialPort::PurgeInput() {
    if (IsOpen()) {
        ::PurgeComm(m_hComm, PURGE_RXABORT | PURGE_RXCLEAR);
    }
}

std::uint32_t CSerialPort::Read(std::uint8_t* buffer, std::uint32_t count) {
    if (!IsOpen()) {
        return 0;
    }
    HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_ovRead.Offset = 0;
    m_ovRead.OffsetHigh = 0;
    m_ovRead.hEvent = event;
    DWORD got = 0;
    if (!::ReadFile(m_hComm, buffer, count, &got, &m_ovRead)) {
        got = 0;
        if (::GetLastError() == ERROR_IO_PENDING) {
            while (!::GetOverlappedResult(m_hComm, &m_ovRead, &got, TRUE)) {
                if (::GetLastError() != ERROR_IO_INCOMPLETE) {
                    got = 0;
                    break;
                }
            }
        }
    }
    if (event != nullptr) {
        ::CloseHandle(event);
    }
    return got;
}

std::uint32_t CSerialPort::Write(const std::uint8_t* buffer, std::uint32_t count) {
    if (!IsOpen()) {
        return 0;
    }
    m_ovWrite.Offset = 0;
    m_ovWrite.OffsetHigh = 0;
    m_ovWrite.hEvent = nullptr;
    DWORD written = 0;
    if (::WriteFile(m_hComm, buffer, count, &written, &m_ovWrite)) {
        return written;
    }
    // A write still under way counts as done; the system keeps the bytes in order.
    return ::GetLastError() == ERROR_IO_PENDING ? count : 0;
}

int CSerialPort::ReadByte() {
    std::uint8_t b = 0;
    return Read(&b, 1) == 1 ? static_cast<int>(b) : -1;
}

int CSerialPort::WriteByte(int value) {
    if (!IsOpen()) {
        return -1;
    }
    // Not through Write and its one control block: the previous byte's write may still be
    // pending, and its byte and control block must stay untouched until it completes.
    PendingByte& slot = m_pendingBytes[m_nextPending++ % std::size(m_pendingBytes)];
    std::memset(&slot.ov, 0, sizeof slot.ov);
    slot.byte = static_cast<std::uint8_t>(value & 0xFF);
    DWORD written = 0;
    if (::WriteFile(m_hComm, &slot.byte, 1, &written, &slot.ov)) {
        return written == 1 ? value : -1;
    }
    return ::GetLastError() == ERROR_IO_PENDING ? value : -1;
}

}  // namespace varnel
