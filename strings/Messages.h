#pragma once

#include <string>
#include <string_view>

namespace varnel {

enum MessageKind : int {
    MSG_ERROR = 1,  // caption "Error", stop icon
    MSG_INFO = 2,   // caption "Varnel", information icon
};

// Where messages go. The application installs a message box, tests install a recorder, a
// command-line tool writes to standard error. The link and the radio rules only ever call
// ShowMessage and never know which one is in place.
class IMessageReporter {
public:
    virtual ~IMessageReporter() = default;
    // Shows one message and returns when the user has dismissed it.
    virtual void Show(int kind, std::string_view caption, std::string_view text, int stringId) = 0;
};

// Installs a reporter and returns the one it replaces; nullptr restores the default, which
// writes to standard error.
IMessageReporter* SetMessageReporter(IMessageReporter* reporter);

// Shows the string-table text of stringId with the caption and icon of the kind.
void ShowMessage(int kind, int stringId);

// The box for a port that could not be opened: caption "Error", the port-open text with the port
// name in place of its "%s".
void ShowPortError(std::string_view portName);

// The port-open text with portName put in. The name is inserted as plain text, never used as a
// format, so a name holding '%' cannot disturb it.
std::string FormatPortError(std::string_view portName);

// The caption a kind uses: "Error" for errors, "Varnel" for information.
std::string_view CaptionForKind(int kind);

}  // namespace varnel
