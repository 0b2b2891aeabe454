#pragma once

#include <string>
#include <vector>

#include "strings/Messages.h"

namespace varnel::test {

// Records every message instead of showing it; installed for its own lifetime.
class RecordingReporter final : public IMessageReporter {
public:
    struct Message {
        int kind;
        int id;
        std::string caption;
        std::string text;
    };

    RecordingReporter() : m_previous(SetMessageReporter(this)) {}
    ~RecordingReporter() override { SetMessageReporter(m_previous); }
    RecordingReporter(const RecordingReporter&) = delete;
    RecordingReporter& operator=(const RecordingReporter&) = delete;

    void Show(int kind, std::string_view caption, std::string_view text, int id) override {
        m_messages.push_back({kind, id, std::string(caption), std::string(text)});
    }

    const std::vector<Message>& Messages() const { return m_messages; }
    // The string ids shown, in order.
    std::vector<int> Ids() const;
    void Clear() { m_messages.clear(); }

private:
    IMessageReporter* m_previous;
    std::vector<Message> m_messages;
};

}  // namespace varnel::test
