#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "procedures/RadioInfo.h"
#include "templates/DialogTemplates.h"

namespace varnel {

// Where each Radio Info value is shown: the dialog's control and the name in machine-readable
// output. The label is the read's own (kRadioInfoQueries), so a field is named the same in the
// dialog, in the progress text and on a command line.
struct RadioInfoField {
    std::uint8_t parameter;
    int control;
    std::string_view key;
};

// In the order of the reads.
inline constexpr std::array<RadioInfoField, kRadioInfoFieldCount> kRadioInfoFields = {{
    {PARAM_MODEL_NUMBER, RadioInfoIds::IDC_MODEL_NUMBER, "model_number"},
    {PARAM_SERIAL_NUMBER, RadioInfoIds::IDC_SERIAL_NUMBER, "serial_number"},
    {PARAM_SOFTWARE_VERSION, RadioInfoIds::IDC_SOFTWARE_VERSION, "software_version"},
    {PARAM_CODEPLUG_VERSION, RadioInfoIds::IDC_CODEPLUG_VERSION, "codeplug_version"},
    {PARAM_LAST_PROGRAMMED, RadioInfoIds::IDC_LAST_PROGRAMMED, "last_programmed"},
    {PARAM_CODEPLUG_PART_NO, RadioInfoIds::IDC_CODEPLUG_PART_NO, "codeplug_part_no"},
    {PARAM_FIRMWARE_PART_NO, RadioInfoIds::IDC_FIRMWARE_PART_NO, "firmware_part_no"},
    {PARAM_ESN, RadioInfoIds::IDC_ESN, "esn"},
    {PARAM_REGIONAL_ID, RadioInfoIds::IDC_REGIONAL_ID, "regional_id"},
    {PARAM_UUID, RadioInfoIds::IDC_UUID, "uuid"},
    {PARAM_RADIO_IC_VERSIONS, RadioInfoIds::IDC_RADIO_IC_VERSIONS, "radio_ic_versions"},
}};

constexpr bool FieldsFollowTheReads() {
    for (std::size_t i = 0; i < kRadioInfoFieldCount; ++i) {
        if (kRadioInfoFields[i].parameter != kRadioInfoQueries[i].id) {
            return false;
        }
    }
    return true;
}
static_assert(FieldsFollowTheReads(), "a field would show another parameter's value");

// What the Radio Info dialog does when it opens: reads the radio, run the way the session's
// runner says, and hands each field that has a text to show(control, text), in the order of the
// reads. False when the read did not end well: the user has been told, and nothing is shown.
bool ShowRadioInfo(Session& session,
                   const std::function<void(int control, const std::string& text)>& show);

}  // namespace varnel
