// Damaged settings: a file that is not settings at all, a port index that is no number or does
// not fit, a folder that cannot be written, and port mappings to devices that are missing or are
// no serial device. Start-up must go on with COM1, exit must write or fail without a word, and a
// radio command on a bad mapping must end in the port error box at once.
#include <gtest/gtest.h>

#include <ostream>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSettings>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/VarnelApp.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"
#include "tests/support/QtTestSupport.h"

namespace varnel {
namespace {

// Closes every box that comes up while it lives and keeps what each said. Its watch outlives it
// in the event queue, so the watch holds the record, not the catcher.
class BoxCatcher {
public:
    BoxCatcher() : m_state(std::make_shared<State>()) { Arm(m_state); }
    ~BoxCatcher() { m_state->alive = false; }
    BoxCatcher(const BoxCatcher&) = delete;
    BoxCatcher& operator=(const BoxCatcher&) = delete;

    const std::vector<QString>& Texts() const { return m_state->texts; }

private:
    struct State {
        bool alive = true;
        std::vector<QString> texts;
    };

    static void Arm(std::shared_ptr<State> state) {
        test::WhenModal([state](QWidget* modal) {
            if (!state->alive) {
                return;  // a later test's catcher takes it
            }
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                state->texts.push_back(box->windowTitle() + "|" + box->text());
                box->button(QMessageBox::Ok)->click();
            } else {
                state->texts.push_back("unexpected window " + modal->windowTitle());
                modal->close();
            }
            Arm(state);
        });
    }
    std::shared_ptr<State> m_state;
};

struct BadSetting {
    const char* name;
    QByteArray contents;  // the whole settings file
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BadSetting& c, std::ostream* os) {
    *os << c.name;
}

// Bytes of no text encoding, with zero bytes, brackets and equals signs among them.
const char kNoise[] = "\x00\xFF\xFE\x7F[\x01\x02=\x03\n\x00\xC3(";

class DamagedSettingsFile : public ::testing::TestWithParam<BadSetting> {};

TEST_P(DamagedSettingsFile, StartsOnComOneAndExitsQuietly) {
    test::ClearSettings();
    test::WriteSettingsFile(GetParam().contents);
    BoxCatcher boxes;
    {
        CVarnelApp app;
        ASSERT_TRUE(app.InitInstance());
        EXPECT_EQ(app.m_nSerialPort, 0);
        EXPECT_EQ(app.GetPortName(), "COM1");
        app.ExitInstance();
    }
    QApplication::processEvents();
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front().toStdString();
    // Whatever exit made of the file, the next start reads COM1 from it again.
    CVarnelApp again;
    ASSERT_TRUE(again.InitInstance());
    EXPECT_EQ(again.m_nSerialPort, 0);
    again.ExitInstance();
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedSettingsFile,
    ::testing::Values(
        BadSetting{"BinaryNoise", QByteArray(kNoise, sizeof kNoise - 1)},
        BadSetting{"UnclosedGroup", "[Options\nSerialPort=2\n"},
        BadSetting{"KeyWithoutGroup", "=\n==\n[]\nSerialPort\n"},
        BadSetting{"NotANumber", "[Options]\nSerialPort=two\n"},
        BadSetting{"Fraction", "[Options]\nSerialPort=2.5\n"},
        BadSetting{"Hexadecimal", "[Options]\nSerialPort=0x2\n"},
        BadSetting{"Huge", "[Options]\nSerialPort=123456789012345678901234567890123456789\n"},
        BadSetting{"HugeNegative", "[Options]\nSerialPort=-99999999999\n"},
        BadSetting{"SerialisedObject", "[Options]\nSerialPort=@Variant(\\0\\0\\0\\x7f\\0\\0)\n"},
        BadSetting{"AList", "[Options]\nSerialPort=1, 2\n"},
        BadSetting{"VeryLongLine",
                   QByteArray("[Options]\nSerialPort=") + QByteArray(1 << 20, '9')}),
    [](const ::testing::TestParamInfo<BadSetting>& info) { return std::string(info.param.name); });

// The folder cannot be made or the file cannot be written (even as root: a file stands where the
// folder should be, or a folder where the file should be). Start-up reads COM1; exit fails
// without a word.
TEST(UnwritableSettings, StartOnComOneAndExitQuietly) {
    for (const bool folderIsAFile : {true, false}) {
        SCOPED_TRACE(folderIsAFile ? "a file in place of the folder"
                                   : "a folder in place of the file");
        test::ClearSettings();
        QFile::remove(test::SettingsFolder() + "/Tessaran");
        if (folderIsAFile) {
            QFile blocker(test::SettingsFolder() + "/Tessaran");
            ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        } else {
            ASSERT_TRUE(QDir().mkpath(test::SettingsFile()));
        }
        BoxCatcher boxes;
        {
            CVarnelApp app;
            ASSERT_TRUE(app.InitInstance());
            EXPECT_EQ(app.m_nSerialPort, 0);
            app.m_nSerialPort = 2;
            EXPECT_EQ(app.ExitInstance(), 0);
        }
        QApplication::processEvents();
        EXPECT_TRUE(boxes.Texts().empty());
        QFile::remove(test::SettingsFolder() + "/Tessaran");
        test::ClearSettings();
    }
}

struct BadDevice {
    const char* name;
    QByteArray device;  // what "Ports"/"COM1" names; empty: a plain file
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BadDevice& c, std::ostream* os) {
    *os << c.name;
}

class BadPortMapping : public ::testing::TestWithParam<BadDevice> {};

// Radio Info on a port whose mapping leads nowhere useful: the port error box for COM1, at once,
// and nothing else.
TEST_P(BadPortMapping, GivesThePortErrorBoxAtOnce) {
    test::ClearSettings();
    QByteArray device = GetParam().device;
    if (device.isEmpty()) {
        // A plain file of our own: it opens, but it is no terminal.
        device = (test::SettingsFolder() + "/not-a-terminal").toLocal8Bit();
        QFile file(QString::fromLocal8Bit(device));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a terminal\n");
    }
    test::WriteSettingsFile("[Ports]\nCOM1=" + device + "\n");
    CVarnelApp app;
    ASSERT_TRUE(app.InitInstance());
    BoxCatcher boxes;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(app.DispatchCommand(ID_RADIO_INFO));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    QApplication::processEvents();
    const QString expected = QString("Error|") + QString::fromStdString(FormatPortError("COM1"));
    EXPECT_EQ(boxes.Texts(), std::vector<QString>{expected});
    EXPECT_LT(elapsed, std::chrono::seconds(3));
    app.ExitInstance();
}

INSTANTIATE_TEST_SUITE_P(
    Devices, BadPortMapping,
    ::testing::Values(BadDevice{"Missing", "/dev/varnel-no-such-device"},
                      BadDevice{"MissingFolder", "/nonexistent/folder/ttyUSB0"},
                      BadDevice{"AFolder", "/tmp"}, BadDevice{"NoTerminal", "/dev/null"},
                      BadDevice{"APlainFile", ""}, BadDevice{"Relative", "COM1"},
                      BadDevice{"VeryLong", QByteArray(5000, 'x')}),
    [](const ::testing::TestParamInfo<BadDevice>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnel
