#include "usecases/EsnEntry.h"

#include <cstdint>

#include "procedures/EsnProgramming.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"

namespace varnel {

TypedEsn EsnFromFields(const std::array<std::string_view, 3>& texts, EsnEntryRule rule) {
    const bool strict = rule == EsnEntryRule::CommandLine;
    std::array<std::int32_t, 3> values = {};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const EsnEntryField& field = kEsnEntryFields[i];
        const std::string_view text = texts[i];
        if (strict && (text.empty() || text.size() > static_cast<std::size_t>(field.maxLength))) {
            return {std::nullopt, IDS_ESN_INVALID};
        }
        if (!ParseDecimalField(text, values[i], field.min, field.max)) {
            return {std::nullopt, IDS_ESN_INVALID};
        }
    }
    return {EsnFields{values[0], values[1], values[2]}, 0};
}

TypedEsn EsnFromText(std::string_view text, EsnEntryRule rule) {
    std::array<std::string_view, 3> texts;
    for (std::size_t i = 0; i + 1 < texts.size(); ++i) {
        const std::size_t slash = text.find('/');
        if (slash == std::string_view::npos) {
            return {std::nullopt, IDS_ESN_INVALID};  // fewer than three fields
        }
        texts[i] = text.substr(0, slash);
        text.remove_prefix(slash + 1);
    }
    // A further slash stays in the last field, which then holds a character that is no digit.
    texts.back() = text;
    return EsnFromFields(texts, rule);
}

bool ProgramTypedEsn(Session& session, const std::function<std::string(int control)>& textOf) {
    std::array<std::string, kEsnEntryControls.size()> texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = textOf(kEsnEntryControls[i].id);
    }
    const TypedEsn entry = EsnFromFields({texts[0], texts[1], texts[2]}, EsnEntryRule::Dialog);
    if (!entry.esn) {
        ShowMessage(session.reporter, MSG_ERROR, entry.message);
        return false;
    }
    const EsnFields esn = *entry.esn;
    return RunProcedure(session, [&](Session& s) { return ProgramEsn(s, esn); }).outcome ==
           Outcome::Done;
}

bool MayEnterEsn(Session& session) {
    return RunProcedure(session, CheckEsnBlank).outcome == Outcome::Done;
}

}  // namespace varnel
