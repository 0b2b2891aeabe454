#include "radio/Catalogue.h"

#include <cstdio>
#include <cstring>

#include "radio/Esn.h"
#include "radio/Regions.h"

namespace varnel {
namespace {

std::string HexBytes(const unsigned char* bytes, std::uint32_t length) {
    std::string text;
    text.reserve(length * 4);
    char cell[8];
    for (std::uint32_t i = 0; i < length; ++i) {
        std::snprintf(cell, sizeof cell, "$%02X ", bytes[i]);
        text += cell;
    }
    return text;
}

}  // namespace

std::string ValueAsText(const char* value, std::uint32_t length) {
    // A zero byte inside the value ends the text there, as it would end a C string.
    const void* zero = std::memchr(value, '\0', length);
    const std::size_t n = zero ? static_cast<const char*>(zero) - value : length;
    return std::string(value, n);
}

std::string FormatParameter(std::uint8_t id, const char* value, std::uint32_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(value);
    char text[64];
    switch (id) {
        case PARAM_MODEL_NUMBER:
            if (length == 2) {
                std::snprintf(text, sizeof text, "ID = $%02X $%02X", bytes[0], bytes[1]);
                return text;
            }
            return ValueAsText(value, length);
        case PARAM_ESN: {
            if (length != kEsnReadFormSize) {
                return "?";
            }
            std::uint8_t form[kEsnReadFormSize];
            std::memcpy(form, bytes, kEsnReadFormSize);
            return FormatEsn(DecodeEsn(form));
        }
        case PARAM_RADIO_IC_VERSIONS:
            return HexBytes(bytes, length);
        case PARAM_UUID:
            if (length != 16) {
                return "?";
            }
            std::snprintf(text, sizeof text,
                          "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                          bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6],
                          bytes[7], bytes[8], bytes[9], bytes[10], bytes[11], bytes[12], bytes[13],
                          bytes[14], bytes[15]);
            return text;
        case PARAM_REGIONAL_ID: {
            const auto code = RegionalIdCodeOf(value, length);
            return code ? RegionalIdText(*code) : "?";
        }
        default:
            return ValueAsText(value, length);
    }
}

}  // namespace varnel
