#include "radio/Esn.h"

#include <cstdint>
#include <cstdio>
#include <limits>

namespace varnel {

bool ParseDecimalField(std::string_view text, std::int32_t& value, std::int32_t min,
                       std::int32_t max) {
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    // Saturates instead of overflowing: a longer string of digits than the entry fields allow is
    // still a number, just one beyond every range.
    constexpr std::int64_t kCap = std::numeric_limits<std::int32_t>::max();
    std::int64_t number = 0;
    for (char c : text) {
        number = number * 10 + (c - '0');
        if (number > kCap) {
            number = kCap;
        }
    }
    value = static_cast<std::int32_t>(number);
    return min <= value && value <= max;
}

std::uint8_t EsnRemainder(std::int32_t field1, std::int32_t field2, std::int32_t field3) {
    // The 30 message bits, field 1 first, each field most significant bit first.
    const std::uint32_t message = (static_cast<std::uint32_t>(field1 & 0xFF) << 22) |
                                  (static_cast<std::uint32_t>(field2 & 0x0F) << 18) |
                                  static_cast<std::uint32_t>(field3 & 0x3FFFF);
    // A shift register of eight cells fed with the message and then eight zero bits: the
    // remainder of message * x^8 divided by x^8 + x^7 + x^6 + 1.
    unsigned r = 0;
    for (int i = 37; i >= 0; --i) {
        const unsigned x = i >= 8 ? (message >> (i - 8)) & 1u : 0u;
        const unsigned f = (r >> 7) & 1u;
        unsigned next = (r << 1) & 0xFE;  // R(k) takes R(k-1); R0 gets x
        next |= x ^ f;
        if (f) {
            next ^= 0xC0;  // R7 and R6 also take the feedback
        }
        r = next & 0xFF;
    }
    return static_cast<std::uint8_t>(r);
}

std::uint8_t EsnCheckByte(std::int32_t field1, std::int32_t field2, std::int32_t field3) {
    const unsigned r = EsnRemainder(field1, field2, field3);
    return static_cast<std::uint8_t>(((r + 0xC4) & 0xFF) ^ 0x5D);
}

std::array<std::uint8_t, kEsnWriteFormSize> EsnWriteForm(const EsnFields& esn) {
    return {
        kEsnWriteId,
        static_cast<std::uint8_t>(esn.field1 & 0xFF),
        static_cast<std::uint8_t>(((esn.field2 & 0x0F) << 4) | ((esn.field3 >> 16) & 0x03)),
        static_cast<std::uint8_t>((esn.field3 >> 8) & 0xFF),
        static_cast<std::uint8_t>(esn.field3 & 0xFF),
        EsnCheckByte(esn.field1, esn.field2, esn.field3),
    };
}

EsnFields DecodeEsn(const std::uint8_t (&b)[kEsnReadFormSize]) {
    EsnFields esn;
    esn.field1 = b[0];
    esn.field2 = b[1] >> 4;
    esn.field3 = ((b[1] & 0x03) << 16) | (b[2] << 8) | b[3];
    return esn;
}

std::string FormatEsn(const EsnFields& esn) {
    char text[32];
    std::snprintf(text, sizeof text, "%03d/%02d/%06ld", static_cast<int>(esn.field1),
                  static_cast<int>(esn.field2), static_cast<long>(esn.field3));
    return text;
}

bool IsBlankEsn(const std::uint8_t* bytes, std::size_t length) {
    if (length != kEsnReadFormSize) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace varnel
