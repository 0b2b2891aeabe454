// The settings file as the user wrote it: text that QSettings would misread is found, such a file
// is never written and stays byte for byte as it was, and a write changes only the lines of the
// keys it sets.
#include <gtest/gtest.h>

#include <ostream>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/VarnelApp.h"
#include "link/PortNames.h"
#include "settings/IniText.h"
#include "settings/SettingsStore.h"
#include "tests/support/QtTestSupport.h"

namespace varnel {
namespace {

// The store's functions in the Qt types these tests compare with QSettings in.
QString SettingsDamage(const QByteArray& text) {
    return QString::fromStdString(IniTextDamage(text.toStdString()));
}
QByteArray EditSettingsText(const QByteArray& text, const std::vector<SettingChange>& changes) {
    return QByteArray::fromStdString(EditIniText(text.toStdString(), changes));
}
QString WriteSettings(const std::vector<SettingChange>& changes) {
    return QString::fromStdString(OpenUserSettings()->Write(changes));
}
QString SettingsFileDamage() {
    return QString::fromStdString(OpenUserSettings()->Damage());
}

// Every key and value QSettings reads from text.
std::map<QString, QString> ReadWithQSettings(const QByteArray& text) {
    QTemporaryDir folder;
    const QString path = folder.path() + "/read.conf";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        ADD_FAILURE() << "cannot write " << path.toStdString();
        return {};
    }
    file.close();
    QSettings settings(path, QSettings::IniFormat);
    std::map<QString, QString> values;
    for (const QString& key : settings.allKeys()) {
        values[key] = settings.value(key).toString();
    }
    EXPECT_EQ(settings.status(), QSettings::NoError);
    return values;
}

struct DamageCase {
    const char* name;
    QByteArray contents;
    const char* damage;  // what the reason must say; nullptr for a sound file
};

void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.name;
}

const DamageCase kSoundFiles[] = {
    {"Empty", "", nullptr},
    {"Plain", "[Options]\nSerialPort=2\n[Ports]\nCOM1=/dev/ttyUSB0\n", nullptr},
    {"CommentsWithQuotes", "; it's mine\n[Options]\nSerialPort=2 ; don't touch\n", nullptr},
    {"QuotedAndEscapedValues", "[Ports]\nCOM1=\"/dev/a,b\"\nCOM2=/dev/a\\\"b\nCOM3=\"x\\\"y\"\n",
     nullptr},
    {"CrLfLineBreaks", "[Options]\r\nSerialPort=1\r\n", nullptr},
    {"BlankLinesAndIndent", "\n\n  [Options]  \n\t SerialPort = 3\n\n", nullptr},
};

const DamageCase kDamagedFiles[] = {
    // The file of the report: the quote runs on and takes [Ports] into Name's value.
    {"UnclosedQuote", "[Options]\nName=\"abc\nSerialPort=2\n[Ports]\nCOM1=/dev/ttyUSB0\n",
     "line 2 opens a quote (\") that is not closed on the same line"},
    {"QuoteClosedLinesLater", "[Ports]\nCOM1=\"/dev/x\nCOM2=/dev/y\"\n", "line 2 opens a quote"},
    {"QuoteNeverClosedAtTheEnd", "[Ports]\nCOM1=\"/dev/x",
     "line 2 opens a quote (\") that is "
     "never closed"},
    {"QuoteInAGroupName", "[Opt\"ions]\nSerialPort=2\n", "line 1 opens a quote"},
    // '#' starts no comment in this format.
    {"HashComment", "[Options]\n# mine\nSerialPort=2\n", "line 2 is neither a group"},
    {"ByteOrderMark", "\xEF\xBB\xBF[Options]\nSerialPort=1\n",
     "line 1 begins with a byte order mark"},
    {"BackslashAtTheEndOfALine", "[Ports]\nCOM1=C:\\dev\\\nCOM2=/dev/y\n",
     "line 2 ends in a backslash"},
    {"UnclosedGroup", "[Options\nSerialPort=2\n", "line 1 opens a group with [ but does not"},
    {"LineWithoutEquals", "[Options]\nSerialPort 2\n", "line 2 is neither a group"},
    {"LineNumbersWithCrLf", "[A]\r\nx=1\r\ny\r\n", "line 3 is neither"},
};

class SettingsText : public ::testing::TestWithParam<DamageCase> {};

TEST_P(SettingsText, IsJudgedSoundOrDamagedWithTheLine) {
    const DamageCase& c = GetParam();
    const QString damage = SettingsDamage(c.contents);
    if (c.damage == nullptr) {
        EXPECT_EQ(damage, QString()) << "a sound file is not to be refused";
    } else {
        EXPECT_TRUE(damage.contains(QString::fromUtf8(c.damage))) << damage.toStdString();
    }
}

class DamagedSettingsText : public ::testing::TestWithParam<DamageCase> {};

// A damaged file is not written, whatever is asked of it, and says why; the bytes stay.
TEST_P(DamagedSettingsText, IsNeverWritten) {
    const DamageCase& c = GetParam();
    test::ClearSettings();
    test::WriteSettingsFile(c.contents);
    const QString why = WriteSettings({{"Ports", "COM1", std::string("/dev/ttyUSB1")},
                                       {"Options", "SerialPort", std::string("3")}});
    EXPECT_TRUE(why.contains(test::SettingsFile())) << why.toStdString();
    EXPECT_TRUE(why.contains(QString::fromUtf8(c.damage))) << why.toStdString();
    EXPECT_EQ(test::ReadSettingsFile(), c.contents);
    EXPECT_FALSE(SaveSerialPortSetting(*OpenUserSettings(), 1).empty());
    EXPECT_EQ(test::ReadSettingsFile(), c.contents);
}

std::string CaseName(const ::testing::TestParamInfo<DamageCase>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Sound, SettingsText, ::testing::ValuesIn(kSoundFiles), CaseName);
INSTANTIATE_TEST_SUITE_P(Damaged, SettingsText, ::testing::ValuesIn(kDamagedFiles), CaseName);
INSTANTIATE_TEST_SUITE_P(Files, DamagedSettingsText, ::testing::ValuesIn(kDamagedFiles), CaseName);

// QSettings reports some damage itself; what it does not (a line that runs on) is found all the
// same, and a file QSettings reads cleanly is never refused.
TEST(SettingsText, AgreesWithQSettingsWhereQSettingsSpeaks) {
    std::vector<DamageCase> all(std::begin(kSoundFiles), std::end(kSoundFiles));
    all.insert(all.end(), std::begin(kDamagedFiles), std::end(kDamagedFiles));
    for (const DamageCase& c : all) {
        QTemporaryDir folder;
        const QString path = folder.path() + "/check.conf";
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.contents);
        file.close();
        QSettings settings(path, QSettings::IniFormat);
        (void)settings.allKeys();
        if (settings.status() == QSettings::FormatError) {
            EXPECT_NE(c.damage, nullptr) << c.name << ": QSettings finds damage here";
        }
        if (c.damage == nullptr) {
            EXPECT_EQ(settings.status(), QSettings::NoError) << c.name;
        }
    }
}

struct EditCase {
    const char* name;
    QByteArray before;
    std::vector<SettingChange> changes;
    QByteArray after;
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

SettingChange Set(const char* group, const char* key, const char* value) {
    return {group, key, std::string(value)};
}
SettingChange Remove(const char* group, const char* key) {
    return {group, key, std::nullopt};
}

class SettingsEdit : public ::testing::TestWithParam<EditCase> {};

TEST_P(SettingsEdit, ChangesOnlyTheLinesOfItsKeys) {
    const EditCase& c = GetParam();
    ASSERT_EQ(SettingsDamage(c.before), QString());
    const QByteArray after = EditSettingsText(c.before, c.changes);
    EXPECT_EQ(after, c.after);
    EXPECT_EQ(SettingsDamage(after), QString());

    // QSettings reads the edited text as the old one with the changes made.
    std::map<QString, QString> expected = ReadWithQSettings(c.before);
    for (const SettingChange& change : c.changes) {
        const QString key = QString::fromStdString(change.group + "/" + change.key);
        if (change.value) {
            expected[key] = QString::fromStdString(*change.value);
        } else {
            expected.erase(key);
        }
    }
    EXPECT_EQ(ReadWithQSettings(after), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SettingsEdit,
    ::testing::Values(
        EditCase{"ValueReplacedWhereItStands",
                 "; my bench\n[Ports]\nCOM1 = /dev/ttyUSB0 ; the FTDI one\nCOM2=/dev/ttyS9\n"
                 "[Options]\nSerialPort=1\n",
                 {Set("Ports", "COM1", "/dev/serial/by-id/usb-FTDI-if00-port0")},
                 "; my bench\n[Ports]\nCOM1 = /dev/serial/by-id/usb-FTDI-if00-port0 ; the FTDI "
                 "one\nCOM2=/dev/ttyS9\n[Options]\nSerialPort=1\n"},
        EditCase{"NewKeyAtTheEndOfItsGroup",
                 "[Ports]\nCOM1=/dev/a\n\n[Options]\nSerialPort=1\n",
                 {Set("Ports", "COM3", "/dev/c")},
                 "[Ports]\nCOM1=/dev/a\nCOM3=/dev/c\n\n[Options]\nSerialPort=1\n"},
        EditCase{"NewKeyUnderAGroupWithoutKeys",
                 "[Ports]\n[Options]\nSerialPort=1\n",
                 {Set("Ports", "COM2", "/dev/b")},
                 "[Ports]\nCOM2=/dev/b\n[Options]\nSerialPort=1\n"},
        EditCase{"NewGroupAtTheEndOfAFileWithoutFinalLineBreak",
                 "[Options]\nSerialPort=1",
                 {Set("Ports", "COM2", "/dev/b")},
                 "[Options]\nSerialPort=1\n\n[Ports]\nCOM2=/dev/b\n"},
        EditCase{"FirstWriteIntoAnEmptyFile",
                 "",
                 {Set("Ports", "COM1", "/dev/a")},
                 "[Ports]\nCOM1=/dev/a\n"},
        EditCase{"RemovedKeyLosesItsLineAndComment",
                 "[Ports]\nCOM1=/dev/a ; old adapter\nCOM2=/dev/b\n",
                 {Remove("Ports", "COM1")},
                 "[Ports]\nCOM2=/dev/b\n"},
        EditCase{"RemovingWhatIsNotThereChangesNothing",
                 "[Options]\nSerialPort=1\n",
                 {Remove("Ports", "COM4")},
                 "[Options]\nSerialPort=1\n"},
        EditCase{"SeveralLinesOfOneKeyBecomeOne",
                 "[Ports]\nCOM1=/dev/a\n[Ports]\nCOM1=/dev/b\n",
                 {Set("Ports", "COM1", "/dev/c")},
                 "[Ports]\n[Ports]\nCOM1=/dev/c\n"},
        EditCase{"CrLfLineBreaksKept",
                 "[Ports]\r\nCOM1=/dev/a\r\n",
                 {Set("Ports", "COM2", "/dev/b")},
                 "[Ports]\r\nCOM1=/dev/a\r\nCOM2=/dev/b\r\n"},
        EditCase{"AGroupOfAnotherCaseIsAnotherGroup",
                 "[ports]\nCOM1=/dev/a\n",
                 {Set("Ports", "COM1", "/dev/b")},
                 "[ports]\nCOM1=/dev/a\n\n[Ports]\nCOM1=/dev/b\n"},
        EditCase{"QuotedWhereQSettingsQuotes",
                 "",
                 {Set("Ports", "COM1", "/dev/my port,1")},
                 "[Ports]\nCOM1=\"/dev/my port,1\"\n"},
        EditCase{"EscapedWhereQSettingsEscapes",
                 "",
                 {Set("Ports", "COM1", "/dev/a\"b\\c\td")},
                 "[Ports]\nCOM1=/dev/a\\\"b\\\\c\\td\n"},
        EditCase{"TheSerialPortIndex",
                 "[Options]\nSerialPort=7\n; the end\n",
                 {Set("Options", "SerialPort", "0")},
                 "[Options]\nSerialPort=0\n; the end\n"}),
    [](const ::testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

// Device paths with what the format treats specially come back from QSettings as they went in.
TEST(SettingsEdit, DevicePathsComeBackAsWritten) {
    const char* const paths[] = {
        "/dev/ttyUSB0",
        "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
        "/dev/a b",
        "/dev/a,b",
        "/dev/a;b",
        "/dev/a=b",
        "/dev/a\"b",
        "/dev/a\\b",
        "@dev",
        "@Variant(x)",
        "/dev/\xC3\xA9\xE2\x82\xAC",
        "/dev/trailing ",
        "/dev/x\x01"
        "1",
    };
    for (const char* path : paths) {
        const QString value = QString::fromUtf8(path);
        const QByteArray text =
            EditSettingsText("[Options]\nSerialPort=1\n", {{"Ports", "COM1", std::string(path)}});
        const auto values = ReadWithQSettings(text);
        ASSERT_EQ(values.count("Ports/COM1"), 1u) << text.toStdString();
        EXPECT_EQ(values.at("Ports/COM1"), value) << text.toStdString();
        EXPECT_EQ(values.at("Options/SerialPort"), "1");
    }
}

class SettingsFileWrite : public ::testing::Test {
protected:
    void SetUp() override { test::ClearSettings(); }
    void TearDown() override {
        QFile::remove(test::SettingsFolder() + "/elsewhere.conf");
        test::ClearSettings();
    }
};

TEST_F(SettingsFileWrite, ALinkedFileIsWrittenWhereItIsAndKeepsItsMode) {
    const QString target = test::SettingsFolder() + "/elsewhere.conf";
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Options]\nSerialPort=1\n");
    }
    ASSERT_EQ(::chmod(target.toLocal8Bit().constData(), 0600), 0);
    QDir().mkpath(test::SettingsFolder() + "/Tessaran");
    ASSERT_TRUE(QFile::link(target, test::SettingsFile()));

    EXPECT_EQ(WriteSettings({{"Ports", "COM2", std::string("/dev/ttyACM0")}}), QString());
    EXPECT_TRUE(QFileInfo(test::SettingsFile()).isSymLink());
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "[Options]\nSerialPort=1\n\n[Ports]\nCOM2=/dev/ttyACM0\n");
    struct stat status = {};
    ASSERT_EQ(::stat(target.toLocal8Bit().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(SettingsFileWrite, AFolderInPlaceOfTheFileIsLeftAlone) {
    ASSERT_TRUE(QDir().mkpath(test::SettingsFile()));
    const QString why = WriteSettings({{"Ports", "COM1", std::string("/dev/ttyUSB0")}});
    EXPECT_TRUE(why.contains("folder")) << why.toStdString();
    EXPECT_TRUE(QFileInfo(test::SettingsFile()).isDir());
    EXPECT_FALSE(SettingsFileDamage().isEmpty());
}

// Writes of the same length one after the other are all seen by the next read, however close
// together they come.
TEST_F(SettingsFileWrite, EveryWriteIsSeenByTheNextRead) {
    for (int i = 0; i < 20; ++i) {
        const std::string device = "/dev/pts/" + std::to_string(i % 10);
        ASSERT_EQ(WriteSettings({{"Ports", "COM1", device}}), QString());
        EXPECT_EQ(PortDeviceSetting(*OpenUserSettings(), "COM1"), device);
    }
}

// The application on a damaged file: the defaults, a word on standard error naming the file and
// the reason, and the file as it was after the run, whatever the run did.
TEST(DamagedSettingsRun, RunsOnTheDefaultsAndLeavesTheFileByteForByte) {
    const QByteArray damaged =
        "; bench 3\n[Ports]\nCOM1=/dev/ttyUSB7\n[Options]\nSerialPort=2\nNote=\"left open\n";
    test::ClearSettings();
    test::WriteSettingsFile(damaged);
    CVarnelApp app;
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(app.InitInstance());
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(test::SettingsFile().toStdString()), std::string::npos) << said;
    EXPECT_NE(said.find("cannot be read as it stands: line 6 opens a quote"), std::string::npos)
        << said;
    EXPECT_EQ(app.m_nSerialPort, 0);
    EXPECT_FALSE(app.SettingsDamage().empty());
    // The mapping in the damaged file is not trusted either.
    EXPECT_EQ(ResolvePortDevice("COM1", app.GetPortResolver()), "/dev/ttyS0");

    app.m_nSerialPort = 3;
    app.SaveSettings();
    const std::string why = app.WritePortMapping({{"COM2", "/dev/ttyACM0"}});
    EXPECT_NE(why.find(test::SettingsFile().toStdString()), std::string::npos) << why;
    EXPECT_NE(why.find("put it right by hand or remove it"), std::string::npos) << why;
    app.ExitInstance();
    EXPECT_EQ(test::ReadSettingsFile(), damaged);
}

// A file put right while the program runs is still not written by it: what the program holds
// was not read from that file.
TEST(DamagedSettingsRun, AFileMendedDuringTheRunIsNotOverwritten) {
    test::ClearSettings();
    test::WriteSettingsFile("[Options]\nSerialPort=2\nNote=\"open\n");
    CVarnelApp app;
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(app.InitInstance());
    (void)::testing::internal::GetCapturedStderr();
    const QByteArray mended = "[Options]\nSerialPort=2\nNote=\"closed\"\n";
    test::WriteSettingsFile(mended);
    app.ExitInstance();
    EXPECT_EQ(test::ReadSettingsFile(), mended);
}

TEST(SoundSettingsRun, ExitChangesTheIndexLineAlone) {
    const QByteArray before =
        "; my bench\n[Ports]\nCOM1 = /dev/ttyUSB0 ; FTDI\n\n[Options]\nSerialPort=1\n";
    test::ClearSettings();
    test::WriteSettingsFile(before);
    CVarnelApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.m_nSerialPort, 1);
    EXPECT_EQ(ResolvePortDevice("COM1", app.GetPortResolver()), "/dev/ttyUSB0");
    app.m_nSerialPort = 3;
    app.ExitInstance();
    EXPECT_EQ(test::ReadSettingsFile(),
              "; my bench\n[Ports]\nCOM1 = /dev/ttyUSB0 ; FTDI\n\n[Options]\nSerialPort=3\n");
}

}  // namespace
}  // namespace varnel
