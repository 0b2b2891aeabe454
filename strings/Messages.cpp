#include "strings/Messages.h"

#include "strings/StringTable.h"

namespace varnel {

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
