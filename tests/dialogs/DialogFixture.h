#pragma once

// What the dialog tests share beyond the scripted radio: the bytes on its line, the look of a
// list, and a user who acts on a dialog once its modal run has put it on screen.

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "tests/support/ScriptedSession.h"
#include "ui/Dialog.h"

namespace varnel::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

inline Bytes ToBytes(const std::vector<int>& values) {
    return Bytes(values.begin(), values.end());
}

// The end-of-exchange request as it goes on the line.
inline const Bytes kEnd = ToBytes(kEndRequest);

// What the line carried since mark bytes had been written.
inline Bytes WrittenSince(const ScriptedRadio& radio, std::size_t mark) {
    const Bytes& all = radio.Written();
    return mark < all.size() ? Bytes(all.begin() + static_cast<std::ptrdiff_t>(mark), all.end())
                             : Bytes();
}

inline QStringList Entries(const QComboBox& list) {
    QStringList entries;
    for (int i = 0; i < list.count(); ++i) {
        entries << list.itemText(i);
    }
    return entries;
}

// Plays the user's part from inside the dialog's own event loop, once it is on screen. The
// dialog is watched through a QPointer, so a dialog that never appears leaves nothing dangling.
// It looks for the dialog for up to 20 s: an exchange against a real line, run while the dialog
// initialises, keeps serving the event loop and with it this wait.
inline void PlayWhenShown(QPointer<CDialog> dialog, std::function<void(CDialog&)> user,
                          std::shared_ptr<bool> played, int triesLeft = 4000) {
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

// What a modal run gave: the result, and whether the dialog ever appeared.
struct ModalRun {
    int result = 0;
    bool shown = false;
};

// Runs the dialog modally, as its command does; user acts on it once it is shown and must end it.
template <class TDialog>
ModalRun RunModal(TDialog& dialog, std::function<void(TDialog&)> user) {
    const auto played = WhenShown(dialog, std::move(user));
    const int result = dialog.DoModal();
    return {result, *played};
}

}  // namespace varnel::test
