#pragma once

#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <utility>

#include "ui/Dialog.h"

namespace varnel::test {

// Plays the user's part from inside the dialog's own event loop, once it is on screen. The
// dialog is watched through a QPointer, so a dialog that never appears leaves nothing dangling.
inline void PlayWhenShown(QPointer<CDialog> dialog, std::function<void(CDialog&)> user,
                          std::shared_ptr<bool> played, int triesLeft = 400) {
    QTimer::singleShot(5, [dialog, user = std::move(user), played, triesLeft]() mutable {
        if (!dialog) {
            return;
        }
        if (dialog->isVisible()) {
            *played = true;
            user(*dialog);
        } else if (triesLeft > 0) {
            PlayWhenShown(dialog, std::move(user), played, triesLeft - 1);
        }
    });
}

// Arranges for user to act on dialog once its modal run has put it on screen; the flag tells
// afterwards whether it ever appeared.
template <class TDialog>
std::shared_ptr<bool> WhenShown(TDialog& dialog, std::function<void(TDialog&)> user) {
    auto played = std::make_shared<bool>(false);
    PlayWhenShown(
        &dialog, [user = std::move(user)](CDialog& d) { user(static_cast<TDialog&>(d)); }, played);
    return played;
}

}  // namespace varnel::test
