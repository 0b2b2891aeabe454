#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "settings/RegistrySettings.h"

namespace varnel {
namespace {

std::wstring Wide(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                              size);
    }
    return wide;
}

std::string Utf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                              size, nullptr, nullptr);
    }
    return narrow;
}

std::string SystemMessage(LONG error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message =
        length && text ? std::wstring(text, length) : L"error " + std::to_wstring(error);
    if (text) {
        ::LocalFree(text);
    }
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return Utf8(message);
}

// A value larger than this is nothing a setting of this program could be.
constexpr DWORD kLargestValue = 64 * 1024;

class RegistrySettings final : public SettingsStore {
public:
    explicit RegistrySettings(const std::string& keyPath) : m_keyPath(keyPath) {}

    std::string Damage() override { return {}; }

    std::optional<std::string> ReadText(std::string_view group, std::string_view key) override {
        HKEY handle = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(GroupKey(group)).c_str(), 0, KEY_QUERY_VALUE,
                            &handle) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        const std::wstring name = Wide(key);
        DWORD type = 0;
        DWORD size = 0;
        std::optional<std::string> text;
        if (::RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size) ==
                ERROR_SUCCESS &&
            size <= kLargestValue) {
            // Room for a terminating zero that a text stored without one lacks.
            std::vector<BYTE> data(size + sizeof(wchar_t), 0);
            if (::RegQueryValueExW(handle, name.c_str(), nullptr, &type, data.data(), &size) ==
                ERROR_SUCCESS) {
                text = TextOf(type, data.data(), size);
            }
        }
        ::RegCloseKey(handle);
        return text;
    }

    std::string Write(const std::vector<SettingChange>& changes) override {
        for (const SettingChange& change : changes) {
            if (std::string why = WriteOne(change); !why.empty()) {
                return "the setting " + change.group + "\\" + change.key + " under " + Location() +
                       " cannot be written (" + why + ")";
            }
        }
        return {};
    }

    std::string Location() const override { return "HKEY_CURRENT_USER\\" + m_keyPath; }

private:
    std::string GroupKey(std::string_view group) const {
        return group.empty() ? m_keyPath : m_keyPath + "\\" + std::string(group);
    }

    static std::optional<std::string> TextOf(DWORD type, const BYTE* data, DWORD size) {
        switch (type) {
            case REG_DWORD:
                if (size == sizeof(std::uint32_t)) {
                    std::uint32_t value = 0;
                    std::memcpy(&value, data, sizeof value);
                    return std::to_string(value);
                }
                return std::nullopt;
            case REG_QWORD:
                if (size == sizeof(std::uint64_t)) {
                    std::uint64_t value = 0;
                    std::memcpy(&value, data, sizeof value);
                    return std::to_string(value);
                }
                return std::nullopt;
            case REG_SZ:
            case REG_EXPAND_SZ: {
                std::wstring text(reinterpret_cast<const wchar_t*>(data), size / sizeof(wchar_t));
                text = text.substr(0, text.find(L'\0'));
                return Utf8(text);
            }
            default:
                return std::nullopt;
        }
    }

    std::string WriteOne(const SettingChange& change) const {
        HKEY handle = nullptr;
        LONG result =
            ::RegCreateKeyExW(HKEY_CURRENT_USER, Wide(GroupKey(change.group)).c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &handle, nullptr);
        if (result != ERROR_SUCCESS) {
            return SystemMessage(result);
        }
        const std::wstring name = Wide(change.key);
        if (!change.value) {
            result = ::RegDeleteValueW(handle, name.c_str());
            if (result == ERROR_FILE_NOT_FOUND) {
                result = ERROR_SUCCESS;
            }
        } else if (change.kind == SettingChange::Kind::Integer) {
            // The number's 32 bits, so that -1 is kept as 0xFFFFFFFF and reads back as -1.
            const long long number = std::strtoll(change.value->c_str(), nullptr, 10);
            const auto value = static_cast<DWORD>(static_cast<std::uint32_t>(number));
            result = ::RegSetValueExW(handle, name.c_str(), 0, REG_DWORD,
                                      reinterpret_cast<const BYTE*>(&value), sizeof value);
        } else {
            const std::wstring text = Wide(*change.value);
            result = ::RegSetValueExW(handle, name.c_str(), 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(text.c_str()),
                                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        }
        ::RegCloseKey(handle);
        return result == ERROR_SUCCESS ? std::string() : SystemMessage(result);
    }

    std::string m_keyPath;
};

}  // namespace

std::unique_ptr<SettingsStore> OpenRegistrySettings(const std::string& keyPath) {
    return std::make_unique<RegistrySettings>(keyPath);
}

std::unique_ptr<SettingsStore> OpenUserSettings() {
    return OpenRegistrySettings(std::string("Software\\") + kSettingsOrganisation + "\\" +
                                kSettingsApplication);
}

}  // namespace varnel
