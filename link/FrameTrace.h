#pragma once

#include <cstdint>

namespace varnel {

// Watches every frame that crosses the line, for a front end that shows the traffic (the
// command-line tool's --trace). The link calls it on the thread that runs the exchange; it must
// not touch the link.
class IFrameTrace {
public:
    virtual ~IFrameTrace() = default;
    // The bytes of a frame just written to the port, in the order they went out.
    virtual void FrameSent(const std::uint8_t* bytes, std::uint32_t count) = 0;
    // The bytes of a frame received: a complete one (its checksum may still be wrong), or what
    // came of one that broke off. echo is true for the line's return of the frame just sent.
    virtual void FrameReceived(const std::uint8_t* bytes, std::uint32_t count, bool echo) = 0;
};

}  // namespace varnel
