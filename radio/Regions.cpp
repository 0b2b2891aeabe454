#include "radio/Regions.h"

#include <iterator>

namespace varnel {

RegionState RegionStateOf(std::uint8_t code) {
    if (code == kRegionNone) {
        return RegionState::None;
    }
    return code <= kLastRegionCode ? RegionState::Programmed : RegionState::Invalid;
}

std::string RegionalIdText(int code) {
    if (code >= 0 && code <= kLastRegionCode) {
        return std::string(LoadString(IDS_REGION_SUPER_ZANDREL + code));
    }
    if (code == kRegionNone) {
        return std::string(LoadString(IDS_REGION_NONE));
    }
    return "Invalid Region";
}

std::optional<std::uint8_t> RegionalIdCodeOf(const char* value, std::uint32_t length) {
    if (length != 1) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value[0]);
}

std::optional<std::uint8_t> RegionCodeAt(int position) {
    if (position < 0 || position >= static_cast<int>(std::size(kOfferedRegionStrings))) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(position + 1);
}

std::array<std::uint8_t, 2> RegionalIdWriteForm(std::uint8_t code) {
    return {kRegionalIdWriteId, code};
}

}  // namespace varnel
