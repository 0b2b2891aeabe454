// The port index in the registry: one table of stored values, read as varnel.exe's start-up reads
// them and as varnel-cli.exe reads them, and what exit writes. Each run uses a key of its own.
#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "cli/Settings.h"
#include "settings/RegistrySettings.h"
#include "win32/VarnelApp.h"

namespace varnel::win32 {
namespace {

class RegistrySettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path =
            "Software\\Tessaran\\VarnelSettingsTest-" + std::to_string(::GetCurrentProcessId());
        ::RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
    }
    void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str()); }

    void Store(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (m_path + "\\Options").c_str(), 0, nullptr,
                                    0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(
            ::RegSetValueExW(key, L"SerialPort", 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
        ::RegCloseKey(key);
    }

    std::optional<DWORD> StoredDword() const {
        DWORD type = 0;
        DWORD value = 0;
        DWORD size = sizeof value;
        if (::RegGetValueA(HKEY_CURRENT_USER, (m_path + "\\Options").c_str(), "SerialPort",
                           RRF_RT_ANY, &type, &value, &size) != ERROR_SUCCESS ||
            type != REG_DWORD) {
            return std::nullopt;
        }
        return value;
    }

    // The index varnel.exe starts on.
    int AppIndex() const {
        CVarnelApp app(::GetModuleHandleW(nullptr), OpenRegistrySettings(m_path));
        app.LoadSettings();
        return app.m_nSerialPort;
    }
    // The index varnel-cli.exe uses when no --port is given.
    int ToolIndex() const {
        return cli::SettingsFromStore(OpenRegistrySettings(m_path))->SerialPortIndex();
    }

    std::string m_path;
};

struct StoredValue {
    const char* what;
    DWORD type;
    std::vector<BYTE> data;
    int index;
};

template <typename T>
std::vector<BYTE> Bytes(const T& value) {
    const auto* bytes = reinterpret_cast<const BYTE*>(&value);
    return std::vector<BYTE>(bytes, bytes + sizeof value);
}

std::vector<BYTE> Text(const wchar_t* text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text);
    return std::vector<BYTE>(bytes, bytes + (std::wcslen(text) + 1) * sizeof(wchar_t));
}

TEST_F(RegistrySettingsTest, EveryStoredFormMeansTheSamePortToTheAppAndTheTool) {
    EXPECT_EQ(AppIndex(), 0) << "never configured";
    EXPECT_EQ(ToolIndex(), 0) << "never configured";
    const StoredValue cases[] = {
        {"DWORD 0", REG_DWORD, Bytes(std::uint32_t{0}), 0},
        {"DWORD 1", REG_DWORD, Bytes(std::uint32_t{1}), 1},
        {"DWORD 3", REG_DWORD, Bytes(std::uint32_t{3}), 3},
        {"DWORD 4, beyond COM4", REG_DWORD, Bytes(std::uint32_t{4}), 0},
        {"DWORD 0x7FFFFFFF", REG_DWORD, Bytes(std::uint32_t{0x7FFFFFFF}), 0},
        {"DWORD -1, kept", REG_DWORD, Bytes(std::uint32_t{0xFFFFFFFF}), -1},
        {"DWORD INT32_MIN, kept", REG_DWORD, Bytes(std::uint32_t{0x80000000}), INT32_MIN},
        {"DWORD of two bytes", REG_DWORD, {2, 0}, 0},
        {"REG_SZ 2", REG_SZ, Text(L"2"), 2},
        {"REG_SZ with blanks", REG_SZ, Text(L" 3 "), 3},
        {"REG_SZ COM2", REG_SZ, Text(L"COM2"), 0},
        {"REG_SZ empty", REG_SZ, Text(L""), 0},
        {"REG_EXPAND_SZ 1", REG_EXPAND_SZ, Text(L"1"), 1},
        {"QWORD 2", REG_QWORD, Bytes(std::uint64_t{2}), 2},
        {"QWORD beyond 32 bits", REG_QWORD, Bytes(std::uint64_t{0x100000002}), 0},
        {"binary", REG_BINARY, {2, 0, 0, 0}, 0},
        {"multi-string", REG_MULTI_SZ, Text(L"2"), 0},
    };
    for (const StoredValue& c : cases) {
        Store(c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
        EXPECT_EQ(AppIndex(), c.index) << c.what;
        EXPECT_EQ(ToolIndex(), c.index) << c.what;
    }
}

TEST_F(RegistrySettingsTest, ExitWritesADwordThatStartUpReadsBack) {
    const wchar_t text[] = L"2";
    Store(REG_SZ, text, sizeof text);
    for (const int index : {2, 0, -1, 3}) {
        auto store = OpenRegistrySettings(m_path);
        ASSERT_EQ(SaveSerialPortSetting(*store, index), "");
        EXPECT_EQ(StoredDword(), static_cast<DWORD>(index));
        EXPECT_EQ(AppIndex(), index);
    }
}

}  // namespace
}  // namespace varnel::win32
