// The serial ports present on Windows: the Ports class of the device tree first, for the names
// Device Manager shows, then the registry's serial communication map, which also lists ports
// without a device node of their own (older drivers, Wine's mapped ports).
#include <windows.h>

#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>

#include <string>
#include <vector>

#include "link/ComPorts.h"
#include "link/SerialDevices.h"

namespace varnel {
namespace {

std::string Utf8(const wchar_t* text, std::size_t length) {
    if (length == 0) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                           nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), size,
                              nullptr, nullptr);
    }
    return narrow;
}

// A REG_SZ value's text up to its first zero; empty for any other type or a value too long to
// be a port's name.
std::string StringValue(HKEY key, const wchar_t* name) {
    wchar_t buffer[256] = {};
    DWORD type = 0;
    DWORD size = sizeof buffer - sizeof(wchar_t);  // room for a zero the value may lack
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    const std::size_t chars = size / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < chars && buffer[length] != L'\0') {
        ++length;
    }
    return Utf8(buffer, length);
}

std::vector<ComPortRecord> DeviceTreePorts() {
    std::vector<ComPortRecord> records;
    HDEVINFO set = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return records;
    }
    // Bounded: a broken device tree must not keep the dialog from opening.
    for (DWORD index = 0; index < 1024; ++index) {
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        if (!::SetupDiEnumDeviceInfo(set, index, &info)) {
            break;
        }
        ComPortRecord record;
        HKEY key = ::SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key != INVALID_HANDLE_VALUE) {
            record.portName = StringValue(key, L"PortName");
            ::RegCloseKey(key);
        }
        wchar_t friendly[256] = {};
        DWORD type = 0;
        DWORD size = 0;
        if (::SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, &type,
                                                reinterpret_cast<BYTE*>(friendly),
                                                sizeof friendly - sizeof(wchar_t), &size) &&
            type == REG_SZ) {
            std::size_t length = 0;
            while (length < size / sizeof(wchar_t) && friendly[length] != L'\0') {
                ++length;
            }
            record.friendlyName = Utf8(friendly, length);
        }
        // A parallel port of the same class (LPT1) has a port name too; the parsing drops it.
        records.push_back(std::move(record));
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return records;
}

std::vector<ComPortRecord> SerialCommPorts() {
    std::vector<ComPortRecord> records;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS) {
        return records;
    }
    for (DWORD index = 0; index < 1024; ++index) {
        wchar_t name[256] = {};
        DWORD nameLength = static_cast<DWORD>(std::size(name));
        wchar_t data[64] = {};
        DWORD type = 0;
        DWORD size = sizeof data - sizeof(wchar_t);
        const LONG result = ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &size);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result != ERROR_SUCCESS || type != REG_SZ) {
            continue;  // a value too long to be a port name, or of another type
        }
        std::size_t length = 0;
        while (length < size / sizeof(wchar_t) && data[length] != L'\0') {
            ++length;
        }
        records.push_back({Utf8(data, length), {}});
    }
    ::RegCloseKey(key);
    return records;
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const SystemPaths&) {
    return ComPortDevices(DeviceTreePorts(), SerialCommPorts());
}

std::string SerialDeviceLabel(const SerialDevice& device) {
    // The name Device Manager shows already says which COM port it is.
    return device.description.empty() ? device.name : device.description;
}

}  // namespace varnel
