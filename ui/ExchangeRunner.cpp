#include "ui/ExchangeRunner.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <thread>

namespace varnel {

CExchangeRunner::CExchangeRunner(QObject* parent)
    : QObject(parent), m_progressDelay(new QTimer(this)) {
    m_progressDelay->setSingleShot(true);
    connect(m_progressDelay, &QTimer::timeout, this, [this] { m_policy.DelayPassed(); });
}

CExchangeRunner::~CExchangeRunner() = default;

ProcedureRunner CExchangeRunner::For(const QString& commandName, QWidget* owner) {
    QPointer<QWidget> guardedOwner(owner);
    return [this, name = commandName.toStdString(), guardedOwner](
               Session& session, const std::function<void(Session&)>& procedure) {
        if (m_policy.IsRunning()) {
            return;
        }
        m_owner = guardedOwner;
        m_closeAfter = nullptr;
        m_policy.Run(*this, session, procedure, name);
    };
}

QProgressDialog* CExchangeRunner::ProgressWindow() const {
    return m_progress && m_progress->isVisible() ? m_progress.data() : nullptr;
}

void CExchangeRunner::RunOnWorker(const std::function<void()>& work) {
    QEventLoop loop;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    if (!done) {
        // The application is quitting under the exchange: stop it, and keep serving the boxes
        // it may still raise until it has stopped.
        m_policy.Cancel();
        while (!done) {
            // Wakes for each box and for the worker's last word, which always comes.
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
    }
    worker.join();
}

void CExchangeRunner::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void CExchangeRunner::Call(const std::function<void()>& call) {
    QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
}

void CExchangeRunner::BeginBusy() {
    qApp->installEventFilter(this);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    emit ExchangeStarted();
}

void CExchangeRunner::EndBusy() {
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
    }
    QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(this);
    emit ExchangeEnded();
    if (m_closeAfter) {
        // Closed while the exchange ran: now it may go.
        QTimer::singleShot(0, m_closeAfter, &QWidget::close);
    }
}

void CExchangeRunner::StartTimer(std::int64_t ms) {
    m_progressDelay->start(static_cast<int>(ms));
}

void CExchangeRunner::StopTimer() {
    m_progressDelay->stop();
}

void CExchangeRunner::ShowProgress(const std::string& title, const ProgressStep* first) {
    auto* progress = new QProgressDialog(m_owner);
    progress->setWindowTitle(QString::fromStdString(title));
    progress->setCancelButtonText(QStringLiteral("Cancel"));
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    progress->setWindowModality(Qt::ApplicationModal);
    // Wide enough for the longest step, so the window does not change size as the steps go by.
    progress->setMinimumWidth(progress->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 44);
    connect(progress, &QProgressDialog::canceled, this, &CExchangeRunner::Cancel);
    m_progress = progress;
    if (first != nullptr) {
        ShowStep(*first);
    } else {
        progress->setRange(0, 0);
    }
    progress->show();
}

void CExchangeRunner::ShowStep(const ProgressStep& step) {
    if (!m_progress) {
        return;
    }
    if (step.count > 0) {
        m_progress->setRange(0, step.count);
        m_progress->setValue(step.done);
    } else {
        m_progress->setValue(m_progress->maximum());
    }
    m_progress->setLabelText(QString::fromStdString(step.text));
}

void CExchangeRunner::ShowBox(IMessageReporter& target, const Message& message) {
    // The box wants a click, not patience.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    target.Show(message);
    QApplication::restoreOverrideCursor();
}

bool CExchangeRunner::TakesInput(QObject* watched) const {
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) {
        return true;  // the platform's windows pass input on to their widgets, judged there
    }
    const QWidget* window = widget->window();
    return window == m_progress || qobject_cast<const QMessageBox*>(window) != nullptr;
}

bool CExchangeRunner::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            // Dropped, not kept for later: a click given during the exchange must not act after.
            return !TakesInput(watched);
        case QEvent::Close: {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->isWindow() && !TakesInput(watched)) {
                event->ignore();
                if (widget->isVisible()) {
                    m_closeAfter = widget;
                }
                m_policy.HoldClose();
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}

}  // namespace varnel
