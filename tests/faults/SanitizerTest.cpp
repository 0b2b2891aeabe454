// The suite runs under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer so that a
// bad access, an undefined operation or a leak anywhere fails the test that caused it. These
// tests make sure that stays true where the suite runs: each commits one such fault in a child
// process and expects the sanitizer to stop it. They fail if the build drops a sanitizer, if
// findings are only printed and not fatal, or if the test environment turns leak checks off.
#include <gtest/gtest.h>

#include <cstdlib>

#if VARNEL_SANITIZED
#include <sanitizer/lsan_interface.h>
#endif

namespace varnel {
namespace {

#if VARNEL_SANITIZED

// Out of line so that the compiler cannot see the faults coming and fold them away.
[[gnu::noinline]] int ReadPastEnd(volatile int* values, int count) {
    return values[count];
}

[[gnu::noinline]] int AddOne(int value) {
    volatile int one = 1;
    return value + one;
}

[[gnu::noinline]] void Leak() {
    volatile int* lost = new int[64];
    lost[0] = 1;
    lost = nullptr;
}

class Sanitizers : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(Sanitizers, AnOutOfBoundsReadStopsTheProcess) {
    EXPECT_DEATH(
        {
            int* values = new int[4]();
            const int value = ReadPastEnd(values, 4);
            delete[] values;
            std::exit(value == 0 ? 0 : 1);
        },
        "heap-buffer-overflow");
}

TEST_F(Sanitizers, UndefinedBehaviourStopsTheProcess) {
    EXPECT_DEATH(std::exit(AddOne(0x7FFFFFFF) > 0 ? 0 : 1), "signed integer overflow");
}

TEST_F(Sanitizers, ALeakStopsTheProcessWithLeakChecksOn) {
    EXPECT_DEATH(
        {
            Leak();
            __lsan_do_leak_check();
            std::exit(0);
        },
        "detected memory leaks");
}

#else

TEST(Sanitizers, AreNotPartOfThisBuild) {
    GTEST_SKIP() << "configure with -DVARNEL_SANITIZE=ON (the dev preset) to run these";
}

#endif

}  // namespace
}  // namespace varnel
