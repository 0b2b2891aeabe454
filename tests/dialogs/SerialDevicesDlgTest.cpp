// The Serial Devices dialog: each of COM1 to COM4 shown as it is mapped, chosen anew from the
// devices found, typed, or set back to its default; OK writes only what changed, Cancel nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/SerialDevicesDlg.h"
#include "strings/StringTable.h"
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

const std::vector<SerialDevice> kDevices = {
    Device("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "/dev/ttyUSB0",
           "FTDI FT232R USB UART (serial A50285BI)"),
    Device("/dev/ttyACM0", "/dev/ttyACM0", "Arduino Uno"),
};
const QString kFtdi = "/dev/ttyUSB0 - FTDI FT232R USB UART (serial A50285BI)";
const QString kArduino = "/dev/ttyACM0 - Arduino Uno";

// Plays the user's part once the dialog's modal run has put it on screen and made it active.
void ActWhenShown(QPointer<CDialog> dialog, std::function<void(CDialog&)> user,
                  std::shared_ptr<bool> played, int triesLeft = 400) {
    QTimer::singleShot(5, [dialog, user = std::move(user), played, triesLeft]() mutable {
        if (!dialog) {
            return;
        }
        if (dialog->isVisible()) {
            (void)QTest::qWaitFor([&] { return QApplication::activeWindow() == dialog; }, 2000);
            *played = true;
            user(*dialog);
        } else if (triesLeft > 0) {
            ActWhenShown(dialog, std::move(user), played, triesLeft - 1);
        }
    });
}

QComboBox* Row(CDialog& dialog, int number) {
    return dialog.GetComboBox(SerialDevicesIds::DeviceControl(number));
}

QStringList Entries(QComboBox* combo) {
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i) {
        entries << combo->itemText(i);
    }
    return entries;
}

void Choose(CDialog& dialog, int number, const QString& entry) {
    QComboBox* combo = Row(dialog, number);
    const int at = combo->findText(entry);
    ASSERT_GE(at, 0) << entry.toStdString();
    combo->setCurrentIndex(at);
}

void Type(CDialog& dialog, int number, const QString& text) {
    Row(dialog, number)->setEditText(text);
}

class SerialDevicesDialog : public ::testing::Test {
protected:
    std::unique_ptr<CSerialDevicesDlg> Make() {
        return std::make_unique<CSerialDevicesDlg>(
            [this](const std::string& portName) {
                auto it = stored.find(portName);
                return it == stored.end() ? std::string() : it->second;
            },
            kDevices,
            [this](const std::vector<PortMappingChange>& changes) {
                writes.push_back(changes);
                return failWith;
            },
            reporter);
    }

    // COM1 by its lasting name, COM2 by the kernel's name of the same adapter, COM3 a path of
    // no device found now, COM4 the default.
    std::map<std::string, std::string> stored = {
        {"COM1", kDevices[0].path}, {"COM2", "/dev/ttyUSB0"}, {"COM3", "/dev/pts/9"}};
    std::vector<std::vector<PortMappingChange>> writes;
    std::string failWith;
    test::RecordingReporter reporter;
};

TEST_F(SerialDevicesDialog, TemplateRowsAndTabOrderFollowTheLayout) {
    auto dialog = Make();
    EXPECT_EQ(dialog->Template().id, 135);
    EXPECT_EQ(dialog->windowTitle(), "Serial Devices");
    EXPECT_TRUE(dialog->GetButton(kIdOk)->isDefault());
    EXPECT_EQ(dialog->GetButton(kIdOk)->text(), "OK");
    EXPECT_EQ(dialog->GetButton(kIdCancel)->text(), "Cancel");
    QStringList labels;
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        labels << label->text();
    }
    std::vector<QWidget*> expected;
    for (int number = 1; number <= 4; ++number) {
        ASSERT_NE(Row(*dialog, number), nullptr);
        EXPECT_TRUE(Row(*dialog, number)->isEditable());
        EXPECT_TRUE(labels.contains(QString("COM%1:").arg(number)));
        expected.push_back(Row(*dialog, number));
    }
    expected.push_back(dialog->GetButton(kIdOk));
    expected.push_back(dialog->GetButton(kIdCancel));
    EXPECT_EQ(dialog->TabStops(), expected);
    // Each stop stands below the one before it, or on its line to the right of it.
    for (std::size_t i = 1; i < expected.size(); ++i) {
        const QRect before = expected[i - 1]->geometry();
        const QRect here = expected[i]->geometry();
        EXPECT_TRUE(here.top() > before.top() ||
                    (here.top() == before.top() && here.left() > before.right()))
            << "tab stop " << i;
        EXPECT_TRUE(dialog->rect().contains(here)) << "tab stop " << i << " outside the dialog";
    }
}

TEST_F(SerialDevicesDialog, RowsShowEachMappingAsKept) {
    auto dialog = Make();
    EXPECT_TRUE(dialog->OnInitDialog());
    EXPECT_EQ(Entries(Row(*dialog, 1)), (QStringList{"Default (/dev/ttyS0)", kFtdi, kArduino}));
    EXPECT_EQ(Entries(Row(*dialog, 4)), (QStringList{"Default (/dev/ttyS3)", kFtdi, kArduino}));
    EXPECT_EQ(Row(*dialog, 1)->currentText(), kFtdi);
    EXPECT_EQ(Row(*dialog, 2)->currentText(), kFtdi);  // another name of the same adapter
    EXPECT_EQ(Row(*dialog, 3)->currentText(), "/dev/pts/9");
    EXPECT_EQ(Row(*dialog, 3)->currentIndex(), -1);
    EXPECT_EQ(Row(*dialog, 4)->currentText(), "Default (/dev/ttyS3)");
}

struct EditCase {
    const char* name;
    std::function<void(CDialog&)> edit;
    std::vector<PortMappingChange> written;  // empty: nothing is written
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

class SerialDevicesEdit : public SerialDevicesDialog,
                          public ::testing::WithParamInterface<EditCase> {};

TEST_P(SerialDevicesEdit, OkWritesOnlyWhatChanged) {
    auto dialog = Make();
    dialog->OnInitDialog();
    GetParam().edit(*dialog);
    dialog->OnOK();
    EXPECT_TRUE(dialog->IsEnded());
    EXPECT_EQ(dialog->Result(), kIdOk);
    if (GetParam().written.empty()) {
        EXPECT_TRUE(writes.empty());
    } else {
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0], GetParam().written);
    }
    EXPECT_EQ(dialog->Changes(), GetParam().written);
    EXPECT_TRUE(reporter.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Edits, SerialDevicesEdit,
    ::testing::Values(
        EditCase{"NothingTouched", [](CDialog&) {}, {}},
        // The same adapter chosen again keeps the name it was kept under.
        EditCase{"SameDeviceChosenAgain", [](CDialog& d) { Choose(d, 2, kFtdi); }, {}},
        EditCase{"TypedPathTypedAgain", [](CDialog& d) { Type(d, 3, "  /dev/pts/9 "); }, {}},
        EditCase{
            "DeviceChosen", [](CDialog& d) { Choose(d, 4, kArduino); }, {{"COM4", "/dev/ttyACM0"}}},
        EditCase{"AdapterKeptUnderItsLastingName",
                 [](CDialog& d) { Choose(d, 4, kFtdi); },
                 {{"COM4", kDevices[0].path}}},
        EditCase{"BackToTheDefault",
                 [](CDialog& d) { Choose(d, 1, "Default (/dev/ttyS0)"); },
                 {{"COM1", ""}}},
        EditCase{
            "PathTyped", [](CDialog& d) { Type(d, 3, "/dev/ttyS7"); }, {{"COM3", "/dev/ttyS7"}}},
        EditCase{"TypedTextEmptied", [](CDialog& d) { Type(d, 3, ""); }, {{"COM3", ""}}},
        EditCase{"SeveralAtOnce",
                 [](CDialog& d) {
                     Choose(d, 1, kArduino);
                     Type(d, 2, "/dev/ttyUSB3");
                     Choose(d, 3, "Default (/dev/ttyS2)");
                 },
                 {{"COM1", "/dev/ttyACM0"}, {"COM2", "/dev/ttyUSB3"}, {"COM3", ""}}}),
    [](const ::testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

TEST_F(SerialDevicesDialog, APathThatIsNoDevicePathIsRefusedAndNothingWritten) {
    for (const char* typed : {"ttyUSB0", "dev/ttyUSB0", "COM5", "/dev/tty\x01"}) {
        auto dialog = Make();
        dialog->OnInitDialog();
        Choose(*dialog, 1, kArduino);
        Type(*dialog, 3, typed);
        reporter.Clear();
        dialog->OnOK();
        EXPECT_FALSE(dialog->IsEnded()) << typed;
        EXPECT_TRUE(writes.empty()) << typed;
        ASSERT_EQ(reporter.Messages().size(), 1u) << typed;
        const auto& box = reporter.Messages().front();
        EXPECT_EQ(box.id, IDS_DEVICE_PATH_INVALID);
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.text, "The device path entered is not valid.");
        EXPECT_EQ(box.detail.rfind("COM3: ", 0), 0u) << box.detail;
        // The rows stay as the user left them.
        EXPECT_EQ(Row(*dialog, 3)->currentText(), QString::fromUtf8(typed));
        EXPECT_EQ(Row(*dialog, 1)->currentText(), kArduino);
    }
}

TEST_F(SerialDevicesDialog, AWriteThatFailsIsSaidAndTheDialogStaysForAnotherTry) {
    auto dialog = Make();
    dialog->OnInitDialog();
    Choose(*dialog, 4, kArduino);
    failWith = "The settings file /x/Varnel.conf cannot be read as it stands: line 2 ...";
    dialog->OnOK();
    EXPECT_FALSE(dialog->IsEnded());
    ASSERT_EQ(reporter.Messages().size(), 1u);
    const auto& box = reporter.Messages().front();
    EXPECT_EQ(box.id, IDS_PORT_MAPPING_NOT_SAVED);
    EXPECT_EQ(box.text, "The port mapping could not be saved.\nNothing has been changed.");
    EXPECT_EQ(box.detail, failWith);
    EXPECT_TRUE(dialog->Changes().empty());

    failWith.clear();
    dialog->OnOK();
    EXPECT_TRUE(dialog->IsEnded());
    EXPECT_EQ(writes.size(), 2u);
    EXPECT_EQ(dialog->Changes(), (std::vector<PortMappingChange>{{"COM4", "/dev/ttyACM0"}}));
}

// The keyboard in the modal run: Tab walks the rows and then the buttons, Enter is OK (also
// from a row being typed in), Esc is Cancel.
TEST_F(SerialDevicesDialog, KeyboardTabEnterAndEsc) {
    {
        auto dialog = Make();
        std::vector<QWidget*> visited;
        auto played = std::make_shared<bool>(false);
        ActWhenShown(
            dialog.get(),
            [&](CDialog& d) {
                for (int i = 0; i < 6; ++i) {
                    visited.push_back(QApplication::focusWidget());
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                }
                visited.push_back(QApplication::focusWidget());
                // Back in the first row: type a path there and press Enter.
                Row(d, 1)->lineEdit()->selectAll();
                QTest::keyClicks(QApplication::focusWidget(), "/dev/ttyUSB9");
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            },
            played);
        EXPECT_EQ(dialog->DoModal(), kIdOk);
        EXPECT_TRUE(*played);
        auto stop = [&](QWidget* w) {
            // An editable drop-down takes the focus in its edit box.
            return w && (w == Row(*dialog, 1) || w->parentWidget() == Row(*dialog, 1))   ? 1
                   : w && (w == Row(*dialog, 2) || w->parentWidget() == Row(*dialog, 2)) ? 2
                   : w && (w == Row(*dialog, 3) || w->parentWidget() == Row(*dialog, 3)) ? 3
                   : w && (w == Row(*dialog, 4) || w->parentWidget() == Row(*dialog, 4)) ? 4
                   : w == dialog->GetButton(kIdOk)                                       ? 5
                   : w == dialog->GetButton(kIdCancel)                                   ? 6
                                                                                         : 0;
        };
        std::vector<int> order;
        for (QWidget* w : visited) {
            order.push_back(stop(w));
        }
        EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5, 6, 1}));
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0], (std::vector<PortMappingChange>{{"COM1", "/dev/ttyUSB9"}}));
    }
    writes.clear();
    for (const bool byKey : {true, false}) {
        auto dialog = Make();
        auto played = std::make_shared<bool>(false);
        ActWhenShown(
            dialog.get(),
            [byKey](CDialog& d) {
                Choose(d, 2, kArduino);
                Type(d, 3, "/dev/ttyS5");
                if (byKey) {
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
                } else {
                    d.GetButton(kIdCancel)->click();
                }
            },
            played);
        EXPECT_EQ(dialog->DoModal(), kIdCancel);
        EXPECT_TRUE(*played);
        EXPECT_TRUE(writes.empty());
        EXPECT_TRUE(dialog->Changes().empty());
    }
}

}  // namespace
}  // namespace varnel
