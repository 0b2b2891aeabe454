#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/RadioLink.h"
#include "procedures/Session.h"
#include "tests/support/FakeClock.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ScriptedPort.h"

namespace varnel::test {

// A link on a scripted line in virtual time, reporting to a recorder: the frame and command
// tests drive it directly.
struct ScriptedLink {
    ScriptedLink() {
        link.m_pPort = &port;
        link.m_pClock = &clock;
        link.m_pReporter = &reporter;
    }
    ScriptedLink(const ScriptedLink&) = delete;
    ScriptedLink& operator=(const ScriptedLink&) = delete;

    FakeClock clock;
    ScriptedPort port{clock};
    RecordingReporter reporter;
    CRadioLink link;
};

// What the exchanges did with the ports they were given.
struct PortLog {
    std::vector<std::string> opened;  // every name asked for, the refused ones included
    int live = 0;                     // ports handed out and not yet closed
    int closed = 0;
};

// Stands in for the serial port an exchange opens: forwards to the scripted line, which outlives
// it, and counts its closing.
class ForwardingPort final : public IBytePort {
public:
    ForwardingPort(IBytePort& line, PortLog& log) : m_line(line), m_log(log) { ++m_log.live; }
    ~ForwardingPort() override {
        --m_log.live;
        ++m_log.closed;
    }
    int ReadByte() override { return m_line.ReadByte(); }
    int WriteByte(int value) override { return m_line.WriteByte(value); }
    void PurgeInput() override { m_line.PurgeInput(); }

private:
    IBytePort& m_line;
    PortLog& m_log;
};

// A line that cancels the exchange the first time it has nothing to give: the user pressing
// Cancel, or a signal, while the tool waits for the radio. onCancel, when given, runs just before.
class CancelOnSilencePort final : public IBytePort {
public:
    CancelOnSilencePort(IBytePort& line, CancelToken& token, std::function<void()> onCancel = {})
        : m_line(line), m_token(token), m_onCancel(std::move(onCancel)) {}
    int ReadByte() override {
        const int b = m_line.ReadByte();
        if (b < 0 && !m_token.IsCancelled()) {
            if (m_onCancel) {
                m_onCancel();
            }
            m_token.Cancel();
        }
        return b;
    }
    int WriteByte(int value) override { return m_line.WriteByte(value); }
    void PurgeInput() override { m_line.PurgeInput(); }

private:
    IBytePort& m_line;
    CancelToken& m_token;
    std::function<void()> m_onCancel;
};

// A radio on a scripted line that procedures open through their session: every exchange opens
// the same line, and the log tells which ports were asked for and whether each was closed.
class ScriptedRadio {
public:
    ScriptedRadio() = default;
    ScriptedRadio(const ScriptedRadio&) = delete;
    ScriptedRadio& operator=(const ScriptedRadio&) = delete;

    // A session on portName whose opener hands out the scripted line, or nothing while
    // portAvailable is false (then with detail as the reason), with the radio's own registry.
    Session MakeSession(const std::string& portName = "COM1") {
        Session session(link, reporter, clock, Opener(), portName);
        session.registry = &registry;
        return session;
    }
    PortOpener Opener() {
        return [this](const std::string& name, const CancelToken*) {
            log.opened.push_back(name);
            PortOpenResult result;
            if (portAvailable) {
                result.port = std::make_unique<ForwardingPort>(*linePort, log);
            } else {
                result.detail = unavailableDetail;
            }
            return result;
        };
    }

    const std::vector<std::uint8_t>& Written() const { return line.Written(); }

    FakeClock clock;
    ScriptedPort line{clock};
    // What the opened port forwards to: the scripted line unless a test puts a wrapper here.
    IBytePort* linePort = &line;
    RecordingReporter reporter;
    CRadioLink link;
    PortLog log;
    // Where the sessions reserve the ESNs they write.
    MemoryRegistry registry;
    bool portAvailable = true;
    std::string unavailableDetail;
};

inline const std::vector<int> kAck = {0x50};
inline const std::vector<int> kNak = {0x60};
inline const std::vector<int> kNotSupported = {0xF1, 0x86, 0x88};
inline const std::vector<int> kEndRequest = {0xF1, 0x10, 0xFE};
inline const std::vector<int> kWriteOk = {0xF2, 0x87, 0x00, 0x86};

// Acknowledge, then the read reply carrying value after its leading byte.
std::vector<int> ReadAnswer(const std::vector<int>& value);
std::vector<int> ReadAnswer(const std::string& text);
// The read request of parameter id as it goes on the line.
std::vector<std::uint8_t> ReadRequest(int id);
// The write request of payload as it goes on the line.
std::vector<std::uint8_t> WriteRequest(const std::vector<int>& payload);

}  // namespace varnel::test
