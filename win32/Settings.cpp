#include "win32/Settings.h"

#include <cstdint>

namespace varnel {

int LoadSerialPortSetting(HKEY root, const wchar_t* keyPath) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LONG result = ::RegQueryValueExW(key, kSerialPortValue, nullptr, &type,
                                           reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) {
        return 0;
    }
    // The same 32 bits as a signed number: a stored -1 stays -1 (and names COM0).
    const auto index = static_cast<std::int32_t>(value);
    return index > 3 ? 0 : index;
}

bool SaveSerialPortSetting(int index, HKEY root, const wchar_t* keyPath) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                          nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const auto value = static_cast<DWORD>(static_cast<std::int32_t>(index));
    const LONG result = ::RegSetValueExW(key, kSerialPortValue, 0, REG_DWORD,
                                         reinterpret_cast<const BYTE*>(&value), sizeof(value));
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

}  // namespace varnel
