#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

#include "procedures/Session.h"

class QProgressDialog;
class QWidget;

namespace varnel {

// Runs the window's exchanges off the user-interface thread, so that the windows keep painting
// while a slow radio takes its time:
// - messages raised meanwhile are shown on the user-interface thread, at the moment they are
//   raised, while the exchange waits for the box to be dismissed (the port stays open);
// - from the first moment, Varnel's windows take no input, and input given then is dropped,
//   never replayed; the busy cursor shows over them, and message boxes keep the arrow;
// - after kProgressDelayMs a progress window shows the step, a progress bar and Cancel; Cancel
//   or Esc stops the exchange at once, without EndExchange;
// - a window closed meanwhile (the main window, the desktop quitting) cancels the exchange and
//   is closed once the exchange has ended.
class CExchangeRunner : public QObject {
    Q_OBJECT
public:
    explicit CExchangeRunner(QObject* parent = nullptr);
    ~CExchangeRunner() override;

    static constexpr int kProgressDelayMs = 300;

    // The runner of a session of the command commandName ("Radio Info"): its progress window is
    // titled "Varnel - Radio Info" and owned by owner.
    ProcedureRunner For(const QString& commandName, QWidget* owner);

    bool IsRunning() const { return m_running; }
    // Stops the running exchange; nothing when none runs.
    void Cancel();

    // The progress window while it is shown, else nullptr.
    QProgressDialog* ProgressWindow() const;

signals:
    // An exchange has begun or ended (on the user-interface thread).
    void ExchangeStarted();
    void ExchangeEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class GuiReporter;
    class StepForwarder;

    void Execute(Session& session, const std::function<void(Session&)>& procedure,
                 const QString& commandName, QWidget* owner);
    // Shows the progress window once the exchange has run for kProgressDelayMs with its port
    // open, and no message box is up: it must never cover a box that waits for the user.
    void MaybeShowProgress();
    void ShowStep(const ExchangeStep& step);
    bool TakesInput(QObject* watched) const;

    bool m_running = false;
    bool m_delayPassed = false;
    bool m_portOpen = false;
    int m_boxesUp = 0;
    std::function<void()> m_requestCancel;
    QString m_title;
    QPointer<QWidget> m_owner;
    QPointer<QProgressDialog> m_progress;
    std::optional<ExchangeStep> m_lastStep;
    QPointer<QWidget> m_closeAfter;
};

}  // namespace varnel
