#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varnel {

// The parameter ids the tool reads.
enum ParameterId : std::uint8_t {
    PARAM_MODEL_NUMBER = 0,
    PARAM_SERIAL_NUMBER = 1,
    PARAM_ESN = 2,
    PARAM_SOFTWARE_VERSION = 3,
    PARAM_CODEPLUG_VERSION = 4,
    PARAM_LAST_PROGRAMMED = 10,
    PARAM_CODEPLUG_PART_NO = 11,
    PARAM_FIRMWARE_PART_NO = 12,
    PARAM_RADIO_IC_VERSIONS = 14,
    PARAM_UUID = 15,
    PARAM_REGIONAL_ID = 16,
};

// The text a read value is shown as. value holds length bytes (a zero byte may follow them; it
// is not needed).
std::string FormatParameter(std::uint8_t id, const char* value, std::uint32_t length);

// The value bytes up to the first zero byte, as single-byte characters.
std::string ValueAsText(const char* value, std::uint32_t length);

}  // namespace varnel
