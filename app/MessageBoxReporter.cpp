#include "app/MessageBoxReporter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPointer>

namespace varnel {
namespace {

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString WithoutAccessKeys(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

}  // namespace

QString CMessageBox::CopyText() const {
    const QString rule = QStringLiteral("---------------------------\n");
    QString copy = rule + windowTitle() + QLatin1Char('\n') + rule + text() + QLatin1Char('\n');
    if (!informativeText().isEmpty()) {
        copy += QLatin1Char('\n') + informativeText() + QLatin1Char('\n');
    }
    copy += rule;
    const QList<QAbstractButton*> all = buttons();
    for (const QAbstractButton* button : all) {
        copy += WithoutAccessKeys(button->text()) + QStringLiteral("   ");
    }
    copy += QLatin1Char('\n') + rule;
    return copy;
}

void CMessageBox::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        QGuiApplication::clipboard()->setText(CopyText());
        event->accept();
        return;
    }
    QMessageBox::keyPressEvent(event);
}

std::unique_ptr<CMessageBox> CMessageBoxReporter::CreateBox(const Message& message,
                                                            QWidget* owner) {
    auto box = std::make_unique<CMessageBox>(owner);
    box->setIcon(message.kind == MSG_ERROR ? QMessageBox::Critical : QMessageBox::Information);
    box->setWindowTitle(FromView(message.caption));
    // Plain text: a port name or a radio's answer must never be taken as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(FromView(message.text));
    if (!message.detail.empty()) {
        box->setInformativeText(FromView(message.detail));
    }
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

void CMessageBoxReporter::Show(const Message& message) {
    // The main window owns every box, also one raised while a dialog is open; when the box goes,
    // the window manager would activate its owner, so the window and the control that had the
    // focus get it back explicitly.
    QPointer<QWidget> window = QApplication::activeWindow();
    QPointer<QWidget> focus = QApplication::focusWidget();
    {
        std::unique_ptr<CMessageBox> box = CreateBox(message, m_owner);
        box->exec();
    }
    if (window && window->isVisible()) {
        window->activateWindow();
    }
    if (focus && focus->isVisible()) {
        focus->setFocus(Qt::OtherFocusReason);
    }
}

}  // namespace varnel
