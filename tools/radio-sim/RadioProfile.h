#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tools/radio-sim/Fault.h"

namespace varnel::sim {

using Bytes = std::vector<std::uint8_t>;

// The longest value a profile may give: with the leading byte it still fits every frame form.
inline constexpr std::size_t kMaxValueBytes = 255;

// A simulated radio: its parameter values by id, the ids it does not support, and the faults
// and latency it starts with. An id with no value is not supported either.
//
// The text form, one statement per line, '#' to the end of the line is a comment:
//   name Blank radio                    a name for the banner and the trace
//   value 2 00 00 00 00 00              hex bytes ...
//   value 1 "SN 1234" 00                ... and quoted text ("\"", "\\", "\xHH"), in any mix
//   unsupported 3 10 14                 ids the radio answers with "not supported"
//   fault nak@read=2                    as --fault
//   latency 5                           ms before every answer
struct RadioProfile {
    std::string name;
    std::map<std::uint8_t, Bytes> values;
    std::set<std::uint8_t> unsupported;
    std::vector<Fault> faults;
    int latencyMs = 0;

    // Where it came from, for saving written values back in place.
    std::string path;
    std::vector<std::string> lines;
    std::map<std::uint8_t, std::size_t> valueLine;  // id -> index in lines
};

// Parses a profile. origin names it in messages ("blank.profile:12: ..."). On failure returns
// false, leaves profile alone and puts one message with the line number into error.
bool ParseProfile(std::string_view text, std::string_view origin, RadioProfile& profile,
                  std::string& error);

// Reads and parses a file; profile.path is set so that SaveProfileValues can write it back.
bool LoadProfile(const std::string& path, RadioProfile& profile, std::string& error);

// Writes values back into the profile's file: a value that has a line of its own gets that line
// replaced, any other is added at the end; comments and the rest stay as they were. The file is
// replaced in one rename, so a crash never leaves half a profile.
bool SaveProfileValues(const RadioProfile& profile, const std::map<std::uint8_t, Bytes>& values,
                       std::string& error);

// "value ID ..." for one value: quoted text when every byte is printable, hex bytes otherwise.
std::string FormatValueStatement(std::uint8_t id, const Bytes& value);

// "82 51 E2 40 4C".
std::string HexBytes(const std::uint8_t* bytes, std::size_t count);

}  // namespace varnel::sim
