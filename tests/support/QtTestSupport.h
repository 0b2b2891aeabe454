#pragma once

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace varnel::test {

// The folder that stands in for the user's configuration folder during the tests; QtTestMain.cpp
// makes it before the QApplication exists.
QString SettingsFolder();
// Removes the application's settings file, as on a first run.
void ClearSettings();
// The application's settings file in that folder.
QString SettingsFile();
// Writes the settings file as a user's editor would. Its time moves on with every write: QSettings
// trusts a file whose size and time are those it last read, and two writes of the same size
// within one tick of the file system's clock would otherwise look alike to it.
void WriteSettingsFile(const QByteArray& contents);
// The settings file as it stands, or "(no file)".
QByteArray ReadSettingsFile();

// Runs action on the first modal window that appears (a dialog in DoModal or a message box in
// exec), from the event loop that window runs, once the window is active. The action must
// close the window.
inline void WhenModal(std::function<void(QWidget*)> action, int triesLeft = 200) {
    QTimer::singleShot(5, [action = std::move(action), triesLeft]() mutable {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
            // Activation, and with it the focus, comes through the window system a moment later.
            (void)QTest::qWaitFor([modal] { return QApplication::activeWindow() == modal; }, 2000);
            action(modal);
        } else if (triesLeft > 0) {
            WhenModal(std::move(action), triesLeft - 1);
        }
    });
}

}  // namespace varnel::test
