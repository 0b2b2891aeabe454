#pragma once

#include <string>

namespace varnel {

// The three things the frame codec needs from a serial line. CSerialPort is the real one; tests
// put a scripted port in its place so that every timeout path runs in virtual time.
class IBytePort {
public:
    virtual ~IBytePort() = default;
    // The next received byte as 0 to 255, or -1 when none came within the read timeout.
    virtual int ReadByte() = 0;
    // Hands one byte (the low 8 bits of value) to the line; returns value, or -1 when refused.
    virtual int WriteByte(int value) = 0;
    // Discards everything received and not yet read; output is left alone.
    virtual void PurgeInput() = 0;
    // Why the line stopped working during the exchange (an adapter pulled out), in the three
    // labelled lines that go under a port error; empty while it works or when nobody can tell.
    virtual std::string LineFault() const { return {}; }
};

}  // namespace varnel
