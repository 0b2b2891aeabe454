#pragma once

#include <cstdint>

#include "link/Clock.h"

namespace varnel::test {

// Virtual time: stands still until something sleeps or a scripted read times out.
class FakeClock final : public IClock {
public:
    explicit FakeClock(std::int64_t start = 0) : m_now(start) {}
    std::int64_t NowMs() override { return m_now; }
    void SleepMs(std::int64_t ms) override {
        if (ms > 0) {
            m_now += ms;
            m_slept += ms;
        }
    }
    void Advance(std::int64_t ms) { m_now += ms; }
    std::int64_t Slept() const { return m_slept; }

private:
    std::int64_t m_now;
    std::int64_t m_slept = 0;
};

}  // namespace varnel::test
