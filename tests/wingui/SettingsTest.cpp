// The port index in the registry: what start-up makes of each stored value, and what exit writes.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "win32/Settings.h"

namespace varnel {
namespace {

// A key of the tests' own, so that a run never touches the program's setting.
constexpr wchar_t kTestRoot[] = L"Software\\Tessaran\\VarnelSettingsTest";
constexpr wchar_t kTestKey[] = L"Software\\Tessaran\\VarnelSettingsTest\\Options";

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot); }

    static void Store(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_SET_VALUE,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(
            ::RegSetValueExW(key, kSerialPortValue, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
        ::RegCloseKey(key);
    }

    static std::optional<DWORD> StoredDword() {
        DWORD type = 0;
        DWORD value = 0;
        DWORD size = sizeof(value);
        if (::RegGetValueW(HKEY_CURRENT_USER, kTestKey, kSerialPortValue, RRF_RT_ANY, &type, &value,
                           &size) != ERROR_SUCCESS ||
            type != REG_DWORD) {
            return std::nullopt;
        }
        return value;
    }

    static int Load() { return LoadSerialPortSetting(HKEY_CURRENT_USER, kTestKey); }
};

TEST_F(SettingsTest, MissingIsComOne) {
    EXPECT_EQ(Load(), 0);
}

TEST_F(SettingsTest, StoredDwordsAsStartUpTakesThem) {
    struct Case {
        DWORD stored;
        int index;
    };
    const Case cases[] = {
        {0, 0},           {1, 1},
        {3, 3},  // COM1, COM2, COM4
        {4, 0},           {7, 0},
        {0x7FFFFFFF, 0},                            // beyond COM4: COM1
        {0xFFFFFFFF, -1}, {0x80000000, INT32_MIN},  // negative: kept
    };
    for (const Case& c : cases) {
        Store(REG_DWORD, &c.stored, sizeof(c.stored));
        EXPECT_EQ(Load(), c.index) << "stored " << c.stored;
    }
}

TEST_F(SettingsTest, ValuesOfAnotherTypeAreComOne) {
    const wchar_t text[] = L"2";
    Store(REG_SZ, text, sizeof(text));
    EXPECT_EQ(Load(), 0);
    const std::uint64_t wide = 2;
    Store(REG_QWORD, &wide, sizeof(wide));
    EXPECT_EQ(Load(), 0);
    const BYTE two[] = {2, 0};
    Store(REG_BINARY, two, sizeof(two));
    EXPECT_EQ(Load(), 0);
}

TEST_F(SettingsTest, ExitWritesADwordThatStartUpReadsBack) {
    for (const int index : {2, 0, -1, 3}) {
        ASSERT_TRUE(SaveSerialPortSetting(index, HKEY_CURRENT_USER, kTestKey));
        EXPECT_EQ(StoredDword(), static_cast<DWORD>(index));
        EXPECT_EQ(Load(), index);
    }
}

}  // namespace
}  // namespace varnel
