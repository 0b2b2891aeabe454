// The application's settings on Windows, read from the registry where the app keeps them.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cli/RegistrySettings.h"
#include "cli/Win32Text.h"
#include "link/PortNames.h"

namespace varnel::cli {
namespace {

class RegistrySettings final : public ISettings {
public:
    explicit RegistrySettings(std::string keyPath)
        : m_optionsKey(std::move(keyPath) + "\\Options") {}

    int SerialPortIndex() override {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, WideFromUtf8(m_optionsKey).c_str(), 0,
                            KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
            return 0;  // never configured: COM1
        }
        const int index = SerialPortIndexFromText(StoredText(key));
        ::RegCloseKey(key);
        return index;
    }

    std::string PortDevice(const std::string&) override { return {}; }

private:
    // The value as the app reads it: a number as its decimal text, a text as it stands;
    // nothing for anything else (binary data, a missing value). The app's own rules then apply:
    // the number taken as 32 bits, above 3 is COM1, a negative one stays.
    static std::string StoredText(HKEY key) {
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(key, L"SerialPort", nullptr, &type, nullptr, &size) !=
                ERROR_SUCCESS ||
            size > 4096) {
            return {};
        }
        std::vector<BYTE> data(size + sizeof(wchar_t));
        if (::RegQueryValueExW(key, L"SerialPort", nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS) {
            return {};
        }
        switch (type) {
            case REG_DWORD:
                if (size == sizeof(std::uint32_t)) {
                    std::uint32_t value = 0;
                    std::memcpy(&value, data.data(), sizeof value);
                    return std::to_string(value);
                }
                return {};
            case REG_QWORD:
                if (size == sizeof(std::uint64_t)) {
                    std::uint64_t value = 0;
                    std::memcpy(&value, data.data(), sizeof value);
                    return std::to_string(value);
                }
                return {};
            case REG_SZ:
            case REG_EXPAND_SZ: {
                // Stored with or without its terminating zero; the buffer has room for one more.
                std::wstring text(reinterpret_cast<const wchar_t*>(data.data()),
                                  size / sizeof(wchar_t));
                text = text.substr(0, text.find(L'\0'));
                return Utf8FromWide(text);
            }
            default:
                return {};
        }
    }

    std::string m_optionsKey;
};

}  // namespace

std::unique_ptr<ISettings> OpenRegistrySettings(const std::string& keyPath) {
    return std::make_unique<RegistrySettings>(keyPath);
}

std::unique_ptr<ISettings> OpenApplicationSettings() {
    return OpenRegistrySettings("Software\\Tessaran\\Varnel");
}

}  // namespace varnel::cli
