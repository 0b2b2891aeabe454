#pragma once

#include <string>

namespace varnel {

// Windows only. Share mode 0 keeps a serial device to one opener on Windows itself, but Wine
// (which runs Varnel on Linux benches) ignores the share mode of devices. A named marker per
// device keeps two copies of Varnel off the same line there as well.

// The marker's name for a device path such as \\.\COM1.
std::string PortClaimName(const std::string& device);

// Claims the device for the caller: the claim's handle, or nullptr with error set (access denied
// when another holds it). Release with ReleasePortClaim.
void* ClaimPort(const std::string& device, unsigned long& error);
void ReleasePortClaim(void* claim);

// Whether someone holds a claim on the device now.
bool IsPortClaimed(const std::string& device);

}  // namespace varnel
