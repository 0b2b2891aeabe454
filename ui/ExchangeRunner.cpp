#include "ui/ExchangeRunner.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <thread>
#include <utility>

namespace varnel {

class CExchangeRunner::Host final : public IExchangeHost {
public:
    explicit Host(CExchangeRunner& runner) : m_runner(runner) {}

    void RunOnWorker(const std::function<void()>& work) override {
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
            // The application is quitting under the exchange: stop it, and keep serving the
            // boxes it may still raise until it has stopped.
            m_runner.m_policy.Cancel();
            while (!done) {
                // Wakes for each box and for the worker's last word, which always comes.
                QCoreApplication::processEvents(QEventLoop::AllEvents |
                                                QEventLoop::WaitForMoreEvents);
            }
        }
        worker.join();
    }

    void Post(std::function<void()> call) override {
        QMetaObject::invokeMethod(&m_runner, std::move(call), Qt::QueuedConnection);
    }
    void Call(const std::function<void()>& call) override {
        QMetaObject::invokeMethod(&m_runner, call, Qt::BlockingQueuedConnection);
    }

    void BeginBusy() override {
        qApp->installEventFilter(&m_runner);
        QApplication::setOverrideCursor(Qt::BusyCursor);
        emit m_runner.ExchangeStarted();
    }
    void EndBusy() override {
        if (m_runner.m_progress) {
            m_runner.m_progress->hide();
            m_runner.m_progress->deleteLater();
        }
        QApplication::restoreOverrideCursor();
        qApp->removeEventFilter(&m_runner);
        emit m_runner.ExchangeEnded();
        if (m_runner.m_closeAfter) {
            // Closed while the exchange ran: now it may go.
            QTimer::singleShot(0, m_runner.m_closeAfter, &QWidget::close);
        }
    }

    void StartTimer(ExchangeTimer timer, std::int64_t ms) override {
        Timer(timer).start(static_cast<int>(ms));
    }
    void StopTimer(ExchangeTimer timer) override { Timer(timer).stop(); }
    QTimer& Timer(ExchangeTimer timer) {
        return timer == ExchangeTimer::Progress ? m_progressDelay : m_stepDelay;
    }

    void ShowProgress(const std::string& title, const ProgressStep* first) override {
        auto* progress = new QProgressDialog(m_runner.m_owner);
        progress->setWindowTitle(QString::fromStdString(title));
        progress->setCancelButtonText(QStringLiteral("Cancel"));
        progress->setAutoClose(false);
        progress->setAutoReset(false);
        progress->setMinimumDuration(0);
        progress->setWindowModality(Qt::ApplicationModal);
        // Wide enough for the longest step, so the window does not change size as the steps go
        // by.
        progress->setMinimumWidth(progress->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 44);
        connect(progress, &QProgressDialog::canceled, &m_runner, &CExchangeRunner::Cancel);
        m_runner.m_progress = progress;
        if (first != nullptr) {
            ShowStep(*first);
        } else {
            progress->setRange(0, 0);
        }
        progress->show();
    }
    void ShowStep(const ProgressStep& step) override {
        QProgressDialog* progress = m_runner.m_progress;
        if (progress == nullptr) {
            return;
        }
        if (step.count > 0) {
            progress->setRange(0, step.count);
            progress->setValue(step.done);
        } else {
            progress->setValue(progress->maximum());
        }
        progress->setLabelText(QString::fromStdString(step.text));
    }

    void ShowBox(IMessageReporter& target, const Message& message) override {
        // The box wants a click, not patience.
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        target.Show(message);
        QApplication::restoreOverrideCursor();
    }

private:
    CExchangeRunner& m_runner;
    QTimer m_progressDelay;
    QTimer m_stepDelay;
};

CExchangeRunner::CExchangeRunner(QObject* parent)
    : QObject(parent), m_host(std::make_unique<Host>(*this)) {
    for (const ExchangeTimer timer : {ExchangeTimer::Progress, ExchangeTimer::Step}) {
        m_host->Timer(timer).setSingleShot(true);
        connect(&m_host->Timer(timer), &QTimer::timeout, this,
                [this, timer] { m_policy.TimerFired(timer); });
    }
}

CExchangeRunner::~CExchangeRunner() = default;

ProcedureRunner CExchangeRunner::For(std::string commandName, QWidget* owner) {
    QPointer<QWidget> guardedOwner(owner);
    return [this, name = std::move(commandName), guardedOwner](
               Session& session, const std::function<void(Session&)>& procedure) {
        if (m_policy.IsRunning()) {
            return;
        }
        m_owner = guardedOwner;
        m_closeAfter = nullptr;
        m_policy.Run(*m_host, session, procedure, name);
    };
}

QProgressDialog* CExchangeRunner::ProgressWindow() const {
    return m_progress && m_progress->isVisible() ? m_progress.data() : nullptr;
}

bool CExchangeRunner::TakesInput(QObject* watched) const {
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) {
        return true;  // the platform's windows pass input on to their widgets, judged there
    }
    const QWidget* window = widget->window();
    return window == m_progress || qobject_cast<const QMessageBox*>(window) != nullptr;
}

bool CExchangeRunner::IsEnterOnProgress(QObject* watched, const QKeyEvent& key) const {
    const auto* widget = qobject_cast<QWidget*>(watched);
    return widget != nullptr && m_progress != nullptr && widget->window() == m_progress &&
           (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter);
}

bool CExchangeRunner::eventFilter(QObject* watched, QEvent* event) {
    const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    if (key && IsEnterOnProgress(watched, *static_cast<QKeyEvent*>(event)) &&
        !m_policy.EnterCancels()) {
        // The focused Cancel would take it as a press: the write is confirmed, and only the end
        // of the exchange is left to stop.
        return true;
    }
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
