#pragma once

#include "win32/Win32Api.h"

namespace varnel {

// Where the serial port index is kept: HKEY_CURRENT_USER\Software\Tessaran\Varnel, group
// Options, value SerialPort, a 32-bit integer.
inline constexpr wchar_t kOptionsKey[] = L"Software\\Tessaran\\Varnel\\Options";
inline constexpr wchar_t kSerialPortValue[] = L"SerialPort";

// The port index as start-up takes it: 0 when the value is missing, cannot be read or is not a
// 32-bit integer; a value above 3 is taken as 0, a negative one as it is.
int LoadSerialPortSetting(HKEY root = HKEY_CURRENT_USER, const wchar_t* keyPath = kOptionsKey);

// Writes the port index; false when the store refused it (nobody is told: the next start then
// uses what was there before).
bool SaveSerialPortSetting(int index, HKEY root = HKEY_CURRENT_USER,
                           const wchar_t* keyPath = kOptionsKey);

}  // namespace varnel
