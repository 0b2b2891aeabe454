#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace varnel {

// An ESN: three decimal fields of 8, 4 and 18 bits, shown as "fff/ff/ffffff".
struct EsnFields {
    std::int32_t field1 = 0;  // 0 to 255
    std::int32_t field2 = 0;  // 0 to 15
    std::int32_t field3 = 0;  // 1 to 262143 in a value the tool writes

    bool operator==(const EsnFields&) const = default;
};

inline constexpr std::int32_t kEsnField1Max = 255;
inline constexpr std::int32_t kEsnField2Max = 15;
inline constexpr std::int32_t kEsnField3Min = 1;
inline constexpr std::int32_t kEsnField3Max = 0x3FFFF;
inline constexpr std::size_t kEsnReadFormSize = 5;
inline constexpr std::size_t kEsnWriteFormSize = 6;
inline constexpr std::uint8_t kEsnWriteId = 1;

// How a user enters an ESN: three fields, each taking as many characters as its largest value
// has (so 1000 cannot be typed into field 1 and a parse never overflows) and parsed within its
// range.
struct EsnEntryField {
    int maxLength;
    std::int32_t min;
    std::int32_t max;
};
inline constexpr std::array<EsnEntryField, 3> kEsnEntryFields = {{
    {3, 0, kEsnField1Max},
    {2, 0, kEsnField2Max},
    {6, kEsnField3Min, kEsnField3Max},
}};

// Parses one entry field: digits only (an empty text is 0), any other character refuses the
// whole text and leaves value alone. Stores the number even when it is out of range and returns
// whether min <= number <= max. Safe for any length: a number too large for 32 bits is stored
// as INT32_MAX, which is out of every range the tool uses.
bool ParseDecimalField(std::string_view text, std::int32_t& value, std::int32_t min,
                       std::int32_t max);

// The check byte written with an ESN: an 8-bit CRC (x^8 + x^7 + x^6 + 1) over the 30 bits of the
// three fields, then + 0xC4 and XOR 0x5D. Only the low 8, 4 and 18 bits of the fields count.
std::uint8_t EsnCheckByte(std::int32_t field1, std::int32_t field2, std::int32_t field3);

// The CRC remainder alone, before the final + 0xC4 and XOR 0x5D.
std::uint8_t EsnRemainder(std::int32_t field1, std::int32_t field2, std::int32_t field3);

// The six-byte payload of an ESN write: the write id 1, the four value bytes, the check byte.
std::array<std::uint8_t, kEsnWriteFormSize> EsnWriteForm(const EsnFields& esn);

// The fields of a five-byte read form (bits 3 and 2 of byte 1 and the check byte are ignored).
EsnFields DecodeEsn(const std::uint8_t (&readForm)[kEsnReadFormSize]);

// "%03d/%02d/%06ld" of the decoded fields.
std::string FormatEsn(const EsnFields& esn);

// All five bytes zero: the radio has no ESN yet.
bool IsBlankEsn(const std::uint8_t* bytes, std::size_t length);

}  // namespace varnel
