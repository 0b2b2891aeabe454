#include "procedures/EsnReadBack.h"

#include <cstdint>
#include <string>

#include "procedures/Programming.h"
#include "radio/Catalogue.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"

namespace varnel {

EsnReadBackResult ReadEsnBack(Session& session, const EsnFields& written) {
    EsnReadBackResult result;
    const ReadResult back = ReadAndJudge(session, PARAM_ESN, "Reading ESN back", ValueJudge());
    result.outcome = back.outcome;
    if (back.outcome != Outcome::Done) {
        return result;
    }
    if (back.value.size() != kEsnReadFormSize) {
        result.verified = false;
        result.outcome = Outcome::Refused;
        ShowMessage(session.reporter, MSG_ERROR, IDS_ESN_FORMAT_UNSUPPORTED);
        return result;
    }
    std::uint8_t bytes[kEsnReadFormSize];
    for (std::size_t i = 0; i < kEsnReadFormSize; ++i) {
        bytes[i] = static_cast<std::uint8_t>(back.value[i]);
    }
    const EsnFields read = DecodeEsn(bytes);
    result.verified = read == written;
    if (!*result.verified) {
        result.outcome = Outcome::Refused;
        const std::string text = "The ESN read back, " + FormatEsn(read) +
                                 ", differs from the ESN written, " + FormatEsn(written) + ".";
        session.reporter.Show({MSG_ERROR, 0, CaptionForKind(MSG_ERROR), text, {}});
    }
    return result;
}

}  // namespace varnel
