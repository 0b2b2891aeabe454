#include "procedures/RegionProgramming.h"

#include "radio/Catalogue.h"
#include "radio/Regions.h"
#include "strings/StringTable.h"

namespace varnel {

RegionalIdReadResult ReadRegionalId(Session& session) {
    RegionalIdReadResult result;
    result.read =
        ReadAndJudge(session, PARAM_REGIONAL_ID, "Reading Regional Identifier", ValueJudge());
    if (result.read.read) {
        const std::string& value = result.read.value;
        const auto length = static_cast<std::uint32_t>(value.size());
        result.code = RegionalIdCodeOf(value.data(), length);
        result.text = FormatParameter(PARAM_REGIONAL_ID, value.data(), length);
    }
    return result;
}

ReadResult CheckNoRegionalId(Session& session) {
    return ReadAndJudge(session, PARAM_REGIONAL_ID, "Reading Regional Identifier",
                        [](const std::string& value) {
                            if (value.size() != 1) {
                                return static_cast<int>(IDS_REGION_FORMAT_UNSUPPORTED);
                            }
                            switch (RegionStateOf(static_cast<std::uint8_t>(value[0]))) {
                                case RegionState::None:
                                    return 0;  // the one case to go on
                                case RegionState::Programmed:
                                    return static_cast<int>(IDS_REGION_ALREADY_PROGRAMMED);
                                case RegionState::Invalid:
                                    break;
                            }
                            return static_cast<int>(IDS_REGION_INVALID);
                        });
}

WriteResult ProgramRegionalId(Session& session, std::uint8_t code) {
    const auto payload = RegionalIdWriteForm(code);
    return WriteAndReport(
        session, payload.data(), static_cast<std::uint32_t>(payload.size()),
        "Writing Regional Identifier",
        {IDS_REGION_PROGRAMMED, IDS_REGION_PROGRAM_FAILED, IDS_REGION_WRITE_CANCELLED});
}

}  // namespace varnel
