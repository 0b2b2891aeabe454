#include "ui/ExchangeRunner.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <exception>
#include <string>
#include <thread>

#include "link/CancelToken.h"

namespace varnel {

// Shows each message on the user-interface thread and holds the exchange until it is dismissed,
// with the arrow cursor over the box: the box wants a click, not patience.
class CExchangeRunner::GuiReporter final : public IMessageReporter {
public:
    GuiReporter(CExchangeRunner& runner, IMessageReporter& target)
        : m_runner(runner), m_target(target) {}

    void Show(const Message& message) override {
        // The texts stay valid: this thread waits until the box is gone.
        QMetaObject::invokeMethod(
            &m_runner,
            [this, &message] {
                QApplication::setOverrideCursor(Qt::ArrowCursor);
                ++m_runner.m_boxesUp;
                m_target.Show(message);
                --m_runner.m_boxesUp;
                QApplication::restoreOverrideCursor();
                m_runner.MaybeShowProgress();
            },
            Qt::BlockingQueuedConnection);
    }

private:
    CExchangeRunner& m_runner;
    IMessageReporter& m_target;
};

// Passes each step to the progress window, and on to the session's own observer.
class CExchangeRunner::StepForwarder final : public IExchangeObserver {
public:
    StepForwarder(CExchangeRunner& runner, IExchangeObserver* next)
        : m_runner(runner), m_next(next) {}

    void ExchangeStarted() override {
        QMetaObject::invokeMethod(
            &m_runner,
            [runner = &m_runner] {
                runner->m_portOpen = true;
                runner->MaybeShowProgress();
            },
            Qt::QueuedConnection);
        if (m_next != nullptr) {
            m_next->ExchangeStarted();
        }
    }
    void StepStarted(const ExchangeStep& step) override {
        QMetaObject::invokeMethod(
            &m_runner, [runner = &m_runner, step] { runner->ShowStep(step); },
            Qt::QueuedConnection);
        if (m_next != nullptr) {
            m_next->StepStarted(step);
        }
    }
    void ExchangeFinished() override {
        QMetaObject::invokeMethod(
            &m_runner, [runner = &m_runner] { runner->m_portOpen = false; }, Qt::QueuedConnection);
        if (m_next != nullptr) {
            m_next->ExchangeFinished();
        }
    }

private:
    CExchangeRunner& m_runner;
    IExchangeObserver* m_next;
};

CExchangeRunner::CExchangeRunner(QObject* parent) : QObject(parent) {}

CExchangeRunner::~CExchangeRunner() = default;

ProcedureRunner CExchangeRunner::For(const QString& commandName, QWidget* owner) {
    QPointer<QWidget> guardedOwner(owner);
    return [this, commandName, guardedOwner](Session& session,
                                             const std::function<void(Session&)>& procedure) {
        Execute(session, procedure, commandName, guardedOwner);
    };
}

void CExchangeRunner::Cancel() {
    if (m_requestCancel) {
        m_requestCancel();
    }
}

QProgressDialog* CExchangeRunner::ProgressWindow() const {
    return m_progress && m_progress->isVisible() ? m_progress.data() : nullptr;
}

void CExchangeRunner::Execute(Session& session, const std::function<void(Session&)>& procedure,
                              const QString& commandName, QWidget* owner) {
    if (m_running) {
        // Input is shut out while an exchange runs, so a second one cannot be asked for.
        return;
    }
    CancelToken cancel;
    GuiReporter reporter(*this, session.reporter);
    StepForwarder steps(*this, session.observer);
    Session onWorker(session.link, reporter, session.openPort, session.portName);
    onWorker.observer = &steps;
    onWorker.cancel = &cancel;
    onWorker.trace = session.trace;
    // The registry is called from the worker alone while the exchange runs.
    onWorker.registry = session.registry;
    onWorker.origin = session.origin;

    m_running = true;
    m_delayPassed = false;
    m_portOpen = false;
    m_boxesUp = 0;
    m_requestCancel = [&cancel] { cancel.Cancel(); };
    m_title = QStringLiteral("Varnel - ") + commandName;
    m_owner = owner;
    m_lastStep.reset();
    m_closeAfter = nullptr;
    qApp->installEventFilter(this);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    emit ExchangeStarted();

    QEventLoop loop;
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            procedure(onWorker);
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    QTimer progressDelay;
    progressDelay.setSingleShot(true);
    connect(&progressDelay, &QTimer::timeout, this, [this] {
        m_delayPassed = true;
        MaybeShowProgress();
    });
    progressDelay.start(kProgressDelayMs);

    loop.exec();
    if (!done) {
        // The application is quitting under the exchange: stop it, and keep serving the boxes
        // it may still raise until it has stopped.
        cancel.Cancel();
        while (!done) {
            // Wakes for each box and for the worker's last word, which always comes.
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
    }
    worker.join();
    progressDelay.stop();

    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
    }
    QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(this);
    m_requestCancel = nullptr;
    m_running = false;
    emit ExchangeEnded();
    if (m_closeAfter) {
        // Closed while the exchange ran: now it may go.
        QTimer::singleShot(0, m_closeAfter, &QWidget::close);
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void CExchangeRunner::MaybeShowProgress() {
    if (!m_running || m_progress || !m_delayPassed || !m_portOpen || m_boxesUp > 0) {
        return;
    }
    auto* progress = new QProgressDialog(m_owner);
    progress->setWindowTitle(m_title);
    progress->setCancelButtonText(QStringLiteral("Cancel"));
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    progress->setWindowModality(Qt::ApplicationModal);
    // Wide enough for the longest step, so the window does not change size as the steps go by.
    progress->setMinimumWidth(progress->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 44);
    connect(progress, &QProgressDialog::canceled, this, &CExchangeRunner::Cancel);
    m_progress = progress;
    if (m_lastStep) {
        ShowStep(*m_lastStep);
    } else {
        progress->setRange(0, 0);
    }
    progress->show();
}

void CExchangeRunner::ShowStep(const ExchangeStep& step) {
    m_lastStep = step;
    if (!m_progress) {
        return;
    }
    QString text = QString::fromStdString(step.description);
    if (step.count > 0) {
        text += QStringLiteral(" (%1 of %2)").arg(step.number).arg(step.count);
        m_progress->setRange(0, step.count);
        m_progress->setValue(step.number - 1);
    } else {
        m_progress->setValue(m_progress->maximum());
    }
    m_progress->setLabelText(text);
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
                Cancel();
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}

}  // namespace varnel
