#pragma once

#include <cstdint>

namespace varnel {

// The outcome of the last link operation, kept in CRadioLink::m_status. No other value occurs.
enum class RadioStatus : std::int32_t {
    Ok = 0,
    NoResponse = 1,      // not one byte before the deadline
    Incomplete = 2,      // some bytes, then silence before the frame was complete
    TooLong = 3,         // more bytes than a frame may hold
    ChecksumError = 4,   // the frame's checksum byte is wrong
    NotSupported = 6,    // the radio answered with "not supported"
    NoPort = 9,          // no port attached to the link
    WriteRejected = 11,  // the write reply was not the single byte 0
    Cancelled = 12,      // the exchange was cancelled; nothing more is sent and nothing is shown
};

}  // namespace varnel
