// The Configuration dialog: the ports it is given to list, the selection it starts with, and what
// OK and Cancel do with the setting. The machines are tables of how each port stands; one case
// runs on real pseudo-terminals through the application's own command.
#include <gtest/gtest.h>

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
#include <ostream>
#include <string>

#include "app/VarnelApp.h"
#include "dialogs/ConfigurationDlg.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "strings/StringTable.h"
#include "tests/dialogs/DialogFixture.h"
#include "tests/support/QtTestSupport.h"

namespace varnel {
namespace {

using Config = CConfigurationDlg;

// How COM1 to COM4 stand on a machine.
using Machine = std::array<PortPresence, 4>;
constexpr PortPresence P = PortPresence::Present;
constexpr PortPresence M = PortPresence::Missing;
constexpr PortPresence U = PortPresence::Unavailable;  // held by another program

// Every port name has a device of its own, which the probe looks up in the machine.
PortResolver FakeResolver() {
    return [](const std::string& portName) { return "/dev/fake-" + portName; };
}
PortProbe FakeProbe(std::shared_ptr<Machine> machine) {
    return [machine](const std::string& device) {
        for (int n = 0; n < 4; ++n) {
            if (device == "/dev/fake-" + PortNameFromIndex(n)) {
                return (*machine)[static_cast<std::size_t>(n)];
            }
        }
        ADD_FAILURE() << "probed " << device;
        return PortPresence::Missing;
    };
}

QComboBox& List(Config& dialog) {
    return *dialog.GetComboBox(Config::IDC_SERIAL_PORT);
}

void Choose(Config& dialog, const char* port) {
    const int at = List(dialog).findText(QString::fromLatin1(port));
    ASSERT_GE(at, 0) << port << " is not listed";
    List(dialog).setCurrentIndex(at);
}

struct ListingCase {
    const char* name;
    Machine machine;
    int setting;
    QStringList entries;
    QString selected;  // empty: nothing selected
};

void PrintTo(const ListingCase& c, std::ostream* os) {
    *os << c.name;
}

class ConfigurationListing : public ::testing::TestWithParam<ListingCase> {};

TEST_P(ConfigurationListing, ListsThePortsThatAreThereAndSelectsTheSetting) {
    const ListingCase& c = GetParam();
    Config dialog(FakeResolver(), nullptr, FakeProbe(std::make_shared<Machine>(c.machine)));
    dialog.m_nPortIndex = c.setting;
    EXPECT_TRUE(dialog.OnInitDialog());
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_EQ(test::Entries(List(dialog)), c.entries);
    if (c.selected.isEmpty()) {
        EXPECT_EQ(List(dialog).currentIndex(), -1);
        EXPECT_EQ(List(dialog).currentText(), QString());
    } else {
        EXPECT_EQ(List(dialog).currentText(), c.selected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Machines, ConfigurationListing,
    ::testing::Values(
        ListingCase{
            "AllPresentSettingTwo", {P, P, P, P}, 2, {"COM1", "COM2", "COM3", "COM4"}, "COM3"},
        ListingCase{"FirstTwoMissingSettingZero", {M, M, P, P}, 0, {"COM3", "COM4"}, ""},
        ListingCase{"FirstTwoMissingSettingTwo", {M, M, P, P}, 2, {"COM3", "COM4"}, "COM3"},
        ListingCase{"GapInTheMiddle", {P, M, P, M}, 2, {"COM1", "COM3"}, "COM3"},
        ListingCase{"HeldPortIsListed", {M, U, P, M}, 1, {"COM2", "COM3"}, "COM2"},
        ListingCase{"NegativeSetting", {P, P, P, P}, -1, {"COM1", "COM2", "COM3", "COM4"}, ""},
        ListingCase{"SettingBeyondComFour", {P, P, P, P}, 4, {"COM1", "COM2", "COM3", "COM4"}, ""},
        ListingCase{"NoPortAtAll", {M, M, M, M}, 1, {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The application's Configuration command with a machine of its own.
class ConfigurationApp : public CVarnelApp {
public:
    std::shared_ptr<Machine> machine = std::make_shared<Machine>();
    std::function<void(Config&)> user;
    test::ModalRun run;

protected:
    std::optional<int> ChoosePort(int current, PortMappingAccess) override {
        Config dialog(FakeResolver(), nullptr, FakeProbe(machine));
        const auto played = test::WhenShown(dialog, user);
        const std::optional<int> chosen = PortChosenIn(dialog, current);
        run = {dialog.Result(), *played};
        return chosen;
    }
};

struct ChoiceCase {
    const char* name;
    Machine machine;
    int setting;
    std::function<void(Config&)> user;
    int result;
    int settingAfter;
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.name;
}

class ConfigurationChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ConfigurationChoice, OnlyOkWithAChoiceChangesTheSetting) {
    const ChoiceCase& c = GetParam();
    ConfigurationApp app;
    *app.machine = c.machine;
    app.m_nSerialPort = c.setting;
    app.user = c.user;
    EXPECT_TRUE(app.DispatchCommand(ID_CONFIGURATION));
    EXPECT_TRUE(app.run.shown);
    EXPECT_EQ(app.run.result, c.result);
    EXPECT_EQ(app.m_nSerialPort, c.settingAfter);
}

void PressOk(Config& d) {
    d.GetButton(kIdOk)->click();
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ConfigurationChoice,
    ::testing::Values(
        ChoiceCase{"OkWithoutChange", {P, P, P, P}, 2, PressOk, kIdOk, 2},
        ChoiceCase{"ComFourThenOk",
                   {M, M, P, P},
                   0,
                   [](Config& d) {
                       Choose(d, "COM4");
                       PressOk(d);
                   },
                   kIdOk,
                   3},
        ChoiceCase{"ComFourThenCancel",
                   {P, P, P, P},
                   1,
                   [](Config& d) {
                       Choose(d, "COM4");
                       d.GetButton(kIdCancel)->click();
                   },
                   kIdCancel,
                   1},
        ChoiceCase{"ComFourThenEsc",
                   {P, P, P, P},
                   1,
                   [](Config& d) {
                       Choose(d, "COM4");
                       QTest::keyClick(&d, Qt::Key_Escape);
                   },
                   kIdCancel,
                   1},
        // The setting's port is missing: nothing is selected, and OK keeps the setting.
        ChoiceCase{"OkWithNothingSelected", {M, P, P, M}, 0, PressOk, kIdOk, 0},
        ChoiceCase{"OkWithAnEmptyList", {M, M, M, M}, 2, PressOk, kIdOk, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigurationDlg, PortsAreProbedAfreshEachTimeTheDialogOpens) {
    auto machine = std::make_shared<Machine>(Machine{P, P, P, P});
    Config first(FakeResolver(), nullptr, FakeProbe(machine));
    first.m_nPortIndex = 3;
    first.OnInitDialog();
    EXPECT_EQ(List(first).currentText(), "COM4");

    (*machine)[3] = M;  // COM4's adapter is pulled out between two runs
    Config second(FakeResolver(), nullptr, FakeProbe(machine));
    second.m_nPortIndex = 3;
    second.OnInitDialog();
    EXPECT_EQ(test::Entries(List(second)), (QStringList{"COM1", "COM2", "COM3"}));
    EXPECT_EQ(List(second).currentIndex(), -1);
}

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

    // The bytes that reached the device, waiting up to timeoutMs for the first.
    std::string Received(int timeoutMs = 1000) {
        std::string bytes;
        pollfd p{m_master, POLLIN, 0};
        for (int timeout = timeoutMs; ::poll(&p, 1, timeout) > 0; timeout = 50) {
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

// The real probe and the real serial port, through the application's own command: COM1 does not
// exist, COM2 is held by another program, COM3 and COM4 are plugged in.
TEST(ConfigurationOnRealDevices, HeldPortIsListedAndLeftHeldAndTheChoiceReachesTheNextExchange) {
    QTemporaryDir missingFolder;
    ASSERT_TRUE(missingFolder.isValid());
    std::array<std::unique_ptr<PseudoTerminal>, 4> ptys;
    std::map<std::string, std::string> devices = {
        {"COM1", missingFolder.path().toStdString() + "/ttyGone"}};
    for (int n = 1; n < 4; ++n) {
        ptys[n] = std::make_unique<PseudoTerminal>();
        ASSERT_TRUE(ptys[n]->IsValid());
        devices[PortNameFromIndex(n)] = ptys[n]->SlavePath();
    }
    CSerialPort holder;
    ASSERT_TRUE(holder.Open(devices.at("COM2")));

    CVarnelApp app;
    app.SetPortResolver([devices](const std::string& portName) {
        auto it = devices.find(portName);
        return it == devices.end() ? std::string() : it->second;
    });
    app.m_nSerialPort = 1;
    QStringList entries;
    QString selected;
    test::WhenModal([&](QWidget* modal) {
        auto* dialog = dynamic_cast<Config*>(modal);
        ASSERT_NE(dialog, nullptr);
        entries = test::Entries(List(*dialog));
        selected = List(*dialog).currentText();
        Choose(*dialog, "COM4");
        dialog->GetButton(kIdOk)->click();
    });
    EXPECT_TRUE(app.DispatchCommand(ID_CONFIGURATION));
    EXPECT_EQ(entries, (QStringList{"COM2", "COM3", "COM4"}));
    EXPECT_EQ(selected, "COM2");
    ASSERT_EQ(app.m_nSerialPort, 3);

    // The probe took nothing from the holder: the port still refuses a second user.
    EXPECT_TRUE(holder.IsOpen());
    CSerialPort second;
    EXPECT_FALSE(second.Open(devices.at("COM2")));

    // The next exchange opens COM4's device, which the probe left free.
    Session session = app.MakeSession(ID_RADIO_INFO);
    EXPECT_EQ(session.portName, "COM4");
    PortOpenResult opened = session.openPort(session.portName, nullptr);
    ASSERT_NE(opened.port, nullptr) << opened.detail;
    EXPECT_EQ(opened.port->WriteByte(0xF1), 0xF1);
    EXPECT_EQ(ptys[3]->Received(), std::string("\xF1"));
    opened.port.reset();
    EXPECT_EQ(ptys[2]->Received(50), std::string());
}

}  // namespace
}  // namespace varnel
