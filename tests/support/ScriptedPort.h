#pragma once

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "link/BytePort.h"
#include "tests/support/FakeClock.h"

namespace varnel::test {

// A serial line played from a script, in virtual time. Bytes queued with Feed() arrive in
// order; kGap stands for one read that times out. An empty read advances the clock by the
// read timeout, as a silent real line would take. With echo on, the bytes written since the
// last read come back first, then the next scripted answer is queued behind them: the order in
// which a real line and radio deliver them.
class ScriptedPort final : public IBytePort {
public:
    static constexpr int kGap = -1;
    static constexpr std::int64_t kReadTimeoutMs = 1000;

    explicit ScriptedPort(FakeClock& clock, bool echo = true) : m_clock(clock), m_echo(echo) {}

    // Bytes that are in the input queue now (before any write).
    void Feed(std::initializer_list<int> bytes) { m_input.insert(m_input.end(), bytes); }
    void Feed(const std::vector<int>& bytes) {
        m_input.insert(m_input.end(), bytes.begin(), bytes.end());
    }
    // The radio's answer to the next request written: queued after the request's echo.
    void Answer(std::vector<int> bytes) { m_answers.push_back(std::move(bytes)); }
    void SetEcho(bool echo) { m_echo = echo; }
    // Every further WriteByte is refused.
    void FailWrites(bool fail) { m_failWrites = fail; }
    // How long an empty read takes; 1 ms lets a test see a deadline to the millisecond.
    void SetReadTimeout(std::int64_t ms) { m_readTimeout = ms; }
    // What the line says of why it stopped working, as a real port does after a failed read.
    void SetLineFault(std::string fault) { m_lineFault = std::move(fault); }
    std::string LineFault() const override { return m_lineFault; }

    int ReadByte() override;
    int WriteByte(int value) override;
    void PurgeInput() override;

    const std::vector<std::uint8_t>& Written() const { return m_written; }
    int Purges() const { return m_purges; }
    int EmptyReads() const { return m_emptyReads; }
    std::size_t Pending() const { return m_input.size(); }

private:
    void DeliverPending();

    FakeClock& m_clock;
    bool m_echo;
    bool m_failWrites = false;
    std::int64_t m_readTimeout = kReadTimeoutMs;
    std::string m_lineFault;
    std::deque<int> m_input;
    std::deque<std::vector<int>> m_answers;
    std::vector<std::uint8_t> m_written;
    std::vector<std::uint8_t> m_unechoed;
    int m_purges = 0;
    int m_emptyReads = 0;
};

// The bytes of a frame, built independently of the link's own encoder: opcode and payload
// in the shortest form, checksum last.
std::vector<int> Frame(int opcode, std::initializer_list<int> payload = {});
std::vector<int> Frame(int opcode, const std::vector<int>& payload);
std::vector<int> Concat(std::initializer_list<std::vector<int>> parts);

}  // namespace varnel::test
