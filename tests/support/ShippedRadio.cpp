#include "tests/support/ShippedRadio.h"

#include <gtest/gtest.h>

namespace varnel::test {

sim::RadioProfile ShippedProfile(const std::string& fileName) {
    sim::RadioProfile profile;
    std::string error;
    EXPECT_TRUE(
        sim::LoadProfile(std::string(VARNEL_RADIOSIM_PROFILE_DIR) + "/" + fileName, profile, error))
        << error;
    return profile;
}

long MsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
}

}  // namespace varnel::test
