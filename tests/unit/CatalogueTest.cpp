#include <gtest/gtest.h>

#include <string>

#include "radio/Catalogue.h"
#include "radio/Regions.h"

namespace varnel {
namespace {

struct DisplayCase {
    std::uint8_t id;
    std::string value;
    std::string shown;
};

TEST(Catalogue, EachParameterIsShownByItsRule) {
    const DisplayCase cases[] = {
        {PARAM_MODEL_NUMBER, "AB", "ID = $41 $42"},
        {PARAM_MODEL_NUMBER, std::string("\x01\x02", 2), "ID = $01 $02"},
        {PARAM_MODEL_NUMBER, "ABC", "ABC"},
        {PARAM_MODEL_NUMBER, "", ""},
        {PARAM_SERIAL_NUMBER, "SN12345", "SN12345"},
        {PARAM_SOFTWARE_VERSION, std::string("R01\0junk", 8), "R01"},
        {PARAM_LAST_PROGRAMMED, "", ""},
        {PARAM_ESN, std::string("\x82\x51\x23\x45\x99", 5), "130/05/074565"},
        {PARAM_ESN, std::string(5, '\0'), "000/00/000000"},
        {PARAM_ESN, std::string("\x82\x51\x23\x45", 4), "?"},
        {PARAM_ESN, std::string("\x82\x51\x23\x45\x99\x00", 6), "?"},
        {PARAM_RADIO_IC_VERSIONS, std::string("\x01\x0A\xFF", 3), "$01 $0A $FF "},
        {PARAM_RADIO_IC_VERSIONS, "", ""},
        {PARAM_UUID,
         std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F", 16),
         "00010203-0405-0607-0809-0A0B0C0D0E0F"},
        {PARAM_UUID, std::string(15, 'u'), "?"},
        {PARAM_REGIONAL_ID, "\xFF", "No Region defined"},
        {PARAM_REGIONAL_ID, "\x07", "Invalid Region"},
        {PARAM_REGIONAL_ID, std::string(1, '\0'), "Super Zandrel"},
        {PARAM_REGIONAL_ID, "\x04", "Asia"},
        {PARAM_REGIONAL_ID, "\x01\x02", "?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + " -> " + c.shown);
        EXPECT_EQ(FormatParameter(c.id, c.value.data(), static_cast<std::uint32_t>(c.value.size())),
                  c.shown);
    }
}

TEST(Regions, EveryCodeHasItsTextAndItsState) {
    const char* named[] = {"Super Zandrel", "North America", "Latin America", "EMEA", "Asia"};
    for (int code = 0; code <= 255; ++code) {
        const std::string expected = code <= 4     ? named[code]
                                     : code == 255 ? "No Region defined"
                                                   : "Invalid Region";
        EXPECT_EQ(RegionalIdText(code), expected) << code;
        const RegionState state = code <= 4     ? RegionState::Programmed
                                  : code == 255 ? RegionState::None
                                                : RegionState::Invalid;
        EXPECT_EQ(RegionStateOf(static_cast<std::uint8_t>(code)), state) << code;
    }
}

TEST(Regions, OfferedListMapsPositionsToCodesOneToFour) {
    EXPECT_EQ(RegionCodeAt(-1), std::nullopt);
    EXPECT_EQ(RegionCodeAt(0), 1);
    EXPECT_EQ(RegionCodeAt(3), 4);
    EXPECT_EQ(RegionCodeAt(4), std::nullopt);
    EXPECT_EQ(RegionalIdText(*RegionCodeAt(2)), LoadString(kOfferedRegionStrings[2]));
    EXPECT_EQ(RegionalIdWriteForm(1), (std::array<std::uint8_t, 2>{4, 1}));
    EXPECT_EQ(RegionalIdWriteForm(4), (std::array<std::uint8_t, 2>{4, 4}));
}

}  // namespace
}  // namespace varnel
