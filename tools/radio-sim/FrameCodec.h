#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnel::sim {

// The radio's side of the frame format, written apart from the tool's own codec on purpose: a
// simulator that shared the tool's encoder would agree with any mistake in it.
//
// A frame is a header of 1 to 4 bytes (opcode in the high nibble or escaped as the next byte;
// N = data + checksum in the low nibble or escaped as two bytes, most significant first), the
// data, and a checksum that makes the whole frame add up to 0xFF. A header with N = 0 is a
// one-byte frame with neither data nor checksum.
inline constexpr std::size_t kMaxFrameBytes = 261;

// 0xFF minus the 8-bit sum of the bytes.
std::uint8_t FrameChecksum(const std::uint8_t* bytes, std::size_t count);

// The frame in the shortest form for its opcode and data. data.size() must be at most 65534.
std::vector<std::uint8_t> EncodeFrame(std::uint8_t opcode, const std::vector<std::uint8_t>& data);

// The acknowledge frame in the escaped, checksummed form (opcode 5, N = 1: 51 AE), for faults
// that need an acknowledge which can carry a wrong checksum or be cut short.
std::vector<std::uint8_t> EncodeChecksummedEmptyFrame(std::uint8_t opcode);

// Takes a frame in byte by byte, by the header rules, accepting escapes where a nibble would do.
class FrameDecoder {
public:
    enum class Result {
        NeedMore,  // the frame goes on
        Complete,  // Bytes() holds one whole frame
        Overflow,  // kMaxFrameBytes came without completing a frame; the bytes are kept
    };

    Result Feed(std::uint8_t byte);
    void Reset();

    // True while some bytes of an unfinished frame are held.
    bool InFrame() const { return !m_bytes.empty() && !m_complete; }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }
    std::uint8_t Opcode() const { return m_opcode; }
    // The data of a complete frame (empty for a one-byte frame and for a frame with N = 0).
    std::vector<std::uint8_t> Data() const;
    // True for a one-byte frame and for a frame whose bytes add up to 0xFF.
    bool ChecksumOk() const;

private:
    void AfterOpcode();
    void EnterBody();

    enum class State { Header, Opcode, LengthHigh, LengthLow, Body };
    State m_state = State::Header;
    std::vector<std::uint8_t> m_bytes;
    std::uint8_t m_opcode = 0;
    std::uint32_t m_n = 0;
    std::uint32_t m_body = 0;
    std::size_t m_headerSize = 0;
    bool m_lengthEscaped = false;
    bool m_complete = false;
};

}  // namespace varnel::sim
