#include "usecases/RegionEntry.h"

#include <cstdint>
#include <optional>

#include "procedures/RegionProgramming.h"
#include "radio/Regions.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"

namespace varnel {

bool MayChooseRegion(Session& session) {
    return RunProcedure(session, CheckNoRegionalId).outcome == Outcome::Done;
}

bool ProgramChosenRegion(Session& session, int position) {
    const std::optional<std::uint8_t> code = RegionCodeAt(position);
    if (!code) {
        ShowMessage(session.reporter, MSG_ERROR, IDS_REGION_NOT_SELECTED);
        return false;
    }
    return RunProcedure(session, [&](Session& s) { return ProgramRegionalId(s, *code); }).outcome ==
           Outcome::Done;
}

}  // namespace varnel
