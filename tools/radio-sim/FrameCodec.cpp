#include "tools/radio-sim/FrameCodec.h"

namespace varnel::sim {

std::uint8_t FrameChecksum(const std::uint8_t* bytes, std::size_t count) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum = static_cast<std::uint8_t>(sum + bytes[i]);
    }
    return static_cast<std::uint8_t>(0xFF - sum);
}

std::vector<std::uint8_t> EncodeFrame(std::uint8_t opcode, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> frame;
    const std::size_t n = data.size() + 1;
    if (opcode < 15 && data.empty()) {
        frame.push_back(static_cast<std::uint8_t>(opcode << 4));
        return frame;
    }
    if (n <= 14) {
        if (opcode < 15) {
            frame.push_back(static_cast<std::uint8_t>((opcode << 4) | n));
        } else {
            frame.push_back(static_cast<std::uint8_t>(0xF0 | n));
            frame.push_back(opcode);
        }
    } else {
        if (opcode < 15) {
            frame.push_back(static_cast<std::uint8_t>((opcode << 4) | 0x0F));
        } else {
            frame.push_back(0xFF);
            frame.push_back(opcode);
        }
        frame.push_back(static_cast<std::uint8_t>(n >> 8));
        frame.push_back(static_cast<std::uint8_t>(n & 0xFF));
    }
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(FrameChecksum(frame.data(), frame.size()));
    return frame;
}

std::vector<std::uint8_t> EncodeChecksummedEmptyFrame(std::uint8_t opcode) {
    std::vector<std::uint8_t> frame;
    if (opcode < 15) {
        frame.push_back(static_cast<std::uint8_t>((opcode << 4) | 1));
    } else {
        frame.push_back(0xF1);
        frame.push_back(opcode);
    }
    frame.push_back(FrameChecksum(frame.data(), frame.size()));
    return frame;
}

void FrameDecoder::Reset() {
    m_state = State::Header;
    m_bytes.clear();
    m_opcode = 0;
    m_n = 0;
    m_body = 0;
    m_headerSize = 0;
    m_lengthEscaped = false;
    m_complete = false;
}

FrameDecoder::Result FrameDecoder::Feed(std::uint8_t byte) {
    if (m_complete) {
        Reset();
    }
    if (m_bytes.size() >= kMaxFrameBytes) {
        return Result::Overflow;
    }
    m_bytes.push_back(byte);
    switch (m_state) {
        case State::Header:
            m_opcode = static_cast<std::uint8_t>(byte >> 4);
            m_n = byte & 0x0F;
            m_lengthEscaped = (m_n == 15);
            if (m_opcode == 15) {
                m_state = State::Opcode;
            } else {
                AfterOpcode();
            }
            break;
        case State::Opcode:
            m_opcode = byte;
            AfterOpcode();
            break;
        case State::LengthHigh:
            m_n = static_cast<std::uint32_t>(byte) << 8;
            m_state = State::LengthLow;
            break;
        case State::LengthLow:
            m_n += byte;
            EnterBody();
            break;
        case State::Body:
            ++m_body;
            m_complete = (m_body == m_n);
            break;
    }
    if (m_complete) {
        return Result::Complete;
    }
    if (m_bytes.size() >= kMaxFrameBytes) {
        return Result::Overflow;
    }
    return Result::NeedMore;
}

void FrameDecoder::AfterOpcode() {
    if (m_lengthEscaped) {
        m_state = State::LengthHigh;
    } else {
        EnterBody();
    }
}

void FrameDecoder::EnterBody() {
    m_headerSize = m_bytes.size();
    m_state = State::Body;
    m_complete = (m_n == 0);
}

std::vector<std::uint8_t> FrameDecoder::Data() const {
    if (!m_complete || m_n <= 1 || m_bytes.size() < m_headerSize + m_n) {
        return {};
    }
    return std::vector<std::uint8_t>(
        m_bytes.begin() + static_cast<std::ptrdiff_t>(m_headerSize),
        m_bytes.begin() + static_cast<std::ptrdiff_t>(m_headerSize + m_n - 1));
}

bool FrameDecoder::ChecksumOk() const {
    if (m_bytes.size() == 1) {
        return true;
    }
    return FrameChecksum(m_bytes.data(), m_bytes.size() - 1) == m_bytes.back();
}

}  // namespace varnel::sim
