#pragma once

namespace varnel::test {

// The events through which a holding process (win_serial_tests --hold PORT) and a test meet.
inline constexpr const char* kHolderReadyEvent = "Local\\VarnelTest.holder.ready";
inline constexpr const char* kHolderReleaseEvent = "Local\\VarnelTest.holder.release";

}  // namespace varnel::test
