// Configuration with its device line and Devices... button: the list of COM1 to COM4 stays as it
// was, the line under it names what the chosen port leads to, and the Serial Devices dialog's OK
// has the ports found again.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/ConfigurationDlg.h"
#include "dialogs/SerialDevicesDlg.h"
#include "tests/support/RecordingReporter.h"

namespace varnel {
namespace {

SerialDevice Device(const char* path, const char* kernelPath, const char* description) {
    SerialDevice device;
    device.path = path;
    device.kernelPath = kernelPath;
    device.name = device.kernelPath.substr(5);
    device.description = description;
    return device;
}

const char kFtdiById[] = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

// Runs action on the Serial Devices dialog once it is up, from its own event loop.
void WhenDevicesDialogShown(std::function<void(CSerialDevicesDlg&)> action, int triesLeft = 400) {
    QTimer::singleShot(5, [action = std::move(action), triesLeft]() mutable {
        auto* dialog = qobject_cast<CSerialDevicesDlg*>(QApplication::activeModalWidget());
        if (dialog && dialog->isVisible()) {
            action(*dialog);
        } else if (triesLeft > 0) {
            WhenDevicesDialogShown(std::move(action), triesLeft - 1);
        }
    });
}

QStringList Entries(CConfigurationDlg& dialog) {
    QStringList entries;
    const QComboBox* list = dialog.GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT);
    for (int i = 0; i < list->count(); ++i) {
        entries << list->itemText(i);
    }
    return entries;
}

QString DeviceLine(CConfigurationDlg& dialog) {
    return dialog.GetDlgItemText(CConfigurationDlg::IDC_PORT_DEVICE);
}

// A machine of the test's making: what each port name is mapped to, how each device stands, the
// devices found; the writer keeps the mapping where the resolver reads it.
class ConfigurationDevices : public ::testing::Test {
protected:
    std::unique_ptr<CConfigurationDlg> Make(bool withWriter = true) {
        PortMappingAccess access;
        access.listDevices = [this] {
            ++listings;
            return devices;
        };
        if (withWriter) {
            access.write = [this](const std::vector<PortMappingChange>& changes) {
                writes.push_back(changes);
                for (const PortMappingChange& change : changes) {
                    mapping[change.portName] = change.device;
                }
                return std::string();
            };
        }
        access.reporter = &reporter;
        return std::make_unique<CConfigurationDlg>(
            [this](const std::string& portName) {
                auto it = mapping.find(portName);
                return it == mapping.end() ? std::string() : it->second;
            },
            nullptr,
            [this](const std::string& device) {
                ++probes;
                auto it = presence.find(device);
                return it == presence.end() ? PortPresence::Missing : it->second;
            },
            std::move(access));
    }

    std::map<std::string, std::string> mapping = {{"COM1", kFtdiById}, {"COM3", "/dev/pts/4"}};
    std::map<std::string, PortPresence> presence = {
        {kFtdiById, PortPresence::Present},
        {"/dev/pts/4", PortPresence::Present},
        {"/dev/ttyS3", PortPresence::Unavailable},
        {"/dev/ttyACM0", PortPresence::Present},
    };
    std::vector<SerialDevice> devices = {
        Device(kFtdiById, "/dev/ttyUSB0", "FTDI FT232R USB UART (serial A50285BI)"),
        Device("/dev/ttyACM0", "/dev/ttyACM0", "Arduino Uno"),
    };
    std::vector<std::vector<PortMappingChange>> writes;
    int probes = 0;
    int listings = 0;
    test::RecordingReporter reporter;
};

// The four controls of the dialog stay as they were; the new ones come after them, and the
// dialog grows in height only.
TEST(ConfigurationTemplate, KeepsItsFourControlsAndAddsTheDeviceLineAndButton) {
    const DialogTemplate& t = ConfigurationTemplate();
    EXPECT_EQ(t.id, 130);
    EXPECT_STREQ(t.caption, "Configuration");
    EXPECT_EQ(t.cx, 200);
    ASSERT_EQ(t.controls.size(), 6u);
    struct Expected {
        ControlKind kind;
        int id, x, y, cx, cy;
        const char* text;
    };
    const Expected original[] = {
        {ControlKind::Text, IDC_STATIC, 8, 12, 55, 8, "Serial Port:"},
        {ControlKind::DropDownList, 1000, 68, 8, 48, 60, ""},
        {ControlKind::DefPushButton, kIdOk, 144, 4, 50, 14, "OK"},
        {ControlKind::PushButton, kIdCancel, 144, 24, 50, 14, "Cancel"},
    };
    for (std::size_t i = 0; i < std::size(original); ++i) {
        const ControlTemplate& c = t.controls[i];
        const Expected& e = original[i];
        EXPECT_TRUE(c.kind == e.kind && c.id == e.id && c.x == e.x && c.y == e.y && c.cx == e.cx &&
                    c.cy == e.cy && std::string(c.text) == e.text)
            << "control " << i << " moved or changed";
    }
    const ControlTemplate& line = t.controls[4];
    EXPECT_EQ(line.id, ConfigurationIds::IDC_PORT_DEVICE);
    EXPECT_EQ(line.kind, ControlKind::Text);
    EXPECT_GT(line.y, 8 + 12) << "under the list";
    const ControlTemplate& button = t.controls[5];
    EXPECT_EQ(button.id, ConfigurationIds::IDC_DEVICES);
    EXPECT_STREQ(button.text, "Devices...");
    for (const ControlTemplate& c : t.controls.subspan(4)) {
        EXPECT_LE(c.x + c.cx, t.cx);
        EXPECT_LE(c.y + c.cy, t.cy);
    }
    // The list's dropped height may run past the bottom; the rest of the layout may not.
    EXPECT_LE(line.x + line.cx, 144) << "the line runs under the buttons";
}

TEST_F(ConfigurationDevices, TabOrderIsListOkCancelDevices) {
    auto dialog = Make();
    const auto stops = dialog->TabStops();
    ASSERT_EQ(stops.size(), 4u);
    EXPECT_EQ(stops[0], dialog->GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT));
    EXPECT_EQ(stops[1], dialog->GetButton(kIdOk));
    EXPECT_EQ(stops[2], dialog->GetButton(kIdCancel));
    EXPECT_EQ(stops[3], dialog->GetButton(CConfigurationDlg::IDC_DEVICES));
    EXPECT_TRUE(dialog->GetButton(CConfigurationDlg::IDC_DEVICES)->isEnabled());
    EXPECT_FALSE(Make(false)->GetButton(CConfigurationDlg::IDC_DEVICES)->isEnabled())
        << "with nowhere to keep a mapping the button is of no use";
}

TEST_F(ConfigurationDevices, DeviceLineFollowsTheSelection) {
    auto dialog = Make();
    dialog->m_nPortIndex = 0;
    dialog->OnInitDialog();
    EXPECT_EQ(Entries(*dialog), (QStringList{"COM1", "COM3", "COM4"}));
    EXPECT_EQ(DeviceLine(*dialog), "/dev/ttyUSB0 - FTDI FT232R USB UART (serial A50285BI)");
    QComboBox* list = dialog->GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT);
    list->setCurrentIndex(list->findText("COM3"));
    EXPECT_EQ(DeviceLine(*dialog), "/dev/pts/4");
    list->setCurrentIndex(list->findText("COM4"));
    EXPECT_TRUE(DeviceLine(*dialog).startsWith("/dev/ttyS3 - in use by another program"))
        << DeviceLine(*dialog).toStdString();
    list->setCurrentIndex(-1);
    EXPECT_EQ(DeviceLine(*dialog), "");
}

TEST_F(ConfigurationDevices, AnEmptyListSaysWhereToMapADevice) {
    presence.clear();
    auto dialog = Make();
    dialog->m_nPortIndex = 0;
    dialog->OnInitDialog();
    EXPECT_TRUE(Entries(*dialog).isEmpty());
    EXPECT_EQ(DeviceLine(*dialog), "No device is found for COM1 to COM4. Map one under Devices...");
}

TEST_F(ConfigurationDevices, DevicesOkWritesAndThePortsAreFoundAgain) {
    auto dialog = Make();
    dialog->m_nPortIndex = 2;
    dialog->OnInitDialog();
    EXPECT_EQ(Entries(*dialog), (QStringList{"COM1", "COM3", "COM4"}));
    WhenDevicesDialogShown([](CSerialDevicesDlg& devices) {
        QComboBox* com2 = devices.GetComboBox(SerialDevicesIds::IDC_COM2_DEVICE);
        com2->setCurrentIndex(com2->findText("/dev/ttyACM0 - Arduino Uno"));
        devices.GetButton(kIdOk)->click();
    });
    const int probesBefore = probes;
    EXPECT_EQ(dialog->OnDevices(), kIdOk);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], (std::vector<PortMappingChange>{{"COM2", "/dev/ttyACM0"}}));
    EXPECT_EQ(probes, probesBefore + 4) << "COM1 to COM4 probed again";
    EXPECT_EQ(Entries(*dialog), (QStringList{"COM1", "COM2", "COM3", "COM4"}));
    QComboBox* list = dialog->GetComboBox(CConfigurationDlg::IDC_SERIAL_PORT);
    EXPECT_EQ(list->currentText(), "COM3") << "the choice made before stays";
    list->setCurrentIndex(list->findText("COM2"));
    EXPECT_EQ(DeviceLine(*dialog), "/dev/ttyACM0 - Arduino Uno");
    EXPECT_FALSE(dialog->IsEnded());
}

TEST_F(ConfigurationDevices, DevicesCancelChangesNothing) {
    auto dialog = Make();
    dialog->m_nPortIndex = 0;
    dialog->OnInitDialog();
    WhenDevicesDialogShown([](CSerialDevicesDlg& devices) {
        QComboBox* com1 = devices.GetComboBox(SerialDevicesIds::IDC_COM1_DEVICE);
        com1->setEditText("/dev/ttyS9");
        QTest::keyClick(&devices, Qt::Key_Escape);
    });
    const int probesBefore = probes;
    EXPECT_EQ(dialog->OnDevices(), kIdCancel);
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(probes, probesBefore);
    EXPECT_EQ(mapping.at("COM1"), kFtdiById);
    EXPECT_EQ(Entries(*dialog), (QStringList{"COM1", "COM3", "COM4"}));
}

// The Devices button in the dialog's own run: the Serial Devices dialog opens over it, and the
// Configuration dialog's result is still only its own OK or Cancel.
TEST_F(ConfigurationDevices, DevicesButtonInTheModalRun) {
    auto dialog = Make();
    dialog->m_nPortIndex = 0;
    bool sawDevices = false;
    QTimer::singleShot(20, [&] {
        WhenDevicesDialogShown([&](CSerialDevicesDlg& devices) {
            sawDevices = devices.parentWidget() == dialog.get();
            devices.GetButton(kIdCancel)->click();
            QTimer::singleShot(20, [&] { dialog->GetButton(kIdCancel)->click(); });
        });
        dialog->GetButton(CConfigurationDlg::IDC_DEVICES)->click();
    });
    EXPECT_EQ(dialog->DoModal(), kIdCancel);
    EXPECT_TRUE(sawDevices);
    EXPECT_EQ(dialog->m_nPortIndex, 0);
}

}  // namespace
}  // namespace varnel
