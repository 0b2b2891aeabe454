// The app's port choice as the tool reads it from the registry on Windows: the value SerialPort
// under Options, in each form it may be stored in. Each test writes under a key of its own and
// removes it again.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/RegistrySettings.h"

namespace varnel::cli {
namespace {

class RegistrySettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = "Software\\Tessaran\\VarnelTest-" + std::to_string(::GetCurrentProcessId());
    }
    void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str()); }

    // Stores SerialPort as the given registry type and bytes.
    void Store(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (m_path + "\\Options").c_str(), 0, nullptr,
                                    0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(
            ::RegSetValueExA(key, "SerialPort", 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
        ::RegCloseKey(key);
    }
    int Index() { return OpenRegistrySettings(m_path)->SerialPortIndex(); }

    std::string m_path;
};

TEST_F(RegistrySettingsTest, ADwordIsTakenAsTheAppTakesIt) {
    const struct {
        std::uint32_t stored;
        int index;
    } cases[] = {
        {0, 0},
        {1, 1},
        {3, 3},
        {4, 0},  // above COM4: COM1
        {7, 0},
        {0xFFFFFFFF, -1},  // negative as 32 bits: kept, and names COM0, which is no port
        {0x80000000, INT32_MIN},
    };
    for (const auto& c : cases) {
        Store(REG_DWORD, &c.stored, sizeof c.stored);
        EXPECT_EQ(Index(), c.index) << c.stored;
    }
}

TEST_F(RegistrySettingsTest, OtherFormsAreReadAsTheirNumberOrGiveComOne) {
    const std::uint64_t two = 2;
    Store(REG_QWORD, &two, sizeof two);
    EXPECT_EQ(Index(), 2);
    const std::uint64_t huge = 0x100000001ULL;  // more than 32 bits: stands for nothing
    Store(REG_QWORD, &huge, sizeof huge);
    EXPECT_EQ(Index(), 0);

    for (const auto& [text, index] : std::vector<std::pair<std::string, int>>{
             {"3", 3}, {" 1 ", 1}, {"-1", -1}, {"9", 0}, {"two", 0}, {"", 0}}) {
        Store(REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
        EXPECT_EQ(Index(), index) << '"' << text << '"';
    }
    const char bytes[] = {1, 0, 0, 0};
    Store(REG_BINARY, bytes, sizeof bytes);
    EXPECT_EQ(Index(), 0);
    const std::uint16_t shortDword = 1;
    Store(REG_DWORD, &shortDword, sizeof shortDword);
    EXPECT_EQ(Index(), 0);
}

TEST_F(RegistrySettingsTest, NoKeyOrNoValueIsComOneAndNoPortIsMapped) {
    EXPECT_EQ(Index(), 0);
    const std::uint32_t one = 1;
    Store(REG_DWORD, &one, sizeof one);
    HKEY key = nullptr;
    ASSERT_EQ(
        ::RegOpenKeyExA(HKEY_CURRENT_USER, (m_path + "\\Options").c_str(), 0, KEY_SET_VALUE, &key),
        ERROR_SUCCESS);
    ::RegDeleteValueA(key, "SerialPort");
    ::RegCloseKey(key);
    EXPECT_EQ(Index(), 0);
    // A Windows user picks the COM port itself: each name is its own device.
    EXPECT_EQ(OpenRegistrySettings(m_path)->PortDevice("COM2"), "");
}

}  // namespace
}  // namespace varnel::cli
