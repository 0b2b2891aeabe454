#pragma once

#include <string>
#include <string_view>

namespace varnel::win32 {

// The string table and the procedures speak UTF-8; the Win32 API takes UTF-16.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// A radio's values are single-byte characters: each byte becomes the character of the same
// number, so no byte is lost or turned into a replacement character.
std::wstring WidenLatin1(std::string_view bytes);

}  // namespace varnel::win32
