#include "strings/Messages.h"

#include "strings/StringTable.h"

namespace varnel {

std::string_view CaptionForKind(int kind) {
    return LoadString(kind == MSG_ERROR ? IDS_ERROR_CAPTION : AFX_IDS_APP_TITLE);
}

void ShowMessage(IMessageReporter& reporter, int kind, int stringId) {
    reporter.Show({kind, stringId, CaptionForKind(kind), LoadString(stringId), {}});
}

void ShowText(IMessageReporter& reporter, int kind, int stringId, std::string_view text,
              std::string_view detail) {
    reporter.Show({kind, stringId, CaptionForKind(kind), text, detail});
}

std::string FormatString(int stringId, std::initializer_list<std::string_view> args) {
    const std::string_view pattern = LoadString(stringId);
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const std::size_t index = static_cast<std::size_t>(next - '1');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && index < args.size()) {
            text += *(args.begin() + index);
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
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
