// Replays the fuzzer's seeds and every input it ever found a fault with (fuzz/regressions)
// through the same checks the fuzzer runs, in the ordinary sanitizer build, and pins down what a
// few of the seeds must lead to so that the checks themselves cannot quietly stop checking.
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/RadioStream.h"
#include "fuzz/SeedCorpus.h"

namespace varnel::fuzz {
namespace {

StreamSummary Replay(const std::vector<std::uint8_t>& input) {
    return CheckRadioStream(input.data(), input.size());
}

const Seed& FindSeed(const std::vector<Seed>& seeds, const std::string& name) {
    auto it =
        std::find_if(seeds.begin(), seeds.end(), [&](const Seed& s) { return s.name == name; });
    if (it == seeds.end()) {
        throw std::runtime_error("no seed " + name);
    }
    return *it;
}

TEST(FuzzRegression, EverySeedEncodesAndDecodesToItself) {
    for (const Seed& seed : SeedCorpus()) {
        const std::vector<std::uint8_t> input = EncodeRadioStream(seed.stream);
        const RadioStream back = DecodeRadioStream(input.data(), input.size());
        EXPECT_EQ(back.echo, seed.stream.echo) << seed.name;
        EXPECT_EQ(back.shortReads, seed.stream.shortReads) << seed.name;
        EXPECT_EQ(back.receiveTimeoutMs, seed.stream.receiveTimeoutMs) << seed.name;
        EXPECT_EQ(back.cancelAfterWritten, seed.stream.cancelAfterWritten) << seed.name;
        EXPECT_EQ(back.answers, seed.stream.answers) << seed.name;
    }
}

TEST(FuzzRegression, EverySeedKeepsEveryRule) {
    for (const Seed& seed : SeedCorpus()) {
        SCOPED_TRACE(seed.name);
        Replay(EncodeRadioStream(seed.stream));
    }
}

TEST(FuzzRegression, EveryFindingReplaysWithoutAFault) {
    std::size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VARNEL_FUZZ_REGRESSIONS)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> input{std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>()};
        SCOPED_TRACE(entry.path().string());
        Replay(input);
        ++replayed;
    }
    EXPECT_GE(replayed, 1u);
}

constexpr Outcome kDone = Outcome::Done;
constexpr Outcome kRefused = Outcome::Refused;
constexpr Outcome kLinkFailed = Outcome::LinkFailed;
constexpr Outcome kCancelled = Outcome::Cancelled;

// What the five procedures must come to on a seed's radio.
struct SeedCase {
    const char* seed;
    Outcome info;
    int infoReads;
    Outcome esnCheck;
    Outcome esnWrite;
    Outcome regionCheck;
    Outcome regionWrite;
    // Radio Info's field index and the text it must show (empty: the field stays empty).
    std::vector<std::pair<std::size_t, std::string>> fields = {};
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const SeedCase& c, std::ostream* os) {
    *os << c.seed;
}

class SeedOutcome : public ::testing::TestWithParam<SeedCase> {};

TEST_P(SeedOutcome, IsWhatTheRadioSaid) {
    static const std::vector<Seed> seeds = SeedCorpus();
    const SeedCase& c = GetParam();
    const StreamSummary summary = Replay(EncodeRadioStream(FindSeed(seeds, c.seed).stream));
    EXPECT_EQ(summary.infoRun.outcome, c.info);
    EXPECT_EQ(summary.info.outcome, c.info);
    EXPECT_EQ(summary.infoRun.steps, c.infoReads);
    // The exchange is ended on the normal way only.
    EXPECT_EQ(summary.infoRun.endSent, c.info == kDone);
    EXPECT_EQ(summary.esnCheckRun.outcome, c.esnCheck);
    EXPECT_EQ(summary.esnWrite.outcome, c.esnWrite);
    EXPECT_EQ(summary.regionCheckRun.outcome, c.regionCheck);
    EXPECT_EQ(summary.regionWrite.outcome, c.regionWrite);
    for (const auto& [index, text] : c.fields) {
        EXPECT_EQ(summary.info.fields.at(index).value_or(""), text) << "field " << index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, SeedOutcome,
    ::testing::Values(
        SeedCase{"healthy",
                 kDone,
                 11,
                 kDone,
                 kDone,
                 kDone,
                 kDone,
                 {{0, "H98UCF9PW6AN"},
                  {7, "130/05/123456"},
                  {8, "North America"},
                  {9, "00010203-0405-0607-0809-0A0B0C0D0E0F"},
                  {10, "$01 $0A $FF "}}},
        SeedCase{
            "no-echo-radio-sends-copy", kDone, 11, kDone, kDone, kDone, kDone, {{3, "R01.04.00"}}},
        SeedCase{"no-echo-silent", kLinkFailed, 1, kLinkFailed, kLinkFailed, kLinkFailed,
                 kLinkFailed},
        SeedCase{"nak-model-number",
                 kDone,
                 11,
                 kDone,
                 kDone,
                 kDone,
                 kDone,
                 {{0, ""}, {1, "428TNK0193"}}},
        SeedCase{"not-supported-3-and-10",
                 kDone,
                 11,
                 kDone,
                 kDone,
                 kDone,
                 kDone,
                 {{2, "n/a"}, {4, "n/a"}}},
        SeedCase{"esn-six-bytes", kDone, 11, kDone, kDone, kDone, kDone, {{7, "?"}}},
        SeedCase{"esn-already-programmed", kDone, 11, kRefused, kDone, kDone, kDone},
        SeedCase{"region-invalid", kDone, 11, kDone, kDone, kRefused, kDone},
        SeedCase{"write-refused", kDone, 11, kDone, kRefused, kDone, kDone},
        SeedCase{"write-reply-two-bytes", kDone, 11, kDone, kRefused, kDone, kDone},
        // Not asked again, so no end of that exchange: every later answer comes one request
        // early. The write hears the acknowledge and then nothing; its end of exchange takes the
        // write's answer for an acknowledge; the Regional ID read hears an acknowledge alone; the
        // Regional ID write gets a read reply, which it cannot take: a failed link.
        SeedCase{"esn-read-not-supported", kDone, 11, kRefused, kLinkFailed, kLinkFailed,
                 kLinkFailed},
        SeedCase{"silent-after-esn",
                 kLinkFailed,
                 9,
                 kLinkFailed,
                 kLinkFailed,
                 kLinkFailed,
                 kLinkFailed,
                 {{7, "130/05/123456"}, {8, ""}}},
        SeedCase{"cancel-at-once", kCancelled, 1, kCancelled, kCancelled, kCancelled, kCancelled},
        SeedCase{"cancel-during-info",
                 kCancelled,
                 4,
                 kCancelled,
                 kCancelled,
                 kCancelled,
                 kCancelled,
                 {{3, "R01.04.00"}, {4, ""}}},
        SeedCase{"cancel-during-unanswered-esn-write", kDone, 11, kDone, kCancelled, kCancelled,
                 kCancelled},
        // The radio confirmed the write before the cancel was seen: the value is in the radio.
        SeedCase{"cancel-on-last-byte-of-esn-write", kDone, 11, kDone, kDone, kCancelled,
                 kCancelled}),
    [](const ::testing::TestParamInfo<SeedCase>& info) {
        std::string name = info.param.seed;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

}  // namespace
}  // namespace varnel::fuzz
