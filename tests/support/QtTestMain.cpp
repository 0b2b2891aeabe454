// The one main of every Qt test program (GUI, dialogs, settings faults): a QApplication, offscreen
// unless told otherwise, on a private settings folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

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
