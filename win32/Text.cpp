#include "win32/Text.h"

#include "win32/Win32Api.h"

#include <climits>

namespace varnel::win32 {

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX)) {
        return {};
    }
    const int length = static_cast<int>(utf8.size());
    const int needed = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
    if (needed > 0) {
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, text.data(), needed);
    }
    return text;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty() || utf16.size() > static_cast<std::size_t>(INT_MAX)) {
        return {};
    }
    const int length = static_cast<int>(utf16.size());
    const int needed =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, text.data(), needed, nullptr,
                              nullptr);
    }
    return text;
}

std::wstring WidenLatin1(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace varnel::win32
