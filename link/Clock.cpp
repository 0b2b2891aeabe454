#include "link/Clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "link/CancelToken.h"

namespace varnel {
namespace {

class SteadyClock final : public IClock {
public:
    std::int64_t NowMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now() - m_start).count();
    }
    void SleepMs(std::int64_t ms) override {
        if (ms > 0) {
            // To the moment the reading has gone up by ms: a plain ms from now would add the part
            // of a millisecond already gone to every wait of an exchange.
            std::this_thread::sleep_until(m_start + std::chrono::milliseconds(NowMs() + ms));
        }
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

}  // namespace

IClock& SystemClock() {
    static SteadyClock clock;
    return clock;
}

bool WaitMs(IClock& clock, std::int64_t ms, const CancelToken* cancel) {
    const std::int64_t start = clock.NowMs();
    const std::int64_t end = start + ms + 1;
    for (std::int64_t now = start; now <= end; now = clock.NowMs()) {
        if (cancel != nullptr && cancel->IsCancelled()) {
            return false;
        }
        // In slices while a cancel may come, so that it is seen soon after it is given.
        const std::int64_t rest = end - now + 1;
        clock.SleepMs(cancel != nullptr ? std::min(rest, kCancelSliceMs) : rest);
    }
    return true;
}

}  // namespace varnel
