#pragma once

// The Win32 API as this program uses it, the common controls included. <windows.h> turns
// LoadString into LoadStringW; in this program LoadString is always the string table's own.
#include <windows.h>
// After <windows.h>, which it builds on.
#include <commctrl.h>
#undef LoadString
