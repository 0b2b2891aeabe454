// The test runner, and a second role for the same program: "--hold PORT" opens PORT, says so
// through a named event and keeps it until told to let go, so that a test can meet a port that
// another process holds.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "link/SerialPort.h"
#include "tests/windows/WinSerialTest.h"

namespace {

int HoldPort(const char* portName) {
    HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, varnel::test::kHolderReadyEvent);
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, varnel::test::kHolderReleaseEvent);
    if (ready == nullptr || release == nullptr) {
        return 3;
    }
    varnel::CSerialPort port;
    if (!port.Open(portName)) {
        return 2;
    }
    ::SetEvent(ready);
    // Bounded: a test that died before letting go must not leave the port held for ever.
    const bool released = ::WaitForSingleObject(release, 30000) == WAIT_OBJECT_0;
    port.Close();
    ::CloseHandle(ready);
    ::CloseHandle(release);
    return released ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--hold") == 0) {
        return HoldPort(argv[2]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
