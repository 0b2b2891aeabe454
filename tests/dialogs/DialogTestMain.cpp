#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>

int main(int argc, char** argv) {
    // The dialogs must never read or write the user's own settings (the port names live there):
    // a private folder takes the place of ~/.config before Qt looks at it.
    QTemporaryDir settingsFolder;
    if (!settingsFolder.isValid()) {
        return 2;
    }
    ::setenv("XDG_CONFIG_HOME", settingsFolder.path().toLocal8Bit().constData(), 1);
    if (!std::getenv("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
