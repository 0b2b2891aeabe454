#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "strings/StringTable.h"

namespace varnel {

inline constexpr std::uint8_t kRegionalIdWriteId = 4;
inline constexpr std::uint8_t kRegionNone = 255;  // no Regional ID programmed yet
// The highest code of a region; 0 to this are regions, anything above but kRegionNone is damage.
inline constexpr std::uint8_t kLastRegionCode = 4;

// What a radio's Regional ID code means for programming one.
enum class RegionState {
    None,        // 255: no Regional ID yet, the one state in which one may be written
    Programmed,  // 0 to 4
    Invalid,     // 5 to 254
};
RegionState RegionStateOf(std::uint8_t code);

// The text of a Regional ID code: the region's name, "No Region defined" for 255, and
// "Invalid Region" for 5 to 254.
std::string RegionalIdText(int code);

// The code in a Regional ID value as the radio sends it: one byte is a code; any other length is
// no code at all (and is shown as "?").
std::optional<std::uint8_t> RegionalIdCodeOf(const char* value, std::uint32_t length);

// The regions a user may write, in the order they are offered: a region's code is its position
// in this list plus one. Code 0 and the "none" code are never offered.
inline constexpr std::array<int, 4> kOfferedRegionStrings = {
    IDS_REGION_NORTH_AMERICA, IDS_REGION_LATIN_AMERICA, IDS_REGION_EMEA, IDS_REGION_ASIA};

// The code of the region at a position of the offered list; nothing outside the list.
std::optional<std::uint8_t> RegionCodeAt(int position);

// The payload of a Regional ID write: the write id 4, then the code.
std::array<std::uint8_t, 2> RegionalIdWriteForm(std::uint8_t code);

}  // namespace varnel
