#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>

#include <memory>
#include <string_view>

#include "strings/Messages.h"

namespace varnel {

// A message box that copies itself to the clipboard on Ctrl+C in the layout Windows users know,
// so a technician can paste an error into a report on any platform.
class CMessageBox : public QMessageBox {
    Q_OBJECT
public:
    using QMessageBox::QMessageBox;

    // Caption, text and buttons between lines of dashes.
    QString CopyText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// Shows every message of the program as a modal box owned by the main window (no owner before
// the main window exists), and gives the focus back to where it was when the box is dismissed.
class CMessageBoxReporter final : public IMessageReporter {
public:
    void Show(const Message& message) override;

    // The window that owns the boxes from now on; nullptr for none.
    void SetOwner(QWidget* owner) { m_owner = owner; }

    // The box Show runs, built but not shown: kind MSG_ERROR has the critical icon, any other
    // kind the information icon; one OK button. The detail, when there is one, stands under the
    // text.
    static std::unique_ptr<CMessageBox> CreateBox(const Message& message, QWidget* owner);

private:
    QPointer<QWidget> m_owner;
};

}  // namespace varnel
