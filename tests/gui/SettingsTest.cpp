#include <gtest/gtest.h>

#include <ostream>

#include <QDir>
#include <QFile>
#include <QSettings>

#include <optional>

#include "app/VarnelApp.h"
#include "cli/Settings.h"
#include "link/PortNames.h"
#include "tests/support/QtTestSupport.h"
#include "tests/support/SettingsFileCases.h"

namespace varnel {
namespace {

QVariant StoredSerialPort() {
    QSettings settings("Tessaran", "Varnel");
    return settings.value("Options/SerialPort");
}

struct SettingCase {
    const char* stored;  // nullptr: no settings file at all
    int index;
    const char* portName;
};

void PrintTo(const SettingCase& c, std::ostream* os) {
    *os << "stored " << (c.stored ? c.stored : "(none)");
}

class SerialPortSetting : public ::testing::TestWithParam<SettingCase> {};

TEST_P(SerialPortSetting, IsReadAtStartAndWrittenAtExit) {
    const SettingCase& c = GetParam();
    test::ClearSettings();
    if (c.stored) {
        test::WriteSettingsFile(QByteArray("[Options]\nSerialPort=") + c.stored + "\n");
    }
    CVarnelApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.m_nSerialPort, c.index);
    EXPECT_EQ(app.GetPortName(), c.portName);
    app.ExitInstance();
    EXPECT_EQ(StoredSerialPort().toInt(), c.index);
}

INSTANTIATE_TEST_SUITE_P(Values, SerialPortSetting,
                         ::testing::Values(SettingCase{nullptr, 0, "COM1"},  // first run
                                           SettingCase{"7", 0, "COM1"},      // out of range
                                           SettingCase{"4", 0, "COM1"}, SettingCase{"3", 3, "COM4"},
                                           SettingCase{"0", 0, "COM1"},
                                           SettingCase{"-1", -1, "COM0"},          // kept as it is
                                           SettingCase{"4294967295", -1, "COM0"},  // same 32 bits
                                           SettingCase{"2147483648", INT32_MIN, "COM-2147483647"},
                                           SettingCase{"99999999999", 0, "COM1"},  // not 32 bits
                                           SettingCase{"COM2", 0, "COM1"},         // unreadable
                                           SettingCase{"", 0, "COM1"}));

TEST(SerialPortSettingChange, ReachesTheStoreOnlyAtExit) {
    test::ClearSettings();
    test::WriteSettingsFile("[Options]\nSerialPort=1\n");
    CVarnelApp app;
    ASSERT_TRUE(app.InitInstance());
    app.m_nSerialPort = 3;
    EXPECT_EQ(StoredSerialPort().toInt(), 1);
    app.ExitInstance();
    EXPECT_EQ(StoredSerialPort().toInt(), 3);
}

TEST(PortMapping, ComesFromThePortsGroupAtEachUse) {
    test::ClearSettings();
    test::WriteSettingsFile("[Ports]\nCOM2=/dev/ttyUSB0\n");
    CVarnelApp app;
    const PortResolver& resolver = app.GetPortResolver();
    EXPECT_EQ(ResolvePortDevice("COM2", resolver), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortDevice("COM3", resolver), "/dev/ttyS2");
    // Read at each use: an edit made while the program runs counts at the next exchange.
    QSettings("Tessaran", "Varnel").setValue("Ports/COM3", "/dev/pts/7");
    EXPECT_EQ(ResolvePortDevice("COM3", resolver), "/dev/pts/7");
}

class OneSettingsFile : public ::testing::TestWithParam<test::SettingsFileCase> {};

// The app at start-up and the command-line tool (its run as a program is checked with the same
// cases in the tool's own tests) take the same port and device from each file.
TEST_P(OneSettingsFile, MeansOnePortAndDeviceToTheAppAndTheTool) {
    const test::SettingsFileCase& c = GetParam();
    test::ClearSettings();
    if (c.contents) {
        test::WriteSettingsFile(c.contents);
    }
    CVarnelApp app;
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(app.InitInstance());
    (void)::testing::internal::GetCapturedStderr();
    EXPECT_EQ(app.GetPortName(), c.port);
    EXPECT_EQ(ResolvePortDevice(app.GetPortName(), app.GetPortResolver()), c.device);

    const auto tool = cli::OpenApplicationSettings();
    const std::string toolPort = PortNameFromIndex(tool->SerialPortIndex());
    EXPECT_EQ(toolPort, c.port);
    EXPECT_EQ(ResolvePortDevice(toolPort,
                                [&](const std::string& name) { return tool->PortDevice(name); }),
              c.device);
    EXPECT_EQ(tool->Damage(), app.SettingsDamage());
    app.ExitInstance();
}

INSTANTIATE_TEST_SUITE_P(Files, OneSettingsFile, ::testing::ValuesIn(test::kSettingsFileCases),
                         [](const ::testing::TestParamInfo<test::SettingsFileCase>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace varnel
