#include "strings/Messages.h"

#include <cstdio>

#include "strings/StringTable.h"

namespace varnel {
namespace {

class CStderrReporter final : public IMessageReporter {
public:
    void Show(const Message& message) override {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(message.caption.size()),
                     message.caption.data(), static_cast<int>(message.text.size()),
                     message.text.data());
        if (!message.detail.empty()) {
            std::fprintf(stderr, "%.*s\n", static_cast<int>(message.detail.size()),
                         message.detail.data());
        }
    }
};

}  // namespace

IMessageReporter& StderrReporter() {
    static CStderrReporter reporter;
    return reporter;
}

std::string_view CaptionForKind(int kind) {
    return LoadString(kind == MSG_ERROR ? IDS_ERROR_CAPTION : AFX_IDS_APP_TITLE);
}

void ShowMessage(IMessageReporter& reporter, int kind, int stringId) {
    reporter.Show({kind, stringId, CaptionForKind(kind), LoadString(stringId), {}});
}

std::string FormatPortError(std::string_view portName) {
    std::string text(LoadString(IDS_PORT_OPEN_FAILED));
    auto at = text.find("%s");
    if (at != std::string::npos) {
        text.replace(at, 2, portName);
    }
    return text;
}

void ShowPortError(IMessageReporter& reporter, std::string_view portName, std::string_view detail) {
    const std::string text = FormatPortError(portName);
    reporter.Show({MSG_ERROR, IDS_PORT_OPEN_FAILED, CaptionForKind(MSG_ERROR), text, detail});
}

}  // namespace varnel
