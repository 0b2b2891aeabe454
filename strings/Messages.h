#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace varnel {

enum MessageKind : int {
    MSG_ERROR = 1,  // caption "Error", stop icon
    MSG_INFO = 2,   // caption "Varnel", information icon
};

// One message for the user, as a message box shows it.
struct Message {
    int kind = MSG_ERROR;
    int stringId = 0;
    std::string_view caption;
    std::string_view text;
    // More about the message in plain words (why a port could not be opened and what to do about
    // it), shown under the text; empty for most messages.
    std::string_view detail;
};

// Where messages go: a message box in the application, standard error in the command-line tool,
// a recorder in tests. Whoever runs an exchange hands one in; the link and the procedures never
// know which one it is.
class IMessageReporter {
public:
    virtual ~IMessageReporter() = default;
    // Shows one message and returns when the user has dismissed it.
    virtual void Show(const Message& message) = 0;
};

// Shows the string-table text of stringId with the caption and icon of the kind.
void ShowMessage(IMessageReporter& reporter, int kind, int stringId);

// Shows an already formatted text with the caption and icon of the kind; stringId names where it
// came from.
void ShowText(IMessageReporter& reporter, int kind, int stringId, std::string_view text,
              std::string_view detail = {});

// The string-table text of stringId with %1, %2, ... replaced by args in order, as plain text (an
// argument holding '%' is never read as a placeholder).
std::string FormatString(int stringId, std::initializer_list<std::string_view> args);

// The box for a port that could not be opened: caption "Error", the port-open text with the port
// name in place of its "%s", and the reason, when one is known, under it.
void ShowPortError(IMessageReporter& reporter, std::string_view portName,
                   std::string_view detail = {});

// The port-open text with portName put in. The name is inserted as plain text, never used as a
// format, so a name holding '%' cannot disturb it.
std::string FormatPortError(std::string_view portName);

// The caption a kind uses: "Error" for errors, "Varnel" for information.
std::string_view CaptionForKind(int kind);

}  // namespace varnel
