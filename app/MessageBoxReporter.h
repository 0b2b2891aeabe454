#pragma once

#include <QMessageBox>
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
    void Show(int kind, std::string_view caption, std::string_view text, int stringId) override;

    // The box Show runs, built but not shown: kind MSG_ERROR has the critical icon, any other
    // kind the information icon; one OK button.
    static std::unique_ptr<CMessageBox> CreateBox(int kind, const QString& caption,
                                                  const QString& text, QWidget* owner);
};

}  // namespace varnel
