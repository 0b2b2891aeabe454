// Options > Configuration > Devices... in the application, on the real settings file: OK writes
// the changed [Ports] key at once and nothing else, the COM list shows the port it made; on a
// file that cannot be read as it stands a box says why and the file stays as it was.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/VarnelApp.h"
#include "dialogs/ConfigurationDlg.h"
#include "dialogs/SerialDevicesDlg.h"
#include "strings/StringTable.h"
#include "tests/support/QtTestSupport.h"

namespace varnel {
namespace {

// A pseudo-terminal: a serial device that is there and free, and no hardware of this machine.
class PseudoTerminal {
public:
    PseudoTerminal() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0 &&
            ::ptsname_r(m_master, name, sizeof name) == 0) {
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

    const std::string& Path() const { return m_slave; }

private:
    int m_master = -1;
    std::string m_slave;
};

QStringList Entries(CConfigurationDlg& dialog) {
    QStringList entries;
    const QComboBox* list = dialog.GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT);
    for (int i = 0; i < list->count(); ++i) {
        entries << list->itemText(i);
    }
    return entries;
}

// Every port is mapped to a path of no device, so the machine's own serial ports play no part.
const QByteArray kBench =
    "; the bench by the window\n"
    "[Ports]\n"
    "COM1=/nonexistent/ttyUSB0\n"
    "COM2 = /nonexistent/ttyUSB1 ; spare cable\n"
    "COM3=/nonexistent/ttyUSB2\n"
    "COM4=/nonexistent/ttyUSB3\n"
    "\n"
    "[Options]\n"
    "SerialPort=0\n";

class DevicesCommand : public ::testing::Test {
protected:
    void SetUp() override {
        test::ClearSettings();
        ASSERT_FALSE(pty.Path().empty());
    }
    PseudoTerminal pty;
};

TEST_F(DevicesCommand, OkWritesTheChangedKeyAtOnceAndTheListShowsThePort) {
    test::WriteSettingsFile(kBench);
    CVarnelApp app;
    ASSERT_TRUE(app.InitInstance());
    app.SetSerialDeviceLister([] { return std::vector<SerialDevice>(); });
    const QString typed = QString::fromStdString(pty.Path());
    QStringList before, after;
    QString line;
    QByteArray fileAfterDevices;
    test::WhenModal([&](QWidget* modal) {
        auto* configuration = qobject_cast<CConfigurationDlg*>(modal);
        ASSERT_NE(configuration, nullptr);
        before = Entries(*configuration);
        test::WhenModal([&](QWidget* devicesWindow) {
            auto* devices = qobject_cast<CSerialDevicesDlg*>(devicesWindow);
            ASSERT_NE(devices, nullptr);
            devices->GetComboBox(SerialDevicesIds::IDC_COM2_DEVICE)->setEditText(typed);
            devices->GetButton(kIdOk)->click();
        });
        configuration->GetButton(CConfigurationDlg::IDC_DEVICES)->click();
        fileAfterDevices = test::ReadSettingsFile();
        after = Entries(*configuration);
        QComboBox* list = configuration->GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT);
        list->setCurrentIndex(list->findText("COM2"));
        line = configuration->GetDlgItemText(CConfigurationDlg::IDC_PORT_DEVICE);
        configuration->GetButton(kIdOk)->click();
    });
    EXPECT_TRUE(app.DispatchCommand(ID_CONFIGURATION));

    EXPECT_EQ(before, QStringList());
    EXPECT_EQ(after, QStringList{"COM2"});
    EXPECT_EQ(line, typed);
    QByteArray expected = kBench;
    expected.replace("/nonexistent/ttyUSB1", pty.Path().c_str());
    EXPECT_EQ(fileAfterDevices, expected) << "written at once, that key alone";
    EXPECT_EQ(app.m_nSerialPort, 1);
    EXPECT_EQ(app.GetPortName(), "COM2");
    EXPECT_EQ(ResolvePortDevice("COM2", app.GetPortResolver()), pty.Path());
    app.ExitInstance();
    expected.replace("SerialPort=0", "SerialPort=1");
    EXPECT_EQ(test::ReadSettingsFile(), expected);
}

TEST_F(DevicesCommand, ADamagedFileIsNotWrittenAndABoxSaysWhy) {
    const QByteArray damaged = kBench + "Note=\"unclosed\n";
    test::WriteSettingsFile(damaged);
    CVarnelApp app;
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(app.InitInstance());
    (void)::testing::internal::GetCapturedStderr();
    app.SetSerialDeviceLister([] { return std::vector<SerialDevice>(); });
    QString boxText, boxDetail;
    bool devicesStayedOpen = false;
    test::WhenModal([&](QWidget* modal) {
        auto* configuration = qobject_cast<CConfigurationDlg*>(modal);
        ASSERT_NE(configuration, nullptr);
        test::WhenModal([&](QWidget* devicesWindow) {
            auto* devices = qobject_cast<CSerialDevicesDlg*>(devicesWindow);
            ASSERT_NE(devices, nullptr);
            devices->GetComboBox(SerialDevicesIds::IDC_COM2_DEVICE)
                ->setEditText(QString::fromStdString(pty.Path()));
            test::WhenModal([&](QWidget* boxWindow) {
                auto* box = qobject_cast<QMessageBox*>(boxWindow);
                ASSERT_NE(box, nullptr);
                boxText = box->text();
                boxDetail = box->informativeText();
                box->button(QMessageBox::Ok)->click();
            });
            devices->GetButton(kIdOk)->click();
            devicesStayedOpen = devices->isVisible() && !devices->IsEnded();
            devices->GetButton(kIdCancel)->click();
        });
        configuration->GetButton(CConfigurationDlg::IDC_DEVICES)->click();
        configuration->GetButton(kIdCancel)->click();
    });
    EXPECT_TRUE(app.DispatchCommand(ID_CONFIGURATION));
    EXPECT_EQ(boxText, "The port mapping could not be saved.\nNothing has been changed.");
    EXPECT_TRUE(boxDetail.contains(test::SettingsFile())) << boxDetail.toStdString();
    EXPECT_TRUE(boxDetail.contains("line 10 opens a quote")) << boxDetail.toStdString();
    EXPECT_TRUE(devicesStayedOpen);
    app.ExitInstance();
    EXPECT_EQ(test::ReadSettingsFile(), damaged);
}

}  // namespace
}  // namespace varnel
