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
        EXPECT_EQ(back.answers, seed.stream.answers) << seed.name;
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

struct SeedCase {
    const char* seed;
    std::size_t stepsRun;
    bool aborted;
    bool writeOk;
    bool endOk;
    // Field index and the text it must show.
    std::vector<std::pair<std::size_t, std::string>> fields;
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
    EXPECT_EQ(summary.info.stepsRun, c.stepsRun);
    EXPECT_EQ(summary.info.aborted, c.aborted);
    EXPECT_EQ(summary.info.endExchangeOk, !c.aborted);
    EXPECT_EQ(summary.writeOk, c.writeOk);
    EXPECT_EQ(summary.endOk, c.endOk);
    for (const auto& [index, text] : c.fields) {
        EXPECT_EQ(summary.info.fields.at(index), text) << "field " << index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, SeedOutcome,
    ::testing::Values(
        SeedCase{"healthy",
                 11,
                 false,
                 true,
                 true,
                 {{0, "H98UCF9PW6AN"},
                  {7, "130/05/123456"},
                  {8, "North America"},
                  {9, "00010203-0405-0607-0809-0A0B0C0D0E0F"},
                  {10, "$01 $0A $FF "}}},
        SeedCase{"no-echo-radio-sends-copy", 11, false, true, true, {{3, "R01.04.00"}}},
        SeedCase{"no-echo-silent", 1, true, false, false, {}},
        SeedCase{"nak-model-number", 11, false, true, true, {{0, ""}, {1, "428TNK0193"}}},
        SeedCase{"not-supported-3-and-10", 11, false, true, true, {{2, "n/a"}, {4, "n/a"}}},
        // Aborted without EndExchange, so the write gets the answer meant for the next read.
        SeedCase{"not-supported-serial", 2, true, false, true, {{0, "H98UCF9PW6AN"}}},
        SeedCase{"esn-six-bytes", 11, false, true, true, {{7, "?"}}},
        SeedCase{"write-reply-two-bytes", 11, false, false, true, {}},
        SeedCase{"silent-after-esn", 9, true, false, false, {{7, "130/05/123456"}}}),
    [](const ::testing::TestParamInfo<SeedCase>& info) {
        std::string name = info.param.seed;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

}  // namespace
}  // namespace varnel::fuzz
