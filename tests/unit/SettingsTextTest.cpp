// What a settings text holds, key by key: the values QSettings would give as text, and none where
// it would give no text, whatever the form of the line.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "settings/IniText.h"
#include "settings/SettingsStore.h"

namespace varnel {
namespace {

struct ValueCase {
    const char* text;
    const char* key;  // group/key
    std::optional<std::string> value;
};

TEST(SettingsTextValue, IsReadAsQSettingsReadsIt) {
    const ValueCase cases[] = {
        {"[Options]\nSerialPort=2\n", "Options/SerialPort", "2"},
        {"[Options]\nSerialPort = 2 ; mine\n", "Options/SerialPort", "2"},
        {"[Options]\r\nSerialPort=3\r\n", "Options/SerialPort", "3"},
        {"[Options]\nSerialPort=\n", "Options/SerialPort", ""},
        {"[Options]\nOther=2\n", "Options/SerialPort", std::nullopt},
        {"[Ports]\nCOM1=/dev/a\n[Ports]\nCOM1=/dev/b\n", "Ports/COM1", "/dev/b"},  // the last
        {"[ports]\nCOM1=/dev/a\n", "Ports/COM1", std::nullopt},  // groups keep their case
        {"[General]\nSerialPort=1\n", "SerialPort", "1"},
        {"Options\\SerialPort=1\n", "Options/SerialPort", "1"},
        {"[Options]\nSerial%50ort=1\n", "Options/SerialPort", "1"},
        {"[Ports]\nCOM1=\"/dev/a,b\"\n", "Ports/COM1", "/dev/a,b"},
        {"[Ports]\nCOM1=\" /dev/a \"\n", "Ports/COM1", " /dev/a "},
        {"[Ports]\nCOM1=/dev/a\\\"b\\\\c\\td\n", "Ports/COM1", "/dev/a\"b\\c\td"},
        {"[Ports]\nCOM1=/dev/x\\x41\\101\n", "Ports/COM1", "/dev/xAA"},
        {"[Ports]\nCOM1=/dev/a, /dev/b\n", "Ports/COM1", std::nullopt},  // a list
        {"[Ports]\nCOM1=@@dev\n", "Ports/COM1", "@dev"},
        {"[Ports]\nCOM1=@dev\n", "Ports/COM1", "@dev"},
        {"[Ports]\nCOM1=@String(/dev/a)\n", "Ports/COM1", "/dev/a"},
        {"[Options]\nSerialPort=@ByteArray(2)\n", "Options/SerialPort", "2"},
        {"[Options]\nSerialPort=@Variant(\\0\\0\\0\\x2)\n", "Options/SerialPort", std::nullopt},
        {"[Options]\nSerialPort=@Invalid()\n", "Options/SerialPort", std::nullopt},
        {"[Options]\nSerialPort=@Rect(1 2 3 4)\n", "Options/SerialPort", std::nullopt},
    };
    for (const ValueCase& c : cases) {
        const std::string full = c.key;
        const std::size_t slash = full.rfind('/');
        const std::string group = slash == std::string::npos ? "" : full.substr(0, slash);
        const std::string key = slash == std::string::npos ? full : full.substr(slash + 1);
        ASSERT_EQ(IniTextDamage(c.text), "") << c.text;
        EXPECT_EQ(IniTextValue(c.text, group, key), c.value) << c.text;
    }
}

// Whatever a write puts in, a read gives back, through the whole store.
TEST(SettingsTextValue, AWrittenValueReadsBackAsItWent) {
    const std::string devices[] = {"/dev/ttyUSB0",
                                   "/dev/a b",
                                   "/dev/a,b",
                                   "/dev/a;b",
                                   "/dev/a=b",
                                   "@dev",
                                   "@Variant(x)",
                                   "/dev/a\"b\\c",
                                   "/dev/x\x01"
                                   "1",
                                   "/dev/\xC3\xA9"};
    for (const std::string& device : devices) {
        auto store = OpenSettingsText("; mine\n[Options]\nSerialPort=1\n");
        ASSERT_EQ(store->Write({{kPortsGroup, "COM2", device}}), "");
        EXPECT_EQ(store->ReadText(kPortsGroup, "COM2"), device);
        EXPECT_EQ(LoadSerialPortSetting(*store), 1);
    }
}

TEST(SettingsTextValue, ADamagedTextGivesNothingAndTakesNoWrite) {
    auto store = OpenSettingsText("[Options]\nSerialPort=2\nNote=\"open\n[Ports]\nCOM1=/dev/x\n");
    EXPECT_NE(store->Damage(), "");
    EXPECT_EQ(LoadSerialPortSetting(*store), 0);
    EXPECT_EQ(PortDeviceSetting(*store, "COM1"), "");
    EXPECT_NE(SaveSerialPortSetting(*store, 3), "");
}

}  // namespace
}  // namespace varnel
