#include "tests/support/ScriptedPort.h"

namespace varnel::test {

void ScriptedPort::DeliverPending() {
    if (m_unechoed.empty()) {
        return;
    }
    if (m_echo) {
        m_input.insert(m_input.end(), m_unechoed.begin(), m_unechoed.end());
    }
    m_unechoed.clear();
    if (!m_answers.empty()) {
        m_input.insert(m_input.end(), m_answers.front().begin(), m_answers.front().end());
        m_answers.pop_front();
    }
}

int ScriptedPort::ReadByte() {
    DeliverPending();
    if (!m_input.empty()) {
        int b = m_input.front();
        m_input.pop_front();
        if (b != kGap) {
            return b & 0xFF;
        }
    }
    ++m_emptyReads;
    m_clock.Advance(m_readTimeout);
    return -1;
}

int ScriptedPort::WriteByte(int value) {
    if (m_failWrites) {
        return -1;
    }
    m_written.push_back(static_cast<std::uint8_t>(value));
    m_unechoed.push_back(static_cast<std::uint8_t>(value));
    return value;
}

void ScriptedPort::PurgeInput() {
    ++m_purges;
    m_input.clear();
}

std::vector<int> Frame(int opcode, const std::vector<int>& payload) {
    const int n = static_cast<int>(payload.size()) + 1;
    std::vector<int> bytes;
    if (opcode < 15 && payload.empty()) {
        return {opcode << 4};
    }
    const int hi = opcode < 15 ? opcode << 4 : 0xF0;
    const int lo = n < 15 ? n : 0x0F;
    bytes.push_back(hi | lo);
    if (opcode >= 15) {
        bytes.push_back(opcode);
    }
    if (n >= 15) {
        bytes.push_back(n >> 8);
        bytes.push_back(n & 0xFF);
    }
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    int sum = 0;
    for (int b : bytes) {
        sum += b;
    }
    bytes.push_back((0xFF - sum) & 0xFF);
    return bytes;
}

std::vector<int> Frame(int opcode, std::initializer_list<int> payload) {
    return Frame(opcode, std::vector<int>(payload));
}

std::vector<int> Concat(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> all;
    for (const auto& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

}  // namespace varnel::test
