#pragma once

#include <QApplication>
#include <QCursor>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/VarnelApp.h"
#include "dialogs/RadioExchange.h"
#include "link/RadioLink.h"
#include "strings/Messages.h"
#include "tests/support/FakeClock.h"
#include "tests/support/ScriptedPort.h"

namespace varnel::test {

// Records every message like the recording reporter, and also whether the wait cursor was up
// while it was shown.
class CursorRecordingReporter final : public IMessageReporter {
public:
    struct Message {
        int kind;
        int id;
        std::string text;
        bool waitCursor;
    };

    CursorRecordingReporter() : m_previous(SetMessageReporter(this)) {}
    ~CursorRecordingReporter() override { SetMessageReporter(m_previous); }
    CursorRecordingReporter(const CursorRecordingReporter&) = delete;
    CursorRecordingReporter& operator=(const CursorRecordingReporter&) = delete;

    void Show(int kind, std::string_view, std::string_view text, int id) override {
        const QCursor* cursor = QApplication::overrideCursor();
        m_messages.push_back(
            {kind, id, std::string(text), cursor != nullptr && cursor->shape() == Qt::WaitCursor});
    }

    const std::vector<Message>& Messages() const { return m_messages; }
    std::vector<int> Ids() const {
        std::vector<int> ids;
        for (const auto& m : m_messages) {
            ids.push_back(m.id);
        }
        return ids;
    }
    void Clear() { m_messages.clear(); }

private:
    IMessageReporter* m_previous;
    std::vector<Message> m_messages;
};

// What the dialogs' exchanges did with the ports they were given.
struct PortLog {
    std::vector<std::string> opened;  // every name asked for, the refused ones included
    int live = 0;                     // ports handed out and not yet closed
    int closed = 0;
};

// Stands in for the serial port an exchange opens: forwards to the test's scripted line, which
// outlives it, and counts its closing.
class ForwardingPort final : public IBytePort {
public:
    ForwardingPort(ScriptedPort& line, PortLog& log) : m_line(line), m_log(log) { ++m_log.live; }
    ~ForwardingPort() override {
        --m_log.live;
        ++m_log.closed;
    }
    int ReadByte() override { return m_line.ReadByte(); }
    int WriteByte(int value) override { return m_line.WriteByte(value); }
    void PurgeInput() override { m_line.PurgeInput(); }

private:
    ScriptedPort& m_line;
    PortLog& m_log;
};

// The scripted radio of one dialog test: the link reads virtual time from its clock, every
// exchange opens the scripted line, and everything is put back afterwards. An application object
// holds the port index, as at run time.
class ExchangeFixture {
public:
    ExchangeFixture() {
        m_savedClock = g_radioLink.m_pClock;
        g_radioLink.m_pClock = &clock;
        g_radioLink.m_status = RadioStatus::Ok;
        g_radioLink.m_pPort = nullptr;
        m_savedOpener = CRadioExchange::SetPortOpener(
            [this](const std::string& name) -> std::unique_ptr<IBytePort> {
                log.opened.push_back(name);
                if (!portAvailable) {
                    return nullptr;
                }
                return std::make_unique<ForwardingPort>(line, log);
            });
    }
    ~ExchangeFixture() {
        CRadioExchange::SetPortOpener(std::move(m_savedOpener));
        g_radioLink.m_pClock = m_savedClock;
        g_radioLink.m_pPort = nullptr;
        g_radioLink.m_status = RadioStatus::Ok;
        while (QApplication::overrideCursor()) {
            QApplication::restoreOverrideCursor();
        }
    }
    ExchangeFixture(const ExchangeFixture&) = delete;
    ExchangeFixture& operator=(const ExchangeFixture&) = delete;

    // The requests written to the line, each as its bytes.
    const std::vector<std::uint8_t>& Written() const { return line.Written(); }

    CVarnelApp app;
    FakeClock clock;
    ScriptedPort line{clock};
    PortLog log;
    bool portAvailable = true;
    CursorRecordingReporter reporter;

private:
    IClock* m_savedClock = nullptr;
    CRadioExchange::PortOpener m_savedOpener;
};

inline const std::vector<int> kAck = {0x50};
inline const std::vector<int> kNak = {0x60};
inline const std::vector<int> kNotSupported = {0xF1, 0x86, 0x88};
inline const std::vector<int> kEndRequest = {0xF1, 0x10, 0xFE};

// Acknowledge, then the read reply carrying value after its leading byte.
inline std::vector<int> ReadAnswer(const std::vector<int>& value) {
    std::vector<int> payload{0x00};
    payload.insert(payload.end(), value.begin(), value.end());
    return Concat({kAck, Frame(139, payload)});
}
inline std::vector<int> ReadAnswer(const std::string& text) {
    return ReadAnswer(std::vector<int>(text.begin(), text.end()));
}
// The read request of parameter id as it goes on the line.
inline std::vector<std::uint8_t> ReadRequest(int id) {
    std::vector<int> frame = Frame(35, {id});
    return std::vector<std::uint8_t>(frame.begin(), frame.end());
}

}  // namespace varnel::test
