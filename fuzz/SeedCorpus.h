#pragma once

#include <string>
#include <vector>

#include "fuzz/RadioStream.h"

namespace varnel::fuzz {

struct Seed {
    std::string name;
    RadioStream stream;
};

// Streams built from the protocol's own frames: a radio that answers everything, radios that
// refuse, lack parameters, use every header form, send frames too long, broken or cut short, or
// fall silent; with and without the line's echo. The fuzzer starts from them and the regression
// tests replay them.
std::vector<Seed> SeedCorpus();

}  // namespace varnel::fuzz
