#include "procedures/EsnProgramming.h"

#include <cstdint>

#include "radio/Catalogue.h"
#include "strings/StringTable.h"

namespace varnel {

ReadResult CheckEsnBlank(Session& session) {
    return ReadAndJudge(session, PARAM_ESN, "Reading ESN", [](const std::string& value) {
        if (value.size() != kEsnReadFormSize) {
            return static_cast<int>(IDS_ESN_FORMAT_UNSUPPORTED);
        }
        return IsBlankEsn(reinterpret_cast<const std::uint8_t*>(value.data()), value.size())
                   ? 0
                   : static_cast<int>(IDS_ESN_ALREADY_PROGRAMMED);
    });
}

WriteResult ProgramEsn(Session& session, const EsnFields& esn) {
    const auto payload = EsnWriteForm(esn);
    return WriteAndReport(session, payload.data(), static_cast<std::uint32_t>(payload.size()),
                          "Writing ESN",
                          {IDS_ESN_PROGRAMMED, IDS_ESN_PROGRAM_FAILED, IDS_ESN_WRITE_CANCELLED});
}

}  // namespace varnel
