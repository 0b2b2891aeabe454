#pragma once

#include <chrono>
#include <string>

#include "tools/radio-sim/RadioProfile.h"

namespace varnel::test {

// One of the radio profiles that ship with the simulator (blank, programmed, legacy); a profile
// that cannot be read fails the test that asked for it.
sim::RadioProfile ShippedProfile(const std::string& fileName);

// Milliseconds of real time since start.
long MsSince(std::chrono::steady_clock::time_point start);

}  // namespace varnel::test
