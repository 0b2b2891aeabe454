// Why a port could not be opened on Windows: the reason the error stands for, under the device.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "link/PortDiagnosis.h"

namespace varnel {
namespace {

TEST(PortDiagnosisWin32, EachErrorGivesItsReasonAndARemedy) {
    const struct {
        std::string device;
        int error;
        PortFailure failure;
        const char* reason;
    } cases[] = {
        {"\\\\.\\COM9", ERROR_FILE_NOT_FOUND, PortFailure::Missing,
         "Reason: There is no serial port of this name on this computer now."},
        {"", ERROR_FILE_NOT_FOUND, PortFailure::Missing,
         "Reason: This port name stands for no device."},
        {"\\\\.\\COM1", ERROR_ACCESS_DENIED, PortFailure::Held,
         "Reason: Another program is using the port."},
        {"\\\\.\\COM1", ERROR_SHARING_VIOLATION, PortFailure::Held,
         "Reason: Another program is using the port."},
        {"\\\\.\\NUL", ERROR_INVALID_FUNCTION, PortFailure::NotATerminal,
         "Reason: This device is not a serial port."},
        {"\\\\.\\COM3", ERROR_GEN_FAILURE, PortFailure::Other, "(error 31)."},
        {"\\\\.\\COM3", 0, PortFailure::Other,
         "Reason: The device could not be set up as a serial port."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device + " " + std::to_string(c.error));
        EXPECT_EQ(DiagnosePortFailure(c.device, c.error), c.failure);
        const std::string text = DescribePortFailure(c.device, c.error);
        EXPECT_EQ(text.rfind("Device: " + (c.device.empty() ? "(none)" : c.device) + "\n", 0), 0u)
            << text;
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        EXPECT_NE(text.find("\nRemedy: "), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace varnel
