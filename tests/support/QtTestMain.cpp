// The one main of every Qt test program (GUI, dialogs, settings faults): a QApplication, offscreen
// unless told otherwise, on a private settings folder (which holds the ESN registry too).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>

#include "tests/support/QtTestSupport.h"

namespace varnel::test {
namespace {
QTemporaryDir* g_settingsFolder = nullptr;
}

QString SettingsFolder() {
    return g_settingsFolder->path();
}

void ClearSettings() {
    QDir(SettingsFolder() + QStringLiteral("/Tessaran")).removeRecursively();
}

QString SettingsFile() {
    return SettingsFolder() + QStringLiteral("/Tessaran/Varnel.conf");
}

void WriteSettingsFile(const QByteArray& contents) {
    static QDateTime lastWrite = QDateTime::currentDateTime();
    QDir().mkpath(SettingsFolder() + QStringLiteral("/Tessaran"));
    QFile file(SettingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(contents), contents.size());
    ASSERT_TRUE(file.flush());  // before the time is set: a later flush would set it anew
    lastWrite = std::max(lastWrite.addSecs(1), QDateTime::currentDateTime());
    file.setFileTime(lastWrite, QFileDevice::FileModificationTime);
}

QByteArray ReadSettingsFile() {
    QFile file(SettingsFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

}  // namespace varnel::test

int main(int argc, char** argv) {
    // The tests must never read or write the user's own settings: a private folder takes the
    // place of ~/.config before Qt looks at it.
    QTemporaryDir settingsFolder;
    if (!settingsFolder.isValid()) {
        return 2;
    }
    varnel::test::g_settingsFolder = &settingsFolder;
    ::setenv("XDG_CONFIG_HOME", settingsFolder.path().toLocal8Bit().constData(), 1);
    // The ESN registry's default lives there too: a test never reserves in the user's own.
    ::setenv("XDG_DATA_HOME", settingsFolder.path().toLocal8Bit().constData(), 1);
    if (!std::getenv("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    varnel::test::g_settingsFolder = nullptr;
    return result;
}
