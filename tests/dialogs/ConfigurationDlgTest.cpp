#include <gtest/gtest.h>

#include <ostream>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/VarnelApp.h"
#include "dialogs/ConfigurationDlg.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "tests/dialogs/DialogDriver.h"

namespace varnel {
namespace {

// A pseudo-terminal stands in for a serial port that is plugged in; its slave is the device.
class PseudoTerminal {
public:
    PseudoTerminal() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
            return;
        }
        char name[128] = {};
        if (::ptsname_r(m_master, name, sizeof name) == 0) {
            m_slave = name;
        }
    }
    ~PseudoTerminal() {
        if (m_master >= 0) {
            ::close(m_master);
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool IsValid() const { return m_master >= 0 && !m_slave.empty(); }
    const std::string& SlavePath() const { return m_slave; }

    // The bytes that reached the device, waiting up to a second for the first.
    std::string Received() {
        std::string bytes;
        pollfd p{m_master, POLLIN, 0};
        for (int timeout = 1000; ::poll(&p, 1, timeout) > 0; timeout = 50) {
            char buffer[64];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

private:
    int m_master = -1;
    std::string m_slave;
};

// The machine's serial ports as the tests lay them out: COM1 to COM4 are each a pseudo-terminal
// or a path that does not exist.
class PortMachine : public ::testing::Test {
protected:
    void TearDown() override { SetPortResolver(nullptr); }

    // present[n] says whether COM(n+1) exists.
    void Install(std::array<bool, 4> present) {
        ASSERT_TRUE(m_missingFolder.isValid());
        for (int n = 0; n < 4; ++n) {
            const std::string name = "COM" + std::to_string(n + 1);
            if (present[n]) {
                m_ptys[n] = std::make_unique<PseudoTerminal>();
                ASSERT_TRUE(m_ptys[n]->IsValid());
                m_devices[name] = m_ptys[n]->SlavePath();
            } else {
                m_devices[name] = m_missingFolder.path().toStdString() + "/tty-" + name;
            }
        }
        SetPortResolver([devices = m_devices](const std::string& portName) {
            auto it = devices.find(portName);
            return it == devices.end() ? std::string() : it->second;
        });
    }

    PseudoTerminal& Pty(int index) { return *m_ptys[index]; }

    QTemporaryDir m_missingFolder;
    std::array<std::unique_ptr<PseudoTerminal>, 4> m_ptys;
    std::map<std::string, std::string> m_devices;
};

QStringList Entries(CConfigurationDlg& dialog) {
    QStringList entries;
    const QComboBox* list = dialog.GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT);
    for (int i = 0; i < list->count(); ++i) {
        entries << list->itemText(i);
    }
    return entries;
}

void Choose(CConfigurationDlg& dialog, const char* port) {
    QComboBox* list = dialog.GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT);
    const int at = list->findText(QString::fromLatin1(port));
    ASSERT_GE(at, 0) << port << " is not listed";
    list->setCurrentIndex(at);
}

// The application's handler of the Configuration command, without the rest of the application.
class ConfigurationApp : public CVarnelApp {
public:
    // Returns the dialog's result.
    int RunConfiguration(std::function<void(CConfigurationDlg&)> user) {
        CConfigurationDlg dialog;
        const auto played = test::WhenShown(dialog, std::move(user));
        RunPortSelection(dialog);
        EXPECT_TRUE(*played) << "the dialog never appeared";
        return dialog.Result();
    }
};

struct ListingCase {
    const char* name;
    std::array<bool, 4> present;
    int setting;
    QStringList entries;
    QString selected;  // empty: nothing selected
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ListingCase& c, std::ostream* os) {
    *os << c.name;
}

class ConfigurationListing : public PortMachine,
                             public ::testing::WithParamInterface<ListingCase> {};

TEST_P(ConfigurationListing, ListsPresentPortsAndSelectsTheSetting) {
    const ListingCase& c = GetParam();
    Install(c.present);
    CConfigurationDlg dialog;
    dialog.m_nPortIndex = c.setting;
    EXPECT_TRUE(dialog.OnInitDialog());
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_EQ(Entries(dialog), c.entries);
    const QComboBox* list = dialog.GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT);
    if (c.selected.isEmpty()) {
        EXPECT_EQ(list->currentIndex(), -1);
        EXPECT_EQ(list->currentText(), QString());
    } else {
        EXPECT_EQ(list->currentText(), c.selected);
    }
    // The probe leaves every port free for the next exchange.
    for (int n = 0; n < 4; ++n) {
        if (c.present[n]) {
            CSerialPort port;
            EXPECT_TRUE(port.Open(PortNameFromIndex(n))) << "COM" << n + 1 << " left open";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Machines, ConfigurationListing,
    ::testing::Values(
        ListingCase{"AllPresentSettingTwo",
                    {true, true, true, true},
                    2,
                    {"COM1", "COM2", "COM3", "COM4"},
                    "COM3"},
        ListingCase{
            "FirstTwoAbsentSettingZero", {false, false, true, true}, 0, {"COM3", "COM4"}, ""},
        ListingCase{
            "FirstTwoAbsentSettingTwo", {false, false, true, true}, 2, {"COM3", "COM4"}, "COM3"},
        ListingCase{"GapInTheMiddle", {true, false, true, false}, 2, {"COM1", "COM3"}, "COM3"},
        ListingCase{
            "NegativeSetting", {true, true, true, true}, -1, {"COM1", "COM2", "COM3", "COM4"}, ""},
        ListingCase{"SettingBeyondComFour",
                    {true, true, true, true},
                    4,
                    {"COM1", "COM2", "COM3", "COM4"},
                    ""},
        ListingCase{"NoPortAtAll", {false, false, false, false}, 1, {}, ""}),
    [](const ::testing::TestParamInfo<ListingCase>& info) { return info.param.name; });

TEST_F(PortMachine, OkWithoutChangeKeepsTheSetting) {
    Install({true, true, true, true});
    ConfigurationApp app;
    app.m_nSerialPort = 2;
    const int result =
        app.RunConfiguration([](CConfigurationDlg& d) { d.GetButton(IDOK)->click(); });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(app.m_nSerialPort, 2);
}

TEST_F(PortMachine, ChoosingComFourTakesEffectForTheNextExchange) {
    Install({false, false, true, true});
    ConfigurationApp app;
    app.m_nSerialPort = 0;
    const int result = app.RunConfiguration([](CConfigurationDlg& d) {
        EXPECT_EQ(Entries(d), (QStringList{"COM3", "COM4"}));
        Choose(d, "COM4");
        d.GetButton(IDOK)->click();
    });
    EXPECT_EQ(result, IDOK);
    ASSERT_EQ(app.m_nSerialPort, 3);

    // The next exchange forms its port name from the setting and reaches COM4's device.
    CSerialPort port;
    ASSERT_TRUE(port.Open(app.GetPortName()));
    const std::uint8_t request[] = {0xF1, 0x10, 0xFE};
    ASSERT_EQ(port.Write(request, sizeof request), sizeof request);
    EXPECT_EQ(Pty(3).Received(), std::string("\xF1\x10\xFE"));
    port.Close();
    EXPECT_EQ(Pty(2).Received(), std::string());
}

TEST_F(PortMachine, PortHeldByAnotherProgramIsListedAndStaysHeld) {
    Install({true, true, true, false});
    CSerialPort holder;
    ASSERT_TRUE(holder.Open(Pty(1).SlavePath()));

    CConfigurationDlg dialog;
    dialog.m_nPortIndex = 1;
    dialog.OnInitDialog();
    EXPECT_EQ(Entries(dialog), (QStringList{"COM1", "COM2", "COM3"}));
    EXPECT_EQ(dialog.GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT)->currentText(), "COM2");
    EXPECT_TRUE(holder.IsOpen());
    // The probe took nothing from the holder: the port still refuses a second user.
    CSerialPort second;
    EXPECT_FALSE(second.Open("COM2"));
}

TEST_F(PortMachine, CancelAndEscKeepTheSettingAfterAChange) {
    Install({true, true, true, true});
    const std::function<void(CConfigurationDlg&)> ways[] = {
        [](CConfigurationDlg& d) {
            Choose(d, "COM4");
            d.GetButton(IDCANCEL)->click();
        },
        [](CConfigurationDlg& d) {
            Choose(d, "COM4");
            QTest::keyClick(&d, Qt::Key_Escape);
        },
    };
    for (const auto& way : ways) {
        ConfigurationApp app;
        app.m_nSerialPort = 1;
        EXPECT_EQ(app.RunConfiguration(way), IDCANCEL);
        EXPECT_EQ(app.m_nSerialPort, 1);
    }
}

TEST_F(PortMachine, OkWithNothingSelectedKeepsTheSetting) {
    // Setting 0 with COM1 absent shows no selection; an empty machine shows an empty list.
    const std::array<bool, 4> machines[] = {{false, true, true, false},
                                            {false, false, false, false}};
    for (const auto& present : machines) {
        Install(present);
        ConfigurationApp app;
        app.m_nSerialPort = 0;
        const int result = app.RunConfiguration([](CConfigurationDlg& d) {
            EXPECT_EQ(d.GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT)->currentIndex(), -1);
            d.GetButton(IDOK)->click();
        });
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(app.m_nSerialPort, 0);
    }
}

TEST_F(PortMachine, ProbeRunsAgainEachTimeTheDialogOpens) {
    Install({true, true, true, true});
    CConfigurationDlg first;
    first.m_nPortIndex = 3;
    first.OnInitDialog();
    EXPECT_EQ(Entries(first).size(), 4);

    // COM4's adapter is pulled out between two runs.
    m_ptys[3].reset();
    SetPortResolver([devices = m_devices, gone = m_missingFolder.path().toStdString() +
                                                 "/gone"](const std::string& portName) {
        return portName == "COM4" ? gone : devices.at(portName);
    });
    CConfigurationDlg second;
    second.m_nPortIndex = 3;
    second.OnInitDialog();
    EXPECT_EQ(Entries(second), (QStringList{"COM1", "COM2", "COM3"}));
    EXPECT_EQ(second.GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT)->currentIndex(), -1);
}

TEST(ConfigurationDlg, TemplateAndFreshState) {
    CConfigurationDlg dialog;
    EXPECT_EQ(dialog.m_nPortIndex, -1);
    EXPECT_EQ(dialog.Template().id, 130);
    EXPECT_EQ(dialog.windowTitle(), "Configuration");
    EXPECT_EQ(dialog.GetButton(IDOK)->text(), "OK");
    EXPECT_TRUE(dialog.GetButton(IDOK)->isDefault());
    EXPECT_EQ(dialog.GetButton(IDCANCEL)->text(), "Cancel");
    ASSERT_NE(dialog.GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT), nullptr);
    EXPECT_FALSE(dialog.GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT)->isEditable());
    // The list is the first stop of Tab, then OK, then Cancel.
    const auto stops = dialog.TabStops();
    ASSERT_EQ(stops.size(), 3u);
    EXPECT_EQ(stops[0], dialog.GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT));
    EXPECT_EQ(stops[1], dialog.GetButton(IDOK));
    EXPECT_EQ(stops[2], dialog.GetButton(IDCANCEL));
}

}  // namespace
}  // namespace varnel
