#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "procedures/Session.h"
#include "radio/Esn.h"
#include "templates/DialogTemplates.h"

namespace varnel {

// How strictly typed ESN fields are taken. The two front ends differ in one point only: a field
// left empty in the dialog counts as 0 (its controls also keep each field within its length),
// while a command line must spell every field out, so that a slip such as 130//123456 is never
// written to a radio as 130/00/123456.
enum class EsnEntryRule {
    Dialog,
    CommandLine,
};

// What the user typed, taken as an ESN: the ESN, or the string id of the message the user gets.
struct TypedEsn {
    std::optional<EsnFields> esn;
    int message = 0;
};

// The three field texts, first field first. Each is digits only and within its range (the first
// 0 to 255, the second 0 to 15, the third 1 to 262143); with the command-line rule each is also
// non-empty and no longer than its field.
TypedEsn EsnFromFields(const std::array<std::string_view, 3>& texts, EsnEntryRule rule);

// One "FIELD1/FIELD2/FIELD3" text: exactly three fields, each taken as EsnFromFields takes it.
TypedEsn EsnFromText(std::string_view text, EsnEntryRule rule);

// The Program ESN dialog's entry controls, in field order, with the length each takes.
struct EsnEntryControl {
    int id;
    int maxLength;
};
inline constexpr std::array<EsnEntryControl, 3> kEsnEntryControls = {{
    {ProgramEsnIds::IDC_ESN_FIELD1, kEsnEntryFields[0].maxLength},
    {ProgramEsnIds::IDC_ESN_FIELD2, kEsnEntryFields[1].maxLength},
    {ProgramEsnIds::IDC_ESN_FIELD3, kEsnEntryFields[2].maxLength},
}};

// What "Program" does with the texts of the dialog's entry controls (textOf gives the text of
// a control by its id): an invalid entry is told through the
// session's reporter and nothing is sent; a valid one is written in one exchange, run the way the
// session's runner says. True when the radio took it.
bool ProgramTypedEsn(Session& session, const std::function<std::string(int control)>& textOf);

// What opening the Program ESN dialog does: the blank test. True when the dialog stays open for
// entry; the user has been told why not otherwise.
bool MayEnterEsn(Session& session);

}  // namespace varnel
