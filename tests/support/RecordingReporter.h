#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "strings/Messages.h"

namespace varnel::test {

// Records every message instead of showing it.
class RecordingReporter final : public IMessageReporter {
public:
    struct Entry {
        int kind;
        int id;
        std::string caption;
        std::string text;
        std::string detail;
    };

    void Show(const Message& message) override {
        m_messages.push_back({message.kind, message.stringId, std::string(message.caption),
                              std::string(message.text), std::string(message.detail)});
        if (m_onShow) {
            m_onShow();
        }
    }

    const std::vector<Entry>& Messages() const { return m_messages; }
    // The string ids shown, in order.
    std::vector<int> Ids() const;
    void Clear() { m_messages.clear(); }
    // Runs while each message is "up", e.g. to see what else holds at that moment.
    void OnShow(std::function<void()> hook) { m_onShow = std::move(hook); }

private:
    std::vector<Entry> m_messages;
    std::function<void()> m_onShow;
};

}  // namespace varnel::test
