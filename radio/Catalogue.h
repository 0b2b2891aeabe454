#pragma once

#include <array>
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

// The write ids: a numbering of their own, apart from the read ids.
inline constexpr std::uint8_t kWriteIdEsn = 1;
inline constexpr std::uint8_t kWriteIdRegionalId = 4;

inline constexpr std::uint8_t kRegionNone = 255;  // no Regional ID programmed yet

// The text a read value is shown as. value holds length bytes (a zero byte may follow them; it
// is not needed).
std::string FormatParameter(std::uint8_t id, const char* value, std::uint32_t length);

// The value bytes up to the first zero byte, as single-byte characters.
std::string ValueAsText(const char* value, std::uint32_t length);

// The text of a Regional ID code: the region's name, "No Region defined" for 255, and
// "Invalid Region" for 5 to 254.
std::string RegionalIdText(int code);

// The payload of a Regional ID write: the write id 4, then the code.
std::array<std::uint8_t, 2> RegionalIdWriteForm(std::uint8_t code);

}  // namespace varnel
