#include "strings/Messages.h"

#include <cstdio>

#include "strings/StringTable.h"

namespace varnel {
namespace {

class StderrReporter final : public IMessageReporter {
public:
    void Show(int, std::string_view caption, std::string_view text, int) override {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data());
    }
};

StderrReporter g_stderrReporter;
IMessageReporter* g_reporter = &g_stderrReporter;

}  // namespace

IMessageReporter* SetMessageReporter(IMessageReporter* reporter) {
    IMessageReporter* previous = g_reporter;
    g_reporter = reporter ? reporter : &g_stderrReporter;
    return previous == &g_stderrReporter ? nullptr : previous;
}

std::string_view CaptionForKind(int kind) {
    return LoadString(kind == MSG_ERROR ? IDS_ERROR_CAPTION : AFX_IDS_APP_TITLE);
}

void ShowMessage(int kind, int stringId) {
    g_reporter->Show(kind, CaptionForKind(kind), LoadString(stringId), stringId);
}

std::string FormatPortError(std::string_view portName) {
    std::string text(LoadString(IDS_PORT_OPEN_FAILED));
    auto at = text.find("%s");
    if (at != std::string::npos) {
        text.replace(at, 2, portName);
    }
    return text;
}

void ShowPortError(std::string_view portName) {
    g_reporter->Show(MSG_ERROR, CaptionForKind(MSG_ERROR), FormatPortError(portName),
                     IDS_PORT_OPEN_FAILED);
}

}  // namespace varnel
