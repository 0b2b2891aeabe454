#include "usecases/RadioInfoFields.h"

namespace varnel {

bool ShowRadioInfo(Session& session,
                   const std::function<void(int control, const std::string& text)>& show) {
    const RadioInfoResult result = RunProcedure(session, ReadRadioInfo);
    if (result.outcome != Outcome::Done) {
        return false;
    }
    for (std::size_t i = 0; i < kRadioInfoFieldCount; ++i) {
        if (result.fields[i]) {
            show(kRadioInfoFields[i].control, *result.fields[i]);
        }
    }
    return true;
}

}  // namespace varnel
