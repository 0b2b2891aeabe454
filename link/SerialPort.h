#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/BytePort.h"
#include "link/CancelToken.h"

namespace varnel {

// One open serial device for the span of one exchange with the radio: opened exclusively,
// 9600 bit/s, 8 data bits, no parity, one stop bit, no flow control, DTR and RTS inactive. On
// POSIX the close gives the device back the terminal settings it had at the open, so that a
// terminal named as the port (a pseudo-terminal, a console) is not left raw at 9600.
class CSerialPort final : public IBytePort {
public:
    CSerialPort();
    ~CSerialPort() override;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens the device (a path such as /dev/ttyUSB0, or \\.\COM1 on Windows) and sets the line
    // up; a port that is already open is closed first. A failure to configure leaves the device
    // open (Close or the destructor releases it); a failure to open leaves the port closed, and
    // LastError() then tells why (an errno value on POSIX, a GetLastError() value on Windows).
    bool Open(const std::string& device);
    void Close();
    bool IsOpen() const;
    int LastError() const { return m_lastError; }
    // A read waiting for a byte gives up at once (-1) when this token is cancelled.
    void SetCancelToken(const CancelToken* cancel) { m_pCancel = cancel; }

    // The next byte as 0 to 255 at once, or -1 after 1000 ms without one. A read error (an
    // adapter pulled out) also gives -1 after the same 1000 ms, never at once, so that callers
    // who read again until a deadline do not spin. On Windows no read waits on the driver
    // without a bound: one the driver will not give back, even cancelled, has the port given up.
    int ReadByte() override;
    // Queues one byte without waiting for it to be sent; returns value, or -1 when refused.
    int WriteByte(int value) override;
    void PurgeInput() override;
    // The first read or write the system failed since the open, with its error code; on POSIX
    // the line reads as silent and this stays empty.
    std::string LineFault() const override;

    // Reads up to count bytes: ends when count have come, when more than 250 ms pass between two
    // bytes, or 1000 ms after the start, whichever is first. Returns the number read.
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t count);
    // Queues count bytes without waiting for them to go out; returns the number queued. The
    // bytes are copied: the caller's buffer is free again on return.
    std::uint32_t Write(const std::uint8_t* buffer, std::uint32_t count);

private:
#ifdef _WIN32
    // The device handle, INVALID_HANDLE_VALUE while closed, and the control blocks of the read
    // and of the writes still under way. Their types live in the source file, so that
    // <windows.h> and its macros (min, max, LoadString, ...) stay out of every file that
    // includes this header.
    void* m_hComm;
    void NoteLineError(unsigned long error);
    // Closes a port whose driver kept a cancelled read, leaving the read's memory to the system;
    // reads then last as long as a silent line's until the port is opened again.
    void GiveUp();
    struct Io;
    std::unique_ptr<Io> m_pIo;
#else
    int m_hComm;  // -1 while closed
    // The terminal settings found at the open, put back at the close; null when none could be
    // read. Its type lives in the source file, as on Windows.
    struct Found;
    std::unique_ptr<Found> m_pFound;
#endif
    int m_lastError = 0;
#ifdef _WIN32
    std::string m_device;  // as opened, for the fault's description
    int m_lineError = 0;   // the first failed read or write since the open
#endif
    const CancelToken* m_pCancel = nullptr;
};

}  // namespace varnel
