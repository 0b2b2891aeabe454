#pragma once

#include <QApplication>
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
