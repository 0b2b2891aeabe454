#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

// Reads at most limit bytes of a small file such as a sysfs attribute or a /proc entry.
// Nothing when the file cannot be read.
std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit = 4096);

// Text that a device or another process supplied, made fit for one line of a message:
// control characters become spaces, runs of spaces shrink to one, both ends are trimmed and
// the result is cut (on a character boundary) to at most maxBytes.
std::string PrintableText(std::string_view raw, std::size_t maxBytes = 100);

// The UART type that the serial core gives a port in the "type" attribute of its sysfs
// directory: nothing when the attribute is absent (not a serial-core port), 0 when it reads
// "unknown" (a line reserved without a chip behind it) or cannot be read as a number.
std::optional<int> SerialCoreUartType(const std::string& classDir);

}  // namespace varnel
