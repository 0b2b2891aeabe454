#pragma once

#include <string>
#include <string_view>

namespace varnel::cli {

// Windows only: the tool keeps its texts in UTF-8; the system takes and gives UTF-16.

// text (UTF-8) as UTF-16; a byte that is no part of valid UTF-8 becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// What the system says of a GetLastError() value, as a sentence without its final stop.
std::string SystemErrorText(unsigned long error);

}  // namespace varnel::cli
