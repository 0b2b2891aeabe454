#pragma once

#include "procedures/Session.h"

namespace varnel {

// What opening the Program Regional ID dialog does: reads the radio's Regional ID, run the way
// the session's runner says. True when the dialog stays open for a choice; the user has been
// told why not otherwise.
bool MayChooseRegion(Session& session);

// What "Program" does with the position chosen in the region list (-1: none): no choice is told
// and nothing is sent; a choice is written in one exchange, run the way the session's runner
// says. True when the radio took it.
bool ProgramChosenRegion(Session& session, int position);

}  // namespace varnel
