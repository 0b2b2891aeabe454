#pragma once

#include <cstdint>

namespace varnel {

class CancelToken;

// Milliseconds of elapsed real time. 64 bits: a 32-bit count wraps after 24.8 days of running,
// and a deadline computed just before the wrap would then never pass.
class IClock {
public:
    virtual ~IClock() = default;
    virtual std::int64_t NowMs() = 0;
    // Sleeps, without using the processor, until the reading has gone up by ms.
    virtual void SleepMs(std::int64_t ms) = 0;
};

// The monotonic clock of the machine, counting from the first call.
IClock& SystemClock();

// Waits until a reading of the clock is greater than start + ms + 1, where start is the reading
// at the call. The radio's timing is defined by that end condition; sleeping rather than
// spinning keeps the processor idle for the length of the wait. A cancel ends the wait early
// (within kCancelSliceMs); the result is false then.
inline constexpr std::int64_t kCancelSliceMs = 50;
bool WaitMs(IClock& clock, std::int64_t ms, const CancelToken* cancel = nullptr);

}  // namespace varnel
