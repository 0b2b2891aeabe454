#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "radio/Esn.h"

namespace varnel {
namespace {

struct WorkedExample {
    EsnFields fields;
    std::uint8_t remainder;
    std::uint8_t check;
    std::array<std::uint8_t, 6> writeForm;
    const char* display;
};

const WorkedExample kExamples[] = {
    {{0, 0, 1}, 0xC1, 0xD8, {0x01, 0x00, 0x00, 0x00, 0x01, 0xD8}, "000/00/000001"},
    {{1, 2, 3}, 0x96, 0x07, {0x01, 0x01, 0x20, 0x00, 0x03, 0x07}, "001/02/000003"},
    {{12, 3, 4567}, 0xC9, 0xD0, {0x01, 0x0C, 0x30, 0x11, 0xD7, 0xD0}, "012/03/004567"},
    {{130, 5, 123456}, 0x4D, 0x4C, {0x01, 0x82, 0x51, 0xE2, 0x40, 0x4C}, "130/05/123456"},
    {{200, 9, 65535}, 0x1A, 0x83, {0x01, 0xC8, 0x90, 0xFF, 0xFF, 0x83}, "200/09/065535"},
    {{0, 15, 65536}, 0x92, 0x0B, {0x01, 0x00, 0xF1, 0x00, 0x00, 0x0B}, "000/15/065536"},
    {{255, 15, 262143}, 0x96, 0x07, {0x01, 0xFF, 0xF3, 0xFF, 0xFF, 0x07}, "255/15/262143"},
};

TEST(Esn, WorkedExamplesRoundTrip) {
    for (const auto& e : kExamples) {
        SCOPED_TRACE(e.display);
        const auto& f = e.fields;
        EXPECT_EQ(EsnRemainder(f.field1, f.field2, f.field3), e.remainder);
        EXPECT_EQ(EsnCheckByte(f.field1, f.field2, f.field3), e.check);
        EXPECT_EQ(EsnWriteForm(f), e.writeForm);
        // Bytes 1 to 5 of the write form are the read form the radio gives back.
        std::uint8_t readForm[kEsnReadFormSize];
        std::copy(e.writeForm.begin() + 1, e.writeForm.end(), readForm);
        EXPECT_EQ(FormatEsn(DecodeEsn(readForm)), e.display);
        EXPECT_FALSE(IsBlankEsn(readForm, kEsnReadFormSize));
    }
    EXPECT_EQ(EsnCheckByte(0, 0, 0), 0x99);  // never written: field 3 starts at 1
}

// The same remainder computed byte-wise: shift in each message bit, XOR the generator's low
// part when the bit leaving the top differs from it.
std::uint8_t BytewiseRemainder(std::uint32_t f1, std::uint32_t f2, std::uint32_t f3) {
    const std::uint32_t message = ((f1 & 0xFF) << 22) | ((f2 & 0xF) << 18) | (f3 & 0x3FFFF);
    std::uint8_t r = 0;
    for (int i = 29; i >= 0; --i) {
        const unsigned t = ((r >> 7) & 1u) ^ ((message >> i) & 1u);
        r = static_cast<std::uint8_t>(r << 1);
        if (t) {
            r ^= 0xC1;
        }
    }
    return r;
}

TEST(Esn, BitRegisterAgreesWithBytewiseFormOverManyValues) {
    std::mt19937 random(20100);
    for (int i = 0; i < 200000; ++i) {
        const std::uint32_t f1 = random() & 0xFF, f2 = random() & 0xF, f3 = random() & 0x3FFFF;
        ASSERT_EQ(EsnRemainder(f1, f2, f3), BytewiseRemainder(f1, f2, f3))
            << f1 << "/" << f2 << "/" << f3;
    }
    // Only the low 8, 4 and 18 bits take part.
    EXPECT_EQ(EsnCheckByte(0x100 + 130, 0x10 + 5, 0x40000 + 123456), 0x4C);
}

TEST(Esn, DecodingIgnoresReservedBitsAndTheCheckByte) {
    const std::uint8_t form[kEsnReadFormSize] = {0x82, 0x5D, 0x23, 0x45, 0x00};
    EXPECT_EQ(FormatEsn(DecodeEsn(form)), "130/05/074565");
}

TEST(Esn, BlankOnlyWhenAllFiveBytesAreZero) {
    const std::uint8_t blank[] = {0, 0, 0, 0, 0};
    const std::uint8_t lastSet[] = {0, 0, 0, 0, 1};
    EXPECT_TRUE(IsBlankEsn(blank, 5));
    EXPECT_FALSE(IsBlankEsn(lastSet, 5));
    EXPECT_FALSE(IsBlankEsn(blank, 4));
    EXPECT_FALSE(IsBlankEsn(blank, 0));
}

struct ParseCase {
    std::string text;
    std::int32_t min, max;
    bool accepted;
    bool written;
    std::int32_t value;
};

TEST(ParseDecimalField, DigitsOnlyWithinInclusiveLimits) {
    const std::int32_t kBig = std::numeric_limits<std::int32_t>::max();
    const ParseCase cases[] = {
        {"", 0, 255, true, true, 0},
        {"", 1, 262143, false, true, 0},
        {"007", 0, 255, true, true, 7},
        {"255", 0, 255, true, true, 255},
        {"256", 0, 255, false, true, 256},
        {"16", 0, 15, false, true, 16},
        {"262143", 1, 262143, true, true, 262143},
        {"262144", 1, 262143, false, true, 262144},
        {" 12", 0, 255, false, false, 0},
        {"12 ", 0, 255, false, false, 0},
        {"+5", 0, 255, false, false, 0},
        {"-1", -10, 10, false, false, 0},
        {"1.0", 0, 255, false, false, 0},
        {"1\xC3\xA9", 0, 255, false, false, 0},
        {std::string("12\0"
                     "3",
                     4),
         0, 255, false, false, 0},
        {"99999999999999999999999999999999", 0, 262143, false, true, kBig},
        {std::string(100000, '9'), 0, kBig - 1, false, true, kBig},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << '\'' << c.text.substr(0, 40) << '\'');
        std::int32_t value = -12345;
        EXPECT_EQ(ParseDecimalField(c.text, value, c.min, c.max), c.accepted);
        EXPECT_EQ(value, c.written ? c.value : -12345);
    }
}

}  // namespace
}  // namespace varnel
